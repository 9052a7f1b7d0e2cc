#pragma once

#include <QString>

// What tells the two editions apart at run time: names, folders and keys.
// Each program's main selects one before anything else runs; the core reads it
// through Edition::current().
struct Edition {
    enum class Id { Current, First };

    Id id = Id::Current;
    QString displayName;     // the bundle's display name, shown in every title
    QString organization;    // preferences organisation
    QString applicationName; // preferences application
    QString appFolder;       // relative to the user's data folder
    QString guideName;       // user guide document, without extension
    QString version;
    QString copyright;

    static Edition currentEdition();
    static Edition firstEdition();

    // The selected edition; the current edition until select() is called.
    // Read from any thread; select() is called once, before threads start.
    static const Edition& current();
    static void select(const Edition& edition);
};
