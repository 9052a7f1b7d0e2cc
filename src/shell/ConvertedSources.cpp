#include "shell/ConvertedSources.h"

#include "engine/Log.h"
#include "engine/Process.h"

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

QSet<QString> pathsConvertedInFull(const Process& job) {
    QSet<QString> converted;
    if (!job.isCompleted()) {
        return converted;
    }
    // The log has one entry per source the run reached, in the job's order.
    const std::deque<LogFiles>& entries = job.log().files;
    const std::vector<OutputFile>& groups = job.outputFiles();
    const size_t reached = std::min(entries.size(), groups.size());
    for (size_t i = 0; i < reached; ++i) {
        int planned = 0;
        for (const SourceFile& file : groups[i].fileItems) {
            planned += std::max(0, file.pages);
        }
        if (isConvertedInFull(entries[i], planned)) {
            for (const SourceFile& file : groups[i].fileItems) {
                converted.insert(file.path);
            }
        }
    }
    return converted;
}
