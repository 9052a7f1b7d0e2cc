#include "filelist/RecentItem.h"

#include <QVariantMap>

#include <algorithm>

namespace {

const QString kItemPath = QStringLiteral("itemPath");
const QString kLastUsedDate = QStringLiteral("lastUsedDate");

} // namespace

const QString RecentItem::kPreferencesKey = QStringLiteral("RECENTITEMS");

RecentItem::RecentItem() : m_lastUsedDate(QDateTime::currentDateTime()) {}

RecentItem::RecentItem(QString path)
    : m_lastUsedDate(QDateTime::currentDateTime()), m_itemPath(std::move(path)) {}

void RecentItem::setData(const QVariant& data) {
    if (data.typeId() != QMetaType::QVariantMap && data.typeId() != QMetaType::QVariantHash) {
        return;
    }
    const QVariantMap map = data.toMap();
    m_itemPath = map.value(kItemPath).toString();
    // Through the INI store a date may come back as text.
    const QVariant date = map.value(kLastUsedDate);
    m_lastUsedDate = date.typeId() == QMetaType::QDateTime
                         ? date.toDateTime()
                         : QDateTime::fromString(date.toString(), Qt::ISODateWithMs);
}

QVariantMap RecentItem::getData() const {
    QVariantMap map;
    if (m_itemPath.isEmpty()) {
        return map;
    }
    map.insert(kItemPath, m_itemPath);
    if (m_lastUsedDate.isValid()) {
        map.insert(kLastUsedDate, m_lastUsedDate);
    }
    return map;
}

std::vector<RecentItem> recentItemsFromData(const QVariant& stored) {
    std::vector<RecentItem> items;
    if (stored.typeId() != QMetaType::QVariantList) {
        return items;
    }
    for (const QVariant& entry : stored.toList()) {
        RecentItem item;
        item.setData(entry);
        items.push_back(item);
    }
    sortNewestFirst(items);
    return items;
}

QVariantList recentItemsData(const std::vector<RecentItem>& items) {
    QVariantList data;
    for (const RecentItem& item : items) {
        data.append(item.getData());
    }
    return data;
}

void sortNewestFirst(std::vector<RecentItem>& items) {
    std::stable_sort(items.begin(), items.end(), [](const RecentItem& a, const RecentItem& b) {
        return a.lastUsedDate() > b.lastUsedDate();
    });
}
