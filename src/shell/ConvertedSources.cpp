#include "shell/ConvertedSources.h"

#include "engine/Log.h"
#include "engine/Process.h"
#include "filelist/FileItem.h"

#include <algorithm>

bool isConvertedInFull(const LogFiles& entry, int plannedPages) {
    if (entry.outcome != SourceOutcome::Converted || !entry.status.isEmpty() || plannedPages <= 0) {
        return false;
    }
    const auto written =
        std::count_if(entry.logFiles.begin(), entry.logFiles.end(),
                      [](const LogFile& page) { return page.outcome == PageOutcome::Written; });
    return written == plannedPages && written == static_cast<qsizetype>(entry.logFiles.size());
}

std::vector<std::shared_ptr<FileItem>> itemsConvertedInFull(const Process& job) {
    std::vector<std::shared_ptr<FileItem>> converted;
    if (!job.isCompleted()) {
        return converted;
    }
    // The log has one entry per source the run reached, in the job's order.
    const std::deque<LogFiles>& entries = job.log().files;
    const std::vector<OutputFile>& groups = job.outputFiles();
    const size_t reached = std::min(entries.size(), groups.size());
    for (size_t i = 0; i < reached; ++i) {
        int planned = 0;
        for (const auto& item : groups[i].fileItems) {
            planned += item ? std::max(0, item->pages()) : 0;
        }
        if (isConvertedInFull(entries[i], planned)) {
            for (const auto& item : groups[i].fileItems) {
                if (item) {
                    converted.push_back(item);
                }
            }
        }
    }
    return converted;
}
