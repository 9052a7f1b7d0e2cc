#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <vector>

// One remembered folder and when it was last added or chosen.
//
// Threads: main thread only.
class RecentItem {
public:
    static const QString kPreferencesKey; // "RECENTITEMS"

    // No path, last used now.
    RecentItem();
    // `path`, last used now.
    explicit RecentItem(QString path);

    const QString& itemPath() const { return m_itemPath; }
    void setItemPath(const QString& path) { m_itemPath = path; }
    const QDateTime& lastUsedDate() const { return m_lastUsedDate; }
    void setLastUsedDate(const QDateTime& date) { m_lastUsedDate = date; }

    // From a dictionary with "itemPath" and "lastUsedDate"; a missing value
    // becomes none. Anything but a dictionary changes nothing.
    void setData(const QVariant& data);
    // The dictionary form: empty without a path, without the date when there
    // is none.
    QVariantMap getData() const;

    // Equal to an item of the same path, or to that path as a bare string;
    // the date plays no part.
    bool isEqual(const RecentItem& other) const { return m_itemPath == other.m_itemPath; }
    bool isEqual(const QString& path) const { return m_itemPath == path; }

private:
    QDateTime m_lastUsedDate;
    QString m_itemPath;
};

// The folders kept under "RECENTITEMS": one item per entry of the stored
// list, newest first (a tie keeps the stored order); anything but a list gives
// none.
std::vector<RecentItem> recentItemsFromData(const QVariant& stored);
// The stored form of `items`, in their order.
QVariantList recentItemsData(const std::vector<RecentItem>& items);
// Newest first; items of the same date keep their order.
void sortNewestFirst(std::vector<RecentItem>& items);
