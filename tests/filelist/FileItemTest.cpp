#include "filelist/FileItem.h"

#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <gtest/gtest.h>

namespace {

QString makeFile(const QString& name, const QByteArray& bytes = {}) {
    const QString path = QDir(makeTestFolder()).filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

std::shared_ptr<FileItem> itemFor(const QString& path) {
    return FileItem::initWithURL(QUrl::fromLocalFile(path));
}

} // namespace

struct SizeCase {
    const char* name;
    qint64 bytes;
    const char* text;
};

class SizeTextTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeTextTest, FormatsInDecimalUnits) {
    EXPECT_EQ(FileItem::sizeText(GetParam().bytes).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SizeTextTest,
    ::testing::Values(
        SizeCase{"Zero", 0, "0 KB"}, SizeCase{"JustBelowHalfKB", 499, "0 KB"},
        SizeCase{"HalfKBRoundsUp", 500, "1 KB"}, SizeCase{"OneAndHalfKBRoundsUp", 1500, "2 KB"},
        SizeCase{"JustBelow1000KB", 999499, "999 KB"},
        SizeCase{"ExactlyOneMillion", 1000000, "1000 KB"},
        SizeCase{"OneByteOverAMillion", 1000001, " 1 MB"},
        SizeCase{"OneAndHalfMB", 1500000, " 1.5 MB"}, SizeCase{"TwoMB", 2000000, " 2 MB"},
        SizeCase{"TenMBHasNoPad", 10040000, "10 MB"},
        SizeCase{"FractionalMB", 123456789, "123.5 MB"},
        SizeCase{"SinglePrecisionGives1000MB", 999999999, "1000 MB"},
        SizeCase{"SinglePrecisionRoundsDownToOneGB", 1050000000, " 1 GB"},
        SizeCase{"LargestInt32", 2147483647, " 2.1 GB"},
        SizeCase{"TwoGiB", 2147483648LL, " 2.1 GB"}, SizeCase{"FiveGB", 5000000000LL, " 5 GB"},
        SizeCase{"TenGB", 10000000000LL, "10 GB"},
        SizeCase{"ThreeAndHalfTB", 3500000000000LL, " 3.5 TB"},
        SizeCase{"StopsDividingAtTB", 5000000000000000LL, "5000 TB"}),
    ByName());

struct FieldCase {
    const char* name;
    const char* key;
    std::function<QVariant(const FileItem&)> expected;
};

QVariant constant(const QVariant& value) {
    return value;
}

class DisplayFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(DisplayFieldTest, MatchesKeyWithoutCase) {
    const QString path = QDir(makeTestFolder()).filePath(QStringLiteral("Scan.TIFF"));
    ASSERT_TRUE(writeTestTiff(path, {grayPage(7, 5), grayPage(7, 5), rgbPage(3, 3)}));
    const auto item = itemFor(path);
    ASSERT_NE(item, nullptr);
    const QVariant expected = GetParam().expected(*item);
    const QVariant actual = item->displayField(QString::fromLatin1(GetParam().key));
    EXPECT_EQ(actual.typeId(), expected.typeId());
    EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DisplayFieldTest,
    ::testing::Values(
        FieldCase{"IsSelectedLower", "isselected", [](auto&) { return constant(true); }},
        FieldCase{"IsSelectedUpper", "ISSELECTED", [](auto&) { return constant(true); }},
        FieldCase{"PagesOfThreePageTiff", "Pages", [](auto&) { return constant(3); }},
        FieldCase{"Name", "name", [](auto&) { return constant(QStringLiteral("Scan.TIFF")); }},
        FieldCase{"TypeKeepsUpperCase", "type",
                  [](auto&) { return constant(QStringLiteral("TIFF")); }},
        FieldCase{"SizeMixedCase", "sizeInKB",
                  [](const FileItem& i) { return constant(FileItem::sizeText(i.size())); }},
        FieldCase{"SizeUpper", "SIZEINKB",
                  [](const FileItem& i) { return constant(FileItem::sizeText(i.size())); }},
        FieldCase{"Location", "location",
                  [](const FileItem& i) {
                      return constant(QFileInfo(i.filePath().toLocalFile()).path());
                  }},
        FieldCase{"Selection", "SELECTION", [](auto&) { return constant(QStringLiteral("")); }},
        FieldCase{"Unknown", "colour", [](auto&) { return constant(QStringLiteral("")); }},
        FieldCase{"Empty", "", [](auto&) { return constant(QStringLiteral("")); }}),
    ByName());

struct UnreadableCase {
    const char* name;
    bool create;
};

class UnreadableFileTest : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableFileTest, StillMakesAnItemWithNothingCounted) {
    QString path = QDir(makeTestFolder()).filePath(QStringLiteral("empty.tif"));
    if (GetParam().create) {
        path = makeFile(QStringLiteral("empty.tif"));
    }
    const auto item = itemFor(path);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->size(), 0);
    EXPECT_EQ(item->pages(), 0);
    EXPECT_TRUE(item->isSelected());
    // A file that is there has a date even when it is empty; a missing one has none.
    EXPECT_EQ(item->displayField(QStringLiteral("DATEMODIFIED")).toString().isEmpty(),
              !GetParam().create);
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableFileTest,
                         ::testing::Values(UnreadableCase{"ZeroLength", true},
                                           UnreadableCase{"Missing", false}),
                         ByName());

