// The recent-folders pop-up: folders the user added, newest first, each able
// to replace the list with its TIFF files.
#include "filelist/FileList.h"
#include "platform/NativePath.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"
#include "shell/Dialogs.h"
#include "shell/PictavoAppDelegate.h"
#include "ui_MainWindow.h"

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

} // namespace

void PictavoAppDelegate::loadStoredRecentItems() {
    m_recentItems.clear();
    if (m_services.preferences != nullptr) {
        m_recentItems =
            recentItemsFromData(m_services.preferences->value(RecentItem::kPreferencesKey));
    }
    loadRecentFolders();
}

QVariantList PictavoAppDelegate::recentItemsData() const {
    return ::recentItemsData(m_recentItems);
}

void PictavoAppDelegate::addRecentItem(const QStringList& folders) {
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

void PictavoAppDelegate::loadRecentFolders() {
    sortNewestFirst(m_recentItems);
    QComboBox* popup = m_ui->recentFoldersPopup;
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

void PictavoAppDelegate::recentFolderChanged(int index) {
    try {
        QComboBox* popup = m_ui->recentFoldersPopup;
        // Replacing the list under a running load or job would lose files.
        if (index < 1 || index >= popup->count() || isLoading() || isProcessing()) {
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
        searchAction();
        OpenPanelRequest panel;
        panel.title = QStringLiteral("Choose folder(s):");
        panel.message = QStringLiteral("Choose folder(s):");
        panel.canChooseFiles = false;
        panel.canChooseDirectories = true;
        panel.canCreateDirectories = false;
        panel.allowsMultipleSelection = true;
        panel.directory = title;
        m_services.dialogs->beginOpenPanel(
            m_window.get(), panel, [this, title](bool accepted, const QStringList& paths) {
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
                m_ui->recentFoldersPopup->setCurrentIndex(
                    m_ui->recentFoldersPopup->findText(paths.first()));
                replaceListWithFolders(paths);
            });
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("recentFolderChanged"), QString::fromLocal8Bit(e.what()));
    }
}

void PictavoAppDelegate::replaceListWithFolders(const QStringList& folders) {
    m_files->clear();
    m_parts.mainTableView->viewport()->update();
    resetView(true);
    updateTotalLabel();
    Arguments request;
    for (const QString& folder : folders) {
        request.urls.append(QUrl::fromLocalFile(folder));
    }
    request.isFolders = true;
    request.isIncludeSubdirectories = inculdeSubfolders();
    loadURLs(request);
}
