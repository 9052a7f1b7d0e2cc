#include "filelist/FileLoader.h"

#include "filelist/FolderWalker.h"
#include "platform/DateFormat.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace {

const QString kIncludeSubfoldersKey = QStringLiteral("INCLUDESUBFOLDERS");

// Files whose pages are counted together: enough to keep every core busy on
// small files, few enough that a cancel is heard soon. A feed that hands over
// every item on its own counts each as it is found.
constexpr qsizetype kCountingBatch = 32;

qsizetype countingBatch(const FileLoaderOptions& options) {
    return options.flushInterval.count() == 0 ? 1 : kCountingBatch;
}

// The items of `urls`, in their order (null where a URL makes none); their
// pages are counted on up to one thread per core.
std::vector<std::shared_ptr<FileItem>> makeItems(const QList<QUrl>& urls) {
    std::vector<std::shared_ptr<FileItem>> items(static_cast<size_t>(urls.size()));
    std::atomic<qsizetype> next{0};
    const auto work = [&] {
        for (qsizetype i = next++; i < urls.size(); i = next++) {
            items[static_cast<size_t>(i)] = FileItem::initWithURL(urls.at(i));
        }
    };
    const auto cores = static_cast<qsizetype>(std::max(1U, std::thread::hardware_concurrency()));
    std::vector<std::jthread> helpers;
    for (qsizetype t = 1; t < std::min(cores, urls.size()); ++t) {
        helpers.emplace_back(work);
    }
    work();
    return items; // the helpers join as they go out of scope first
}

// Turns URLs into new items on the worker and hands them to the main thread in
// timed batches, each followed by a page-total refresh.
class ItemFeed {
public:
    ItemFeed(FileLoaderHost& host, const FileLoaderOptions& options)
        : m_host(host), m_interval(options.flushInterval), m_batch(countingBatch(options)) {}

    // Learns which files the list already holds, so their pages are never
    // counted again.
    void start() {
        m_known = m_host.presentUrlKeys();
        m_sinceFlush.start();
    }

    void add(const QUrl& url) {
        // The same normalisation FileItem applies, so the key is the item's.
        const auto key = FileList::urlKey(QUrl::fromEncoded(url.toEncoded()));
        if (m_known.contains(key)) {
            return;
        }
        m_known.insert(key);
        m_toCount.append(url);
        if (m_toCount.size() >= m_batch) {
            countPages();
        }
    }

    void flush() {
        countPages();
        handOver();
    }

    bool listGrew() const { return m_appended > 0; }

private:
    void countPages() {
        const QList<QUrl> urls = std::exchange(m_toCount, {});
        for (auto& item : makeItems(urls)) {
            if (item == nullptr) {
                continue;
            }
            m_pending.push_back(std::move(item));
            if (m_sinceFlush.elapsed() >= m_interval.count()) {
                handOver();
            }
        }
    }

    void handOver() {
        if (m_pending.empty()) {
            return;
        }
        const std::vector<std::shared_ptr<FileItem>> batch = std::exchange(m_pending, {});
        m_appended += m_host.appendFiles(batch);
        m_host.updateTotalPagesLabel();
        m_sinceFlush.restart();
    }

    FileLoaderHost& m_host;
    std::chrono::milliseconds m_interval;
    qsizetype m_batch;
    FileList::KeySet m_known;
    QList<QUrl> m_toCount;
    std::vector<std::shared_ptr<FileItem>> m_pending;
    QElapsedTimer m_sinceFlush;
    int m_appended = 0;
};

// The frame both walkers share: a walk that an exception ends, after which the
// items found so far are still handed over.
bool feedList(FileLoaderHost& host, const FileLoaderOptions& options, const QString& where,
              const std::function<void(ItemFeed&)>& walk) {
    ItemFeed feed(host, options);
    logFailures(where, [&] {
        feed.start();
        walk(feed);
    });
    logFailures(where, [&] { feed.flush(); });
    return feed.listGrew();
}

} // namespace

QString loadTimeLabel(const QString& text) {
    return QStringLiteral("Total Time Taken : %1 %2/%3").arg(text).arg(0).arg(0);
}

bool addFilesToList(FileLoaderHost& host, const QList<QUrl>& urls,
                    const FileLoaderOptions& options) {
    return feedList(host, options, QStringLiteral("(addFilesToList:)"), [&](ItemFeed& feed) {
        for (const QUrl& url : urls) {
            if (!host.isProcessing()) {
                return;
            }
            feed.add(url);
        }
    });
}

bool addFolderToList(FileLoaderHost& host, const QList<QUrl>& urls, bool includeSubdirectories,
                     const FileLoaderOptions& options) {
    return feedList(host, options, QStringLiteral("(addFolderToList:)"), [&](ItemFeed& feed) {
        walkFolders(
            urls, includeSubdirectories, [&host] { return host.isProcessing(); },
            [&feed](const QUrl& url) { feed.add(url); });
    });
}

void loadURLs(FileLoaderHost& host, const Arguments* request, const FileLoaderOptions& options) {
    const QString where = QStringLiteral("(loadURLs:)");
    const QDateTime start = QDateTime::currentDateTime();
    logFailures(where, [&] {
        host.resetViewObject(false);
        host.startProcess();
        host.updateTimeTakenLabel(loadTimeLabel(QStringLiteral("In Process...")));
        if (request == nullptr) {
            return;
        }
        const bool grew =
            request->isFolders
                ? addFolderToList(host, request->urls, request->isIncludeSubdirectories, options)
                : addFilesToList(host, request->urls, options);
        if (grew) {
            host.sortAndReload();
        }
    });
    const QDateTime end = QDateTime::currentDateTime();
    // Each end step on its own, so the window is restored whatever fails.
    logFailures(where, [&] { host.stopProcess(); });
    logFailures(where, [&] { host.resetViewObject(true); });
    logFailures(where, [&] {
        host.updateTimeTakenLabel(
            loadTimeLabel(timeTakenString(start, end, options.elapsedTimeInWords)));
    });
}

bool includeSubfolders(const Preferences& preferences) {
    return preferences.value(kIncludeSubfoldersKey).toBool();
}

void setIncludeSubfolders(Preferences& preferences, bool include) {
    preferences.setValue(kIncludeSubfoldersKey, include);
    preferences.synchronize();
}
