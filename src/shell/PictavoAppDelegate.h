#pragma once

#include "engine/Process.h"
#include "filelist/FileList.h"
#include "filelist/FileLoader.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class Dialogs;
class FileTableModel;
class Preferences;
class QLineEdit;
class QMainWindow;
class Settings;
class Workspace;
class QDialog;
namespace Ui {
class MainWindow;
class OutputSettingsPanel;
} // namespace Ui

// The one controller of the application and its main window: start-up and
// quit, the window's view state (ViewHelper.cpp), adding files and folders
// (FileSystemHelper.cpp) and the menus (Helper.cpp).
//
// Threads: lives on the main thread and is called there, except for the
// FileLoaderHost and ProcessDelegate entries, which workers call; each of
// those runs its body on the main thread and returns when it is done.
// `isProcessing` is atomic: the main thread sets it, workers read it.
class PictavoAppDelegate : public QObject, public FileLoaderHost, public ProcessDelegate {
    Q_OBJECT
public:
    // The platform layers the controller uses; not owned, outlive it.
    struct Services {
        Preferences* preferences = nullptr;
        Workspace* workspace = nullptr;
        Dialogs* dialogs = nullptr;
    };

    explicit PictavoAppDelegate(Services services, QObject* parent = nullptr);
    ~PictavoAppDelegate() override;

    // Builds the window from its interface description and sets everything
    // up, in the start-up order.
    void awakeFromNib();
    // Stores what must survive and stops the workers; the application may
    // then end at once. Always true.
    bool applicationShouldTerminate();
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    void windowDidResignMain();
    void windowDidBecomeMain();

    QMainWindow* window() const { return m_window.get(); }
    FileList& files() { return *m_files; }
    Settings& settings() { return *m_settings; }

    // Helper.cpp
    void setupVersion();
    void setupToolbarAndMenuItems();
    void aboutAction();

    // ViewHelper.cpp
    void resetView(bool enable);
    void resetViewObject(bool enable) override;
    void startProcess() override;
    void stopProcess() override;
    void resetViewForProcess(bool enable);
    void updateTimeTakenLabel(const QString& text) override;
    void setSplitOptions(int outputType);
    void updateTotalLabel();
    void updateTotalPagesLabel() override;
    // The quality label: 10 gives "100%", any other q gives 10q + 10 percent.
    static QString qualityPercentText(int jpegQuality);

    // FileSystemHelper.cpp
    void addFiles();
    void addFolder();
    void searchAction();
    void cancelAction();
    bool inculdeSubfolders() const;
    void setInculdeSubfolders(bool include);
    void openPanelDidEnd(bool accepted, const QStringList& paths, bool panelAllowedFolders);
    // Drops from the file manager onto the table; always false (the drop is
    // not "taken"), the items are loaded all the same.
    bool acceptDrop(const QList<QUrl>& urls);
    // Starts a load of `request` on a worker thread of its own.
    void loadURLs(const Arguments& request);
    // How loads hand items to the list (tests make every item its own batch).
    void setLoaderOptions(const FileLoaderOptions& options) { m_loaderOptions = options; }
    // True while a load's worker thread exists.
    bool isLoading() const;

    // FileLoaderHost
    int appendFiles(const std::vector<std::shared_ptr<FileItem>>& items) override;
    void sortAndReload() override;
    bool isProcessing() const override { return m_isProcessing.load(); }
    FileList::KeySet presentUrlKeys() override;

    // Command bar
    void filesFoldersSegmentedChanged(int segment);
    void openLogsFolder();

    // OutputSettings.cpp
    void setupOutputSettings();
    // Command bar segment 0: the panel as a sheet on the main window.
    void showOutputSettings();
    void optionTabSegmentedChanged(int segment);
    void closeOutputSetting();
    void chooseOutputFolder();
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
    // A load finished and the window is ready again.
    void loadFinished();

private:
    // Runs `body` on the main thread and returns when it is done.
    void onMainThread(const std::function<void()>& body);
    void buildWindow();
    void connectCommands();
    void setupCommandBar();
    void setupTable();
    void installWindowFocusTracking();
    void joinLoader();
    QString timeLabelText(const QString& time, int done, int total) const;

    Services m_services;
    std::unique_ptr<Ui::MainWindow> m_ui;
    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<Ui::OutputSettingsPanel> m_panelUi;
    QDialog* m_outputSettingPanel = nullptr; // owned by the window
    std::unique_ptr<FileList> m_files;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<Process> m_process;
    FileTableModel* m_model = nullptr; // owned by the window
    std::atomic<bool> m_isProcessing{false};
    std::thread m_loader;
    FileLoaderOptions m_loaderOptions;
    std::atomic<bool> m_loaderRunning{false};
};
