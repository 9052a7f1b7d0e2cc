// pictavo-convert: the conversion engine for scripts and batch work.
#include "cli/ConvertCommand.h"
#include "cli/ConvertRequest.h"
#include "cli/OutputChannel.h"
#include "platform/AtomicFile.h"
#include "platform/Edition.h"
#include "platform/GuardedApplication.h"
#include "platform/NativePath.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    failWritesPastFileSizeLimit();
    // `| head` must not end the run: the conversion goes on without its
    // progress.
    ignoreBrokenPipes();
    // The current edition's names and rules.
    const Edition edition = Edition::currentEdition();
    // cppcheck-suppress unreadVariable ; the application object runs the event loop
    GuardedApplication<QCoreApplication> app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pictavo-convert"));
    QCoreApplication::setApplicationVersion(edition.version);

    // Not QCoreApplication::arguments(): it cannot give back a name that is
    // not UTF-8.
    const ParsedCommandLine parsed = parseCommandLine(NativePath::arguments(argc, argv), edition);
    if (parsed.finished) {
        std::FILE* stream = parsed.exitCode == 0 ? stdout : stderr;
        (void)std::fputs(NativePath::encode(parsed.output).constData(),
                         stream); // nowhere to report
        return parsed.exitCode;
    }
    QTextStream standardInput(stdin);
    return runConvert(parsed.request, edition, standardInput, stdout, stderr);
}
