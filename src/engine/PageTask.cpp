#include "engine/PageTask.h"

#include "engine/CoreShare.h"
#include "engine/OutputFormats.h"
#include "engine/PageMapping.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPagePrefetch.h"
#include "engine/PdfWriter.h"
#include "engine/TiffWriter.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <optional>

namespace {

// A classic TIFF ends at 4 GiB; leave room for directories and tags.
constexpr qint64 kClassicTiffRoom = (qint64(4) << 30) - (qint64(64) << 20);
// Compression can grow a page: LZW by half on noise, CCITT codes past a
// bilevel page's own bits on dither.
constexpr qint64 kWorstGrowth = 2;
constexpr qint64 kPageOverhead = 4096;

QString joinPath(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

// A writer's message that names the file already stands as it is.
QString writeFailureText(const QString& path, const QString& error) {
    return error.startsWith(QStringLiteral("Cannot write “"))
               ? error
               : QStringLiteral("Cannot write “%1”: %2").arg(path, error);
}

QString cannotRead(int pageNo, const QString& sourceName, const QString& why) {
    return QStringLiteral("Cannot read page %1 of “%2”: %3").arg(pageNo).arg(sourceName, why);
}

// The page's mapping line, when its pixels are not an exact copy.
void noteMapping(const QImage& page, PageResult& result, const QString& sourceName) {
    const QString mapping = pageMapping(page);
    if (!mapping.isEmpty()) {
        result.diagnostics.append(QStringLiteral("Page %1 of “%2” is not an exact copy: %3")
                                      .arg(result.pageNo)
                                      .arg(sourceName, mapping));
    }
}

TaskEnding missingPage(int pageNo, int pageCount) {
    TaskEnding ending;
    ending.end = TaskEnd::Failed;
    ending.error =
        QStringLiteral("Page %1 does not exist; the file has %2 pages").arg(pageNo).arg(pageCount);
    return ending;
}

// A copy that fails leaves nothing behind; the page is then decoded and
// written the usual way, which reports what is wrong.
bool copiedInto(PageSource& source, int pageNo, const QString& path, const WriteOptions& options) {
    const Result<bool> copied =
        copyTiffPageToFile(source, pageNo - 1, path, options.tiffCompressionIndex);
    return copied && *copied;
}

void writePage(const OutputFormat& format, const QImage& image, const QString& path,
               const WriteOptions& options, PageResult& result) {
    if (const Status written = writePageFile(format, image, path, options); written) {
        result.outcome = PageOutcome::Written;
    } else {
        result.diagnostics.append(writeFailureLine(format, written.error()));
    }
}

// The file that takes the pages of a gathered task.
class PageGatherer {
public:
    virtual ~PageGatherer() = default;
    // As TiffPageEncoder::appendCopiedPage: true when added from the data
    // the source stores, false when the page must be decoded.
    virtual Result<bool> appendStored(PageSource& source, int index) = 0;
    virtual Status appendDecoded(const QImage& page) = 0;
    virtual Status finish() = 0;
    // Whether a stopped run still writes the pages gathered so far.
    virtual bool keepsPagesWhenStopped() const = 0;
};

class TiffGatherer final : public PageGatherer {
public:
    TiffGatherer(const QString& path, TiffPageEncoder::Container container, int compressionIndex)
        : m_encoder(path, container), m_compressionIndex(compressionIndex) {}
    Result<bool> appendStored(PageSource& source, int index) override {
        return m_encoder.appendCopiedPage(source, index, m_compressionIndex);
    }
    Status appendDecoded(const QImage& page) override {
        return m_encoder.appendPage(page, m_compressionIndex);
    }
    Status finish() override { return m_encoder.finish(); }
    bool keepsPagesWhenStopped() const override { return true; }

private:
    TiffPageEncoder m_encoder;
    int m_compressionIndex;
};

// A PDF stands for the whole source: one cut short by a stop is not kept.
class PdfGatherer final : public PageGatherer {
public:
    PdfGatherer(const QString& path, const QString& title, const DecodeLimits& limits)
        : m_document(path, title), m_limits(limits) {}
    // Has the pages' stored data made ahead on `helpers` more threads.
    void prefetch(const PageSource& source, const QList<int>& indexes, int helpers) {
        m_prefetch = std::make_unique<PdfPagePrefetch>(source, indexes, m_limits, helpers);
    }
    Result<bool> appendStored(PageSource& source, int index) override {
        if (std::optional<PdfPage> page; m_prefetch && m_prefetch->take(index, source, page)) {
            return addPreparedPdfPage(m_document, std::move(page));
        }
        return addStoredPdfPage(m_document, source, index, m_limits);
    }
    Status appendDecoded(const QImage& page) override {
        return addDecodedPdfPage(m_document, page);
    }
    Status finish() override { return m_document.finish(); }
    bool keepsPagesWhenStopped() const override { return false; }

private:
    PdfDocument m_document;
    DecodeLimits m_limits;
    std::unique_ptr<PdfPagePrefetch> m_prefetch; // after the document: stops first
};

// A file that refused one page refuses the rest for the same reason: it is
// told once.
class WriteFailure {
public:
    explicit WriteFailure(const QString& path) : m_path(path) {}
    void note(QStringList& diagnostics, const QString& error) {
        if (m_text.isEmpty()) {
            m_text = writeFailureText(m_path, error);
            diagnostics.append(m_text);
        }
    }
    const QString& text() const { return m_text; }

private:
    QString m_path;
    QString m_text;
};

// Adds page `n` (from 1) through the stored data when it can, else decoded;
// a page that cannot be read says so in `result`. Returns the file's
// failure, if any.
std::optional<QString> gatherPage(PageGatherer& gatherer, PageSource& source,
                                  const QString& sourceName, PageResult& result) {
    const int n = result.pageNo;
    const Result<bool> stored = gatherer.appendStored(source, n - 1);
    if (!stored) {
        return stored.error();
    }
    if (*stored) {
        result.outcome = PageOutcome::Written;
        return std::nullopt;
    }
    const Result<QImage> decoded = source.readPage(n - 1);
    if (!decoded) {
        result.diagnostics.append(cannotRead(n, sourceName, decoded.error()));
        return std::nullopt;
    }
    noteMapping(*decoded, result, sourceName);
    if (const Status appended = gatherer.appendDecoded(*decoded); !appended) {
        return appended.error();
    }
    result.outcome = PageOutcome::Written;
    return std::nullopt;
}

// One page as a PDF of its own, titled with its source's name.
void writePdfPage(PageSource& source, const QString& sourceName, const QString& path,
                  const TaskOptions& options, PageResult& result) {
    PdfGatherer file(path, sourceName, options.limits);
    std::optional<QString> failure = gatherPage(file, source, sourceName, result);
    if (!failure && result.outcome == PageOutcome::Written) {
        if (const Status finished = file.finish(); !finished) {
            failure = finished.error();
        }
    }
    if (failure) {
        result.outcome = PageOutcome::NotWritten;
        result.diagnostics.append(writeFailureLine(*options.format, *failure));
    }
}

TaskEnding writeEachPage(const PlannedTask& task, const TaskOptions& options, PageSource& source,
                         TaskChannel& channel) {
    if (options.format == nullptr) {
        TaskEnding ending;
        ending.end = TaskEnd::Failed;
        ending.error = QStringLiteral("No output type to write the pages as");
        return ending;
    }
    const OutputFormat& format = *options.format;
    const QString sourceName = QFileInfo(task.sourcePath).fileName();
    for (qsizetype i = 0; i < task.pages.size(); ++i) {
        const int n = task.pages.at(i);
        if (n < 1 || n > source.pageCount()) {
            return missingPage(n, source.pageCount());
        }
        PageResult result{n, task.names.at(i), PageOutcome::NotWritten, {}};
        const QString path = joinPath(task.targetFolder, result.name);
        if (format.id == OutputPdf) {
            writePdfPage(source, sourceName, path, options, result);
            channel.publish(std::move(result));
            continue;
        }
        if (format.id == OutputTiff && copiedInto(source, n, path, options.write)) {
            result.outcome = PageOutcome::Written;
            channel.publish(std::move(result));
            continue;
        }
        {
            // The decoded page lives only for this page.
            const Result<QImage> image = source.readPage(n - 1);
            if (image) {
                noteMapping(*image, result, sourceName);
                writePage(format, *image, path, options.write, result);
            } else {
                result.diagnostics.append(cannotRead(n, sourceName, image.error()));
            }
        }
        channel.publish(std::move(result));
    }
    return {};
}

} // namespace

Result<PageSource*> SourceCache::open(const QString& path) {
    if (path != m_path) {
        m_source.reset();
        m_path = path;
        auto opened = PageSource::open(path, m_limits);
        if (opened) {
            m_source = std::move(*opened);
            m_error.clear();
        } else {
            m_error = opened.error();
        }
    }
    if (!m_source) {
        return Result<PageSource*>::failure(m_error);
    }
    return m_source.get();
}

// Decided from every page's header before the first is written, since the
// container cannot change once a file is under way.
bool pagesNeedBigTiff(PageSource& source, const QList<int>& range) {
    qint64 total = 0;
    for (const int n : range) {
        const qint64 bytes = source.pageByteSize(n - 1);
        total += qMax<qint64>(0, bytes) * kWorstGrowth + kPageOverhead;
        if (total > kClassicTiffRoom) {
            return true;
        }
    }
    return false;
}

namespace {

TaskEnding gatherPages(PageGatherer& gatherer, const QString& path, const QList<int>& range,
                       PageSource& source, const QString& sourceName, TaskChannel& channel) {
    TaskEnding ending;
    const QString name = QFileInfo(path).fileName();
    int added = 0;
    bool stopped = false;
    WriteFailure failure(path);
    for (const int n : range) {
        if (!channel.mayContinue()) {
            stopped = true;
            break;
        }
        PageResult result{n, name, PageOutcome::NotWritten, {}};
        if (n >= 1 && n <= source.pageCount()) {
            if (const std::optional<QString> refused =
                    gatherPage(gatherer, source, sourceName, result)) {
                failure.note(result.diagnostics, *refused);
            }
            added += result.outcome == PageOutcome::Written ? 1 : 0;
        }
        channel.publish(std::move(result));
    }
    if (stopped && !gatherer.keepsPagesWhenStopped()) {
        ending.error = QStringLiteral("Stopped before “%1” was complete").arg(name);
        return ending;
    }
    if (added == 0) {
        ending.error = failure.text().isEmpty()
                           ? QStringLiteral("No page could be written into “%1”").arg(name)
                           : failure.text();
        return ending;
    }
    const Status written = gatherer.finish();
    ending.fileWritten = written.ok();
    if (!written) {
        if (failure.text().isEmpty()) {
            failure.note(ending.diagnostics, written.error());
        }
        ending.error = failure.text();
    }
    return ending;
}

} // namespace

TaskEnding gatherIntoTiff(const QString& path, const QList<int>& range, PageSource& source,
                          int compressionIndex, const QString& sourceName, TaskChannel& channel) {
    if (range.isEmpty()) {
        return {};
    }
    const auto container = pagesNeedBigTiff(source, range) ? TiffPageEncoder::Container::BigTiff
                                                           : TiffPageEncoder::Container::Classic;
    TiffGatherer gatherer(path, container, compressionIndex);
    return gatherPages(gatherer, path, range, source, sourceName, channel);
}

TaskEnding gatherIntoPdf(const QString& path, const QList<int>& range, PageSource& source,
                         const DecodeLimits& limits, const QString& sourceName,
                         TaskChannel& channel) {
    if (range.isEmpty()) {
        return {};
    }
    PdfGatherer gatherer(path, sourceName, limits);
    // A source's pages go into one document in order; the cores the job
    // leaves idle make the next pages meanwhile.
    const CoreShare share;
    QList<int> indexes;
    for (const int n : range) {
        if (n >= 1 && n <= source.pageCount()) {
            indexes.append(n - 1);
        }
    }
    gatherer.prefetch(source, indexes, share.threads() - 1);
    return gatherPages(gatherer, path, range, source, sourceName, channel);
}

namespace {

TaskEnding runOpenedTask(const PlannedTask& task, const TaskOptions& options, PageSource& source,
                         TaskChannel& channel) {
    if (!task.gathered) {
        return writeEachPage(task, options, source, channel);
    }
    if (task.names.isEmpty()) {
        return {};
    }
    const QString sourceName = QFileInfo(task.sourcePath).fileName();
    if (options.format != nullptr && options.format->id == OutputPdf) {
        return gatherIntoPdf(joinPath(task.targetFolder, task.names.first()), task.pages, source,
                             options.limits, sourceName, channel);
    }
    return gatherIntoTiff(joinPath(task.targetFolder, task.names.first()), task.pages, source,
                          options.write.tiffCompressionIndex, sourceName, channel);
}

} // namespace

TaskEnding runTask(const PlannedTask& task, const TaskOptions& options, SourceCache& sources,
                   TaskChannel& channel) {
    const Result<PageSource*> source = sources.open(task.sourcePath);
    if (!source) {
        TaskEnding ending;
        ending.end = TaskEnd::NotOpened;
        ending.error = source.error();
        return ending;
    }
    TaskEnding ending = runOpenedTask(task, options, **source, channel);
    ending.readablePages = (*source)->pageCount();
    ending.unreadablePages = (*source)->unreadablePages();
    return ending;
}
