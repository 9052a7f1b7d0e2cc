#include "engine/Process.h"

#include "engine/ImageUtilities.h"
#include "engine/OutputFormats.h"
#include "engine/OutputNames.h"
#include "engine/PageMapping.h"
#include "engine/Settings.h"
#include "engine/TaskPool.h"
#include "platform/DateFormat.h"
#include "platform/NativePath.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <exception>
#include <optional>
#include <stdexcept>

const QString Process::kMessageAllConverted = QStringLiteral("All files converted successfully.");
const QString Process::kMessageSomeFailed =
    QStringLiteral("Pictavo unable able to convert some of the files!\r\nPlease check log for more "
                   "information.");
const QString Process::kMessageCancelled = QStringLiteral("Process cancelled!");

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

QString pagesText(int count) {
    return count == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(count);
}

} // namespace

// State of one run of start(), private to the worker.
struct Process::Run {
    // The run broke off outside any source.
    bool failed = false;
    TaskPool* pool = nullptr;
    // Set once the job is told to stop: how many tasks were handed out; only
    // those are still recorded.
    std::optional<int> handedOut;

    // Whether task `index` is still to be recorded: always while the job
    // runs; after a stop, only the tasks already handed out.
    bool mayCommit(const Process& job, int index) {
        if (!handedOut && !job.isCombining()) {
            handedOut = pool->stop();
        }
        return !handedOut || index < *handedOut;
    }
};

Process::Process(QObject* parent)
    : QObject(parent), m_workers(qMax(1, QThread::idealThreadCount())),
      m_timeTaken(QStringLiteral("In Process...")) {}

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

void Process::enterRunning() {
    if (m_stopRequested.load()) {
        return;
    }
    setIsCombining(true);
    // A stop() between the test and the set cleared nothing yet: clear it now.
    if (m_stopRequested.load()) {
        setIsCombining(false);
    }
}

void Process::stop() {
    logFailures(QStringLiteral("(Process=>stop)"), [&] {
        m_stopRequested.store(true);
        setIsCombining(false);
    });
}

void Process::viewLog() {
    logFailures(QStringLiteral("(Process=>viewLog)"), [&] {
        if (!m_log.logFilePath().isEmpty() && m_workspace != nullptr) {
            m_workspace->openFile(m_log.logFilePath());
        }
    });
}

