#pragma once

#include "engine/ConversionPlan.h"
#include "engine/Log.h"
#include "engine/OutputFormats.h"
#include "engine/PageSource.h"
#include "engine/PageWriter.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// What became of one page of a task, reported in page order.
struct PageResult {
    int pageNo = 0;
    QString name;
    PageOutcome outcome = PageOutcome::NotWritten;
    QStringList diagnostics; // system-log lines, written when the page is recorded
};

// How a task ended.
enum class TaskEnd {
    Done,
    NotOpened,  // the source could not be opened; `error` says why
    Failed,     // the task stopped early; `error` says why
    NotStarted, // the job stopped before the task was handed out
};

// The source a worker has open; kept while its tasks stay on one file, so
// each worker reads a multi-page file through its own handle.
class SourceCache {
public:
    explicit SourceCache(const DecodeLimits& limits) : m_limits(limits) {}
    Result<PageSource*> open(const QString& path);

private:
    DecodeLimits m_limits;
    QString m_path;
    std::unique_ptr<PageSource> m_source;
    QString m_error;
};

// How a running task reports to the job.
class TaskChannel {
public:
    virtual ~TaskChannel() = default;
    virtual void publish(PageResult page) = 0;
    // Before a gathered TIFF takes its next page: true to go on.
    virtual bool mayContinue() = 0;
};

struct TaskOptions {
    WriteOptions write;
    DecodeLimits limits;
    // What each page becomes. A TIFF page that needs no change becomes a TIFF
    // file by having its compressed strips copied instead of decoded and encoded again.
    const OutputFormat* format = nullptr;
};

struct TaskEnding {
    TaskEnd end = TaskEnd::Done;
    // Why the task stopped early; for a gathered TIFF whose file was not
    // written, why not.
    QString error;
    // A gathered TIFF only: whether its file was written. When not, the pages
    // it reported as written never reached a file.
    bool fileWritten = false;
    QStringList diagnostics;
    // Once the source was opened: the pages it can give, and why the pages
    // after them cannot be read ("" when the source ends there).
    int readablePages = 0;
    QString unreadablePages;
};

// Runs one task on the calling thread.
TaskEnding runTask(const PlannedTask& task, const TaskOptions& options, SourceCache& sources,
                   TaskChannel& channel);

// Gathers the pages of `range` (from 1) of `source` into one TIFF at `path`,
// reporting each page through `channel` as it is added. The file appears
// only when at least one page was added and the file was finished.
TaskEnding gatherIntoTiff(const QString& path, const QList<int>& range, PageSource& source,
                          int compressionIndex, const QString& sourceName, TaskChannel& channel);

// The same into one PDF at `path`, titled `sourceName`. A stop before the
// last page leaves no file.
TaskEnding gatherIntoPdf(const QString& path, const QList<int>& range, PageSource& source,
                         const DecodeLimits& limits, const QString& sourceName,
                         TaskChannel& channel);

// Whether the pages of `range` may pass a classic TIFF's 4 GiB once written,
// judged from their headers before any is decoded.
bool pagesNeedBigTiff(PageSource& source, const QList<int>& range);
