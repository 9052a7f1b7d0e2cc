#include "FileLoaderFixture.h"

namespace {

using namespace fileloadertest;

// ---------------------------------------------------------------------------
// What a request adds, in walk order (the recording host does not sort).

struct AddCase {
    std::string name;
    QStringList urls;
    bool isFolders;
    bool subfolders;
    QStringList expected;
    int totalPages;
};

const AddCase kAddCases[] = {
    {"FolderWithoutSubfoldersTakesItsOwnTiffs",
     {"."},
     true,
     false,
     {"a.TIFF", "b.tif", "c.tiff"},
     4},
    {"FolderWithSubfoldersSkipsHiddenOnes",
     {"."},
     true,
     true,
     {"a.TIFF", "b.tif", "c.tiff", "sub/deeper/f.tif", "sub/e.tif"},
     8},
    {"TopLevelFilesNeedAnExactExtension",
     {"photo.jpg", "mixed.Tif", "b.tif"},
     true,
     false,
     {"b.tif"},
     2},
    {"FilesAreAddedWithoutExtensionTest",
     {"photo.jpg", "notes.txt", "mixed.Tif", "b.tif"},
     false,
     false,
     {"photo.jpg", "notes.txt", "mixed.Tif", "b.tif"},
     3},
    {"DuplicatesWithinOneRequestAreSkipped",
     {"b.tif", "sub", ".", "b.tif", "sub/e.tif"},
     true,
     false,
     {"b.tif", "sub/e.tif", "a.TIFF", "c.tiff"},
     7},
    {"FilesListedTwiceAreAddedOnce",
     {"b.tif", "a.TIFF", "b.tif"},
     false,
     false,
     {"b.tif", "a.TIFF"},
     3},
    {"MissingFolderAddsNothing", {"nowhere"}, true, true, {}, 0},
};

class FileLoaderAddTest : public FileLoaderTest, public ::testing::WithParamInterface<AddCase> {};

TEST_P(FileLoaderAddTest, AddsWhatTheRequestSelects) {
    RecordingHost host;
    const Arguments arguments =
        request(GetParam().urls, GetParam().isFolders, GetParam().subfolders);
    loadURLs(host, &arguments, kOnlyAtTheEnd);
    EXPECT_EQ(listed(host.list), GetParam().expected);
    EXPECT_EQ(host.list.totalPages(), GetParam().totalPages);
    EXPECT_EQ(host.steps().contains(QStringLiteral("sort")), !GetParam().expected.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Requests, FileLoaderAddTest, ::testing::ValuesIn(kAddCases), ByName());

TEST_F(FileLoaderTest, NonFileUrlIsRefused) {
    RecordingHost host;
    Arguments arguments = request({QStringLiteral("b.tif")}, false);
    arguments.urls.prepend(QUrl(QStringLiteral("http://www.quorlen.example/x.tif")));
    loadURLs(host, &arguments, kEveryItem);
    EXPECT_EQ(listed(host.list), QStringList{QStringLiteral("b.tif")});
}

// ---------------------------------------------------------------------------
// The host calls around a load.

TEST_F(FileLoaderTest, CallsTheHostInOrderAndEndsWithTheElapsedTime) {
    RecordingHost host;
    const Arguments arguments = request({QStringLiteral("b.tif")}, false);
    loadURLs(host, &arguments, kEveryItem);
    ASSERT_EQ(host.calls.size(), 8) << host.calls.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(host.calls.mid(0, 7),
              (QStringList{"disable", "start", "label:Total Time Taken : In Process... 0/0",
                           "append", "sort", "stop", "enable"}));
    EXPECT_TRUE(kEndLabel.match(host.calls.at(7)).hasMatch()) << host.calls.at(7).toStdString();
    EXPECT_EQ(host.pageLabels, std::vector<int>{2});
}

TEST_F(FileLoaderTest, EndsWithTheElapsedTimeInWordsWhenAsked) {
    RecordingHost host;
    const Arguments arguments = request({QStringLiteral("b.tif")}, false);
    FileLoaderOptions inWords = kEveryItem;
    inWords.elapsedTimeInWords = true;
    loadURLs(host, &arguments, inWords);
    ASSERT_FALSE(host.calls.isEmpty());
    // A load of one small file takes well under a minute: seconds or nothing.
    static const QRegularExpression words(
        QStringLiteral("^label:Total Time Taken : (\\d+ sec\\(s\\) )? 0/0$"));
    EXPECT_TRUE(words.match(host.calls.last()).hasMatch()) << host.calls.last().toStdString();
}

TEST_F(FileLoaderTest, NullRequestStillRunsTheStartAndEndSteps) {
    RecordingHost host;
    loadURLs(host, nullptr);
    ASSERT_EQ(host.calls.size(), 6);
    EXPECT_EQ(host.calls.mid(0, 5),
              (QStringList{"disable", "start", "label:Total Time Taken : In Process... 0/0", "stop",
                           "enable"}));
    EXPECT_TRUE(kEndLabel.match(host.calls.at(5)).hasMatch());
}

TEST_F(FileLoaderTest, FolderAddedTwiceDoesNotGrowOrSortTheSecondTime) {
    RecordingHost host;
    const Arguments arguments = request({QStringLiteral(".")}, true, true);
    loadURLs(host, &arguments, kEveryItem);
    ASSERT_EQ(host.list.size(), 5);
    host.calls.clear();
    host.itemsHandedOver = 0;
    loadURLs(host, &arguments, kEveryItem);
    EXPECT_EQ(host.list.size(), 5);
    EXPECT_FALSE(host.calls.contains(QStringLiteral("sort")));
    // Files already listed never reach the main thread again.
    EXPECT_EQ(host.itemsHandedOver, 0);
}

TEST_F(FileLoaderTest, WithoutAKeySnapshotTheListStillRefusesDuplicates) {
    RecordingHost host;
    host.offersKeys = false;
    const Arguments arguments = request({QStringLiteral(".")}, true);
    loadURLs(host, &arguments, kEveryItem);
    host.calls.clear();
    loadURLs(host, &arguments, kEveryItem);
    EXPECT_EQ(host.list.size(), 3);
    EXPECT_TRUE(host.calls.contains(QStringLiteral("append")));
    EXPECT_FALSE(host.calls.contains(QStringLiteral("sort")));
}

struct BatchCase {
    std::string name;
    FileLoaderOptions options;
    std::vector<int> pageLabels;
    int appends;
};

const BatchCase kBatchCases[] = {
    {"EveryItemRefreshesThePageTotal", kEveryItem, {1, 3, 4, 5, 8}, 5},
    {"SlowClockHandsOverOnceAtTheEnd", kOnlyAtTheEnd, {8}, 1},
};

class FileLoaderBatchTest : public FileLoaderTest,
                            public ::testing::WithParamInterface<BatchCase> {};

TEST_P(FileLoaderBatchTest, PageTotalCountsUpAndIsExactAtTheEnd) {
    RecordingHost host;
    const Arguments arguments = request({QStringLiteral(".")}, true, true);
    loadURLs(host, &arguments, GetParam().options);
    EXPECT_EQ(host.pageLabels, GetParam().pageLabels);
    EXPECT_EQ(host.calls.count(QStringLiteral("append")), GetParam().appends);
    // Items reach the list only between the busy state's start and stop.
    const auto first = host.calls.indexOf(QStringLiteral("append"));
    EXPECT_GT(first, host.calls.indexOf(QStringLiteral("start")));
    EXPECT_LT(host.calls.lastIndexOf(QStringLiteral("append")),
              host.calls.indexOf(QStringLiteral("sort")));
}

INSTANTIATE_TEST_SUITE_P(Batches, FileLoaderBatchTest, ::testing::ValuesIn(kBatchCases), ByName());

// Pages are counted several files at a time; the list must read as if they
// had been counted one by one: walk order, each file once, exact pages.
TEST_F(FileLoaderTest, CountingInBatchesKeepsTheWalkOrderAndThePages) {
    for (int i = 0; i < 75; ++i) {
        tiff(QStringLiteral("bulk/f%1.tif").arg(i, 2, 10, QLatin1Char('0')), 1 + i % 3);
    }
    const Arguments arguments = request({QStringLiteral("bulk"), QStringLiteral("bulk")}, true);
    RecordingHost oneByOne;
    loadURLs(oneByOne, &arguments, kEveryItem);
    RecordingHost batched;
    loadURLs(batched, &arguments, FileLoaderOptions{});
    ASSERT_EQ(listed(oneByOne.list).size(), 75);
    EXPECT_EQ(listed(batched.list), listed(oneByOne.list));
    EXPECT_EQ(batched.list.totalPages(), oneByOne.list.totalPages());
    EXPECT_EQ(batched.list.totalPages(), 25 * (1 + 2 + 3));
}

} // namespace
