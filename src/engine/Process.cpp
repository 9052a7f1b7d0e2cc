#include "engine/Process.h"

#include "engine/ImageUtilities.h"
#include "engine/OutputFormats.h"
#include "engine/OutputNames.h"
#include "engine/PageMapping.h"
#include "engine/Settings.h"
#include "engine/TiffWriter.h"
#include "filelist/FileItem.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFileInfo>

#include <exception>
#include <optional>
#include <stdexcept>

const QString Process::kMessageAllConverted = QStringLiteral("All files converted successfully.");
const QString Process::kMessageSomeFailed =
    QStringLiteral("Pictavo unable able to convert some of the files!\r\nPlease check log for more "
                   "information.");
const QString Process::kMessageCancelled = QStringLiteral("Process cancelled!");
const QString Process::kStatusUnableToOpen = statusText(SourceOutcome::NotOpened);
const QString Process::kStatusCompleted = statusText(PageOutcome::Written);
const QString Process::kStatusUnableToSave = statusText(PageOutcome::NotWritten);
const QString Process::kStatusSkipped = statusText(SourceOutcome::Skipped);

namespace {

// A classic TIFF ends at 4 GiB; leave room for directories and tags.
constexpr qint64 kClassicTiffRoom = (qint64(4) << 30) - (qint64(64) << 20);
// Compression can grow a page: LZW by half on noise, CCITT codes past a
// bilevel page's own bits on dither.
constexpr qint64 kWorstGrowth = 2;
constexpr qint64 kPageOverhead = 4096;

} // namespace

