#pragma once

#include "platform/Edition.h"
#include "shell/EditionGroups.h"
#include "shell/ShellContext.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class FileSystemHelper;
class ColumnChooser;
class ConvertCommand;
class EditionWindow;
class FileList;
class HelpAndAbout;
class ImportExport;
class ViewHelper;
class Helper;
class OutputSettings;
class Preferences;
class Process;
class ProgressSheet;
class QMainWindow;
class RecentFolders;
class ReportingWorkspace;
class Settings;
class TableCommands;
class UsageAndReview;
class Workspace;
class Dialogs;

// The one controller of the application and its main window: start-up and
// quit, and the command groups it owns, which share one ShellContext. The
// edition decides the window and which groups there are (EditionGroups).
//
// Threads: lives on the main thread and is called there. The groups that
// serve workers (the loader's host, the job's delegate) run their bodies on
// the main thread through onMainThread.
class PictavoAppDelegate : public QObject {
    Q_OBJECT
public:
    // The platform layers the controller uses; not owned, outlive it.
    struct Services {
        Preferences* preferences = nullptr;
        Workspace* workspace = nullptr;
        Dialogs* dialogs = nullptr;
        // The program's edition: names, folders and keys.
        Edition edition = Edition::currentEdition();
    };

    explicit PictavoAppDelegate(Services services, EditionGroups groups = EditionGroups::current(),
                                QObject* parent = nullptr);
    ~PictavoAppDelegate() override;

    // Builds the window from its interface description and sets everything
    // up, in the start-up order.
    void awakeFromNib();
    // Stores what must survive and stops the workers; the application may
    // then end at once. Always true.
    bool applicationShouldTerminate();
    // Quit, the main window's close request and the Quit key in any of the
    // program's windows (also under a sheet, an alert or a file dialog): the
    // windows go at once, a job stops at its next page boundary and a load at
    // its next file, what must survive is stored, and the event loop ends.
    // Further requests while it waits do nothing.
    void quitAction();
    bool isQuitting() const { return m_context.quitting; }
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // Once the event loop runs: the review prompt, when one is due.
    void applicationDidFinishLaunching();
    // The main window to the front.
    void openAppAction();

    QMainWindow* window() const { return m_context.window; }
    FileList& files() { return *m_files; }
    Settings& settings() { return *m_settings; }
    const Edition& edition() const { return m_context.edition; }
    ShellContext& context() { return m_context; }
    const EditionGroups& editionGroups() const { return m_groups; }

    // The command groups.
    EditionWindow& editionWindow() const;
    ViewHelper& viewHelper() const;
    FileSystemHelper& fileSystemHelper() const;
    TableCommands& table() const;
    ColumnChooser& columns() const;
    ImportExport& importExport() const;
    // Null in an edition without the pop-up.
    RecentFolders* recentFolders() const;
    OutputSettings& outputSettings() const;
    ConvertCommand& convert() const;
    ProgressSheet& progressSheet() const;
    UsageAndReview& usage() const;
    HelpAndAbout& help() const;

    // Tells the user, without waiting for an answer, what the desktop could not open.
    void tellDesktopFailure(const QString& message);
    // The window an alert of the shared commands belongs to: the sheet in
    // front, else the main window; none where alerts stand on their own.
    QWidget* alertWindow() const;
    // Runs `body` on the main thread and returns when it is done.
    void onMainThread(const std::function<void()>& body);
    // Serves the worker's calls to this thread until `running` clears.
    static void waitForWorker(const std::atomic<bool>& running);

Q_SIGNALS:
    // A job was built and is about to start on its worker.
    void processCreated(Process* job);
    // A job ended (completed, cancelled or failed); its sheet shows the result.
    void conversionFinished();
    // A load finished and the window is ready again.
    void loadFinished();
    // An export has written its file, or told why not.
    void exportFinished();
    // A load's, an export's or a job's worker has made its last call to this thread.
    void workerEnded();

private:
    void setupDesktop();
    // The main window's close request and the Quit key in any window end the program.
    void installQuitRequests();
    // Commits a value being typed, stores the recent folders and the settings.
    void storeForQuit();
    // Stops the load and the job at their next boundary and waits for them,
    // running their calls to this thread meanwhile.
    void stopWorkers();

    ShellContext m_context;
    EditionGroups m_groups;
    std::unique_ptr<FileList> m_files;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<ReportingWorkspace> m_desktop;
    struct Groups;
    std::unique_ptr<Groups> m_commandGroups;
};
