#include "UsageTestSupport.h"
#include "support/TestEnvironment.h"
#include "usage/UsageStore.h"

#include <QDateTime>

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace {

QString usageFileIn(const QString& folder) {
    return folder + QStringLiteral("/Usages.Log");
}

std::unique_ptr<UsageStore> storeReading(const QByteArray& content) {
    const QString folder = makeTestFolder();
    writeFile(usageFileIn(folder), content);
    return openStore(folder);
}

struct FlagCase {
    const char* name;
    QByteArray text;
    bool expected;
};

class UsageFlagTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(UsageFlagTest, OnlyExactlyTrueIsTrue) {
    const auto store =
        storeReading(usageFileWith("<enabled>" + GetParam().text + "</enabled><neverAskForReview>" +
                                   GetParam().text + "</neverAskForReview>"));
    EXPECT_EQ(store->isEnabled(), GetParam().expected);
    EXPECT_EQ(store->neverAskForReview(), GetParam().expected);
}

const FlagCase kFlags[] = {
    {"true", "true", true}, {"capitals", "TRUE", false},         {"yes", "yes", false},
    {"one", "1", false},    {"padded", " true", false},          {"false", "false", false},
    {"empty", "", false},   {"cdata", "<![CDATA[true]]>", true},
};
INSTANTIATE_TEST_SUITE_P(Texts, UsageFlagTest, ::testing::ValuesIn(kFlags), ByName());

struct IntegerCase {
    const char* name;
    QByteArray text;
    qint32 expected;
};

class UsageIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(UsageIntegerTest, LeadingIntegerOfTheText) {
    const QByteArray& text = GetParam().text;
    const auto store = storeReading(usageFileWith(
        "<nextReviewTargetValue>" + text + "</nextReviewTargetValue><features><featureusages>" +
        "<name>Output Files</name><usagescount>" + text + "</usagescount><filescount>" + text +
        "</filescount></featureusages></features>"));
    EXPECT_EQ(store->nextReviewTargetValue(), GetParam().expected);
    ASSERT_EQ(store->features().size(), 1U);
    EXPECT_EQ(store->features()[0].usagesCount, GetParam().expected);
    EXPECT_EQ(store->features()[0].filesCount, GetParam().expected);
}

const IntegerCase kIntegers[] = {
    {"digits", "500", 500},
    {"space_then_trailing_letters", "  42abc", 42},
    {"negative", "-7", -7},
    {"plus", "+15", 15},
    {"letter_first", "x1", 0},
    {"empty", "", 0},
    {"sign_only", "-", 0},
    {"line_breaks", "\n\t 12\n", 12},
    {"decimal", "3.9", 3},
    {"too_large", "99999999999", 2147483647},
    {"too_small", "-99999999999", -2147483647 - 1},
};
INSTANTIATE_TEST_SUITE_P(Texts, UsageIntegerTest, ::testing::ValuesIn(kIntegers), ByName());

TEST(UsageLoadTest, LastElementOfANameWins) {
    const auto store = storeReading(
        usageFileWith("<productname>First</productname><productname>Second</productname>"
                      "<nextReviewTargetValue>10</nextReviewTargetValue>"
                      "<nextReviewTargetValue>20</nextReviewTargetValue>"
                      "<enabled>true</enabled><enabled>no</enabled>"
                      "<features><featureusages><name>A</name><name>B</name>"
                      "<filescount>1</filescount><filescount>2</filescount>"
                      "</featureusages></features>"));
    EXPECT_EQ(store->productName(), QStringLiteral("Second"));
    EXPECT_EQ(store->nextReviewTargetValue(), 20);
    EXPECT_FALSE(store->isEnabled());
    ASSERT_EQ(store->features().size(), 1U);
    EXPECT_EQ(store->features()[0].name, QStringLiteral("B"));
    EXPECT_EQ(store->features()[0].filesCount, 2);
    EXPECT_EQ(store->features()[0].usagesCount, 0); // missing count
}

TEST(UsageLoadTest, DuplicateFeatureNamesStaySeparateAndTheLastCountsTheNextUse) {
    const QString folder = makeTestFolder();
    writeFile(usageFileIn(folder),
              usageFileWith("<features>"
                            "<featureusages><name>Output Files</name><usagescount>2</usagescount>"
                            "<filescount>10</filescount></featureusages>"
                            "<featureusages><name>Output Files</name><usagescount>4</usagescount>"
                            "<filescount>40</filescount></featureusages>"
                            "</features>"));
    {
        const auto store = startApplication(folder);
        ASSERT_EQ(store->features().size(), 2U); // and no set-up entry added
        store->updateUsages(QStringLiteral("Output Files"), 5);
    }
    const auto reread = openStore(folder);
    ASSERT_EQ(reread->features().size(), 2U);
    EXPECT_EQ(reread->features()[0].description(),
              QStringLiteral("name : Output Files usagesCount:2 filesCount:10"));
    EXPECT_EQ(reread->features()[1].description(),
              QStringLiteral("name : Output Files usagesCount:5 filesCount:45"));
    EXPECT_EQ(reread->totalFileCount(), 55);
}

TEST(UsageLoadTest, StoredProductAndBuildDateOutliveANewerProgram) {
    const QString folder = makeTestFolder();
    writeFile(usageFileIn(folder),
              usageFileWith("<productname>Pictavo</productname>"
                            "<productversion>1.0.7</productversion>"
                            "<builddate>2019-05-01T10:00:00.000000Z</builddate>"
                            "<hardwareUUID>SOMEONE-ELSE</hardwareUUID>"));
    ASSERT_TRUE(startApplication(folder)->save());

    const QByteArray text = readAll(usageFileIn(folder));
    EXPECT_TRUE(text.contains("<!--Pictavo 1.0.7 Usages Reporting File-->"));
    EXPECT_TRUE(text.contains("<productversion>1.0.7</productversion>"));
    EXPECT_TRUE(text.contains("<builddate>2019-05-01T11:00:00.000000+01:00</builddate>"));
    // The identifier is always the running machine's.
    EXPECT_TRUE(
        text.contains(QByteArray("<hardwareUUID>" + kPinnedUUID.toLatin1() + "</hardwareUUID>")));
}

TEST(UsageLoadTest, FileThatIsNotXmlKeepsTheCreationValuesAndIsRewritten) {
    const QString folder = makeTestFolder();
    writeFile(usageFileIn(folder), "Output Files = 12, enabled = true\n\x01\x02");
    UsageStore store(folder, pinnedBundle(), kPinnedUUID);
    const QDateTime created = store.lastReportSentOn();

    EXPECT_TRUE(store.load());
    EXPECT_EQ(store.productName(), pinnedBundle().productName);
    EXPECT_EQ(store.version(), pinnedBundle().version);
    EXPECT_FALSE(store.isEnabled());
    EXPECT_TRUE(store.features().empty());
    EXPECT_EQ(store.nextReviewTargetValue(), 0);
    EXPECT_EQ(store.lastReportSentOn(), created);

    setUpLikeMainWindow(store);
    pugi::xml_document doc;
    const QByteArray bytes = readAll(usageFileIn(folder));
    ASSERT_TRUE(doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size())));
    EXPECT_EQ(doc.select_nodes("usagesreporting/features/featureusages").size(), 1U);
    EXPECT_STREQ(doc.select_node("usagesreporting/nextReviewTargetValue").node().text().get(),
                 "500");
}

