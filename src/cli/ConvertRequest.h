#pragma once

#include "platform/Result.h"

#include <QString>
#include <QStringList>

// What the command line asks for.
struct Edition;

struct ConvertRequest {
    int outputType = 0;
    int jpegQuality = 10;
    int tiffCompressionIndex = 0;
    bool splitTiff = false;
    QString separator;
    int leadingZeros = 0;
    QString outputFolder; // "" : each source's own folder
    QString mirrorRoot;   // "" : no mirroring; else outputs follow the sources' folders under it
    bool skipExisting = false;
    int jobs = 0; // pages at once; 0 : one per core
    bool recursive = false;
    QStringList listFiles; // "-" is standard input
    QString logFolder;     // "" : the application's Logs folder
    bool quiet = false;
    QStringList paths;
};

// Either a request, or what to print and the exit status (help, version,
// usage errors).
struct ParsedCommandLine {
    ConvertRequest request;
    bool finished = false; // nothing to convert: print `output` and exit
    int exitCode = 0;
    QString output; // for stdout when exitCode is 0, else stderr
};

ParsedCommandLine parseCommandLine(const QStringList& arguments, const Edition& edition);
