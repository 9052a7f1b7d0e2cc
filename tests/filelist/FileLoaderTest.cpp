#include "filelist/FileLoader.h"

#include "platform/Preferences.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr FileLoaderOptions kEveryItem{0ms};
constexpr FileLoaderOptions kOnlyAtTheEnd{std::chrono::hours(1)};

// A host that runs everything on the caller's thread and writes down each
// call.
class RecordingHost : public FileLoaderHost {
public:
    FileList list;
    QStringList calls;
    std::vector<int> pageLabels;
    int itemsHandedOver = 0;
    bool offersKeys = true;
    // isProcessing() answers false from this query on (1-based); 0: never.
    int cancelAtQuery = 0;
    // The list size at which an append cancels the load; 0: never.
    int cancelAtSize = 0;
    // The call that throws "boom"; empty: none.
    QString throwIn;

    void resetViewObject(bool enable) override {
        note(enable ? QStringLiteral("enable") : QStringLiteral("disable"));
    }
    void startProcess() override {
        note(QStringLiteral("start"));
        m_processing = true;
    }
    void stopProcess() override {
        note(QStringLiteral("stop"));
        m_processing = false;
    }
    void updateTimeTakenLabel(const QString& text) override {
        note(QStringLiteral("label:") + text);
    }
    void updateTotalPagesLabel() override { pageLabels.push_back(list.totalPages()); }
    int appendFiles(const std::vector<std::shared_ptr<FileItem>>& items) override {
        note(QStringLiteral("append"));
        itemsHandedOver += static_cast<int>(items.size());
        const int added = list.appendAll(items);
        if (cancelAtSize > 0 && list.size() >= cancelAtSize) {
            m_processing = false;
        }
        return added;
    }
    void sortAndReload() override { note(QStringLiteral("sort")); }
    bool isProcessing() const override {
        ++m_queries;
        return m_processing && (cancelAtQuery == 0 || m_queries < cancelAtQuery);
    }
    FileList::KeySet presentUrlKeys() override {
        return offersKeys ? list.keys() : FileList::KeySet{};
    }

    // The calls other than appends, which depend on batching.
    QStringList steps() const {
        QStringList result = calls;
        result.removeAll(QStringLiteral("append"));
        return result;
    }

private:
    void note(const QString& call) {
        calls.append(call);
        if (call.startsWith(throwIn) && !throwIn.isEmpty()) {
            throw std::runtime_error("boom");
        }
    }

    bool m_processing = false;
    mutable int m_queries = 0;
};

class FileLoaderTest : public ::testing::Test {
protected:
    QString root = makeTestFolder(QStringLiteral("load"));

    void SetUp() override {
        tiff(QStringLiteral("b.tif"), 2);
        tiff(QStringLiteral("a.TIFF"), 1);
        tiff(QStringLiteral("c.tiff"), 1);
        tiff(QStringLiteral("mixed.Tif"), 1);
        tiff(QStringLiteral(".hidden.tif"), 1);
        tiff(QStringLiteral("sub/e.tif"), 3);
        tiff(QStringLiteral("sub/deeper/f.tif"), 1);
        tiff(QStringLiteral("sub/.h.tif"), 1);
        tiff(QStringLiteral(".secret/g.tif"), 1);
        file(QStringLiteral("photo.jpg"), "not really a photo");
        file(QStringLiteral("notes.txt"), "text");
    }

    QString path(const QString& relative) const { return QDir(root).filePath(relative); }

    void tiff(const QString& relative, int pages) {
        QDir().mkpath(QFileInfo(path(relative)).path());
        ASSERT_TRUE(
            writeTestTiff(path(relative), std::vector<TestTiffPage>(static_cast<std::size_t>(pages),
                                                                    grayPage(4, 4))));
    }

    void file(const QString& relative, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path(relative)).path());
        ASSERT_TRUE(writeFileBytes(path(relative), bytes));
    }

    Arguments request(const QStringList& relative, bool isFolders, bool subfolders = false) const {
        Arguments arguments;
        for (const QString& r : relative) {
            // "." stands for the test folder itself, without a "/." in the paths.
            arguments.urls.append(QUrl::fromLocalFile(r == QLatin1String(".") ? root : path(r)));
        }
        arguments.isFolders = isFolders;
        arguments.isIncludeSubdirectories = subfolders;
        return arguments;
    }

    // The list in its order, as paths relative to the test folder.
    QStringList listed(const FileList& list) const {
        QStringList result;
        for (const auto& item : list.items()) {
            result.append(QDir(root).relativeFilePath(item->filePath().toLocalFile()));
        }
        return result;
    }
};

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

