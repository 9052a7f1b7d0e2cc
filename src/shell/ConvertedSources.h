#pragma once

#include <QSet>
#include <QString>

class Process;
struct LogFiles;

// Whether a source's log entry tells that it was converted in full: not
// skipped, failed or cut short, and each of the `plannedPages` pages it was
// given (at least one) recorded as written.
bool isConvertedInFull(const LogFiles& entry, int plannedPages);

// The paths of the files of a finished job that were converted in full; none
// while the job has not finished.
QSet<QString> pathsConvertedInFull(const Process& job);
