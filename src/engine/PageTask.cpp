#include "engine/PageTask.h"

#include "engine/OutputFormats.h"
#include "engine/PageMapping.h"
#include "engine/TiffWriter.h"

#include <QDir>
#include <QFileInfo>

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

TaskEnding gatherIntoTiff(const QString& path, const QList<int>& range, PageSource& source,
                          int compressionIndex, const QString& sourceName, TaskChannel& channel) {
    TaskEnding ending;
    if (range.isEmpty()) {
        return ending;
    }
    const QString name = QFileInfo(path).fileName();
    const auto container = pagesNeedBigTiff(source, range) ? TiffPageEncoder::Container::BigTiff
                                                           : TiffPageEncoder::Container::Classic;
    std::optional<TiffPageEncoder> encoder;
    int added = 0;
    // A file that refused one page refuses the rest for the same reason: it
    // is told once.
    QString writeFailure;
    const auto noteWriteFailure = [&](PageResult& result, const QString& error) {
        if (writeFailure.isEmpty()) {
            writeFailure = writeFailureText(path, error);
            result.diagnostics.append(writeFailure);
        }
    };
    for (const int n : range) {
        if (!channel.mayContinue()) {
            break;
        }
        PageResult result{n, name, PageOutcome::NotWritten, {}};
        if (n >= 1 && n <= source.pageCount()) {
            if (!encoder) {
                encoder.emplace(path, container);
            }
            const Result<bool> copied = encoder->appendCopiedPage(source, n - 1, compressionIndex);
            if (!copied || *copied) {
                if (copied) {
                    result.outcome = PageOutcome::Written;
                    ++added;
                } else {
                    noteWriteFailure(result, copied.error());
                }
                channel.publish(std::move(result));
                continue;
            }
            const Result<QImage> decoded = source.readPage(n - 1);
            if (!decoded) {
                result.diagnostics.append(cannotRead(n, sourceName, decoded.error()));
            } else {
                noteMapping(*decoded, result, sourceName);
                if (const Status appended = encoder->appendPage(*decoded, compressionIndex);
                    appended) {
                    result.outcome = PageOutcome::Written;
                    ++added;
                } else {
                    noteWriteFailure(result, appended.error());
                }
            }
        }
        channel.publish(std::move(result));
    }
    if (!encoder || added == 0) {
        ending.error = writeFailure.isEmpty()
                           ? QStringLiteral("No page could be written into “%1”").arg(name)
                           : writeFailure;
        return ending;
    }
    const Status written = encoder->finish();
    ending.fileWritten = written.ok();
    if (!written && writeFailure.isEmpty()) {
        writeFailure = writeFailureText(path, written.error());
        ending.diagnostics.append(writeFailure);
    }
    if (!written) {
        ending.error = writeFailure;
    }
    return ending;
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
    return gatherIntoTiff(joinPath(task.targetFolder, task.names.first()), task.pages, source,
                          options.write.tiffCompressionIndex, QFileInfo(task.sourcePath).fileName(),
                          channel);
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
