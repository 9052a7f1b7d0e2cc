#include "filelist/PathList.h"

#include "filelist/FileItem.h"
#include "filelist/ListExport.h"
#include "filelist/RecentItem.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

const QStringList kAccepted = {QStringLiteral("tif"), QStringLiteral("TIF"), QStringLiteral("tiff"),
                               QStringLiteral("TIFF")};

struct ParseCase {
    std::string name;
    QString text;
    QStringList found; // paths, relative ones against /base
};

class PathListTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PathListTest, FindsTheTiffPathsOnceEachInLineOrder) {
    QStringList found;
    for (const QUrl& url : parsePathList(GetParam().text, kAccepted, QStringLiteral("/base"))) {
        found.append(url.toLocalFile());
    }
    EXPECT_EQ(found, GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PathListTest,
    ::testing::Values(
        ParseCase{"TifTiffAndPng", "/s/a.tif\n/s/b.TIFF\n/s/c.png", {"/s/a.tif", "/s/b.TIFF"}},
        ParseCase{"SamePathTwice", "/s/a.tif\n/s/a.tif\n", {"/s/a.tif"}},
        ParseCase{"MixedCaseAccepted", "/s/a.Tif\n/s/b.tIFf", {"/s/a.Tif", "/s/b.tIFf"}},
        ParseCase{
            "CrLfLines", "/s/a.tif\r\n/s/b.tif\r\n/s/c.tif", {"/s/a.tif", "/s/b.tif", "/s/c.tif"}},
        ParseCase{"EmptyLinesSkipped", "\n\n/s/a.tif\n\r\n\n", {"/s/a.tif"}},
        ParseCase{"OtherSpaceKept", "/s/a.tif \n /s/b.tif", {"/base/ /s/b.tif"}},
        ParseCase{"TwoCarriageReturnsKeepOne", "/s/a.tif\r\r\n", {}},
        ParseCase{"RelativeAgainstTheBase", "scans/a.tif", {"/base/scans/a.tif"}},
        ParseCase{"DotOnlyInAFolderName", "/s/x.tif/readme\n/s/x.tif/b.tif", {"/s/x.tif/b.tif"}},
        ParseCase{"NoText", "", {}},
        ParseCase{"DoubleSlashIsTheRootNotAHost", "//scans/a.tif", {"/scans/a.tif"}},
        ParseCase{
            "UnparsableHostAfterDoubleSlash", "//[(.tif\n///s/b.tif", {"/[(.tif", "/s/b.tif"}}),
    ByName());

// An item for a file of exactly `bytes`, then given fixed modification and
// access times (after the item has read its pages, which touches the access
// time).
std::shared_ptr<FileItem> datedItem(const QString& folder, const QString& name, qint64 bytes) {
    const QString path = QDir(folder).filePath(name);
    EXPECT_TRUE(writeFileBytes(path, QByteArray(bytes, 'x')));
    auto item = FileItem::initWithURL(QUrl::fromLocalFile(path));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::Append));
    EXPECT_TRUE(file.setFileTime(QDateTime(QDate(2026, 12, 7), QTime(15, 5, 9), Qt::UTC),
                                 QFileDevice::FileModificationTime));
    EXPECT_TRUE(file.setFileTime(QDateTime(QDate(2026, 12, 8), QTime(1, 2, 3), Qt::UTC),
                                 QFileDevice::FileAccessTime));
    return item;
}

TEST(ListExportTest, WritesEveryItemInOrderByteForByte) {
    const QString folder = makeTestFolder(QStringLiteral("export"));
    auto bigItem = datedItem(folder, QStringLiteral("big.tif"), 2000000);
    bigItem->setIsSelected(false);
    auto missing = FileItem::initWithURL(
        QUrl::fromLocalFile(QDir(folder).filePath(QStringLiteral("gone.TIFF"))));
    const QString created = exportDateText(bigItem->dateCreated()); // "(null)" where not kept

    const QByteArray expected =
        "Name\tPages\tSize\tType\tModified Date\tAccessed Date\tCreated Date\tLocation\n"
        "big.tif\t0\t 2 MB\ttif\t2026-12-07 15:05:09 +0000\t2026-12-08 01:02:03 +0000\t" +
        created.toUtf8() + "\t" + folder.toUtf8() +
        "\n"
        "gone.TIFF\t0\t0 KB\tTIFF\t(null)\t(null)\t(null)\t" +
        folder.toUtf8() + "\n";
    EXPECT_EQ(exportListText({bigItem, missing}).toStdString(), expected.toStdString());

    const QString out = QDir(folder).filePath(QStringLiteral("list.txt"));
    ASSERT_TRUE(exportList(out, {bigItem, missing}));
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), expected);
}

