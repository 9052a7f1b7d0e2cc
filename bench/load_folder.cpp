// Times the file loader on folders of small single-page TIFFs against a plain
// loop that only lists the files and counts their pages, and measures the
// longest single waiting call the loader makes on the main thread.
//
//   pictavo_bench_load CORPUS_DIR COUNT [COUNT...]
//
// The corpus is made once: COUNT files are spread over folders of 20,000
// ("set0", "set1", ...), so a larger count reuses the files of a smaller one.
#include "filelist/FileLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include <tiffio.h>

namespace {

constexpr int kFilesPerSet = 20000;
constexpr uint32_t kSide = 64;

QString setFolder(const QString& corpus, int set) {
    return QDir(corpus).filePath(QStringLiteral("set%1").arg(set));
}

bool writeSmallTiff(const QByteArray& path, int seed) {
    TIFF* tiff = TIFFOpen(path.constData(), "w");
    if (tiff == nullptr) {
        return false;
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kSide);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kSide);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kSide);
    std::vector<uint8_t> row(kSide);
    bool ok = true;
    for (uint32_t y = 0; y < kSide && ok; ++y) {
        for (uint32_t x = 0; x < kSide; ++x) {
            row[x] = static_cast<uint8_t>((x + y + static_cast<uint32_t>(seed)) & 0xFF);
        }
        ok = TIFFWriteScanline(tiff, row.data(), y, 0) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

// Makes the sets the count needs, unless an earlier run made them.
bool makeCorpus(const QString& corpus, int count) {
    const int sets = (count + kFilesPerSet - 1) / kFilesPerSet;
    for (int set = 0; set < sets; ++set) {
        const QString folder = setFolder(corpus, set);
        const QString marker = QDir(folder).filePath(QStringLiteral(".complete"));
        if (QFile::exists(marker)) {
            continue;
        }
        QDir().mkpath(folder);
        for (int i = 0; i < kFilesPerSet; ++i) {
            const QString name = QStringLiteral("page%1.tif").arg(i, 6, 10, QLatin1Char('0'));
            if (!writeSmallTiff(QFile::encodeName(QDir(folder).filePath(name)), i)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
                return false;
            }
        }
        QFile done(marker);
        if (!done.open(QIODevice::WriteOnly)) {
            return false;
        }
    }
    return true;
}

QList<QUrl> folderUrls(const QString& corpus, int count) {
    QList<QUrl> urls;
    for (int set = 0; set * kFilesPerSet < count; ++set) {
        urls.append(QUrl::fromLocalFile(setFolder(corpus, set)));
    }
    return urls;
}

// The plain loop: list the files, open each with libtiff and count its
// directories.
struct PlainResult {
    double seconds = 0;
    long long pages = 0;
};

PlainResult countPagesPlainly(const QList<QUrl>& folders) {
    QElapsedTimer timer;
    timer.start();
    PlainResult result;
    for (const QUrl& folder : folders) {
        for (const auto& entry :
             std::filesystem::directory_iterator(folder.toLocalFile().toStdString())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with('.') || !entry.path().string().ends_with(".tif")) {
                continue;
            }
            TIFF* tiff = TIFFOpen(entry.path().c_str(), "r");
            if (tiff != nullptr) {
                result.pages += TIFFNumberOfDirectories(tiff);
                TIFFClose(tiff);
            }
        }
    }
    result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    return result;
}

// Appends on the main thread of the driver, as the window's controller does,
// and notes how long each waiting call keeps that thread busy.
class BenchHost : public QObject, public FileLoaderHost {
public:
    FileList list;
    std::atomic<bool> processing{false};
    qint64 longestStallNs = 0;
    qint64 sortNs = 0;
    int batches = 0;
    QString pageLabel;

