// pictavo-convert: the conversion engine for scripts and batch work.
#include "cli/ConvertCommand.h"
#include "cli/ConvertRequest.h"
#include "platform/Edition.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    Edition::select(Edition::currentEdition());
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pictavo-convert"));
    QCoreApplication::setApplicationVersion(Edition::current().version);

    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments());
    if (parsed.finished) {
        std::FILE* stream = parsed.exitCode == 0 ? stdout : stderr;
        std::fputs(parsed.output.toLocal8Bit().constData(), stream);
        return parsed.exitCode;
    }
    QTextStream standardInput(stdin);
    return runConvert(parsed.request, standardInput, stdout, stderr);
}
