#include "UsageTestSupport.h"
#include "platform/Constants.h"
#include "support/TestEnvironment.h"
#include "usage/UsageStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace {

const QByteArray kHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                         "<!--Pictavo 2.0.0 Usages Reporting File-->"
                         "<usagesreporting xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                         "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">"
                         "<productname>Pictavo</productname>"
                         "<productversion>2.0.0</productversion>"
                         "<builddate>2026-11-30T18:05:00.000000+01:00</builddate>"
                         "<hardwareUUID>3D1219C7-C4C5-404A-AA1F-6D2A48ADFDA4</hardwareUUID>"
                         "<enabled>false</enabled>"
                         "<lastreportsenton>2026-12-07T09:40:29.123000+01:00</lastreportsenton>"
                         "<lastReviewAskDate>2026-12-07T09:40:29.123000+01:00</lastReviewAskDate>"
                         "<neverAskForReview>false</neverAskForReview>";

TEST(UsageFileTest, FreshStartWritesTheCreationValues) {
    const QString folder = makeTestFolder() + QStringLiteral("/not/yet/there");
    const auto store = openStore(folder);

    EXPECT_EQ(readAll(store->filePath()), kHead + "<nextReviewTargetValue>0</nextReviewTargetValue>"
                                                  "<features></features></usagesreporting>");
}

TEST(UsageFileTest, MainWindowSetUpAddsTheOutputFilesEntryAndTheDueMark) {
    const auto store = startApplication(makeTestFolder());

    EXPECT_EQ(readAll(store->filePath()),
              kHead + "<nextReviewTargetValue>500</nextReviewTargetValue><features>"
                      "<featureusages><name>Output Files</name><usagescount>1</usagescount>"
                      "<filescount>0</filescount></featureusages>"
                      "</features></usagesreporting>");
}

TEST(UsageFileTest, CreationValues) {
    const QDateTime before = QDateTime::currentDateTime();
    const UsageStore store(makeTestFolder(), pinnedBundle(), kPinnedUUID);
    const QDateTime after = QDateTime::currentDateTime();

    EXPECT_FALSE(store.isEnabled());
    EXPECT_TRUE(store.features().empty());
    EXPECT_FALSE(store.isReviewEnabled());
    EXPECT_EQ(store.reviewURL(), StringUtilities::siteAddress() + QLatin1Char('/'));
    EXPECT_EQ(store.reviewFileCountLimit(), 1000);
    EXPECT_EQ(store.nextReviewTargetValue(), 0);
    EXPECT_FALSE(store.neverAskForReview());
    for (const QDateTime& date : {store.lastReportSentOn(), store.lastReviewAskDate()}) {
        EXPECT_LE(before, date);
        EXPECT_LE(date, after);
    }
    EXPECT_FALSE(QFile::exists(store.filePath())); // creation reads and writes nothing
}

TEST(UsageFileTest, NamesAndCountsAreEscapedAndReadBack) {
    const QString folder = makeTestFolder();
    {
        const auto store = openStore(folder);
        store->features().push_back(
            FeatureUsages::initWithName(QStringLiteral("A & <B> \"C\" é"), -3, 2147483647));
        ASSERT_TRUE(store->save());
    }
    const auto reread = openStore(folder);
    ASSERT_EQ(reread->features().size(), 1U);
    EXPECT_EQ(reread->features()[0].name, QStringLiteral("A & <B> \"C\" é"));
    EXPECT_EQ(reread->features()[0].usagesCount, -3);
    EXPECT_EQ(reread->features()[0].filesCount, 2147483647);
}

TEST(UsageFileTest, DueMarkIsWrittenAsItsLow32Bits) {
    const auto store = openStore(makeTestFolder());
    store->setNextReviewTargetValue((qint64(1) << 32) + 1120);
    ASSERT_TRUE(store->save());
    EXPECT_TRUE(
        readAll(store->filePath()).contains("<nextReviewTargetValue>1120</nextReviewTargetValue>"));
    store->setNextReviewTargetValue(qint64(0xFFFFFFFF));
    ASSERT_TRUE(store->save());
    EXPECT_TRUE(
        readAll(store->filePath()).contains("<nextReviewTargetValue>-1</nextReviewTargetValue>"));
}

