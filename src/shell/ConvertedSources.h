#pragma once

#include <memory>
#include <vector>

class FileItem;
class Process;
struct LogFiles;

// Whether a source's log entry tells that it was converted in full: not
// skipped, failed or cut short, and each of the `plannedPages` pages it was
// given (at least one) recorded as written.
bool isConvertedInFull(const LogFiles& entry, int plannedPages);

// The items of a finished job whose sources were converted in full, in the
// job's order; none while the job has not finished.
std::vector<std::shared_ptr<FileItem>> itemsConvertedInFull(const Process& job);
