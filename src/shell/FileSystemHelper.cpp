// Adding files and folders: the commands, the drop handler and the loader's
// worker thread.
#include "filelist/FileList.h"
#include "filelist/FolderWalker.h"
#include "platform/NativePath.h"
#include "platform/Preferences.h"
#include "platform/ThreadHandOff.h"
#include "shell/Dialogs.h"
#include "shell/FileTableModel.h"
#include "shell/PictavoAppDelegate.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QHeaderView>
#include <QMainWindow>

void PictavoAppDelegate::addFiles() {
    searchAction();
    const bool folders = inculdeSubfolders();
    OpenPanelRequest panel;
    panel.message = QStringLiteral("Select TIFF File(s):");
    panel.canChooseFiles = true;
    panel.canChooseDirectories = folders;
    panel.allowsMultipleSelection = true;
    panel.allowedFileTypes = allowedFileTypes();
    m_services.dialogs->beginOpenPanel(m_window.get(), panel,
                                       [this, folders](bool accepted, const QStringList& paths) {
                                           openPanelDidEnd(accepted, paths, folders);
                                       });
    m_parts.mainTableView->viewport()->update();
}

void PictavoAppDelegate::addFolder() {
    searchAction();
    OpenPanelRequest panel;
    panel.message = QStringLiteral("Select folder(s) contains TIFF File(s):");
    panel.canChooseFiles = false;
    panel.canChooseDirectories = true;
    panel.allowsMultipleSelection = true;
    panel.allowedFileTypes = allowedFileTypes();
    m_services.dialogs->beginOpenPanel(m_window.get(), panel,
                                       [this](bool accepted, const QStringList& paths) {
                                           openPanelDidEnd(accepted, paths, true);
                                       });
}

void PictavoAppDelegate::searchAction() {
    // Ends field editing: a value being typed is committed.
    if (QWidget* focus = QApplication::focusWidget();
        focus != nullptr && m_window->isAncestorOf(focus)) {
        focus->clearFocus();
    }
}

void PictavoAppDelegate::cancelAction() {
    m_isProcessing = false;
}

bool PictavoAppDelegate::inculdeSubfolders() const {
    return m_services.preferences != nullptr && includeSubfolders(*m_services.preferences);
}

void PictavoAppDelegate::setInculdeSubfolders(bool include) {
    if (m_services.preferences != nullptr) {
        setIncludeSubfolders(*m_services.preferences, include);
    }
}

void PictavoAppDelegate::openPanelDidEnd(bool accepted, const QStringList& paths,
                                         bool panelAllowedFolders) {
    m_parts.mainTableView->viewport()->update();
    if (!accepted) {
        return;
    }
    Arguments request;
    QStringList folders;
    for (const QString& path : paths) {
        request.urls.append(QUrl::fromLocalFile(path));
        if (NativePath::isDirectory(path)) {
            folders.append(path);
        }
    }
    addRecentItem(folders);
    request.isFolders = panelAllowedFolders;
    request.isIncludeSubdirectories = inculdeSubfolders();
    loadURLs(request);
}

bool PictavoAppDelegate::acceptDrop(const QList<QUrl>& urls) {
    searchAction();
    Arguments request;
    QStringList folders;
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            request.urls.append(url);
            if (NativePath::isDirectory(url.toLocalFile())) {
                folders.append(url.toLocalFile());
            }
        }
    }
    if (request.urls.isEmpty()) {
        return false;
    }
    addRecentItem(folders);
    request.isFolders = true;
    request.isIncludeSubdirectories = inculdeSubfolders();
    loadURLs(request);
    return false;
}

void PictavoAppDelegate::loadURLs(const Arguments& request) {
    if (m_quitting || m_loaderRunning.exchange(true)) {
        return; // one load at a time; the window is disabled while it runs
    }
    if (m_loader.joinable()) {
        m_loader.join();
    }
    refreshConvertCommand();
    FileLoaderOptions options = m_loaderOptions;
    options.elapsedTimeInWords = edition().elapsedTimeInWords;
    m_loader = std::thread([this, request, options] {
        ::loadURLs(*this, &request, options);
        postToThreadOf(this, [this] {
            m_loaderRunning = false;
            refreshConvertCommand();
            Q_EMIT loadFinished();
            addPendingHandedPaths();
            Q_EMIT workerEnded();
        });
    });
}

FileList::KeySet PictavoAppDelegate::presentUrlKeys() {
    FileList::KeySet keys;
    onMainThread([this, &keys] { keys = m_files->keys(); });
    return keys;
}

int PictavoAppDelegate::appendFiles(const std::vector<std::shared_ptr<FileItem>>& items) {
    int added = 0;
    onMainThread([this, &items, &added] { added = m_files->appendAll(items); });
    return added;
}

void PictavoAppDelegate::sortAndReload() {
    onMainThread([this] {
        const QHeaderView* header = m_parts.mainTableView->horizontalHeader();
        if (header->isSortIndicatorShown() && header->sortIndicatorSection() >= 0) {
            m_model->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
        }
        m_parts.mainTableView->viewport()->update();
    });
}

void PictavoAppDelegate::addHandedPaths(const QStringList& paths) {
    m_handedPaths += paths;
    addPendingHandedPaths();
}

void PictavoAppDelegate::addPendingHandedPaths() {
    // A load in progress would refuse them, and a job's sheet owns the list.
    if (m_quitting || m_handedPaths.isEmpty() || isLoading() || isProcessing()) {
        return;
    }
    QList<QUrl> urls;
    for (const QString& path : std::as_const(m_handedPaths)) {
        urls.append(QUrl::fromLocalFile(path));
    }
    m_handedPaths.clear();
    (void)acceptDrop(urls);
}
