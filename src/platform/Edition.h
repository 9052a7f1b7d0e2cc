#pragma once

#include <QString>

// What tells the two editions apart: names, folders, keys and the few rules
// that differ. Each program's main makes one and hands it down; nothing reads
// an edition from a global.
struct Edition {
    enum class Id { Current, First };

    Id id = Id::Current;
    QString displayName;     // the bundle's display name, shown in every title
    QString organization;    // preferences organisation
    QString applicationName; // preferences application
    QString appFolder;       // relative to the user's data folder
    QString guideName;       // user guide document, without extension
    QString desktopId;       // desktop entry and icon name
    QString version;
    QString copyright;

    // The settings carry the page-number digits option; without it page
    // numbers are written unpadded.
    bool hasLeadingZerosOption = true;
    // Elapsed time as "1 min(s) 15 sec(s) " rather than "01:15".
    bool elapsedTimeInWords = false;
    // The job writes into the settings' output folder (or each source's own
    // folder) rather than a folder chosen for the run.
    bool writesIntoSettingsFolder = false;
    // Alerts stand on their own, application-modal, rather than as sheets.
    bool hasApplicationModalAlerts = false;
    // Cancelling the import window only hides it: what was parsed stays until
    // it is next opened, and the list is not told.
    bool importCancelKeepsParsedFiles = false;

    static Edition currentEdition();
    static Edition firstEdition();
};
