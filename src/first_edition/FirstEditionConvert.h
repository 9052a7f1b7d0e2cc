#pragma once

#include "shell/ConvertCommand.h"

#include <QString>
#include <QStringList>

// The operating system's version, as the older-system question needs it.
struct SystemVersion {
    int major = 0;
    int minor = 0;
};

// Whether `version` is 10.7 or later. Every Linux counts as later (see
// runningSystemVersion), so the question about the sources' folders is for
// the older systems tests stand in for.
bool isLionOrLater(const SystemVersion& version);
SystemVersion runningSystemVersion();

// The first edition's Convert: the run writes into the settings' output
// folder, which must be there and writable, else the folder tab is shown.
class FirstEditionConvert final : public ConvertCommand {
    Q_OBJECT
public:
    using ConvertCommand::ConvertCommand;

    void convertAction() override;
    void split() override;
    // Tests stand in for an older system.
    void setSystemVersion(const SystemVersion& version) { m_systemVersion = version; }

private:
    // Whether the job may start: the folder checks and their alerts.
    bool outputFolderIsUsable();
    int criticalAlert(const QString& message, const QStringList& buttons);

    SystemVersion m_systemVersion = runningSystemVersion();
};
