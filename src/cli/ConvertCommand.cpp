#include "cli/ConvertCommand.h"

#include "cli/ConvertRequest.h"
#include "cli/OutputChannel.h"
#include "cli/ProgressReporter.h"
#include "cli/SourceCollector.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "filelist/FileItem.h"
#include "platform/AtomicFile.h"
#include "platform/Constants.h"
#include "platform/Edition.h"
#include "platform/NativePath.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cerrno>
#include <csignal>
#include <thread>

#include <unistd.h>

namespace {

constexpr QLatin1StringView kProgram("pictavo-convert: ");

int fail(OutputChannel& err, const QString& text) {
    err.printLine(kProgram + text);
    return kExitUsage;
}

// What can be told before the sources are read: a folder that is there must be
// one and be writable; one that is not there is made only once the sources
// are known to be sound, so that a usage error leaves nothing behind.
Status checkOutputFolder(const QString& folder) {
    if (folder.isEmpty() || !NativePath::exists(folder)) {
        return {};
    }
    if (!NativePath::isDirectory(folder)) {
        return Status::failure(
            QStringLiteral("the output folder '%1' is not a folder").arg(folder));
    }
    if (!NativePath::isAccessible(folder, W_OK | X_OK)) {
        return Status::failure(
            QStringLiteral("the output folder '%1' is not writable").arg(folder));
    }
    return {};
}

// Like mkdir -p.
Status makeOutputFolder(const QString& folder) {
    if (folder.isEmpty() || NativePath::isDirectory(folder)) {
        return {};
    }
    if (!NativePath::makePath(folder)) {
        const QString reason = errnoText(errno);
        QString there = NativePath::absolutePath(folder);
        while (!NativePath::exists(there) && there != QStringLiteral("/")) {
            there = QFileInfo(there).path();
        }
        return Status::failure(
            QStringLiteral("cannot create the output folder '%1': %2")
                .arg(folder, NativePath::isDirectory(there)
                                 ? reason
                                 : QStringLiteral("'%1' is not a folder").arg(there)));
    }
    return checkOutputFolder(folder);
}

Result<QString> prepareLogFolder(const Edition& edition, const QString& requested) {
    if (!requested.isEmpty()) {
        if (!NativePath::makePath(requested)) {
            return Result<QString>::failure(
                QStringLiteral("cannot create the log folder '%1'").arg(requested));
        }
        return NativePath::absolutePath(requested);
    }
    const QString logs = QStringLiteral("Logs");
    QString error;
    if (!StringUtilities::createApplicationUsersFolder(edition, QString(), &error) ||
        !StringUtilities::createApplicationUsersFolder(edition, logs, &error)) {
        return Result<QString>::failure(error);
    }
    return StringUtilities::appSubfolderPath(edition, logs);
}

void applyRequest(Settings& settings, const ConvertRequest& r) {
    settings.setOutputType(r.outputType);
    settings.setJpegQuality(r.jpegQuality);
    settings.setTiffCompressionIndex(r.tiffCompressionIndex);
    settings.setIsSplitTIFFIntoSinglePages(r.splitTiff);
    settings.setSeparator(r.separator);
    settings.setLeadingZeros(r.leadingZeros);
    // A script has no file manager to open.
    settings.setIsOpenFolderAfterConversion(false);
}

using Sources = std::vector<std::shared_ptr<FileItem>>;

// Every source's folder is checked before the first is written, so a wrong
// root costs nothing.
Result<QStringList> targetFolders(const Sources& sources, const ConvertRequest& request) {
    QStringList folders;
    if (request.mirrorRoot.isEmpty()) {
        return folders;
    }
    for (const auto& item : sources) {
        const Result<QString> folder = mirroredFolder(request.mirrorRoot, request.outputFolder,
                                                      item->filePath().toLocalFile());
        if (!folder) {
            return Result<QStringList>::failure(folder.error());
        }
        folders.append(*folder);
    }
    return folders;
}

void reportSkipped(const Log& log, OutputChannel& out, OutputChannel& err) {
    int skipped = 0;
    for (const LogFiles& source : log.files) {
        if (source.outcome == SourceOutcome::Skipped) {
            ++skipped;
            err.printLine(kProgram + QStringLiteral("skipped '%1': already converted")
                                         .arg(QDir(source.sourcePath).filePath(source.filename)));
        }
    }
    if (skipped > 0) {
        out.printLine(QStringLiteral("%1 source(s) skipped: already converted.").arg(skipped));
    }
}

QString stoppingNote(int signal) {
    switch (signal) {
    case SIGINT:
        return QStringLiteral(
            "\nCancelling after the pages under way (Ctrl+C again to quit at once)...");
    case SIGHUP:
        return QStringLiteral("\nHangup: cancelling after the pages under way (a second signal "
                              "quits at once)...");
    default:
        return QStringLiteral("\nTerminated: cancelling after the pages under way (a second "
                              "signal quits at once)...");
    }
}

void reportUnopenable(const QStringList& missing, const QStringList& special, OutputChannel& err) {
    for (const QString& path : missing) {
        err.printLine(
            kProgram +
            QStringLiteral("no such file: '%1' (listed; it is logged as not opened)").arg(path));
    }
    for (const QString& path : special) {
        err.printLine(kProgram + QStringLiteral("not a regular file: '%1' (%2; it is logged as "
                                                "not opened)")
                                     .arg(path, NativePath::fileKind(path)));
    }
}

// Sources in order, each with its mirrored folder (or "").
void addSources(Process& process, const Sources& sources, const QStringList& folders) {
    for (size_t i = 0; i < sources.size(); ++i) {
        const auto& item = sources[i];
        const QString folder =
            folders.isEmpty() ? QString() : folders.at(static_cast<qsizetype>(i));
        const QString path = item->filePath().toLocalFile();
        process.outputFiles().push_back(
            {path, {SourceFile{path, item->pages(), item->hasUnreadablePages()}}, folder});
    }
    process.setTotalFileSelected(static_cast<int>(sources.size()));
}

int totalPagesOf(const Sources& sources) {
    int total = 0;
    for (const auto& item : sources) {
        total += qMax(0, item->pages());
    }
    return total;
}

// The last lines and the exit status. `Log: PATH` is the run's result, so it
// goes to stdout whatever the mode.
int reportResult(const Process& process, bool quiet, int stopSignal, OutputChannel& out,
                 OutputChannel& err) {
    // An empty run's note already said all there is.
    const bool nothingToDo = process.outputFiles().empty();
    const Log& log = process.log();
    const bool logWritten = !log.logFilePath().isEmpty();
    // A signal that came after the last page stopped nothing.
    const bool cancelled = stopSignal != 0 && process.wasCancelled();
    const bool failed =
        log.anyFailure() || process.verdict() == RunVerdict::SomeFailed || !logWritten;
    if (!quiet) {
        reportSkipped(log, out, err);
        if (!nothingToDo || failed) {
            out.printLine(process.message());
        }
    } else if (failed || cancelled) {
        err.printLine(process.message()); // quiet runs still say what went wrong
    }
    if (!logWritten) {
        err.printLine(kProgram + QStringLiteral("the log could not be written: ") +
                      log.saveError());
        return kExitSomeFailed; // a run without its log is never a clean one
    }
    out.printLine(QStringLiteral("Log: ") + log.logFilePath());
    if (cancelled) {
        return TerminationSignals::exitStatusFor(stopSignal);
    }
    return failed ? kExitSomeFailed : kExitConverted;
}

} // namespace

