// The recent-folders pop-up: folders the user added, newest first, each able
// to replace the list with its TIFF files.
#include "shell/RecentFolders.h"

#include "filelist/Arguments.h"
#include "filelist/FileList.h"
#include "platform/NativePath.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"
#include "shell/Choosers.h"
#include "shell/Dialogs.h"
#include "shell/EditionWindow.h"
#include "shell/FileSystemHelper.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ViewHelper.h"
#include "widgets/CustomTableView.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateTime>
#include <QMainWindow>
#include <QSignalBlocker>

#include <algorithm>
#include <exception>

#include <unistd.h>

namespace {

const QString kPopupTitle = QStringLiteral("Recent Folders...");
constexpr int kListWidth = 480;

bool isReadableFolder(const QString& path) {
    return NativePath::isDirectory(path) && NativePath::isAccessible(path, R_OK | X_OK);
}

// Now, or just after the newest use when the clock has not moved on since:
// what is used now must come first, also when two uses share a millisecond.
QDateTime newerThanAll(const std::vector<RecentItem>& items) {
    QDateTime stamp = QDateTime::currentDateTime();
    for (const RecentItem& item : items) {
        if (item.lastUsedDate().isValid() && item.lastUsedDate() >= stamp) {
            stamp = item.lastUsedDate().addMSecs(1);
        }
    }
    return stamp;
}

QComboBox* recentFoldersPopup(const QMainWindow& window) {
    return window.findChild<QComboBox*>(QStringLiteral("recentFoldersPopup"));
}

} // namespace

RecentFolders::RecentFolders(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

void RecentFolders::restoreRecentFolders() {
    m_popup = recentFoldersPopup(*m_ctx.window);
    loadStoredRecentItems();
    connect(m_popup, &QComboBox::activated, this, &RecentFolders::recentFolderChanged);
}

void RecentFolders::storeRecentFolders() {
    if (m_ctx.preferences != nullptr) {
        m_ctx.preferences->setValue(RecentItem::kPreferencesKey, recentItemsData(m_recentItems));
    }
}

void RecentFolders::loadStoredRecentItems() {
    m_recentItems.clear();
    if (m_ctx.preferences != nullptr) {
        m_recentItems = recentItemsFromData(m_ctx.preferences->value(RecentItem::kPreferencesKey));
    }
    loadRecentFolders();
}

void RecentFolders::addRecentItem(const QStringList& folders) {
    const QDateTime now = newerThanAll(m_recentItems);
    for (const QString& path : folders) {
        const bool known =
            std::any_of(m_recentItems.cbegin(), m_recentItems.cend(),
                        [&path](const RecentItem& item) { return item.isEqual(path); });
        if (!known) {
            m_recentItems.emplace_back(path);
            m_recentItems.back().setLastUsedDate(now);
        }
    }
    loadRecentFolders();
}

void RecentFolders::loadRecentFolders() {
    sortNewestFirst(m_recentItems);
    QComboBox* popup = m_popup;
    const QSignalBlocker quiet(popup);
    popup->clear();
    popup->addItem(kPopupTitle);
    for (const RecentItem& item : m_recentItems) {
        popup->addItem(item.itemPath());
        popup->setItemData(popup->count() - 1, item.itemPath(), Qt::ToolTipRole);
    }
    popup->setCurrentIndex(0);
    // The button stays narrow; its list is wide enough for real paths.
    popup->view()->setTextElideMode(Qt::ElideMiddle);
    popup->view()->setMinimumWidth(kListWidth);
}

void RecentFolders::recentFolderChanged(int index) {
    logFailures(QStringLiteral("recentFolderChanged"), [&] {
        QComboBox* popup = m_popup;
        // Replacing the list under a running load or job would lose files.
        if (index < 1 || index >= popup->count() || m_app.fileSystemHelper().isLoading() ||
            m_app.fileSystemHelper().isProcessing()) {
            popup->setCurrentIndex(0);
            return;
        }
        const QString title = popup->itemText(index);
        const auto found =
            std::find_if(m_recentItems.rbegin(), m_recentItems.rend(),
                         [&title](const RecentItem& item) { return item.isEqual(title); });
        if (found == m_recentItems.rend()) {
            return;
        }
        if (isReadableFolder(title)) {
            found->setLastUsedDate(newerThanAll(m_recentItems));
            loadRecentFolders();
            popup->setCurrentIndex(popup->findText(title));
            replaceListWithFolders({title});
            return;
        }
        // Moved, deleted or out of reach: ask where it went, starting there.
        m_app.fileSystemHelper().searchAction();
        OpenPanelRequest panel = foldersChooser(QStringLiteral("Choose folder(s):"));
        panel.title = panel.message;
        panel.directory = title;
        m_ctx.dialogs->beginOpenPanel(
            m_ctx.window, panel, [this, title](bool accepted, const QStringList& paths) {
                if (!accepted || paths.isEmpty()) {
                    return;
                }
                const QDateTime now = newerThanAll(m_recentItems);
                for (RecentItem& item : m_recentItems) {
                    if (item.isEqual(title)) {
                        item.setLastUsedDate(now);
                    }
                }
                // The chosen folders are newer still, so they come first.
                addRecentItem(paths);
                m_popup->setCurrentIndex(m_popup->findText(paths.first()));
                replaceListWithFolders(paths);
            });
    });
}

void RecentFolders::replaceListWithFolders(const QStringList& folders) {
    m_ctx.files->clear();
    m_ctx.parts.mainTableView->viewport()->update();
    m_app.editionWindow().resetView(true);
    m_app.viewHelper().updateTotalLabel();
    Arguments request;
    for (const QString& folder : folders) {
        request.urls.append(QUrl::fromLocalFile(folder));
    }
    request.isFolders = true;
    request.isIncludeSubdirectories = m_app.fileSystemHelper().inculdeSubfolders();
    m_app.fileSystemHelper().loadURLs(request);
}
