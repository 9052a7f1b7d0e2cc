// Pictavo, the current edition.
#include "platform/Edition.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/FileManagerWorkspace.h"
#include "shell/PictavoAppDelegate.h"

#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QTimer>
#include <QUrl>

int main(int argc, char** argv) {
    Edition::select(Edition::currentEdition());
    QApplication app(argc, argv);
    const Edition& edition = Edition::current();
    QApplication::setOrganizationName(edition.organization);
    QApplication::setApplicationName(edition.applicationName);
    QApplication::setApplicationDisplayName(edition.displayName);
    QApplication::setApplicationVersion(edition.version);

    SettingsPreferences preferences(edition.organization, edition.applicationName);
    FileManagerWorkspace workspace;
    QtDialogs dialogs;
    PictavoAppDelegate controller({&preferences, &workspace, &dialogs});
    controller.awakeFromNib();
    QTimer::singleShot(0, &controller,
                       [&controller] { controller.applicationDidFinishLaunching(); });
    // Paths on the command line are added as if dropped on the window.
    QList<QUrl> urls;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        urls.append(QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath()));
    }
    if (!urls.isEmpty()) {
        (void)controller.acceptDrop(urls);
    }
    // One window: closing it ends the application.
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    QObject::connect(&app, &QApplication::aboutToQuit, &controller,
                     [&controller] { (void)controller.applicationShouldTerminate(); });
    return QApplication::exec();
}