int runConvert(const ConvertRequest& request, const Edition& edition, QTextStream& standardInput,
               std::FILE* outStream, std::FILE* errStream) {
    OutputChannel out(outStream);
    OutputChannel err(errStream);
    // From the start, so that a batch system's stop while the sources are
    // read still ends in a log. Delivered once the job's event loop runs.
    int stopSignal = 0;
    Process process;
    const TerminationSignals signals([&](int signal) {
        if (stopSignal != 0) {
            return;
        }
        stopSignal = signal;
        if (!request.quiet) {
            err.printLine(stoppingNote(signal));
        }
        process.stop();
    });

    if (const Status folder = checkOutputFolder(request.outputFolder); !folder) {
        return fail(err, folder.error());
    }
    SourceProblems problems;
    auto sources =
        collectSources(request.paths, request.listFiles, request.recursive, standardInput,
                       &problems, [] { return TerminationSignals::firstReceived() == 0; });
    if (!sources) {
        return fail(err, sources.error());
    }
    reportUnopenable(problems.missingListed, problems.notRegular, err);
    if (sources->empty() && TerminationSignals::firstReceived() == 0) {
        err.printLine(kProgram + QStringLiteral("no TIFF files found in the given paths; "
                                                "nothing to convert"));
    }
    const Result<QStringList> folders = targetFolders(*sources, request);
    if (!folders) {
        return fail(err, folders.error());
    }
    if (const Status made = makeOutputFolder(request.outputFolder); !made) {
        return fail(err, made.error());
    }
    const Result<QString> logFolder = prepareLogFolder(edition, request.logFolder);
    if (!logFolder) {
        return fail(err, logFolder.error());
    }

    Settings settings; // first-launch defaults; the GUI's preferences are never touched
    applyRequest(settings, request);
    process.setEdition(edition);
    process.setSettings(&settings);
    process.setLogsFolder(*logFolder);
    process.setOutputFolder(request.outputFolder.isEmpty()
                                ? QString()
                                : NativePath::absolutePath(request.outputFolder));
    process.setSkipExisting(request.skipExisting);
    if (request.jobs > 0) {
        process.setWorkers(request.jobs);
    }
    addSources(process, *sources, *folders);
    if (TerminationSignals::firstReceived() != 0) {
        process.stop(); // not one page after the signal; the log is still saved
    }

    const auto style = request.quiet      ? ProgressReporter::Style::Quiet
                       : err.isTerminal() ? ProgressReporter::Style::Bar
                                          : ProgressReporter::Style::Lines;
    ProgressReporter reporter(process, totalPagesOf(*sources), style, err);
    QObject::connect(&process, &Process::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    std::thread worker([&process] { process.start(); });
    QCoreApplication::exec();
    worker.join();
    reporter.end();
    return reportResult(process, request.quiet, stopSignal, out, err);
}