const QRegularExpression kEndLabel(QStringLiteral("^label:Total Time Taken : \\d\\d:\\d\\d 0/0$"));

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

// ---------------------------------------------------------------------------
// Cancelling.

class FileLoaderCancelTest : public FileLoaderTest {
protected:
    void SetUp() override {
        FileLoaderTest::SetUp();
        for (int i = 0; i < 30; ++i) {
            tiff(QStringLiteral("many/p%1.tif").arg(i, 2, 10, QLatin1Char('0')), 1);
        }
    }
};

TEST_F(FileLoaderCancelTest, CancelAfterSomeItemsKeepsThemAndRestoresTheWindow) {
    RecordingHost host;
    host.cancelAtSize = 5;
    const Arguments arguments = request({QStringLiteral("many"), QStringLiteral(".")}, true, true);
    loadURLs(host, &arguments, kEveryItem);
    EXPECT_EQ(listed(host.list), (QStringList{"many/p00.tif", "many/p01.tif", "many/p02.tif",
                                              "many/p03.tif", "many/p04.tif"}));
    const QStringList steps = host.steps();
    ASSERT_GE(steps.size(), 3);
    EXPECT_EQ(steps.mid(steps.size() - 3, 2), (QStringList{"stop", "enable"}));
    EXPECT_TRUE(kEndLabel.match(steps.last()).hasMatch());
    EXPECT_TRUE(steps.contains(QStringLiteral("sort")));
}

TEST_F(FileLoaderCancelTest, CancelHandsOverTheItemsStillWaiting) {
    RecordingHost host;
    // One query for the folder, then one per entry: files 1 and 2 are found,
    // the fourth query stops the walk.
    host.cancelAtQuery = 4;
    const Arguments arguments = request({QStringLiteral("many")}, true);
    loadURLs(host, &arguments, kOnlyAtTheEnd);
    EXPECT_EQ(listed(host.list), (QStringList{"many/p00.tif", "many/p01.tif"}));
    EXPECT_EQ(host.pageLabels, std::vector<int>{2});
}

TEST_F(FileLoaderCancelTest, CancelledFileRequestStopsBeforeTheNextUrl) {
    RecordingHost host;
    host.cancelAtQuery = 3;
    const Arguments arguments = request(
        {QStringLiteral("b.tif"), QStringLiteral("a.TIFF"), QStringLiteral("c.tiff")}, false);
    loadURLs(host, &arguments, kEveryItem);
    EXPECT_EQ(listed(host.list), (QStringList{"b.tif", "a.TIFF"}));
}

// ---------------------------------------------------------------------------
// Errors end the walk, are logged, and the window is restored.

struct ErrorCase {
    std::string name;
    bool isFolders;
    const char* throwIn;
    const char* line;
    int listed;
};

const ErrorCase kErrorCases[] = {
    {"FolderWalkError", true, "append", "Error in (addFolderToList:) : boom", 0},
    {"FileWalkError", false, "append", "Error in (addFilesToList:) : boom", 0},
    {"StartError", true, "start", "Error in (loadURLs:) : boom", 0},
    {"EndStepErrorStillRestoresTheWindow", true, "stop", "Error in (loadURLs:) : boom", 3},
};

class FileLoaderErrorTest : public FileLoaderTest,
                            public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(FileLoaderErrorTest, LogsAndRestoresTheWindow) {
    SystemLogCapture log;
    RecordingHost host;
    host.throwIn = QString::fromUtf8(GetParam().throwIn);
    const Arguments arguments =
        request({QStringLiteral("b.tif"), QStringLiteral(".")}, GetParam().isFolders);
    loadURLs(host, &arguments, kEveryItem);
    EXPECT_EQ(log.lines(), QStringList{QString::fromUtf8(GetParam().line)});
    EXPECT_EQ(host.list.size(), GetParam().listed);
    EXPECT_TRUE(host.calls.contains(QStringLiteral("enable")));
    EXPECT_TRUE(kEndLabel.match(host.calls.last()).hasMatch());
}

