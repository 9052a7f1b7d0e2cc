#pragma once

#include "engine/Process.h"
#include "filelist/FileList.h"
#include "filelist/FileLoader.h"
#include "filelist/RecentItem.h"
#include "platform/Edition.h"
#include "platform/Result.h"
#include "shell/ImportFilesWindowController.h"
#include "shell/UsagesReportingWindowController.h"
#include "shell/WindowParts.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class Dialogs;
class FileTableModel;
class ReportingWorkspace;
class Preferences;
class QLineEdit;
class QMainWindow;
class Settings;
class Workspace;
class QCheckBox;
class QDialog;
class QAbstractButton;
class QAction;
class QTimer;
class QMenu;
namespace Ui {
class MainWindow;
class OutputSettingsPanel;
class ProgressPanel;
} // namespace Ui

// The one controller of the application and its main window: start-up and
// quit, the window's view state (ViewHelper.cpp), adding files and folders
// (FileSystemHelper.cpp) and the menus (Helper.cpp).
//
// Threads: lives on the main thread and is called there, except for the
// FileLoaderHost and ProcessDelegate entries, which workers call; each of
// those runs its body on the main thread and returns when it is done.
// `isProcessing` is atomic: the main thread sets it, workers read it.
class PictavoAppDelegate : public QObject,
                           public FileLoaderHost,
                           public ProcessDelegate,
                           public ImportFilesWindowControllerDelegate {
    Q_OBJECT
public:
    // The platform layers the controller uses; not owned, outlive it.
    struct Services {
        Preferences* preferences = nullptr;
        Workspace* workspace = nullptr;
        Dialogs* dialogs = nullptr;
        // The program's edition: names, folders, keys and the rules that differ.
        Edition edition = Edition::currentEdition();
    };

    explicit PictavoAppDelegate(Services services, QObject* parent = nullptr);
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
    bool isQuitting() const { return m_quitting; }
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // Once the event loop runs: the review prompt, when one is due.
    void applicationDidFinishLaunching();
    void windowDidResignMain();
    void windowDidBecomeMain();

    QMainWindow* window() const { return m_window.get(); }
    FileList& files() { return *m_files; }
    Settings& settings() { return *m_settings; }
    const Edition& edition() const { return m_services.edition; }

    // Helper.cpp
    void setupVersion();
    // Marks `keyChar` in the button's title as its access letter (the first
    // match, ignoring case).
    static void setButtonKeyCharacter(QAbstractButton* button, const QString& keyChar);
    virtual void setupToolbarAndMenuItems();
    void aboutAction();
    // The user guide, opened with the desktop's PDF viewer.
    void helpAction();
    void websiteAction();
    void rateUs();
    // The main window to the front.
    void openAppAction();
    // The About sheet while it is shown.
    QDialog* aboutWindow() const;

    // ViewHelper.cpp
    virtual void resetView(bool enable);
    void resetViewObject(bool enable) override;
    void startProcess() override;
    void stopProcess() override;
    void resetViewForProcess(bool enable);
    void updateTimeTakenLabel(const QString& text) override;
    void setSplitOptions(int outputType);
    void updateTotalLabel();
    void updateTotalPagesLabel() override;
    // The quality label: 10 gives "100%", any other q gives 10q + 10 percent.
    static QString qualityPercentText(int storedQuality);

    // FileSystemHelper.cpp
    virtual void addFiles();
    void addFolder();
    void searchAction();
    void cancelAction();
    virtual bool inculdeSubfolders() const;
    void setInculdeSubfolders(bool include);
    virtual void openPanelDidEnd(bool accepted, const QStringList& paths, bool panelAllowedFolders);
    // Drops from the file manager onto the table; always false (the drop is
    // not "taken"), the items are loaded all the same.
    virtual bool acceptDrop(const QList<QUrl>& urls);
    // Starts a load of `request` on a worker thread of its own.
    void loadURLs(const Arguments& request);
    // How loads hand items to the list (tests make every item its own batch).
    void setLoaderOptions(const FileLoaderOptions& options) { m_loaderOptions = options; }
    // True while a load's worker thread exists.
    bool isLoading() const;
    // Paths handed over by a later start: added now, or once the window is
    // free again (after a load, or when the progress sheet closes).
    void addHandedPaths(const QStringList& paths);

    // FileLoaderHost
    int appendFiles(const std::vector<std::shared_ptr<FileItem>>& items) override;
    void sortAndReload() override;
    bool isProcessing() const override { return m_isProcessing.load(); }
    FileList::KeySet presentUrlKeys() override;

    // ImportExport.cpp
    void importAction();
    void openImportFilesPanel();
    void ImportFilesWindowControllerDidFinish(ImportFilesWindowController* controller) override;
    // The import window's controller, once the import was first opened.
    ImportFilesWindowController* importFilesController() const { return m_importController; }
    void exportAction();
    // returnCode 1: write the list to `path`; anything else does nothing.
    void savePanelDidEnd(int returnCode, const QString& path);
    // Writes the list to `path` on a worker and returns at once;
    // exportFinished follows, after a failure was told to the user.
    void exportList(const QString& path);

    // RecentFolders.cpp
    void addRecentItem(const QStringList& folders);
    void loadRecentFolders();
    // The pop-up's choice: index 0 is its title.
    void recentFolderChanged(int index);
    const std::vector<RecentItem>& recentItems() const { return m_recentItems; }

    // Command bar
    void filesFoldersSegmentedChanged(int segment);
    void commandSegmentedChanged(int segment);
    void helpSegmentedChanged(int segment);
    void openLogsFolder();
    // The desktop's workspace as every command uses it: a request it cannot
    // carry out is told to the user. Null without a workspace.
    Workspace* desktop() const;

    // ConvertCommand.cpp
    void setupConvertCommand();
    virtual void convertAction();
    void outputFolderChosen(bool accepted, const QStringList& paths);
    virtual void split();
    void cancelProcessAction();
    void viewLogAction();
    void closeProcessAction();
    // The progress sheet's time: elapsed, and the time left once it can be
    // told; in clock digits, or in the words of a run's time taken.
    static QString progressTimeText(qint64 elapsedMs, int pagesDone, int totalPages,
                                    bool inWords = false);
    // The current job, from split() until the progress sheet is closed.
    Process* process() const { return m_process.get(); }
    QDialog* processViewPanel() const { return m_progressPanel; }
    // The usage record and the review prompt.
    UsagesReportingWindowController* usagesReport() const { return m_usagesReport; }
    // TableCommands.cpp
    // Tags of the list workers, as carried by the context menu's actions.
    enum SelectRemoveTag {
        SelectAllRows = 1,
        SelectFirstRow = 2,
        RemoveAllFiles = 3,
        RemoveSelectedRows = 4
    };
    enum CheckTag { CheckRows = 1, UncheckRows = 2, InvertRows = 3 };
    void selectDeselectRemoveAll(int tag);
    void checkUncheckInvertSelection(int tag);
    void checkUncheckInvertAll(int tag);
    void removeAction();
    void removeFiles();
    void openFiles();
    void openEnclodingFolder();
    virtual void getInfo();
    void moveUp();
    void moveDown();
    // Ctrl+Up / Ctrl+Down from the table; each moves only while its segment is enabled.
    void keyDownTableView(int key);
    void invertCheckOfSelectedRows();
    void fileDoubleClicked(int row);
    void tableViewSelectionDidChange();
    // The row style and move segments follow the row count.
    virtual void refreshTableForRowCount();
    // Rebuilds the column chooser for the header's current order and visibility.
    void menuNeedsUpdate(QMenu* menu);
    void colMenuItemClick(QAction* item);
    void navigationSegmentedChanged(int segment);
    // Rows highlighted in the table, ascending.
    std::vector<int> selectedRows() const;
    void selectRows(const std::vector<int>& rows);
    QMenu* filesContextMenu() const { return m_filesContextMenu; }
    QMenu* headerContextMenu() const { return m_headerContextMenu; }
    // OutputSettings.cpp
    void setupOutputSettings();
    // Command bar segment 0: the panel as a sheet on the main window.
    virtual void showOutputSettings();
    void optionTabSegmentedChanged(int segment);
    void closeOutputSetting();
    virtual void chooseOutputFolder();
    // No default output folder any more: Convert asks for one again.
    void clearOutputFolder();
    // returnCode 1: the user chose `paths`; anything else changes nothing.
    void openPanelOutputFolderDidEnd(int returnCode, const QStringList& paths);
    // Keeps a field tagged 30001 or 30002 a number while it is edited.
    void controlTextDidChange(QLineEdit* field);
    void observeValueForKeyPath(const QString& keyPath);
    // The text a numeric field of `tag` shows after an edit to `text`; other
    // tags keep `text`.
    static QString numericFieldText(int tag, const QString& text);
    QDialog* outputSettingPanel() const { return m_outputSettingPanel; }

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

protected:
    // What the editions' windows do differently, in start-up order.
    // Builds the window and its settings panel and finds the shared parts.
    virtual void buildWindow();
    // The command controls: their titles, icons and actions.
    virtual void setupCommands();
    // After the table's context menu: where the settings are shown.
    virtual void setupSettingsArea() {}
    virtual void markAccessLetters();
    // The tabs of the settings panel.
    virtual void setupSettingsTabs();
    virtual void installWindowFocusTracking();
    // The include-subfolders choice and the recent folders, last at start-up.
    virtual void restoreListChoices();
    virtual void storeListChoices();
    // The header's column chooser and the rows' double click.
    virtual void setupTableExtras();

    // The controls that stand for commands.
    enum class Command {
        AddFiles,
        Remove,
        RemoveAll,
        IncludeSubfolders,
        Import,
        Export,
        Logs,
        Settings
    };
    virtual bool isCommandEnabled(Command command) const;
    virtual void setConvertEnabled(bool enabled);
    virtual bool isConvertEnabled() const;
    virtual void setMoveEnabled(bool up, bool down);
    virtual bool isMoveEnabled(bool up) const;
    virtual void toggleIncludeSubfolders();
    // Asks before every file leaves the list; `remove` runs on yes.
    virtual void confirmRemoveAll(const std::function<void()>& remove);

    // The job of a run over the checked files, with the settings of now.
    std::shared_ptr<Process> makeJob();
    // Starts `job` on its worker and shows the progress sheet.
    void launchJob(const std::shared_ptr<Process>& job);
    void commitSettingsFields();
    // Tells the user, without waiting for an answer, what the desktop could not open.
    void tellDesktopFailure(const QString& message);
    // The window an alert of the shared commands belongs to: the sheet in
    // front, else the main window; none where alerts stand on their own.
    QWidget* alertWindow() const;

    // Stops the load and the job at their next boundary and waits for them,
    // running their calls to this thread meanwhile. A subclass calls it in its
    // own destructor, while its overrides still stand.
    void stopWorkers();

    // Runs `body` on the main thread and returns when it is done.
    void onMainThread(const std::function<void()>& body);
    void setupCommandBar();
    void connectCommands();
    // The main window's close request and the Quit key in any window end the program.
    void installQuitRequests();
    void setupTable();
    void setupUsagesReport();
    void loadStoredRecentItems();
    QVariantList recentItemsData() const;
    void replaceListWithFolders(const QStringList& folders);
    void joinLoader();
    // Serves the worker's calls until `running` clears.
    void waitForWorker(const std::atomic<bool>& running);
    // Commits a value being typed, stores the recent folders and the settings.
    void storeForQuit();
    // Convert can act: checked files with pages, and no load or job under way.
    void refreshConvertCommand();
    bool m_quitting = false;
    QString timeLabelText(const QString& time, int done, int total) const;

    Services m_services;
    // The current edition's window; none in the first edition.
    std::unique_ptr<Ui::MainWindow> m_ui;
    std::unique_ptr<QMainWindow> m_window;
    WindowParts m_parts;
    std::unique_ptr<Ui::OutputSettingsPanel> m_panelUi;
    QDialog* m_outputSettingPanel = nullptr; // owned by the window
    std::unique_ptr<FileList> m_files;
    std::unique_ptr<Settings> m_settings;
    std::shared_ptr<Process> m_process;
    FileTableModel* m_model = nullptr; // owned by the window
    std::atomic<bool> m_isProcessing{false};
    std::thread m_loader;
    FileLoaderOptions m_loaderOptions;
    // TableCommands.cpp
    void setupTableCommands();
    void buildFilesContextMenu();
    void buildHeaderContextMenu();
    void connectTableSignals();
    void applyCheckTag(const std::vector<int>& rows, int tag);
    void afterCheckChange();
    QStringList selectedPaths() const;
    QMenu* m_filesContextMenu = nullptr;  // owned by the window
    QMenu* m_headerContextMenu = nullptr; // owned by the window
    std::atomic<bool> m_loaderRunning{false};
    // ImportExport.cpp
    void exportDidEnd(const QString& path, const Status& written);
    void joinExporter();
    std::thread m_exporter;
    std::atomic<bool> m_exportRunning{false};
    // ConvertCommand.cpp
    void watchProgress(Process& job, int totalPages);
    // What the job reported since the sheet last showed its progress.
    struct PendingProgress {
        std::optional<QString> sourcePath;
        std::optional<QString> outputPath;
        std::optional<int> pages;
        std::optional<QString> filesText;
    };
    void noteProgress(const std::function<void(PendingProgress&)>& change);
    void showProgress();
    PendingProgress m_pendingProgress;
    bool m_progressRefreshQueued = false;
    void refreshProgressTime();
    void showProgressTime(qint64 elapsedMs, int pagesDone);
    void recordProcessedFiles(int count);
    // Removes from the list the items `job` converted in full.
    void removeConvertedFiles(const Process& job);
    // The usage store hears of a job that ended without its sheet being closed.
    void recordEndedJob();
    bool m_jobRecorded = false;
    // The progress sheet is up: from split() until Close.
    bool m_jobSheetUp = false;
    // The sheet is not modal, so that the menus and the window's close
    // request still reach the window; what lies under it is disabled instead.
    void showProgressSheet();
    void setWindowContentEnabled(bool enabled);
    void joinJob();
    std::unique_ptr<Ui::ProgressPanel> m_progressUi;
    QDialog* m_progressPanel = nullptr; // owned by the window
    QTimer* m_progressClock = nullptr;  // owned by the panel
    QElapsedTimer m_runClock;
    QWidget* m_openPanelCustomView = nullptr; // owned by the window
    QCheckBox* m_isSetCurrentAsDefaultOutputFolder = nullptr;
    QCheckBox* m_isOpenFolderAfterConversion = nullptr;
    QString m_outputFolder;
    std::thread m_jobThread;
    std::unique_ptr<ReportingWorkspace> m_desktop;
    // The job's way to the desktop: its requests run on this thread.
    std::unique_ptr<Workspace> m_jobWorkspace;
    std::atomic<bool> m_jobRunning{false};
    UsagesReportingWindowController* m_usagesReport = nullptr; // a child of this
    ImportFilesWindowController* m_importController = nullptr; // a child of this
    std::vector<RecentItem> m_recentItems;
    QStringList m_handedPaths;
    void addPendingHandedPaths();
    // Helper.cpp
    struct MenuCommand {
        QAction* item;
        std::function<bool()> canRun;
        std::function<void()> run;
    };
    void bindMenuCommands();
    std::vector<MenuCommand> m_menuCommands;
    QPointer<QDialog> m_aboutWindow;
};