TEST(UsageFileTest, ProductNameThatWouldBreakTheCommentStillGivesAReadableFile) {
    const QString folder = makeTestFolder();
    writeFile(folder + QStringLiteral("/Usages.Log"),
              usageFileWith("<productname>Pic--tavo</productname>"
                            "<nextReviewTargetValue>42</nextReviewTargetValue>"));
    {
        const auto store = openStore(folder);
        ASSERT_TRUE(store->save());
    }
    pugi::xml_document doc;
    const QByteArray bytes = readAll(folder + QStringLiteral("/Usages.Log"));
    ASSERT_TRUE(doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size())));
    const auto reread = openStore(folder);
    EXPECT_EQ(reread->productName(), QStringLiteral("Pic--tavo"));
    EXPECT_EQ(reread->nextReviewTargetValue(), 42);
}

TEST(UsageFileTest, MissingFileLoadsNothing) {
    UsageStore store(makeTestFolder(), pinnedBundle(), kPinnedUUID);
    EXPECT_FALSE(store.load());
}

TEST(UsageFileTest, FolderInPlaceOfTheFileIsAnErrorForBothReadAndWrite) {
    const QString folder = makeTestFolder();
    QDir().mkpath(folder + QStringLiteral("/Usages.Log"));
    UsageStore store(folder, pinnedBundle(), kPinnedUUID);
    const SystemLogCapture log;

    EXPECT_FALSE(store.load());
    EXPECT_FALSE(store.save());
    ASSERT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Error in load : ")));
    EXPECT_TRUE(log.lines()[1].startsWith(QStringLiteral("Error in save : ")));
}

TEST(UsageFileTest, FileInPlaceOfTheFolderFailsTheSaveAndLeavesTheFile) {
    const QString blocker = makeTestFolder() + QStringLiteral("/blocker");
    writeFile(blocker, "keep");
    UsageStore store(blocker + QStringLiteral("/app"), pinnedBundle(), kPinnedUUID);
    const SystemLogCapture log;

    EXPECT_FALSE(store.save());
    EXPECT_EQ(readAll(blocker), "keep");
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Error in save : ")));
}

TEST(UsageFileTest, UpdateUsagesCountsEveryJobAndWritesAtOnce) {
    const QString folder = makeTestFolder();
    const auto store = startApplication(folder);
    const QString name = QStringLiteral("Output Files");

    store->updateUsages(name, 3);
    store->updateUsages(name, 5);
    const auto reread = openStore(folder);
    ASSERT_EQ(reread->features().size(), 1U);
    EXPECT_EQ(reread->features()[0].usagesCount, 3);
    EXPECT_EQ(reread->features()[0].filesCount, 8);

    reread->updateUsages(name, 0); // still a use
    EXPECT_EQ(openStore(folder)->features()[0].usagesCount, 4);
    EXPECT_EQ(openStore(folder)->features()[0].filesCount, 8);
}

TEST(UsageFileTest, UpdateUsagesAppendsANewNameAndComparesNamesExactly) {
    const auto store = startApplication(makeTestFolder());

    store->updateUsages(QStringLiteral("output files"), 2);
    ASSERT_EQ(store->features().size(), 2U);
    EXPECT_EQ(store->features()[0].description(),
              QStringLiteral("name : Output Files usagesCount:1 filesCount:0"));
    EXPECT_EQ(store->features()[1].description(),
              QStringLiteral("name : output files usagesCount:1 filesCount:2"));
}

TEST(UsageFileTest, CountsWrapAt32BitsInsteadOfOverflowing) {
    const auto store = openStore(makeTestFolder());
    store->features().push_back(
        FeatureUsages::initWithName(QStringLiteral("Output Files"), 2147483647, 2147483647));
    store->updateUsages(QStringLiteral("Output Files"), 1);
    EXPECT_EQ(store->features()[0].usagesCount, -2147483647 - 1);
    EXPECT_EQ(store->features()[0].filesCount, -2147483647 - 1);
}

struct DescriptionCase {
    const char* name;
    FeatureUsages feature;
    QString expected;
};

class FeatureDescriptionTest : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(FeatureDescriptionTest, Text) {
    EXPECT_EQ(GetParam().feature.description(), GetParam().expected);
}

const DescriptionCase kDescriptions[] = {
    {"plain", FeatureUsages::initWithName(QStringLiteral("Output Files"), 1, 0),
     QStringLiteral("name : Output Files usagesCount:1 filesCount:0")},
    {"placeholders_in_name", FeatureUsages::initWithName(QStringLiteral("50%2 %3"), 7, -4),
     QStringLiteral("name : 50%2 %3 usagesCount:7 filesCount:-4")},
    {"plain_initialisation", FeatureUsages{}, QStringLiteral("name :  usagesCount:0 filesCount:0")},
};
INSTANTIATE_TEST_SUITE_P(Features, FeatureDescriptionTest, ::testing::ValuesIn(kDescriptions),
                         ByName());

} // namespace
