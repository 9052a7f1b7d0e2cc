#include "FileLoaderFixture.h"

namespace {

using namespace fileloadertest;

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
