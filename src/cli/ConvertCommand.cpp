#include "cli/ConvertCommand.h"

#include "cli/ConvertRequest.h"
#include "cli/InterruptHandler.h"
#include "cli/ProgressReporter.h"
#include "cli/SourceCollector.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "filelist/FileItem.h"
#include "platform/Constants.h"
#include "platform/Edition.h"
#include "platform/NativePath.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <thread>

#include <unistd.h>

namespace {

void printLine(std::FILE* stream, const QString& text) {
    // A path is printed as the bytes it has on disk, for scripts to reuse; a
    // closed terminal leaves nothing to report a failure to.
    (void)std::fputs(NativePath::encode(QString(text + QLatin1Char('\n'))).constData(), stream);
    (void)std::fflush(stream);
}

int fail(std::FILE* err, const QString& text) {
    printLine(err, QStringLiteral("pictavo-convert: ") + text);
    return kExitUsage;
}

Status checkOutputFolder(const QString& folder) {
    if (folder.isEmpty()) {
        return {};
    }
    if (!NativePath::exists(folder)) {
        return Status::failure(QStringLiteral("the output folder '%1' does not exist").arg(folder));
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

void reportSkipped(const Log& log, std::FILE* out, std::FILE* err) {
    int skipped = 0;
    for (const LogFiles& source : log.files) {
        if (source.outcome == SourceOutcome::Skipped) {
            ++skipped;
            printLine(err, QStringLiteral("pictavo-convert: skipped '%1': already converted")
                               .arg(QDir(source.sourcePath).filePath(source.filename)));
        }
    }
    if (skipped > 0) {
        printLine(out, QStringLiteral("%1 source(s) skipped: already converted.").arg(skipped));
    }
}

} // namespace

int runConvert(const ConvertRequest& request, const Edition& edition, QTextStream& standardInput,
               std::FILE* out, std::FILE* err) {
    if (const Status folder = checkOutputFolder(request.outputFolder); !folder) {
        return fail(err, folder.error());
    }
    QStringList missing;
    auto sources = collectSources(request.paths, request.listFiles, request.recursive,
                                  standardInput, &missing);
    if (!sources) {
        return fail(err, sources.error());
    }
    for (const QString& path : missing) {
        printLine(err,
                  QStringLiteral("pictavo-convert: no such file: '%1' (listed; it is logged as "
                                 "not opened)")
                      .arg(path));
    }
    if (sources->empty()) {
        return fail(err, QStringLiteral("no TIFF files found in the given paths"));
    }
    const Result<QStringList> folders = targetFolders(*sources, request);
    if (!folders) {
        return fail(err, folders.error());
    }
    const Result<QString> logFolder = prepareLogFolder(edition, request.logFolder);
    if (!logFolder) {
        return fail(err, logFolder.error());
    }

    Settings settings; // first-launch defaults; the GUI's preferences are never touched
    applyRequest(settings, request);
    Process process;
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
    int totalPages = 0;
    for (size_t i = 0; i < sources->size(); ++i) {
        const auto& item = (*sources)[i];
        const QString folder =
            folders->isEmpty() ? QString() : folders->at(static_cast<qsizetype>(i));
        process.outputFiles().push_back({item->filePath().toLocalFile(), {item}, folder});
        totalPages += qMax(0, item->pages());
    }
    process.setTotalFileSelected(static_cast<int>(sources->size()));
    process.setIsCombining(true);

    const auto style = request.quiet              ? ProgressReporter::Style::Quiet
                       : isatty(fileno(err)) != 0 ? ProgressReporter::Style::Bar
                                                  : ProgressReporter::Style::Lines;
    ProgressReporter reporter(process, totalPages, style, err);
    bool interrupted = false;
    InterruptHandler interrupt([&process, &interrupted, err, quiet = request.quiet] {
        interrupted = true;
        if (!quiet) {
            printLine(err,
                      QStringLiteral(
                          "\nCancelling after the current page (Ctrl+C again to quit at once)..."));
        }
        process.stop();
    });
    QObject::connect(&process, &Process::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    std::thread worker([&process] { process.start(); });
    QCoreApplication::exec();
    worker.join();
    reporter.end();

    const Log& log = process.log();
    const bool logWritten = !log.logFilePath().isEmpty();
    const bool failed =
        log.anyFailure() || process.verdict() == RunVerdict::SomeFailed || !logWritten;
    if (!request.quiet) {
        reportSkipped(log, out, err);
    }
    // Quiet runs still say what went wrong.
    if (!request.quiet || failed) {
        std::FILE* stream = request.quiet ? err : out;
        printLine(stream, process.message());
        if (logWritten) {
            printLine(stream, QStringLiteral("Log: ") + log.logFilePath());
        }
    }
    if (!logWritten) {
        printLine(err, QStringLiteral("pictavo-convert: the log could not be written: ") +
                           log.saveError());
        return kExitSomeFailed; // a run without its log is never a clean one
    }
    if (interrupted) {
        return kExitCancelled;
    }
    return failed ? kExitSomeFailed : kExitConverted;
}