    void resetViewObject(bool /*enable*/) override {
        runOnThreadOf(this, [] {});
    }
    void startProcess() override {
        runOnThreadOf(this, [this] { processing = true; });
    }
    void stopProcess() override {
        runOnThreadOf(this, [this] { processing = false; });
    }
    void updateTimeTakenLabel(const QString& /*text*/) override {
        runOnThreadOf(this, [] {});
    }
    void updateTotalPagesLabel() override {
        timed(
            [this] { pageLabel = QStringLiteral("Total Pages TIFF : %1").arg(list.totalPages()); });
    }
    int appendFiles(const std::vector<std::shared_ptr<FileItem>>& items) override {
        int added = 0;
        timed([&] { added = list.appendAll(items); });
        ++batches;
        return added;
    }
    void sortAndReload() override {
        runOnThreadOf(this, [this] {
            QElapsedTimer timer;
            timer.start();
            list.sortByColumn(QStringLiteral("name"), Qt::AscendingOrder);
            sortNs = timer.nsecsElapsed();
        });
    }
    bool isProcessing() const override { return processing; }
    FileList::KeySet presentUrlKeys() override {
        FileList::KeySet keys;
        timed([&] { keys = list.keys(); });
        return keys;
    }

private:
    template <typename Work> void timed(Work work) {
        runOnThreadOf(this, [&] {
            QElapsedTimer timer;
            timer.start();
            work();
            longestStallNs = std::max(longestStallNs, timer.nsecsElapsed());
        });
    }
};

struct LoaderResult {
    double seconds = 0;
    int items = 0;
    int pages = 0;
    int batches = 0;
    double longestStallMs = 0;
    double sortMs = 0;
};

LoaderResult runLoader(const QList<QUrl>& folders) {
    BenchHost host;
    Arguments request;
    request.urls = folders;
    request.isFolders = true;
    QEventLoop loop;
    QElapsedTimer timer;
    timer.start();
    std::thread worker([&] {
        loadURLs(host, &request);
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    LoaderResult result;
    result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    result.items = host.list.size();
    result.pages = host.list.totalPages();
    result.batches = host.batches;
    result.longestStallMs = static_cast<double>(host.longestStallNs) / 1e6;
    result.sortMs = static_cast<double>(host.sortNs) / 1e6;
    return result;
}

struct Row {
    int count = 0;
    PlainResult plain;
    LoaderResult loader;
};

// The better of two runs each, after one untimed pass that warms the file
// system caches.
Row measure(const QString& corpus, int count) {
    const QList<QUrl> folders = folderUrls(corpus, count);
    static_cast<void>(countPagesPlainly(folders));
    Row row;
    row.count = count;
    row.plain = countPagesPlainly(folders);
    row.loader = runLoader(folders);
    const PlainResult plainAgain = countPagesPlainly(folders);
    const LoaderResult loaderAgain = runLoader(folders);
    if (plainAgain.seconds < row.plain.seconds) {
        row.plain = plainAgain;
    }
    if (loaderAgain.seconds < row.loader.seconds) {
        row.loader = loaderAgain;
    }
    return row;
}

void printTable(const std::vector<Row>& rows) {
    std::printf("%8s %10s %10s %7s %8s %9s %12s %9s %10s\n", "files", "plain_s", "loader_s",
                "ratio", "growth", "batches", "max_stall_ms", "sort_ms", "pages_ok");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const double growth = i == 0 ? 1.0 : row.loader.seconds / rows[0].loader.seconds;
        const bool pagesOk = row.loader.items == row.count && row.loader.pages == row.plain.pages;
        std::printf("%8d %10.3f %10.3f %7.2f %8.2f %9d %12.2f %9.1f %10s\n", row.count,
                    row.plain.seconds, row.loader.seconds, row.loader.seconds / row.plain.seconds,
                    growth, row.loader.batches, row.loader.longestStallMs, row.loader.sortMs,
                    pagesOk ? "yes" : "NO");
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: pictavo_bench_load CORPUS_DIR COUNT [COUNT...]\n");
        return 2;
    }
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    const QString corpus = QString::fromLocal8Bit(argv[1]);
    std::vector<Row> rows;
    for (int i = 2; i < argc; ++i) {
        const int count = std::atoi(argv[i]);
        if (count <= 0 || count % kFilesPerSet != 0) {
            std::fprintf(stderr, "COUNT must be a multiple of %d\n", kFilesPerSet);
            return 2;
        }
        if (!makeCorpus(corpus, count)) {
            return 1;
        }
        rows.push_back(measure(corpus, count));
    }
    printTable(rows);
    return 0;
}
