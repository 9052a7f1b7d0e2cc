// pictavo-convert: the conversion engine for scripts and batch work.
#include "cli/ConvertCommand.h"
#include "cli/ConvertRequest.h"
#include "platform/Edition.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    // The current edition's names and rules.
    const Edition edition = Edition::currentEdition();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pictavo-convert"));
    QCoreApplication::setApplicationVersion(edition.version);

    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments(), edition);
    if (parsed.finished) {
        std::FILE* stream = parsed.exitCode == 0 ? stdout : stderr;
        (void)std::fputs(parsed.output.toLocal8Bit().constData(), stream); // nowhere to report
        return parsed.exitCode;
    }
    QTextStream standardInput(stdin);
    return runConvert(parsed.request, edition, standardInput, stdout, stderr);
}
