#include "UsageTestSupport.h"

#include "platform/Constants.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

UsageStore::BundleInfo pinnedBundle() {
    return {QStringLiteral("Pictavo"), QStringLiteral("2.0.0"),
            QDateTime(QDate(2026, 11, 30), QTime(18, 5), oneHourEast())};
}

QTimeZone oneHourEast() {
    return QTimeZone(3600);
}

QDateTime pinnedNow() {
    return QDateTime(QDate(2026, 12, 7), QTime(9, 40, 29, 123), oneHourEast());
}

std::unique_ptr<UsageStore> openStore(const QString& folder) {
    auto store = std::make_unique<UsageStore>(folder, pinnedBundle(), kPinnedUUID);
    store->setTimeZone(oneHourEast());
    store->setLastReportSentOn(pinnedNow());
    store->setLastReviewAskDate(pinnedNow());
    if (!store->load()) {
        store->save();
    }
    return store;
}

void setUpLikeMainWindow(UsageStore& store) {
    store.setReviewFileCountLimit(500);
    store.setIsReviewEnabled(true);
    store.setReviewURL(StringUtilities::siteAddress() + QStringLiteral("/review.php?pid=2015"));
    if (store.features().empty()) {
        store.features().push_back(
            FeatureUsages::initWithName(QStringLiteral("Output Files"), 1, 0));
        store.save();
    }
}

std::unique_ptr<UsageStore> startApplication(const QString& folder) {
    auto store = openStore(folder);
    setUpLikeMainWindow(*store);
    return store;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
}

QByteArray usageFileWith(const QByteArray& children) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<usagesreporting>" + children +
           "</usagesreporting>\n";
}
