#pragma once

#include <cstdio>

struct ConvertRequest;
struct Edition;
class QTextStream;

// Exit statuses of pictavo-convert.
enum ExitStatus : int {
    kExitConverted = 0,
    kExitSomeFailed = 1,
    kExitUsage = 2,
    kExitCancelled = 130,
};

// Runs one conversion for the request on a worker thread while the caller's
// event loop shows progress; returns the exit status. Needs a
// QCoreApplication.
int runConvert(const ConvertRequest& request, const Edition& edition, QTextStream& standardInput,
               std::FILE* out, std::FILE* err);
