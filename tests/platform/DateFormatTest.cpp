#include "platform/DateFormat.h"

#include "platform/Constants.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

QDateTime march7(int hour, int minute, int second) {
    return QDateTime(QDate(2026, 3, 7), QTime(hour, minute, second), Qt::LocalTime);
}

struct PatternCase {
    const char* name;
    const char* pattern;
    int hour;
    int minute;
    int second;
    const char* expected;
};

class DatePatternTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(DatePatternTest, RendersInEnglishLocale) {
    const PatternCase& c = GetParam();
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(formatDate(march7(c.hour, c.minute, c.second), QString::fromUtf8(c.pattern), english)
                  .toStdString(),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, DatePatternTest,
    ::testing::Values(
        PatternCase{"LogFileName", "ddMMyyHHmmss", 14, 5, 9, "070326140509"},
        PatternCase{"LogFileNameMidnight", "ddMMyyHHmmss", 0, 0, 0, "070326000000"},
        PatternCase{"LogTimeAfternoon", "MM/dd/yyyy hh:mm:ss a", 14, 5, 9,
                    "03/07/2026 02:05:09 PM"},
        PatternCase{"LogTimeAfterMidnight", "MM/dd/yyyy hh:mm:ss a", 0, 30, 0,
                    "03/07/2026 12:30:00 AM"},
        PatternCase{"TableDateMorning", "dd-MMM-yyyy h:mm a", 9, 7, 0, "07-Mar-2026 9:07 AM"},
        PatternCase{"TableDateEvening", "dd-MMM-yyyy h:mm a", 23, 59, 0, "07-Mar-2026 11:59 PM"},
        PatternCase{"ExportName", "dd-MMM-yyyy hh-mm-ss a", 13, 4, 5, "07-Mar-2026 01-04-05 PM"},
        PatternCase{"QuotedText", "'Time' HH 'o''clock'", 8, 0, 0, "Time 08 o'clock"},
        PatternCase{"WeekdayName", "EEEE", 8, 0, 0, "Saturday"}),
    ByName());

TEST(DatePattern, LettersWithoutMeaningToQtAreQuoted) {
    // "t" is a time-zone field in Qt but no field in ICU patterns: it must
    // stay a literal letter.
    EXPECT_EQ(qtDatePattern(QStringLiteral("HH:mm 'at' t")), QStringLiteral("HH:mm 'at' 't'"));
    EXPECT_EQ(qtDatePattern(QStringLiteral("MM/dd/yyyy hh:mm:ss a")),
              QStringLiteral("MM/dd/yyyy hh:mm:ss Ap"));
}

TEST(DatePattern, UsesTheLocalTimeZone) {
    const QDateTime utc(QDate(2026, 3, 7), QTime(14, 5, 9), Qt::UTC);
    const QByteArray previous = qgetenv("TZ");
    qputenv("TZ", "Asia/Kolkata"); // +05:30, no daylight saving
    tzset();
    const QString text = formatDate(utc, QStringLiteral("ddMMyyHHmmss"), QLocale::c());
    qputenv("TZ", previous);
    tzset();
    EXPECT_EQ(text, QStringLiteral("070326193509"));
}

TEST(DatePattern, InvalidDateGivesNoText) {
    EXPECT_TRUE(formatDate(QDateTime(), QStringLiteral("dd-MMM-yyyy h:mm a")).isEmpty());
}

TEST(DatePattern, MonthNamesFollowTheLocale) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(formatDate(march7(9, 7, 0), QStringLiteral("dd-MMM-yyyy"), german),
              QStringLiteral("07-März-2026"));
}

TEST(StringUtilitiesTest, CurrentDateUsesThePattern) {
    const QString text = StringUtilities::getStringFromDateFormat(QStringLiteral("yyyy"));
    EXPECT_EQ(text, QString::number(QDate::currentDate().year()));
}

} // namespace