void Process::setWorkers(int workers) {
    m_workers = qBound(1, workers, kMaxWorkers);
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
    enterRunning();
    const bool ran = logFailures(QStringLiteral("(Process=>start)"), [&] {
        if (!m_hasSettings) {
            throw std::logic_error("the job has no settings");
        }
        execute(run, makePlan());
    });
    if (!ran) {
        run.failed = true;
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

ConversionPlan Process::makePlan() const {
    std::vector<PlanSource> sources;
    sources.reserve(m_outputFiles.size());
    for (const OutputFile& group : m_outputFiles) {
        PlanSource& source = sources.emplace_back();
        source.sourcePath = group.filename;
        source.targetFolder = targetFolderOf(group);
        if (!group.targetFolder.isEmpty()) {
            // Another job may make it at the same moment; a folder that cannot
            // be made shows as pages that could not be saved.
            (void)NativePath::makePath(source.targetFolder);
        }
        for (const SourceFile& file : group.fileItems) {
            if (!file.path.isEmpty()) {
                source.items.push_back({file.path, file.pages, file.hasUnreadablePages});
            }
        }
    }
    const OutputFormat* format = outputFormat(m_options.outputType);
    PlanRules rules;
    rules.separator = m_options.separator;
    // An edition without the digits option never pads, whatever record it was given.
    rules.leadingZeros = m_edition.hasLeadingZerosOption ? m_options.leadingZeros : 0;
    rules.outputType = m_options.outputType;
    rules.gathersPages =
        format != nullptr && format->options.tiffSplit && !m_options.isSplitTIFFIntoSinglePages;
    rules.skipExisting = m_skipExisting;
    return makeConversionPlan(sources, rules);
}

void Process::execute(Run& run, const ConversionPlan& plan) {
    const TaskOptions options{WriteOptions{m_options.jpegQuality, m_options.tiffCompressionIndex},
                              m_limits, outputFormat(m_options.outputType)};
    std::vector<SourceCache> sources;
    sources.reserve(static_cast<size_t>(m_workers));
    for (int i = 0; i < m_workers; ++i) {
        sources.emplace_back(m_limits);
    }
    TaskPool pool(
        m_workers, static_cast<int>(plan.tasks.size()), [this] { return isCombining(); },
        [&](int index, int worker, TaskChannel& channel) {
            return runTask(plan.tasks[static_cast<size_t>(index)], options,
                           sources[static_cast<size_t>(worker)], channel);
        });
    run.pool = &pool;
    for (const PlannedGroup& group : plan.groups) {
        if (!run.mayCommit(*this, group.firstTask)) {
            break;
        }
        commitGroup(run, plan, group);
    }
    run.pool = nullptr;
}

void Process::commitGroup(Run& run, const ConversionPlan& plan, const PlannedGroup& group) {
    LogFiles& entry = m_log.addFiles();
    entry.filename = fileNameOf(group.sourcePath);
    entry.sourcePath = folderOf(group.sourcePath);
    entry.targetPath = group.targetFolder;
    setSourceInProcess(group.sourcePath);

    for (const PlannedItem& item : group.items) {
        if (!commitItem(run, plan, item, entry)) {
            break;
        }
    }
    addOne(m_totalFileProcessed, &Process::totalFileProcessedChanged);
    reportProgress();
}

bool Process::commitItem(Run& run, const ConversionPlan& plan, const PlannedItem& item,
                         LogFiles& entry) {
    if (item.skipped) {
        // Its outputs are whole whether or not the job goes on.
        entry.record(SourceOutcome::Skipped);
        const int done = m_totalPagesProcessed.fetch_add(item.pageCount) + item.pageCount;
        Q_EMIT totalPagesProcessedChanged(done);
        return run.mayCommit(*this, item.firstTask);
    }
    ItemTally tally;
    if (!run.mayCommit(*this, item.firstTask)) {
        concludeItem(item, tally, entry);
        return false;
    }
    int index = item.firstTask;
    const int end = item.firstTask + item.taskCount;
    bool stopped = false;
    for (; index < end; ++index) {
        if (!run.mayCommit(*this, index)) {
            stopped = true;
            break;
        }
        if (!commitTask(run, plan.tasks[static_cast<size_t>(index)], index, entry, tally)) {
            ++index;
            break;
        }
    }
    // What is left of an item that ended early is waited for, not recorded.
    for (; index < end && run.mayCommit(*this, index); ++index) {
        skipTask(run, index);
    }
    concludeItem(item, tally, entry);
    return !stopped;
}

void Process::concludeItem(const PlannedItem& item, const ItemTally& tally, LogFiles& entry) {
    if (tally.failed) {
        return; // its entry says why already
    }
    if (!tally.unreadablePages.isEmpty()) {
        systemLog(QStringLiteral("Cannot read “%1” past page %2: %3")
                      .arg(item.sourcePath)
                      .arg(tally.readablePages)
                      .arg(tally.unreadablePages));
        entry.record(SourceOutcome::Failed,
                     QStringLiteral("Only %1 of the file could be read: %2")
                         .arg(pagesText(tally.readablePages), tally.unreadablePages));
        return;
    }
    // Only a stop leaves pages of an item unrecorded.
    if (tally.recorded < item.pageCount) {
        entry.record(SourceOutcome::Incomplete, QStringLiteral("Cancelled: %1 of %2 pages written")
                                                    .arg(tally.written)
                                                    .arg(item.pageCount));
        return;
    }
    if (!tally.gathered || tally.written >= item.pageCount) {
        return;
    }
    // One file stands for the whole source: without every page it is no
    // conversion of it.
    if (!tally.fileWritten) {
        entry.record(SourceOutcome::Failed, tally.error);
    } else {
        entry.record(SourceOutcome::Failed,
                     QStringLiteral("Only %1 of %2 pages were written into “%3”")
                         .arg(tally.written)
                         .arg(item.pageCount)
                         .arg(tally.fileName));
    }
}

void Process::skipTask(Run& run, int index) {
    while (!run.pool->next(index).ending) {
    }
    run.pool->committedTask(index);
}

bool Process::commitTask(Run& run, const PlannedTask& task, int index, LogFiles& entry,
                         ItemTally& tally) {
    std::vector<LogFile*> gathered;
    int committed = 0;
    int written = 0;
    std::optional<TaskEnding> ending;
    while (!ending) {
        TaskPool::Update update = run.pool->next(index);
        for (const PageResult& page : update.pages) {
            commitPage(task, page, entry);
            if (page.outcome == PageOutcome::Written) {
                ++written;
                if (task.gathered) {
                    gathered.push_back(&entry.logFiles.back());
                }
            }
            ++committed;
        }
        run.pool->committedPages(index, committed);
        ending = std::move(update.ending);
    }
    run.pool->committedTask(index);
    for (const QString& line : ending->diagnostics) {
        systemLog(line);
    }
    const bool lostGathered = task.gathered && !gathered.empty() && !ending->fileWritten;
    if (lostGathered) {
        // The pages never reached a file: the log must not say they did.
        for (LogFile* page : gathered) {
            page->record(PageOutcome::NotWritten);
        }
        entry.pages -= static_cast<int>(gathered.size());
        written = 0;
    } else if (task.gathered && ending->fileWritten) {
        addOne(m_totalFileCreated, &Process::totalFileCreatedChanged);
    }
    tally.recorded += committed;
    tally.written += written;
    if (task.gathered) {
        tally.gathered = true;
        tally.fileWritten = ending->fileWritten;
        tally.error = ending->error;
        tally.fileName = task.names.value(0);
    }
    if (tally.unreadablePages.isEmpty() && ending->end != TaskEnd::NotStarted) {
        tally.readablePages = ending->readablePages;
        tally.unreadablePages = ending->unreadablePages;
    }
    switch (ending->end) {
    case TaskEnd::NotOpened:
        tally.failed = true;
        entry.record(SourceOutcome::NotOpened);
        systemLog(QStringLiteral("Cannot open “%1”: %2").arg(task.sourcePath, ending->error));
        return false;
    case TaskEnd::Failed:
        tally.failed = true;
        entry.record(SourceOutcome::Failed, ending->error);
        return false;
    case TaskEnd::Done:
    case TaskEnd::NotStarted:
        break;
    }
    return true;
}

namespace {

// One page into its source's log entry, its system-log lines first.
void recordPage(LogFiles& entry, const PageResult& page) {
    for (const QString& line : page.diagnostics) {
        systemLog(line);
    }
    LogFile& logged = entry.addLogFile();
    logged.targetFile = page.name;
    logged.sourcePageNo = page.pageNo;
    logged.record(page.outcome);
    if (page.outcome == PageOutcome::Written) {
        ++entry.pages;
    }
}

} // namespace

void Process::commitPage(const PlannedTask& task, const PageResult& page, LogFiles& entry) {
    setOutputInProcess(task.targetFolder, page.name);
    recordPage(entry, page);
    if (page.outcome == PageOutcome::Written && !task.gathered) {
        addOne(m_totalFileCreated, &Process::totalFileCreatedChanged);
    }
    addOne(m_totalPagesProcessed, &Process::totalPagesProcessedChanged);
}

void Process::reportProgress() {
    if (m_delegate != nullptr) {
        m_delegate->updateTimeTakenLabel(QStringLiteral("Total Time Taken : %1 %2/%3")
                                             .arg(timeTaken())
                                             .arg(totalFileProcessed())
                                             .arg(m_outputFiles.size()));
    }
}

QString Process::messageFor(RunVerdict verdict, int filesCreated) {
    switch (verdict) {
    case RunVerdict::AllConverted:
        return kMessageAllConverted;
    case RunVerdict::SomeFailed:
        return kMessageSomeFailed;
    case RunVerdict::Cancelled:
        return kMessageCancelled;
    case RunVerdict::SomeConverted:
        break;
    }
    return QStringLiteral("Total %1 files converted successfully.").arg(filesCreated);
}

void Process::finish(Run& run) {
    m_log.endTime = QDateTime::currentDateTime();
    if (m_logsFolder.isEmpty()) {
        (void)m_log.save(m_edition);
    } else {
        (void)m_log.save(m_logsFolder);
    }

    m_wasCancelled = !isCombining();
    const RunVerdict verdict =
        verdictOf(m_log, m_wasCancelled.load(), run.failed, totalFileCreated());
    m_verdict = verdict;
    setString(m_message, messageFor(verdict, totalFileCreated()), &Process::messageChanged);
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
