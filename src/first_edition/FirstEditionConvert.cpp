// The first edition's Convert rule: the settings' folder, checked first.
#include "first_edition/FirstEditionConvert.h"

#include "engine/Process.h"
#include "engine/Settings.h"
#include "first_edition/FirstEditionSettingsPane.h"
#include "first_edition/FirstEditionWindow.h"
#include "platform/Constants.h"
#include "platform/FolderAccess.h"
#include "platform/NativePath.h"
#include "platform/SystemLog.h"
#include "shell/Dialogs.h"
#include "shell/FileSystemHelper.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ShellContext.h"
#include "ui_OutputSettingsPanel.h"

#include <QStackedWidget>

#include <exception>
#include <limits>

namespace {

constexpr int kFormatTab = 0;

FirstEditionWindow& firstEditionWindow(PictavoAppDelegate& app) {
    return static_cast<FirstEditionWindow&>(app.editionWindow());
}

} // namespace

bool isLionOrLater(const SystemVersion& version) {
    return version.major > 10 || (version.major == 10 && version.minor > 6);
}

SystemVersion runningSystemVersion() {
    // No Linux is one of the older systems the question was made for.
    return {std::numeric_limits<int>::max(), 0};
}

int FirstEditionConvert::criticalAlert(const QString& message, const QStringList& buttons) {
    AlertRequest alert;
    alert.messageText = StringUtilities::getAppTitle(m_ctx.edition);
    alert.informativeText = message;
    alert.style = AlertStyle::Critical;
    alert.buttons = buttons;
    // Application-modal: no window of its own.
    return m_ctx.dialogs != nullptr ? m_ctx.dialogs->runAlert(nullptr, alert)
                                    : kAlertFirstButton + 1;
}

void FirstEditionConvert::convertAction() {
    // A list still being filled is not what the user checked.
    if (m_app.fileSystemHelper().isLoading()) {
        return;
    }
    split();
}

void FirstEditionConvert::split() {
    logFailures(QStringLiteral("(Split)"), [&] {
        m_app.fileSystemHelper().searchAction();
        const std::shared_ptr<Process> job = makeJob();
        if (!outputFolderIsUsable()) {
            firstEditionWindow(m_app).settingsPane().showFolderSettings();
            return;
        }
        m_ctx.panel->settingTabView->setCurrentIndex(kFormatTab);
        launchJob(job);
    });
}

bool FirstEditionConvert::outputFolderIsUsable() {
    const QString folder = m_ctx.settings->outputFolderPath();
    if (!isLionOrLater(m_systemVersion) && folder.isEmpty()) {
        return criticalAlert(QStringLiteral("No output folder selected, file(s) will be saved in "
                                            "source folder.\nDo you want to continue?"),
                             {QStringLiteral("Yes"), QStringLiteral("No")}) == kAlertFirstButton;
    }
    // A plain file under the folder's name is no folder to write into.
    if (folder.isEmpty() || !NativePath::isDirectory(folder)) {
        (void)criticalAlert(QStringLiteral("Output folder missing or invalid path!\r\nPlease "
                                           "select valid output folder."),
                            {});
        return false;
    }
    if (!mayWriteInto(folder)) {
        (void)criticalAlert(QStringLiteral("Output folder is non-writable!\r\nPlease select "
                                           "writable output folder."),
                            {});
        return false;
    }
    return true;
}
