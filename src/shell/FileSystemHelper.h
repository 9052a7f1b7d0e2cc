#pragma once

#include "filelist/FileList.h"
#include "filelist/FileLoader.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

struct Arguments;
class PictavoAppDelegate;
struct ShellContext;

// Adding files and folders: the commands and their choosers, drops on the
// table, paths handed over by a later start, and the loader's worker thread.
//
// Threads: main thread, except the FileLoaderHost entries, which the loader
// calls; each runs its body on the main thread and returns when it is done.
class FileSystemHelper : public QObject, public FileLoaderHost {
    Q_OBJECT
public:
    explicit FileSystemHelper(PictavoAppDelegate& app);
    ~FileSystemHelper() override;

    // The table's drops and the status line's Cancel.
    void setupAdding();
    void addFiles();
    void addFolder();
    // Add Folder, searching every subfolder whatever the choice says.
    void searchFolders();
    // Ends field editing: a value being typed is committed.
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
    // Paths handed over by a later start: added now, or once the window is
    // free again (after a load, or when the progress sheet closes).
    void addHandedPaths(const QStringList& paths);
    void addPendingHandedPaths();
    // Waits for the load's worker, serving its calls meanwhile.
    void joinLoader();

    // FileLoaderHost
    void resetViewObject(bool enable) override;
    void startProcess() override;
    void stopProcess() override;
    void updateTimeTakenLabel(const QString& text) override;
    void updateTotalPagesLabel() override;
    int appendFiles(const std::vector<std::shared_ptr<FileItem>>& items) override;
    void sortAndReload() override;
    bool isProcessing() const override;
    FileList::KeySet presentUrlKeys() override;

private:
    // Remembers the folders among `paths` as recent, where the edition has them.
    void rememberFolders(const QStringList& folders);

    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    std::thread m_loader;
    std::atomic<bool> m_loaderRunning{false};
    FileLoaderOptions m_loaderOptions;
    QStringList m_handedPaths;
};
