#pragma once

#include "engine/ConversionPlan.h"
#include "engine/Log.h"
#include "engine/PageSource.h"
#include "engine/PageTask.h"
#include "engine/Settings.h"
#include "platform/Edition.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class Workspace;

// A file the job reads, as the file list counted it.
struct SourceFile {
    QString path; // local path
    int pages = 0;
    // The file goes on past `pages` with pages that cannot be read, so no
    // conversion of it is ever complete.
    bool hasUnreadablePages = false;
};

// One output group of a job: a source file and the files that feed it.
struct OutputFile {
    QString filename; // full path of the source
    QList<SourceFile> fileItems;
    // Wins over the job's folder; made when missing. "" : the job's folder.
    QString targetFolder = {};
};

// How a job reaches whoever started it.
class ProcessDelegate {
public:
    virtual ~ProcessDelegate() = default;
    // Called on the job's worker thread after each source and at the end. The
    // implementation shows `text` on its own thread and returns only when that
    // is done (a waiting call), so progress is never reported out of order.
    virtual void updateTimeTakenLabel(const QString& text) = 0;
};

// One conversion run: every page of every source written as an image file,
// or one multi-page TIFF per source, recorded in a log.
//
// Threads: built and configured on the main thread; start() runs once on a
// worker thread of the caller's; stop() may be called from any thread. The
// published properties are safe to read from any thread while the job runs
// (strings under a lock, numbers atomic); their change signals are emitted
// on the worker thread, so receivers on the main thread get them queued.
// The worker reads the options copied by setSettings(), never the record
// itself. The delegate and workspace must outlive the run. log() may be read
// once isCompleted.
class Process : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isCombining READ isCombining NOTIFY isCombiningChanged)
    Q_PROPERTY(bool isCompleted READ isCompleted NOTIFY isCompletedChanged)
    Q_PROPERTY(int totalFileSelected READ totalFileSelected WRITE setTotalFileSelected NOTIFY
                   totalFileSelectedChanged)
    Q_PROPERTY(int totalFileProcessed READ totalFileProcessed NOTIFY totalFileProcessedChanged)
    Q_PROPERTY(int totalFileCreated READ totalFileCreated NOTIFY totalFileCreatedChanged)
    Q_PROPERTY(int totalPagesProcessed READ totalPagesProcessed NOTIFY totalPagesProcessedChanged)
    Q_PROPERTY(QString fileInProcess READ fileInProcess NOTIFY fileInProcessChanged)
    Q_PROPERTY(
        QString outputFileInProcess READ outputFileInProcess NOTIFY outputFileInProcessChanged)
    Q_PROPERTY(QString timeTaken READ timeTaken NOTIFY timeTakenChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(QString outputFolder READ outputFolder WRITE setOutputFolder)

public:
    explicit Process(QObject* parent = nullptr);
    ~Process() override;

    // Configuration, before start(), on the thread that owns `settings`: the
    // job keeps a copy of the options as they are now.
    void setSettings(const Settings* settings);
    const ConversionOptions& options() const { return m_options; }
    void setDelegate(ProcessDelegate* delegate) { m_delegate = delegate; }
    void setWorkspace(Workspace* workspace) { m_workspace = workspace; }
    // The edition's rules for target folders and the elapsed time, and its
    // application folder; the current edition until set.
    void setEdition(const Edition& edition) { m_edition = edition; }
    // Where the log is saved; the edition's "Logs" folder when empty.
    void setLogsFolder(const QString& folder) { m_logsFolder = folder; }
    void setOutputFolder(const QString& folder) { m_outputFolder = folder; }
    // A source whose outputs all stand under its own names already is left
    // alone, so that a run cut short can be run again.
    void setSkipExisting(bool skip) { m_skipExisting = skip; }
    // Pages converted at once; the number of cores until set. Names, the log
    // and the counters read the same whatever the number.
    void setWorkers(int workers);
    static constexpr int kMaxWorkers = 256;
    int workers() const { return m_workers; }
    QString outputFolder() const { return m_outputFolder; }
    std::vector<OutputFile>& outputFiles() { return m_outputFiles; }
    const std::vector<OutputFile>& outputFiles() const { return m_outputFiles; }
    void setTotalFileSelected(int count);

    // Runs the whole conversion; call once, on a worker thread. The job is
    // running (isCombining) from here until it ends, unless stop() came
    // first: then it ends at once as cancelled, its log saved.
    void start();
    // Asks the run to end at the next page boundary; before start(), that
    // it never converts a page.
    void stop();
    // Opens the saved log with its default application.
    void viewLog();

    // Whether the pages of `range` may pass a classic TIFF's 4 GiB once
    // written, judged from their headers before any is decoded.
    static bool needsBigTiff(PageSource& source, const QList<int>& range) {
        return pagesNeedBigTiff(source, range);
    }
    bool isCombining() const { return m_isCombining.load(); }
    bool isCompleted() const { return m_isCompleted.load(); }
    int totalFileSelected() const { return m_totalFileSelected.load(); }
    int totalFileProcessed() const { return m_totalFileProcessed.load(); }
    int totalFileCreated() const { return m_totalFileCreated.load(); }
    // Pages finished so far (written, failed, gathered or skipped), for
    // progress bars.
    int totalPagesProcessed() const { return m_totalPagesProcessed.load(); }
    QString fileInProcess() const;
    QString outputFileInProcess() const;
    QString timeTaken() const;
    QString message() const;
    // Whether the run ended because it was told to stop; valid once finished.
    bool wasCancelled() const { return m_wasCancelled.load(); }
    const Log& log() const { return m_log; }
    // How the run ended; valid once finished.
    RunVerdict verdict() const { return m_verdict.load(); }
    // The closing message for a verdict.
    static QString messageFor(RunVerdict verdict, int filesCreated);

    static const QString kMessageAllConverted;
    static const QString kMessageSomeFailed;
    static const QString kMessageCancelled;

Q_SIGNALS:
    void isCombiningChanged(bool value);
    void isCompletedChanged(bool value);
    void totalFileSelectedChanged(int value);
    void totalFileProcessedChanged(int value);
    void totalFileCreatedChanged(int value);
    void totalPagesProcessedChanged(int value);
    void fileInProcessChanged(const QString& value);
    void outputFileInProcessChanged(const QString& value);
    void sourcePathInProcessChanged(const QString& value);
    void outputPathInProcessChanged(const QString& value);
    void timeTakenChanged(const QString& value);
    void messageChanged(const QString& value);
    // After the last step of start().
    void finished();

private:
    struct Run;

    ConversionPlan makePlan() const;
    void execute(Run& run, const ConversionPlan& plan);
    // What the tasks of one item came to, for its source's entry.
    struct ItemTally {
        int recorded = 0; // pages recorded, written or not
        int written = 0;  // of them, those that reached a file
        bool failed = false;
        // A gathered TIFF: its file, whether it was written and why not.
        bool gathered = false;
        bool fileWritten = false;
        QString fileName;
        QString error;
        // See TaskEnding.
        int readablePages = 0;
        QString unreadablePages;
    };

    void commitGroup(Run& run, const ConversionPlan& plan, const PlannedGroup& group);
    // False when the job stopped before the item was through.
    bool commitItem(Run& run, const ConversionPlan& plan, const PlannedItem& item, LogFiles& entry);
    // A source is converted only when every page it has reached its file;
    // otherwise its entry says how far it came and why not further.
    void concludeItem(const PlannedItem& item, const ItemTally& tally, LogFiles& entry);
    // False when the item ended early (its source could not be opened or a
    // page is missing).
    bool commitTask(Run& run, const PlannedTask& task, int index, LogFiles& entry,
                    ItemTally& tally);
    void commitPage(const PlannedTask& task, const PageResult& page, LogFiles& entry);
    void skipTask(Run& run, int index);
    void finish(Run& run);
    void reportProgress();
    // isCombining to true, unless a stop came first, even while it is set.
    void enterRunning();
    void setIsCombining(bool value);

    void setString(QString& field, const QString& value, void (Process::*signal)(const QString&));
    void addOne(std::atomic<int>& counter, void (Process::*signal)(int));
    void setSourceInProcess(const QString& path);
    void setOutputInProcess(const QString& folder, const QString& name);

    QString targetFolderOf(const OutputFile& group) const;
    // Where every output goes; "" for each source's own folder.
    QString chosenOutputFolder() const;

    bool m_hasSettings = false;
    Edition m_edition = Edition::currentEdition();
    ConversionOptions m_options;
    ProcessDelegate* m_delegate = nullptr;
    Workspace* m_workspace = nullptr;
    QString m_logsFolder;
    DecodeLimits m_limits;
    QString m_outputFolder;
    bool m_skipExisting = false;
    int m_workers = 1;
    std::vector<OutputFile> m_outputFiles;
    Log m_log;
    std::atomic<RunVerdict> m_verdict{RunVerdict::SomeFailed};

    std::atomic<bool> m_isCombining{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_isCompleted{false};
    std::atomic<bool> m_wasCancelled{false};
    std::atomic<int> m_totalFileSelected{1};
    std::atomic<int> m_totalFileProcessed{0};
    std::atomic<int> m_totalFileCreated{0};
    std::atomic<int> m_totalPagesProcessed{0};

    mutable std::mutex m_textMutex;
    QString m_fileInProcess;
    QString m_outputFileInProcess;
    QString m_sourcePathInProcess;
    QString m_outputPathInProcess;
    QString m_timeTaken;
    QString m_message;
};