TEST(ListExportTest, EmptyListIsTheHeaderAlone) {
    EXPECT_EQ(
        exportListText({}),
        QByteArray(
            "Name\tPages\tSize\tType\tModified Date\tAccessed Date\tCreated Date\tLocation\n"));
}

TEST(ListExportTest, TabsAndLineFeedsInNamesKeepOneLinePerItem) {
    const QString folder = makeTestFolder(QStringLiteral("odd\tfolder"));
    const QString path = QDir(folder).filePath(QStringLiteral("two\nlines\there.tif"));
    ASSERT_TRUE(writeFileBytes(path, "x"));
    const QByteArray text = exportListText({FileItem::initWithURL(QUrl::fromLocalFile(path))});
    const QList<QByteArray> lines = text.split('\n');
    ASSERT_EQ(lines.size(), 3); // header, the item, and the empty rest after the last "\n"
    EXPECT_EQ(lines[1].count('\t'), 7);
    EXPECT_TRUE(lines[1].startsWith("two lines here.tif\t"));
    EXPECT_TRUE(lines[1].contains("/odd folder")) << lines[1].toStdString();
}

TEST(ListExportTest, FailedWriteSaysWhereAndLeavesNothing) {
    const QString path = QDir(makeTestFolder()).filePath(QStringLiteral("missing/list.txt"));
    const Status written = exportList(path, {});
    ASSERT_FALSE(written);
    EXPECT_TRUE(written.error().contains(QStringLiteral("missing")))
        << written.error().toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

TEST(ListExportTest, ProposedNameInAnEnglishLocale) {
    const QDateTime when(QDate(2026, 12, 7), QTime(15, 5, 9));
    EXPECT_EQ(proposedExportName(when, QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("Export 07-Dec-2026 03-05-09 PM.txt"));
}

TEST(ListExportTest, DatesAreUtcWithAZeroOffset) {
    const QDateTime east(QDate(2026, 3, 1), QTime(1, 30), QTimeZone(3600 * 5));
    EXPECT_EQ(exportDateText(east), QStringLiteral("2026-02-28 20:30:00 +0000"));
    EXPECT_EQ(exportDateText(QDateTime()), QStringLiteral("(null)"));
}

TEST(RecentItemTest, EqualByPathWhateverTheDate) {
    RecentItem a(QStringLiteral("/scans"));
    RecentItem b(QStringLiteral("/scans"));
    b.setLastUsedDate(QDateTime(QDate(2001, 1, 1), QTime(0, 0)));
    EXPECT_TRUE(a.isEqual(b));
    EXPECT_TRUE(a.isEqual(QStringLiteral("/scans")));
    EXPECT_FALSE(a.isEqual(QStringLiteral("/scans/")));
    EXPECT_FALSE(a.isEqual(RecentItem(QStringLiteral("/other"))));
}

TEST(RecentItemTest, DictionaryFormBothWays) {
    const QDateTime when(QDate(2026, 12, 7), QTime(15, 5, 9), Qt::UTC);
    RecentItem item(QStringLiteral("/scans"));
    item.setLastUsedDate(when);
    const QVariantMap data = item.getData();
    EXPECT_EQ(data.value(QStringLiteral("itemPath")).toString(), QStringLiteral("/scans"));
    EXPECT_EQ(data.value(QStringLiteral("lastUsedDate")).toDateTime(), when);

    RecentItem read;
    read.setData(data);
    EXPECT_EQ(read.itemPath(), QStringLiteral("/scans"));
    EXPECT_EQ(read.lastUsedDate(), when);

    // Not a dictionary: nothing changes.
    read.setData(QStringLiteral("/elsewhere"));
    EXPECT_EQ(read.itemPath(), QStringLiteral("/scans"));
    // Missing values become none.
    read.setData(QVariantMap{{QStringLiteral("itemPath"), QStringLiteral("/x")}});
    EXPECT_FALSE(read.lastUsedDate().isValid());
    EXPECT_EQ(read.getData().keys(), QStringList{QStringLiteral("itemPath")});
    EXPECT_TRUE(RecentItem().getData().isEmpty());
}

TEST(RecentItemTest, SurvivesTheIniStore) {
    const QString file = QDir(makeTestFolder()).filePath(QStringLiteral("p.conf"));
    const QDateTime when(QDate(2026, 12, 7), QTime(15, 5, 9, 250));
    RecentItem item(QStringLiteral("/scans"));
    item.setLastUsedDate(when);
    {
        QSettings store(file, QSettings::IniFormat);
        store.setValue(QStringLiteral("RECENTITEMS"), QVariantList{item.getData()});
    }
    QSettings store(file, QSettings::IniFormat);
    RecentItem read;
    read.setData(store.value(QStringLiteral("RECENTITEMS")).toList().value(0));
    EXPECT_EQ(read.itemPath(), QStringLiteral("/scans"));
    EXPECT_EQ(read.lastUsedDate(), when);
}

QVariantMap storedItem(const QString& path, const QDateTime& when) {
    return {{QStringLiteral("itemPath"), path}, {QStringLiteral("lastUsedDate"), when}};
}

struct StoredItemsCase {
    std::string name;
    QVariant stored;
    QStringList paths; // as loaded, newest first
};

class StoredRecentItemsTest : public ::testing::TestWithParam<StoredItemsCase> {};

TEST_P(StoredRecentItemsTest, LoadNewestFirst) {
    QStringList paths;
    for (const RecentItem& item : recentItemsFromData(GetParam().stored)) {
        paths.append(item.itemPath());
    }
    EXPECT_EQ(paths, GetParam().paths);
}

const QDateTime kMonday(QDate(2026, 12, 7), QTime(9, 0));
const QDateTime kTuesday(QDate(2026, 12, 8), QTime(9, 0));

INSTANTIATE_TEST_SUITE_P(
    Stored, StoredRecentItemsTest,
    ::testing::Values(StoredItemsCase{"NewestFirst",
                                      QVariantList{storedItem(QStringLiteral("/old"), kMonday),
                                                   storedItem(QStringLiteral("/new"), kTuesday)},
                                      {"/new", "/old"}},
                      StoredItemsCase{"SameDateKeepsTheStoredOrder",
                                      QVariantList{storedItem(QStringLiteral("/b"), kMonday),
                                                   storedItem(QStringLiteral("/a"), kMonday)},
                                      {"/b", "/a"}},
                      StoredItemsCase{"EntryThatIsNoDictionaryIsPathlessAndNew",
                                      QVariantList{QStringLiteral("/plain"),
                                                   storedItem(QStringLiteral("/a"), kMonday)},
                                      {"", "/a"}},
                      StoredItemsCase{
                          "NotAList", QVariant(storedItem(QStringLiteral("/a"), kMonday)), {}},
                      StoredItemsCase{"NothingStored", QVariant(), {}}),
    ByName());

TEST(StoredRecentItemsTest, StoredFormLoadsBackTheSameItems) {
    RecentItem undated(QStringLiteral("/undated"));
    undated.setLastUsedDate({});
    RecentItem dated(QStringLiteral("/dated"));
    dated.setLastUsedDate(kTuesday);
    const std::vector<RecentItem> items = recentItemsFromData(recentItemsData({dated, undated}));
    ASSERT_EQ(items.size(), 2U);
    EXPECT_EQ(items[0].itemPath(), QStringLiteral("/dated"));
    EXPECT_EQ(items[0].lastUsedDate(), kTuesday);
    EXPECT_EQ(items[1].itemPath(), QStringLiteral("/undated"));
    EXPECT_FALSE(items[1].lastUsedDate().isValid());
}

} // namespace