TEST(UsageLoadTest, TruncatedFileIsReadAsFarAsItGoes) {
    const QString folder = makeTestFolder();
    {
        const auto store = startApplication(folder);
        store->setIsEnabled(true);
        store->setLastReviewAskDate(QDateTime(QDate(2025, 1, 2), QTime(3, 4), oneHourEast()));
        store->updateUsages(QStringLiteral("Output Files"), 9);
    }
    const QByteArray whole = readAll(usageFileIn(folder));
    const qsizetype cut = whole.indexOf("<lastReviewAskDate>2025-") + 24;
    writeFile(usageFileIn(folder), whole.left(cut));

    UsageStore store(folder, {QStringLiteral("New"), QStringLiteral("9"), {}}, kPinnedUUID);
    const QDateTime created = store.lastReviewAskDate();
    EXPECT_TRUE(store.load());
    EXPECT_EQ(store.productName(), QStringLiteral("Pictavo"));
    EXPECT_EQ(store.version(), QStringLiteral("2.0.0"));
    EXPECT_TRUE(store.isEnabled());
    EXPECT_EQ(store.lastReportSentOn(), pinnedNow());
    EXPECT_EQ(store.lastReviewAskDate(), created); // "2025-" is no date
    EXPECT_EQ(store.nextReviewTargetValue(), 0);   // beyond the cut
    EXPECT_TRUE(store.features().empty());
}

TEST(UsageLoadTest, BrokenElementInTheMiddleKeepsWhatCameBefore) {
    const auto store =
        storeReading(usageFileWith("<enabled>true</enabled>"
                                   "<nextReviewTargetValue>77</nextReviewTargetValue>"
                                   "<features><featureusages><name>A</name>"
                                   "</featureusages></oops>"
                                   "<neverAskForReview>true</neverAskForReview>"));
    EXPECT_TRUE(store->isEnabled());
    EXPECT_EQ(store->nextReviewTargetValue(), 77);
    ASSERT_EQ(store->features().size(), 1U);
    EXPECT_FALSE(store->neverAskForReview());
}

TEST(UsageLoadTest, UnreadableDatesKeepTheirValues) {
    const auto store = storeReading(usageFileWith("<lastreportsenton>yesterday</lastreportsenton>"
                                                  "<lastReviewAskDate></lastReviewAskDate>"
                                                  "<enabled>true</enabled>"));
    EXPECT_EQ(store->lastReportSentOn(), pinnedNow());
    EXPECT_EQ(store->lastReviewAskDate(), pinnedNow());
    EXPECT_TRUE(store->isEnabled()); // the load went on
}

TEST(UsageLoadTest, MachineIdentifierIsReadFromTheFirstFileThatHoldsOne) {
    const QString folder = makeTestFolder();
    const QString valid = folder + QStringLiteral("/valid");
    const QString garbage = folder + QStringLiteral("/garbage");
    const QString missing = folder + QStringLiteral("/missing");
    writeFile(valid, "3d1219c7c4c5404aaa1f6d2a48adfda4\n");
    writeFile(garbage, "uninitialized\n");
    const QString expected = kPinnedUUID;

    EXPECT_EQ(machineHardwareUUIDFrom({valid, garbage}), expected);
    EXPECT_EQ(machineHardwareUUIDFrom({missing, valid}), expected);
    EXPECT_EQ(machineHardwareUUIDFrom({garbage, valid}), expected);
    EXPECT_EQ(machineHardwareUUIDFrom({missing, garbage}), QString());
    EXPECT_EQ(machineHardwareUUIDFrom({}), QString());
}

} // namespace
