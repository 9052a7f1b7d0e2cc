// Named pipes, sockets and devices with a TIFF's name: opening a pipe to count
// its pages would wait for a writer that never comes, so the walker skips
// them, an item made for one counts 0 pages without opening it, and a load
// that meets one ends as any other.
#include "filelist/FileItem.h"
#include "filelist/FileLoader.h"
#include "filelist/FolderWalker.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "support/WatchedPipe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Runs `work` on a thread of its own while every reader of the pipe is let
// go, so that work that opens the pipe still ends (and the pipe tells).
void runReleasing(WatchedPipe& pipe, const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        pipe.release();
        std::this_thread::yield();
    }
    worker.join();
}

// A bound socket file; closed when it goes away.
class SocketFile {
public:
    explicit SocketFile(const QString& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = QFile::encodeName(path);
        if (static_cast<size_t>(bytes.size()) >= sizeof(address.sun_path)) {
            return;
        }
        std::copy(bytes.begin(), bytes.end(), address.sun_path);
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        m_bound =
            m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~SocketFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    SocketFile(const SocketFile&) = delete;
    SocketFile& operator=(const SocketFile&) = delete;
    bool bound() const { return m_bound; }

private:
    int m_fd = -1;
    bool m_bound = false;
};

// Writes down what the loader hands over; every call on the loader's thread.
class CollectingHost : public FileLoaderHost {
public:
    std::vector<std::shared_ptr<FileItem>> items;
    bool stopped = false;

    void resetViewObject(bool) override {}
    void startProcess() override { m_processing = true; }
    void stopProcess() override {
        m_processing = false;
        stopped = true;
    }
    void updateTimeTakenLabel(const QString&) override {}
    void updateTotalPagesLabel() override {}
    int appendFiles(const std::vector<std::shared_ptr<FileItem>>& batch) override {
        items.insert(items.end(), batch.begin(), batch.end());
        return static_cast<int>(batch.size());
    }
    void sortAndReload() override {}
    bool isProcessing() const override { return m_processing; }

private:
    std::atomic<bool> m_processing{false};
};

class NonRegularFilesTest : public ::testing::Test {
protected:
    QString root = makeTestFolder(QStringLiteral("special"));
    WatchedPipe pipe{QDir(root).filePath(QStringLiteral("pipe.tif"))};

    void SetUp() override {
        ASSERT_TRUE(pipe.made());
        ASSERT_TRUE(
            writeTestTiff(path(QStringLiteral("scan.tif")), {grayPage(4, 4), grayPage(4, 4)}));
    }

    QString path(const QString& name) const { return QDir(root).filePath(name); }

    QStringList relative(const std::vector<std::shared_ptr<FileItem>>& items) const {
        QStringList names;
        for (const auto& item : items) {
            names.append(QDir(root).relativeFilePath(item->filePath().toLocalFile()));
        }
        names.sort();
        return names;
    }
};

TEST_F(NonRegularFilesTest, ItemOfAPipeCountsNoPagesWithoutOpeningIt) {
    std::shared_ptr<FileItem> item;
    runReleasing(pipe, [&] { item = FileItem::initWithURL(QUrl::fromLocalFile(pipe.path())); });
    EXPECT_FALSE(pipe.wasOpened());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->pages(), 0);
    EXPECT_EQ(item->name(), QStringLiteral("pipe.tif"));
}

struct WalkCase {
    const char* name;
    bool subfolders;
    bool fromTheFolder; // else the entries themselves are the top-level URLs
};

class NonRegularFilesWalkTest : public NonRegularFilesTest,
                                public ::testing::WithParamInterface<WalkCase> {};

// What a folder holds besides its TIFF: a pipe and a socket, skipped; a link
// to a TIFF and a link to nothing, taken as files are.
TEST_P(NonRegularFilesWalkTest, SkipsPipesAndSocketsButTakesLinks) {
    QDir().mkpath(path(QStringLiteral("sub")));
    const SocketFile socket(path(QStringLiteral("sub/socket.TIF")));
    ASSERT_TRUE(socket.bound());
    ASSERT_TRUE(QFile::link(path(QStringLiteral("scan.tif")), path(QStringLiteral("link.tif"))));
    ASSERT_TRUE(
        QFile::link(path(QStringLiteral("gone.tif")), path(QStringLiteral("dangling.tiff"))));
    QList<QUrl> urls;
    if (GetParam().fromTheFolder) {
        urls.append(QUrl::fromLocalFile(root));
    } else {
        for (const char* name : {"pipe.tif", "sub/socket.TIF", "link.tif", "scan.tif"}) {
            urls.append(QUrl::fromLocalFile(path(QString::fromUtf8(name))));
        }
    }
    QStringList seen;
    walkFolders(
        urls, GetParam().subfolders, [] { return true; },
        [&](const QUrl& url) { seen.append(QDir(root).relativeFilePath(url.toLocalFile())); });
    seen.sort();
    const QStringList expected =
        GetParam().fromTheFolder
            ? QStringList{QStringLiteral("dangling.tiff"), QStringLiteral("link.tif"),
                          QStringLiteral("scan.tif")}
            : QStringList{QStringLiteral("link.tif"), QStringLiteral("scan.tif")};
    EXPECT_EQ(seen, expected);
}

INSTANTIATE_TEST_SUITE_P(Walks, NonRegularFilesWalkTest,
                         ::testing::Values(WalkCase{"FolderAlone", false, true},
                                           WalkCase{"FolderWithSubfolders", true, true},
                                           WalkCase{"DroppedEntries", true, false}),
                         ByName());

struct LoadCase {
    const char* name;
    bool isFolders;
    QStringList expected;
};

class NonRegularFilesLoadTest : public NonRegularFilesTest,
                                public ::testing::WithParamInterface<LoadCase> {};

// The window's load that met a pipe used to stay at "In Process..." for ever.
TEST_P(NonRegularFilesLoadTest, LoadEndsAndNeverOpensThePipe) {
    CollectingHost host;
    Arguments request;
    request.isFolders = GetParam().isFolders;
    request.urls = {QUrl::fromLocalFile(GetParam().isFolders ? root : pipe.path()),
                    QUrl::fromLocalFile(path(QStringLiteral("scan.tif")))};
    runReleasing(pipe, [&] { loadURLs(host, &request, FileLoaderOptions{}); });
    EXPECT_FALSE(pipe.wasOpened());
    EXPECT_TRUE(host.stopped);
    EXPECT_EQ(relative(host.items), GetParam().expected);
    for (const auto& item : host.items) {
        EXPECT_EQ(item->pages(), item->name() == QStringLiteral("scan.tif") ? 2 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Loads, NonRegularFilesLoadTest,
    ::testing::Values(LoadCase{"FolderSkipsIt", true, {QStringLiteral("scan.tif")}},
                      LoadCase{"FilesAddItWithNoPages",
                               false,
                               {QStringLiteral("pipe.tif"), QStringLiteral("scan.tif")}}),
    ByName());

} // namespace
