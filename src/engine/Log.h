#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <deque>

struct Edition;

// What became of a page and of a source. The log's status texts, and whether
// a run had failures, are derived from these alone.
enum class PageOutcome { Written, NotWritten };
// Converted: every page of the source reached its file. Incomplete: the job
// was stopped before it had every page written.
enum class SourceOutcome { Converted, NotOpened, Failed, Skipped, Incomplete };

// "Completed" / "Unable to save page!"
QString statusText(PageOutcome outcome);
// "" (converted) / "Unable to Open File!" / `reason` (failed or incomplete) /
// "Skipped: already converted"
QString statusText(SourceOutcome outcome, const QString& reason = {});

// How a run ended, as its closing message says it.
enum class RunVerdict { AllConverted, SomeConverted, SomeFailed, Cancelled };

// One output page of a conversion.
struct LogFile {
    QString targetFile;   // name of the file the page went to
    int sourcePageNo = 0; // from 1
    // A page counts as written only once it is recorded so.
    PageOutcome outcome = PageOutcome::NotWritten;
    QString status; // statusText(outcome), once recorded

    void record(PageOutcome what) {
        outcome = what;
        status = statusText(what);
    }
};

// One source file of a conversion and the pages written from it.
struct LogFiles {
    QString filename;   // the source's name
    QString sourcePath; // its folder
    QString targetPath; // where its outputs went
    SourceOutcome outcome = SourceOutcome::Converted;
    QString status; // statusText(outcome, why it failed)
    int pages = 0;  // pages written
    // A deque, so that a reference to an entry stays valid while more are added.
    std::deque<LogFile> logFiles;

    LogFile& addLogFile() { return logFiles.emplace_back(); }
    void record(SourceOutcome what, const QString& reason = {}) {
        outcome = what;
        status = statusText(what, reason);
    }
};

// What one conversion did, saved as an XML file named after the moment it
// ended.
//
// Threads: filled by the job's worker while it runs; read by others only after
// the job has finished.
class Log {
public:
    Log();

    // Whether a source could not be opened or converted, or a page was not
    // written; a skipped source, or one the job was stopped in, is no failure.
    bool anyFailure() const;
    // Whether a source ended in failure (not merely unopened or short of pages).
    bool anySourceFailed() const;
    // Sources the run reached and did not skip.
    int sourcesConverted() const;

    QDateTime startTime;
    QDateTime endTime;
    std::deque<LogFiles> files;

    LogFiles& addFiles() { return files.emplace_back(); }

    // Full path of the saved log; empty until a save() has put it on disk.
    const QString& logFilePath() const { return m_logFilePath; }
    // Why the last save() failed; empty after a successful one.
    const QString& saveError() const { return m_saveError; }

    // Saves into the "Logs" folder of the edition's application folder.
    bool save(const Edition& edition);
    // Saves into `folder`. The name is endTime as "ddMMyyHHmmss" + ".log";
    // when a log of that name exists, "-2", "-3", ... is added before ".log".
    // False when the file could not be built or written (the reason in
    // saveError()); nothing then stands under a log name.
    bool save(const QString& folder);

    // The document as it is written.
    QByteArray toXml() const;

    static QString fileNameFor(const QDateTime& endTime, int attempt = 1);

private:
    Status writeInto(const QString& folder);

    QString m_logFilePath;
    QString m_saveError;
};

// The verdict on a run from what its log records: `cancelled` when it was
// told to stop, `jobFailed` when it broke off outside any source.
RunVerdict verdictOf(const Log& log, bool cancelled, bool jobFailed, int filesCreated);
