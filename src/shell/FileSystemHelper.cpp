// Adding files and folders: the commands, the drop handler and the loader's
// worker thread.
#include "shell/FileSystemHelper.h"

#include "filelist/Arguments.h"
#include "filelist/FileList.h"
#include "filelist/FolderWalker.h"
#include "platform/NativePath.h"
#include "platform/Preferences.h"
#include "platform/ThreadHandOff.h"
#include "shell/Choosers.h"
#include "shell/Dialogs.h"
#include "shell/EditionWindow.h"
#include "shell/FileTableModel.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/RecentFolders.h"
#include "shell/ViewHelper.h"
#include "widgets/CustomTableView.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMainWindow>
#include <QPushButton>

namespace {

// A dropped URL carries the name's bytes percent-escaped; toLocalFile() would
// read them as UTF-8 and lose any that are not.
QList<QUrl> droppedUrls(const QList<QUrl>& urls) {
    QList<QUrl> local;
    for (const QUrl& url : urls) {
        local.append(url.isLocalFile() ? QUrl::fromLocalFile(NativePath::pathOfSystemUrl(url))
                                       : url);
    }
    return local;
}

} // namespace

FileSystemHelper::FileSystemHelper(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

FileSystemHelper::~FileSystemHelper() {
    joinLoader();
}

void FileSystemHelper::setupAdding() {
    connect(m_ctx.parts.mainTableView, &CustomTableView::urlsDropped, this,
            [this](const QList<QUrl>& urls) { (void)acceptDrop(droppedUrls(urls)); });
    connect(m_ctx.parts.cancelBtn, &QPushButton::clicked, this, &FileSystemHelper::cancelAction);
    m_ctx.parts.includeSubfoldersMenuItem->setChecked(inculdeSubfolders());
}

void FileSystemHelper::addFiles() {
    searchAction();
    const bool folders = m_app.editionGroups().addFilesTakesFolders && inculdeSubfolders();
    m_ctx.dialogs->beginOpenPanel(m_ctx.window,
                                  tiffFilesChooser(QStringLiteral("Select TIFF File(s):"), folders),
                                  [this, folders](bool accepted, const QStringList& paths) {
                                      openPanelDidEnd(accepted, paths, folders);
                                  });
    m_ctx.parts.mainTableView->viewport()->update();
}

void FileSystemHelper::addFolder() {
    searchAction();
    OpenPanelRequest panel =
        foldersChooser(QStringLiteral("Select folder(s) contains TIFF File(s):"));
    panel.allowedFileTypes = allowedFileTypes();
    m_ctx.dialogs->beginOpenPanel(m_ctx.window, panel,
                                  [this](bool accepted, const QStringList& paths) {
                                      openPanelDidEnd(accepted, paths, true);
                                  });
}

void FileSystemHelper::searchFolders() {
    searchAction();
    m_ctx.dialogs->beginOpenPanel(
        m_ctx.window,
        foldersChooser(QStringLiteral("Select folder(s) to search for TIFF File(s):")),
        [this](bool accepted, const QStringList& paths) {
            if (accepted) {
                loadURLs(Arguments::forPaths(paths, true, true));
            }
        });
}

void FileSystemHelper::searchAction() {
    if (QWidget* focus = QApplication::focusWidget();
        focus != nullptr && m_ctx.window->isAncestorOf(focus)) {
        focus->clearFocus();
    }
}

void FileSystemHelper::cancelAction() {
    m_ctx.isProcessing = false;
}

bool FileSystemHelper::inculdeSubfolders() const {
    return m_ctx.preferences != nullptr && includeSubfolders(*m_ctx.preferences);
}

void FileSystemHelper::setInculdeSubfolders(bool include) {
    if (m_ctx.preferences != nullptr) {
        setIncludeSubfolders(*m_ctx.preferences, include);
    }
}

void FileSystemHelper::rememberFolders(const QStringList& folders) {
    if (RecentFolders* recent = m_app.recentFolders()) {
        recent->addRecentItem(folders);
    }
}

void FileSystemHelper::openPanelDidEnd(bool accepted, const QStringList& paths,
                                       bool panelAllowedFolders) {
    m_ctx.parts.mainTableView->viewport()->update();
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
    rememberFolders(folders);
    request.isFolders = panelAllowedFolders;
    request.isIncludeSubdirectories = inculdeSubfolders();
    loadURLs(request);
}

bool FileSystemHelper::acceptDrop(const QList<QUrl>& urls) {
    m_app.editionWindow().filesDropped();
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
    rememberFolders(folders);
    request.isFolders = true;
    request.isIncludeSubdirectories = inculdeSubfolders();
    loadURLs(request);
    return false;
}

void FileSystemHelper::loadURLs(const Arguments& request) {
    if (m_ctx.quitting || m_loaderRunning.exchange(true)) {
        return; // one load at a time; the window is disabled while it runs
    }
    if (m_loader.joinable()) {
        m_loader.join();
    }
    m_app.viewHelper().refreshConvertCommand();
    FileLoaderOptions options = m_loaderOptions;
    options.elapsedTimeInWords = m_ctx.edition.elapsedTimeInWords;
    m_loader = std::thread([this, request, options] {
        ::loadURLs(*this, &request, options);
        postToThreadOf(this, [this] {
            m_loaderRunning = false;
            m_app.viewHelper().refreshConvertCommand();
            Q_EMIT m_app.loadFinished();
            addPendingHandedPaths();
            Q_EMIT m_app.workerEnded();
        });
    });
}

bool FileSystemHelper::isLoading() const {
    return m_loaderRunning.load();
}

void FileSystemHelper::joinLoader() {
    PictavoAppDelegate::waitForWorker(m_loaderRunning);
    if (m_loader.joinable()) {
        m_loader.join();
    }
}

void FileSystemHelper::resetViewObject(bool enable) {
    m_app.onMainThread([this, enable] { m_app.editionWindow().resetView(enable); });
}

void FileSystemHelper::startProcess() {
    m_app.viewHelper().startProcess();
}

void FileSystemHelper::stopProcess() {
    m_app.viewHelper().stopProcess();
}

void FileSystemHelper::updateTimeTakenLabel(const QString& text) {
    m_app.viewHelper().updateTimeTakenLabel(text);
}

void FileSystemHelper::updateTotalPagesLabel() {
    m_app.viewHelper().updateTotalPagesLabel();
}

bool FileSystemHelper::isProcessing() const {
    return m_ctx.isProcessing.load();
}

FileList::KeySet FileSystemHelper::presentUrlKeys() {
    FileList::KeySet keys;
    m_app.onMainThread([this, &keys] { keys = m_ctx.files->keys(); });
    return keys;
}

int FileSystemHelper::appendFiles(const std::vector<std::shared_ptr<FileItem>>& items) {
    int added = 0;
    m_app.onMainThread([this, &items, &added] { added = m_ctx.files->appendAll(items); });
    return added;
}

void FileSystemHelper::sortAndReload() {
    m_app.onMainThread([this] {
        const QHeaderView* header = m_ctx.parts.mainTableView->horizontalHeader();
        if (header->isSortIndicatorShown() && header->sortIndicatorSection() >= 0) {
            m_ctx.model->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
        }
        m_ctx.parts.mainTableView->viewport()->update();
    });
}

void FileSystemHelper::addHandedPaths(const QStringList& paths) {
    m_handedPaths += paths;
    addPendingHandedPaths();
}

void FileSystemHelper::addPendingHandedPaths() {
    // A load in progress would refuse them, and a job's sheet owns the list.
    if (m_ctx.quitting || m_handedPaths.isEmpty() || isLoading() || isProcessing()) {
        return;
    }
    QList<QUrl> urls;
    for (const QString& path : std::as_const(m_handedPaths)) {
        urls.append(QUrl::fromLocalFile(path));
    }
    m_handedPaths.clear();
    (void)acceptDrop(urls);
}
