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
    // Stopped by a signal: 128 + its number (130 Ctrl+C, 143 SIGTERM, 129 SIGHUP).
};

// Runs one conversion for the request on a worker thread while the caller's
// event loop shows progress; returns the exit status. SIGINT, SIGTERM and
// SIGHUP stop it after the pages under way, with its log. Needs a
// QCoreApplication, and SIGPIPE ignored (ignoreBrokenPipes()).
int runConvert(const ConvertRequest& request, const Edition& edition, QTextStream& standardInput,
               std::FILE* out, std::FILE* err);
