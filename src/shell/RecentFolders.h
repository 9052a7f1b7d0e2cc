#pragma once

#include "filelist/RecentItem.h"

#include <QObject>
#include <QStringList>
#include <QVariantList>

#include <vector>

class PictavoAppDelegate;
class QComboBox;
struct ShellContext;

// The recent-folders pop-up: folders the user added, newest first, each able
// to replace the list with its TIFF files; kept in the preferences.
//
// Threads: main thread only.
class RecentFolders : public QObject {
    Q_OBJECT
public:
    explicit RecentFolders(PictavoAppDelegate& app);

    // The stored folders into the pop-up, and the pop-up's choices taken.
    void restoreRecentFolders();
    // Stores the folders for the next start.
    void storeRecentFolders();
    void addRecentItem(const QStringList& folders);
    void loadRecentFolders();
    // The pop-up's choice: index 0 is its title.
    void recentFolderChanged(int index);
    const std::vector<RecentItem>& recentItems() const { return m_recentItems; }

private:
    void loadStoredRecentItems();
    void replaceListWithFolders(const QStringList& folders);

    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    std::vector<RecentItem> m_recentItems;
    QComboBox* m_popup = nullptr; // owned by the window
};
