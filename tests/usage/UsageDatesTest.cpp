#include "UsageTestSupport.h"
#include "support/TestEnvironment.h"
#include "usage/UsageStore.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

QDateTime utc(int year, int month, int day, int hour, int minute, int second = 0, int ms = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), QTimeZone::utc());
}

struct DateCase {
    const char* name;
    QDateTime instant;
    QTimeZone zone;
    QString expected;
};

class UsageDateTextTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(UsageDateTextTest, WrittenWithTheOffsetOfTheDateItself) {
    const DateCase& c = GetParam();
    ASSERT_TRUE(c.zone.isValid());
    EXPECT_EQ(UsageStore::dateText(c.instant, c.zone), c.expected);
}

TEST_P(UsageDateTextTest, ReadsBackToTheSameInstant) {
    const QDateTime back = UsageStore::parseDate(GetParam().expected);
    ASSERT_TRUE(back.isValid());
    EXPECT_EQ(back.toMSecsSinceEpoch(), GetParam().instant.toMSecsSinceEpoch());
}

const DateCase kDates[] = {
    {"utc", utc(2026, 12, 7, 8, 40, 29, 123), QTimeZone::utc(),
     QStringLiteral("2026-12-07T08:40:29.123000Z")},
    {"one_hour_east", utc(2026, 12, 7, 8, 40, 29, 123), QTimeZone(3600),
     QStringLiteral("2026-12-07T09:40:29.123000+01:00")},
    {"three_and_a_half_hours_west", utc(2026, 12, 7, 8, 40, 29, 123), QTimeZone(-12600),
     QStringLiteral("2026-12-07T05:10:29.123000-03:30")},
    {"newfoundland_winter", utc(2026, 1, 10, 12, 0), QTimeZone("America/St_Johns"),
     QStringLiteral("2026-01-10T08:30:00.000000-03:30")},
    {"newfoundland_summer", utc(2026, 7, 10, 12, 0), QTimeZone("America/St_Johns"),
     QStringLiteral("2026-07-10T09:30:00.000000-02:30")},
    {"berlin_summer", utc(2026, 7, 15, 10, 0, 0, 250), QTimeZone("Europe/Berlin"),
     QStringLiteral("2026-07-15T12:00:00.250000+02:00")},
    {"berlin_winter", utc(2026, 1, 15, 10, 0, 0, 250), QTimeZone("Europe/Berlin"),
     QStringLiteral("2026-01-15T11:00:00.250000+01:00")},
    {"london_winter_is_z", utc(2026, 1, 15, 10, 0), QTimeZone("Europe/London"),
     QStringLiteral("2026-01-15T10:00:00.000000Z")},
    {"kathmandu", utc(2026, 3, 1, 0, 0, 1, 7), QTimeZone("Asia/Kathmandu"),
     QStringLiteral("2026-03-01T05:45:01.007000+05:45")},
    {"half_an_hour_west_keeps_its_sign", utc(2026, 3, 1, 0, 0), QTimeZone(-1800),
     QStringLiteral("2026-02-28T23:30:00.000000-00:30")},
    {"date_line", utc(2026, 12, 31, 23, 59, 59, 999), QTimeZone("Pacific/Kiritimati"),
     QStringLiteral("2027-01-01T13:59:59.999000+14:00")},
};
INSTANTIATE_TEST_SUITE_P(Zones, UsageDateTextTest, ::testing::ValuesIn(kDates), ByName());

TEST(UsageDatesTest, SummerDateSavedAgainAndAgainKeepsItsInstantAndOffset) {
    const QString folder = makeTestFolder();
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime july = utc(2026, 7, 15, 10, 0, 0, 250);
    {
        auto store = openStore(folder);
        store->setTimeZone(berlin);
        store->setLastReviewAskDate(july);
        ASSERT_TRUE(store->save());
    }
    for (int run = 0; run < 10; ++run) {
        UsageStore store(folder, pinnedBundle(), kPinnedUUID);
        store.setTimeZone(berlin);
        ASSERT_TRUE(store.load());
        EXPECT_EQ(store.lastReviewAskDate().toMSecsSinceEpoch(), july.toMSecsSinceEpoch());
        ASSERT_TRUE(store.save());
    }
    EXPECT_TRUE(readAll(folder + QStringLiteral("/Usages.Log"))
                    .contains("<lastReviewAskDate>2026-07-15T12:00:00.250000+02:00<"));
}

TEST(UsageDatesTest, BadDateTextIsInvalid) {
    for (const char* text : {"", "yesterday", "2026-13-45T99:00:00.000000Z", "2026-"}) {
        EXPECT_FALSE(UsageStore::parseDate(QString::fromLatin1(text)).isValid()) << text;
    }
}

struct ReportDueCase {
    const char* name;
    bool enabled;
    QDateTime lastSent;
    QDateTime now;
    bool due;
};

class ReportDueTest : public ::testing::TestWithParam<ReportDueCase> {};

TEST_P(ReportDueTest, ThirtyWholeCalendarDays) {
    const ReportDueCase& c = GetParam();
    UsageStore store(makeTestFolder(), pinnedBundle(), kPinnedUUID);
    store.setTimeZone(QTimeZone("Europe/Berlin"));
    store.setIsEnabled(c.enabled);
    store.setLastReportSentOn(c.lastSent);
    EXPECT_EQ(store.isReportDue(c.now), c.due);
}

const QDateTime kSent = utc(2026, 1, 10, 11, 0); // noon in Berlin
// Noon in Berlin on 1 March; summer time starts on 29 March.
const QDateTime kSentBeforeSpring = utc(2026, 3, 1, 11, 0);

const ReportDueCase kReportDue[] = {
    {"twenty_nine_days", true, kSent, kSent.addDays(29), false},
    {"thirty_days", true, kSent, kSent.addDays(30), true},
    {"a_minute_short_of_thirty", true, kSent, kSent.addDays(30).addSecs(-60), false},
    {"a_year", true, kSent, kSent.addDays(365), true},
    {"not_enabled", false, kSent, kSent.addDays(365), false},
    {"sent_in_the_future", true, kSent.addDays(40), kSent, false},
    // 30 calendar days across the change are only 719 hours.
    {"across_summer_time", true, kSentBeforeSpring, utc(2026, 3, 31, 10, 0), true},
    {"across_summer_time_a_minute_short", true, kSentBeforeSpring, utc(2026, 3, 31, 9, 59), false},
};
INSTANTIATE_TEST_SUITE_P(Days, ReportDueTest, ::testing::ValuesIn(kReportDue), ByName());

} // namespace