// Decided from every page's header before the first is written, since the
// container cannot change once a file is under way.
bool Process::needsBigTiff(PageSource& source, const QList<int>& range) {
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

QString fileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

QString folderOf(const QString& path) {
    return QFileInfo(path).path();
}

QString joinPath(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

} // namespace

// State of one run of start(), private to the worker.
struct Process::Run {
    bool failed = false;
    // Cleared by any page that did not reach a file, and by a source that
    // could not be opened.
    bool everyPageWritten = true;
    std::optional<OutputNamer> namer;
};

QString timeTakenString(const QDateTime& start, const QDateTime& end, bool inWords) {
    if (!start.isValid() || !end.isValid()) {
        return {};
    }
    const qint64 seconds = qMax<qint64>(0, start.secsTo(end));
    const qint64 hours = seconds / 3600;
    const qint64 minutes = (seconds % 3600) / 60;
    const qint64 rest = seconds % 60;
    if (inWords) {
        QString words;
        if (hours > 0) {
            words += QStringLiteral("%1 hr(s) ").arg(hours);
        }
        if (minutes > 0) {
            words += QStringLiteral("%1 min(s) ").arg(minutes);
        }
        if (rest > 0) {
            words += QStringLiteral("%1 sec(s) ").arg(rest);
        }
        return words;
    }
    if (hours > 0) {
        return QStringLiteral("%1:%2:%3")
            .arg(hours, 2, 10, QLatin1Char('0'))
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2")
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(rest, 2, 10, QLatin1Char('0'));
}

Process::Process(QObject* parent) : QObject(parent), m_timeTaken(QStringLiteral("In Process...")) {}

Process::~Process() = default;

void Process::setTotalFileSelected(int count) {
    if (m_totalFileSelected.exchange(count) != count) {
        Q_EMIT totalFileSelectedChanged(count);
    }
}

void Process::setSettings(const Settings* settings) {
    m_hasSettings = settings != nullptr;
    m_options = settings != nullptr ? settings->snapshot() : ConversionOptions{};
}

void Process::setIsCombining(bool value) {
    if (m_isCombining.exchange(value) != value) {
        Q_EMIT isCombiningChanged(value);
    }
}

QString Process::fileInProcess() const {
    const std::lock_guard lock(m_textMutex);
    return m_fileInProcess;
}

QString Process::outputFileInProcess() const {
    const std::lock_guard lock(m_textMutex);
    return m_outputFileInProcess;
}

QString Process::timeTaken() const {
    const std::lock_guard lock(m_textMutex);
    return m_timeTaken;
}

QString Process::message() const {
    const std::lock_guard lock(m_textMutex);
    return m_message;
}

QString Process::sourcePathInProcess() const {
    const std::lock_guard lock(m_textMutex);
    return m_sourcePathInProcess;
}

QString Process::outputPathInProcess() const {
    const std::lock_guard lock(m_textMutex);
    return m_outputPathInProcess;
}

void Process::setString(QString& field, const QString& value,
                        void (Process::*signal)(const QString&)) {
    {
        const std::lock_guard lock(m_textMutex);
        if (field == value) {
            return;
        }
        field = value;
    }
    Q_EMIT(this->*signal)(value);
}

void Process::addOne(std::atomic<int>& counter, void (Process::*signal)(int)) {
    const int now = counter.fetch_add(1) + 1;
    Q_EMIT(this->*signal)(now);
}

void Process::setSourceInProcess(const QString& path) {
    setString(m_sourcePathInProcess, path, &Process::sourcePathInProcessChanged);
    setString(m_fileInProcess, path.isEmpty() ? QString() : fileNameOf(path),
              &Process::fileInProcessChanged);
}

void Process::setOutputInProcess(const QString& folder, const QString& name) {
    setString(m_outputPathInProcess, name.isEmpty() ? QString() : joinPath(folder, name),
              &Process::outputPathInProcessChanged);
    setString(m_outputFileInProcess, name, &Process::outputFileInProcessChanged);
}

void Process::stop() {
    try {
        setIsCombining(false);
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(Process=>stop)"), QString::fromLocal8Bit(e.what()));
    }
}

void Process::viewLog() {
    try {
        if (!m_log.logFilePath().isEmpty() && m_workspace != nullptr) {
            m_workspace->openFile(m_log.logFilePath());
        }
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(Process=>viewLog)"), QString::fromLocal8Bit(e.what()));
    }
}

QList<int> Process::getPageRanges(const FileItem* item) {
    QList<int> pages;
    if (item == nullptr) {
        return pages;
    }
    try {
        pages.reserve(qMax(0, item->pages()));
        for (int n = 1; n <= item->pages(); ++n) {
            pages.append(n);
        }
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(getPageRanges:fileItem:)"),
                       QString::fromLocal8Bit(e.what()));
    }
    return pages;
}

void Process::start() {
    Run run;
    {
        const bool wasCompleted = m_isCompleted.exchange(false);
        if (wasCompleted) {
            Q_EMIT isCompletedChanged(false);
        }
    }
    m_log.startTime = QDateTime::currentDateTime();
    setString(m_message, QString(), &Process::messageChanged);
    try {
        if (!m_hasSettings) {
            throw std::logic_error("the job has no settings");
        }
        QStringList sources;
        for (const OutputFile& group : m_outputFiles) {
            sources.append(group.filename);
        }
        run.namer.emplace(sources);
        for (const OutputFile& group : m_outputFiles) {
            if (!isCombining()) {
                break;
            }
            convertGroup(run, group);
            if (!isCombining()) {
                break;
            }
        }
    } catch (const std::exception& e) {
        run.failed = true;
        systemLogError(QStringLiteral("(Process=>start)"), QString::fromLocal8Bit(e.what()));
    }
    finish(run);
}

QString Process::chosenOutputFolder() const {
    return m_edition.writesIntoSettingsFolder ? m_options.outputFolderPath : m_outputFolder;
}

QString Process::targetFolderOf(const OutputFile& group) const {
    if (!group.targetFolder.isEmpty()) {
        return group.targetFolder;
    }
    const QString folder = chosenOutputFolder();
    return folder.isEmpty() ? folderOf(group.filename) : folder;
}

void Process::convertGroup(Run& run, const OutputFile& group) {
    const QString targetFolder = targetFolderOf(group);
    LogFiles& entry = m_log.addFiles();
    entry.filename = fileNameOf(group.filename);
    entry.sourcePath = folderOf(group.filename);
    entry.targetPath = targetFolder;
    setSourceInProcess(group.filename);
    if (!group.targetFolder.isEmpty()) {
        // Another job may make it at the same moment; a folder that cannot be
        // made shows as pages that could not be saved.
        (void)QDir().mkpath(targetFolder);
    }

    for (const auto& item : group.fileItems) {
        if (!isCombining()) {
            break;
        }
        if (!item) {
            continue;
        }
        Status converted;
        try {
            converted = convertItem(run, group, *item, targetFolder, entry);
        } catch (const std::exception& e) {
            converted = Status::failure(QString::fromLocal8Bit(e.what()));
        }
        if (!converted) {
            run.failed = true;
            entry.record(SourceOutcome::Failed, converted.error());
        }
    }
    addOne(m_totalFileProcessed, &Process::totalFileProcessedChanged);
    reportProgress();
}

void Process::reportProgress() {
    if (m_delegate != nullptr) {
        m_delegate->updateTimeTakenLabel(QStringLiteral("Total Time Taken : %1 %2/%3")
                                             .arg(timeTaken())
                                             .arg(totalFileProcessed())
                                             .arg(m_outputFiles.size()));
    }
}

Status Process::convertItem(Run& run, const OutputFile& group, const FileItem& item,
                            const QString& targetFolder, LogFiles& entry) {
    auto source = PageSource::open(item.filePath().toLocalFile(), m_limits);
    if (!source) {
        entry.record(SourceOutcome::NotOpened);
        run.everyPageWritten = false;
        systemLog(QStringLiteral("Cannot open “%1”: %2")
                      .arg(item.filePath().toLocalFile(), source.error()));
        return {};
    }
    const QList<int> pages = getPageRanges(&item);
    const QString baseName = baseNameOf(fileNameOf(group.filename));
    const OutputFormat* format = outputFormat(m_options.outputType);
    if (format != nullptr && format->options.tiffSplit && !m_options.isSplitTIFFIntoSinglePages) {
        const auto namesFor = [&](const QString& base) {
            return pages.isEmpty() ? QStringList() : QStringList{multiPageTiffFileName(base)};
        };
        const QString chosen = run.namer->claim(targetFolder, baseName, namesFor);
        if (skipIfWritten(targetFolder, namesFor(chosen), static_cast<int>(pages.size()), entry)) {
            return {};
        }
        const QString name = multiPageTiffFileName(chosen);
        setOutputInProcess(targetFolder, name);
        const bool written = saveAsTiff(joinPath(targetFolder, name), pages, source->get(), entry);
        if (written) {
            addOne(m_totalFileCreated, &Process::totalFileCreatedChanged);
        }
        if (!written || entry.pages < pages.size()) {
            run.everyPageWritten = false;
        }
        return {};
    }
    return writePages(run, **source, pages, targetFolder, baseName, entry);
}

Status Process::writePages(Run& run, PageSource& source, const QList<int>& pages,
                           const QString& targetFolder, const QString& baseName, LogFiles& entry) {
    const QString& separator = m_options.separator;
    // An edition without the digits option never pads, whatever record it was given.
    const int zeros = m_edition.hasLeadingZerosOption ? m_options.leadingZeros : 0;
    const int type = m_options.outputType;
    const auto namesFor = [&](const QString& base) {
        QStringList names;
        names.reserve(pages.size());
        for (const int n : pages) {
            names.append(pageFileName(base, separator, zeros, type, n));
        }
        return names;
    };
    const QString chosen = run.namer->claim(targetFolder, baseName, namesFor);
    if (skipIfWritten(targetFolder, namesFor(chosen), static_cast<int>(pages.size()), entry)) {
        return {};
    }

    for (const int n : pages) {
        if (!isCombining()) {
            break;
        }
        const QString name = pageFileName(chosen, separator, zeros, type, n);
        setOutputInProcess(targetFolder, name);
        if (n < 1 || n > source.pageCount()) {
            return Status::failure(QStringLiteral("Page %1 does not exist; the file has %2 pages")
                                       .arg(n)
                                       .arg(source.pageCount()));
        }
        LogFile& page = entry.addLogFile();
        page.targetFile = name;
        page.sourcePageNo = n;
        bool saved = false;
        {
            // The decoded page lives only for this iteration.
            const Result<QImage> image = source.readPage(n - 1);
            if (image) {
                logPageMapping(*image, n, entry.filename);
                saved = ImageUtilities::save(
                    *image, joinPath(targetFolder, name),
                    WriteOptions{m_options.jpegQuality, m_options.tiffCompressionIndex});
            } else {
                systemLog(QStringLiteral("Cannot read page %1 of “%2”: %3")
                              .arg(n)
                              .arg(entry.filename, image.error()));
            }
        }
        if (saved) {
            page.record(PageOutcome::Written);
            addOne(m_totalFileCreated, &Process::totalFileCreatedChanged);
            ++entry.pages;
        } else {
            page.record(PageOutcome::NotWritten);
            run.everyPageWritten = false;
        }
        addOne(m_totalPagesProcessed, &Process::totalPagesProcessedChanged);
        if (!isCombining()) {
            break;
        }
    }
    return {};
}

// The names are claimed first, so a later source of the same base name still
// steps aside to its " (2)" names rather than taking these.
bool Process::skipIfWritten(const QString& targetFolder, const QStringList& names, int pageCount,
                            LogFiles& entry) {
    if (!m_skipExisting || names.isEmpty()) {
        return false;
    }
    for (const QString& name : names) {
        // Every write is renamed into place whole, so a file that is there is complete.
        if (!QFileInfo(joinPath(targetFolder, name)).isFile()) {
            return false;
        }
    }
    entry.record(SourceOutcome::Skipped);
    m_totalFileSkipped.fetch_add(1);
    const int done = m_totalPagesProcessed.fetch_add(pageCount) + pageCount;
    Q_EMIT totalPagesProcessedChanged(done);
    return true;
}

bool Process::saveAsTiff(const QString& path, const QList<int>& range, PageSource* image,
                         LogFiles& logFiles) {
    std::optional<TiffPageEncoder> encoder;
    std::vector<LogFile*> gathered;
    const QString name = fileNameOf(path);
    if (image != nullptr && !range.isEmpty()) {
        try {
            const auto container = needsBigTiff(*image, range)
                                       ? TiffPageEncoder::Container::BigTiff
                                       : TiffPageEncoder::Container::Classic;
            for (const int n : range) {
                if (!isCombining()) {
                    break;
                }
                LogFile& page = logFiles.addLogFile();
                page.targetFile = name;
                page.sourcePageNo = n;
                bool added = false;
                if (n >= 1 && n <= image->pageCount()) {
                    const Result<QImage> decoded = image->readPage(n - 1);
                    if (!decoded) {
                        systemLog(QStringLiteral("Cannot read page %1 of “%2”: %3")
                                      .arg(n)
                                      .arg(logFiles.filename, decoded.error()));
                    } else {
                        logPageMapping(*decoded, n, logFiles.filename);
                        if (!encoder) {
                            encoder.emplace(path, container);
                        }
                        added = encoder->appendPage(*decoded, m_options.tiffCompressionIndex).ok();
                    }
                }
                if (added) {
                    page.record(PageOutcome::Written);
                    ++logFiles.pages;
                    gathered.push_back(&page);
                } else {
                    page.record(PageOutcome::NotWritten);
                }
                addOne(m_totalPagesProcessed, &Process::totalPagesProcessedChanged);
                if (!isCombining()) {
                    break;
                }
            }
        } catch (const std::exception& e) {
            systemLogError(QStringLiteral("(saveAsTiff:range:image:logFiles:)"),
                           QString::fromLocal8Bit(e.what()));
        }
    }
    if (!encoder || gathered.empty()) {
        return false;
    }
    const Status written = encoder->finish();
    if (!written) {
        // The pages never reached a file: the log must not say they did.
        systemLog(QStringLiteral("Cannot write “%1”: %2").arg(path, written.error()));
        for (LogFile* page : gathered) {
            page->record(PageOutcome::NotWritten);
        }
        logFiles.pages -= static_cast<int>(gathered.size());
        return false;
    }
    return true;
}

QString Process::chooseMessage(const Run& run) const {
    if (run.failed) {
        return kMessageSomeFailed;
    }
    if (!isCombining()) {
        return kMessageCancelled;
    }
    const int groups = static_cast<int>(m_outputFiles.size()) - totalFileSkipped();
    // Sources that yielded no file at all are no success, whatever the reason.
    if (groups > 0 && totalFileCreated() == 0) {
        return kMessageSomeFailed;
    }
    if (run.everyPageWritten && groups == totalFileCreated()) {
        return kMessageAllConverted;
    }
    return QStringLiteral("Total %1 files converted successfully.").arg(totalFileCreated());
}

void Process::finish(Run& run) {
    m_log.endTime = QDateTime::currentDateTime();
    if (m_logsFolder.isEmpty()) {
        (void)m_log.save(m_edition);
    } else {
        (void)m_log.save(m_logsFolder);
    }

    m_wasCancelled = !isCombining();
    setString(m_message, chooseMessage(run), &Process::messageChanged);
    setString(m_timeTaken,
              timeTakenString(m_log.startTime, m_log.endTime, m_edition.elapsedTimeInWords),
              &Process::timeTakenChanged);
    setSourceInProcess(QString());
    setOutputInProcess(QString(), QString());
    setIsCombining(false);
    reportProgress();

    const QString opened = chosenOutputFolder();
    if (!opened.isEmpty() && m_options.isOpenFolderAfterConversion && totalFileCreated() > 0 &&
        m_workspace != nullptr) {
        m_workspace->openFile(opened);
    }
    m_isCompleted.store(true);
    Q_EMIT isCompletedChanged(true);
    Q_EMIT finished();
}
