#pragma once

#include "usage/FeatureUsages.h"

struct Edition;

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <vector>

namespace pugi {
class xml_document;
}

// The usage record "Usages.Log": counts per feature, the consent to usage
// reports and the review schedule, kept as one XML file in the application
// folder and written in full after every change.
//
// Threads: main thread only.
class UsageStore {
public:
    // What the running program says of itself; the stored values win on load.
    struct BundleInfo {
        QString productName;
        QString version;
        QDateTime buildDate;
    };

    // The creation values (nothing is read or written): not enabled, no
    // features, review off, review URL the site root, limit 1000 with the due
    // mark 0, last report and last review ask now, never-ask off. `folder` is
    // where "Usages.Log" lives (the application folder).
    UsageStore(QString folder, BundleInfo bundle, QString hardwareUUID);

    QString filePath() const;

    // Reads the file into the fields; false when there is no file or reading
    // failed ("Error in load : %@"). A file that is not XML leaves every field
    // and still gives true; a partial tree is read as far as it goes.
    bool load();
    // Writes every field (creating the folder first), atomically; false when
    // building or writing failed ("Error in save : %@").
    bool save();
    // One use of `name` that handled `files` files, then save(). The last
    // entry of that name counts it; a new name is appended.
    void updateUsages(const QString& name, qint32 files);

    // Sum of filesCount over every entry, in 64 bits.
    qint64 totalFileCount() const;
    // The launch check's review rule: enabled, not declined for good, a total
    // above 0 that has reached the due mark.
    bool isReviewDue() const;
    // The review sheet closed (by either button): never-ask from the sheet,
    // lastReviewAskDate now, the next mark the total plus the limit; save().
    void recordReviewAnswer(bool neverAskForReview, const QDateTime& now);
    // Consent given and at least 30 whole days since the last accepted report.
    bool isReportDue(const QDateTime& now) const;

    // The file's date form: local time of `zone` with six fractional digits
    // and the offset that zone has at that instant ("Z" for none), e.g.
    // 2026-12-07T09:40:29.123000+01:00.
    static QString dateText(const QDateTime& date,
                            const QTimeZone& zone = QTimeZone::systemTimeZone());
    // Reads that form (and other ISO 8601 forms) back; invalid for bad text.
    static QDateTime parseDate(const QString& text);

    const QString& productName() const { return m_productName; }
    const QString& version() const { return m_version; }
    const QDateTime& buildDate() const { return m_buildDate; }
    std::vector<FeatureUsages>& features() { return m_features; }
    const std::vector<FeatureUsages>& features() const { return m_features; }
    bool isEnabled() const { return m_isEnabled; }
    void setIsEnabled(bool on) { m_isEnabled = on; }
    const QDateTime& lastReportSentOn() const { return m_lastReportSentOn; }
    void setLastReportSentOn(const QDateTime& date) { m_lastReportSentOn = date; }
    const QString& hardwareUUID() const { return m_hardwareUUID; }
    bool isReviewEnabled() const { return m_isReviewEnabled; }
    void setIsReviewEnabled(bool on) { m_isReviewEnabled = on; }
    const QString& reviewURL() const { return m_reviewURL; }
    void setReviewURL(const QString& url) { m_reviewURL = url; }
    qint64 reviewFileCountLimit() const { return m_reviewFileCountLimit; }
    // Also sets the due mark to the limit when the mark is 0.
    void setReviewFileCountLimit(qint64 limit);
    const QDateTime& lastReviewAskDate() const { return m_lastReviewAskDate; }
    void setLastReviewAskDate(const QDateTime& date) { m_lastReviewAskDate = date; }
    bool neverAskForReview() const { return m_neverAskForReview; }
    void setNeverAskForReview(bool on) { m_neverAskForReview = on; }
    qint64 nextReviewTargetValue() const { return m_nextReviewTargetValue; }
    void setNextReviewTargetValue(qint64 value) { m_nextReviewTargetValue = value; }
    // The zone whose local time the file's dates are written in and in which
    // report days are counted; the system's unless a test pins another.
    const QTimeZone& timeZone() const { return m_zone; }
    void setTimeZone(const QTimeZone& zone) { m_zone = zone; }

private:
    void readFields(const pugi::xml_document& doc);
    void readFeatures(const pugi::xml_document& doc);

    QString m_folder;
    QString m_productName;
    QString m_version;
    QDateTime m_buildDate;
    std::vector<FeatureUsages> m_features;
    bool m_isEnabled = false;
    QDateTime m_lastReportSentOn;
    QString m_hardwareUUID;
    bool m_isReviewEnabled = false;
    QString m_reviewURL;
    qint64 m_reviewFileCountLimit = 0;
    QDateTime m_lastReviewAskDate;
    bool m_neverAskForReview = false;
    qint64 m_nextReviewTargetValue = 0;
    QTimeZone m_zone = QTimeZone::systemTimeZone();
};

// The machine's identifier as a UUID text (from /etc/machine-id, else
// /var/lib/dbus/machine-id); "" when neither exists.
QString machineHardwareUUID();
// The same from the first of `machineIdFiles` that holds a machine identifier.
QString machineHardwareUUIDFrom(const QStringList& machineIdFiles);

// The running program: the edition's display name and version, and the
// modification time of the executable as its build date.
UsageStore::BundleInfo runningBundleInfo(const Edition& edition);
