#include "shell/Application.h"

#include "platform/AtomicFile.h"
#include "platform/Constants.h"
#include "platform/Edition.h"
#include "platform/GuardedApplication.h"
#include "platform/NativePath.h"
#include "platform/Preferences.h"
#include "platform/TerminationSignals.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/FileManagerWorkspace.h"
#include "shell/FileSystemHelper.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/SingleInstance.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QTimer>
#include <QUrl>

std::unique_ptr<TerminationSignals> quitOnTerminationSignals(PictavoAppDelegate& controller) {
    // Queued by the notifier to the event loop, so quitting never runs inside
    // the handler or in the middle of another slot.
    return std::make_unique<TerminationSignals>([&controller](int) { controller.quitAction(); });
}

int runPictavo(int argc, char** argv, const Edition& edition, const ControllerFactory& make) {
    failWritesPastFileSizeLimit();
    GuardedApplication<QApplication> app(argc, argv);
    QApplication::setOrganizationName(edition.organization);
    QApplication::setApplicationName(edition.applicationName);
    QApplication::setApplicationDisplayName(edition.displayName);
    QApplication::setApplicationVersion(edition.version);
    Q_INIT_RESOURCE(pictavo_shell);
    // The installed theme's icon when there is one, else the bundled drawing.
    QApplication::setWindowIcon(
        QIcon::fromTheme(edition.desktopId, QIcon(QStringLiteral(":/shell/pictavo.svg"))));
    QApplication::setDesktopFileName(edition.desktopId);

    // argv holds what QApplication left of it; decoded here, not by
    // QApplication::arguments(), so that a name that is not UTF-8 survives.
    QStringList paths;
    for (const QString& argument : NativePath::arguments(argc, argv).mid(1)) {
        paths.append(NativePath::absolutePath(argument));
    }
    // A second start hands its paths to the running program of the same
    // edition and ends.
    SingleInstance instance(SingleInstance::defaultName(StringUtilities::getAppPath(edition)));
    if (instance.handOff(paths)) {
        return 0;
    }
    (void)instance.listen();

    SettingsPreferences preferences(edition.organization, edition.applicationName);
    FileManagerWorkspace workspace;
    QtDialogs dialogs;
    const std::unique_ptr<PictavoAppDelegate> made =
        make({&preferences, &workspace, &dialogs, edition});
    PictavoAppDelegate& controller = *made;
    const std::unique_ptr<TerminationSignals> endOnSignal = quitOnTerminationSignals(controller);
    controller.awakeFromNib();
    QTimer::singleShot(0, &controller,
                       [&controller] { controller.applicationDidFinishLaunching(); });
    connectSingleInstance(instance, controller);
    // Paths on the command line are added as if dropped on the window.
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    if (!urls.isEmpty()) {
        (void)controller.fileSystemHelper().acceptDrop(urls);
    }
    // One window: closing it ends the application.
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    QObject::connect(&app, &QApplication::aboutToQuit, &controller,
                     [&controller] { (void)controller.applicationShouldTerminate(); });
    return QApplication::exec();
}