struct UrlCase {
    const char* name;
    QUrl url;
};

class NotAFileUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(NotAFileUrlTest, MakesNoItem) {
    EXPECT_EQ(FileItem::initWithURL(GetParam().url), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, NotAFileUrlTest,
    ::testing::Values(UrlCase{"Http", QUrl(QStringLiteral("http://example.org/a.tif"))},
                      UrlCase{"Empty", QUrl()}, UrlCase{"NoScheme", QUrl(QStringLiteral("a.tif"))}),
    ByName());

struct PathPartsCase {
    const char* name;
    const char* path;
    const char* fileName;
    const char* location;
    const char* type;
};

class PathPartsTest : public ::testing::TestWithParam<PathPartsCase> {};

TEST_P(PathPartsTest, SplitsThePath) {
    const PathPartsCase& c = GetParam();
    const auto item = itemFor(QString::fromUtf8(c.path));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->name().toStdString(), c.fileName);
    EXPECT_EQ(item->location().toStdString(), c.location);
    EXPECT_EQ(item->type().toStdString(), c.type);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathPartsTest,
    ::testing::Values(PathPartsCase{"InRoot", "/scan.tif", "scan.tif", "/", "tif"},
                      PathPartsCase{"Nested", "/a/b/Scan.TIFF", "Scan.TIFF", "/a/b", "TIFF"},
                      PathPartsCase{"NoExtension", "/a/scan", "scan", "/a", ""},
                      PathPartsCase{"HiddenFile", "/a/.scan", ".scan", "/a", ""},
                      PathPartsCase{"TwoDots", "/a/b.tar.gz", "b.tar.gz", "/a", "gz"},
                      PathPartsCase{"EscapesStayLiteral", "/a/my scan%20#1.tif", "my scan%20#1.tif",
                                    "/a", "tif"}),
    ByName());

struct EqualityCase {
    const char* name;
    const char* first;
    const char* second;
    bool equal;
};

class FileItemEqualityTest : public ::testing::TestWithParam<EqualityCase> {};

TEST_P(FileItemEqualityTest, ComparesUrlTextExactly) {
    const auto a = itemFor(QString::fromUtf8(GetParam().first));
    const auto b = itemFor(QString::fromUtf8(GetParam().second));
    EXPECT_EQ(a->isEqual(b.get()), GetParam().equal);
    EXPECT_EQ(*b == *a, GetParam().equal);
    EXPECT_TRUE(a->isEqual(a.get()));
    EXPECT_FALSE(a->isEqual(nullptr));
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, FileItemEqualityTest,
    ::testing::Values(EqualityCase{"SameUrl", "/data/a.tif", "/data/a.tif", true},
                      EqualityCase{"DifferentCase", "/data/a.tif", "/data/A.tif", false},
                      EqualityCase{"DotSegmentNotResolved", "/data/a.tif", "/data/./a.tif", false},
                      EqualityCase{"OtherFile", "/data/a.tif", "/data/b.tif", false}),
    ByName());

TEST(FileItemTest, KeepsTheUrlAndSelection) {
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/data/x y.tif"));
    const auto item = FileItem::initWithURL(url);
    EXPECT_EQ(item->filePath(), url);
    item->setIsSelected(false);
    EXPECT_EQ(item->displayField(QStringLiteral("IsSelected")), QVariant(false));
}

TEST(FileItemTest, AllocatedSizeCountsWholeBlocks) {
    const auto item = itemFor(makeFile(QStringLiteral("one.bin"), "x"));
    EXPECT_GE(item->size(), 512);
    EXPECT_EQ(item->size() % 512, 0);
}

TEST(FileItemTest, SparseFileOccupiesLessThanItsLength) {
    const QString path = makeFile(QStringLiteral("sparse.bin"));
    ASSERT_TRUE(QFile::resize(path, 50'000'000));
    const auto item = itemFor(path);
    EXPECT_LT(item->size(), 50'000'000);
    EXPECT_EQ(QFileInfo(path).size(), 50'000'000);
}

TEST(FileItemTest, DatesShowTheFileTimesAsTheyAreNow) {
    const QString path = makeFile(QStringLiteral("dated.tif"), "data");
    // Made first: counting pages reads the file, which moves its access time.
    const auto item = itemFor(path);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2026, 3, 7), QTime(9, 7), Qt::UTC),
                                     QFileDevice::FileModificationTime));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2025, 12, 31), QTime(23, 59), Qt::UTC),
                                     QFileDevice::FileAccessTime));
    }
    EXPECT_EQ(item->displayField(QStringLiteral("dateModified")).toString(),
              QStringLiteral("07-Mar-2026 9:07 AM"));
    EXPECT_EQ(item->displayField(QStringLiteral("DATEACCESSED")).toString(),
              QStringLiteral("31-Dec-2025 11:59 PM"));
}