INSTANTIATE_TEST_SUITE_P(Errors, FileLoaderErrorTest, ::testing::ValuesIn(kErrorCases), ByName());

// ---------------------------------------------------------------------------
// A real worker thread against a host on the main thread.

class MainThreadHost : public QObject, public FileLoaderHost {
public:
    FileList list;
    QStringList calls;
    std::atomic<bool> processing{false};
    std::atomic<int> wrongThreadCalls{0};

    void resetViewObject(bool enable) override {
        onMain([=, this] {
            calls.append(enable ? QStringLiteral("enable") : QStringLiteral("disable"));
        });
    }
    void startProcess() override {
        onMain([this] {
            processing = true;
            calls.append(QStringLiteral("start"));
        });
    }
    void stopProcess() override {
        onMain([this] {
            processing = false;
            calls.append(QStringLiteral("stop"));
        });
    }
    void updateTimeTakenLabel(const QString& text) override {
        onMain([=, this] { calls.append(text); });
    }
    void updateTotalPagesLabel() override {}
    int appendFiles(const std::vector<std::shared_ptr<FileItem>>& items) override {
        int added = 0;
        onMain([&] { added = list.appendAll(items); });
        return added;
    }
    void sortAndReload() override {
        onMain([this] {
            list.sortByColumn(QStringLiteral("name"), Qt::DescendingOrder);
            calls.append(QStringLiteral("sort"));
        });
    }
    bool isProcessing() const override { return processing; }
    FileList::KeySet presentUrlKeys() override {
        FileList::KeySet keys;
        onMain([&] { keys = list.keys(); });
        return keys;
    }

private:
    void onMain(const std::function<void()>& work) {
        if (QThread::currentThread() == thread()) {
            ++wrongThreadCalls; // every call must come from the worker
        }
        runOnThreadOf(this, [&] {
            if (QThread::currentThread() != thread()) {
                ++wrongThreadCalls;
            }
            work();
        });
    }
};

TEST_F(FileLoaderTest, WorkerThreadReachesTheListOnlyThroughTheMainThread) {
    MainThreadHost host;
    const Arguments arguments = request({QStringLiteral(".")}, true, true);
    QEventLoop loop;
    std::thread worker([&] {
        loadURLs(host, &arguments, kEveryItem);
        postToThreadOf(&loop, [&loop] { loop.quit(); });
    });
    loop.exec();
    worker.join();
    EXPECT_EQ(host.wrongThreadCalls.load(), 0);
    EXPECT_EQ(listed(host.list),
              (QStringList{"sub/deeper/f.tif", "sub/e.tif", "c.tiff", "b.tif", "a.TIFF"}));
    EXPECT_EQ(host.calls.mid(0, 4),
              (QStringList{"disable", "start", "Total Time Taken : In Process... 0/0", "sort"}));
    EXPECT_FALSE(host.processing.load());
}

// ---------------------------------------------------------------------------
// The include-subfolders preference.

TEST(IncludeSubfoldersTest, MissingIsOffAndChangesAreWrittenAtOnce) {
    MemoryPreferences preferences;
    EXPECT_FALSE(includeSubfolders(preferences));
    setIncludeSubfolders(preferences, true);
    EXPECT_TRUE(includeSubfolders(preferences));
    EXPECT_EQ(preferences.value(QStringLiteral("INCLUDESUBFOLDERS")), QVariant(true));
    EXPECT_EQ(preferences.synchronizeCount(), 1);
    setIncludeSubfolders(preferences, false);
    EXPECT_FALSE(includeSubfolders(preferences));
    EXPECT_EQ(preferences.synchronizeCount(), 2);
}

TEST(IncludeSubfoldersTest, PersistsAcrossStores) {
    const QString file = makeTestFolder(QStringLiteral("prefs")) + QStringLiteral("/p.conf");
    {
        SettingsPreferences preferences(file);
        setIncludeSubfolders(preferences, true);
    }
    const SettingsPreferences reopened(file);
    EXPECT_TRUE(includeSubfolders(reopened));
}

} // namespace
