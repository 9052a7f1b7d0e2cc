#include "engine/ConversionPlan.h"

#include "engine/OutputCompleteness.h"
#include "engine/OutputNames.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QFileInfo>

namespace {

QStringList pageNames(const QString& base, const PlanRules& rules, int pageCount) {
    QStringList names;
    names.reserve(pageCount);
    for (int n = 1; n <= pageCount; ++n) {
        names.append(pageFileName(base, rules.separator, rules.leadingZeros, rules.outputType, n));
    }
    return names;
}

QStringList namesFor(const QString& base, const PlanRules& rules, int pageCount) {
    if (!rules.gathersPages) {
        return pageNames(base, rules, pageCount);
    }
    return pageCount > 0 ? QStringList{gatheredFileName(base, rules.outputType)} : QStringList();
}

// A file under an output name may still be cut short (a full disk, a copy
// broken off) or hold a gathered TIFF of fewer pages than its source.
bool allWritten(const QString& folder, const QStringList& names, const PlanRules& rules,
                int pageCount) {
    if (names.isEmpty()) {
        return false;
    }
    const int pagesPerFile = rules.gathersPages ? pageCount : 1;
    for (const QString& name : names) {
        const QString path = QDir(folder).filePath(name);
        if (!NativePath::isFile(path) || !isCompleteOutput(path, rules.outputType, pagesPerFile)) {
            return false;
        }
    }
    return true;
}

QList<int> pagesUpTo(int count) {
    QList<int> pages;
    pages.reserve(count);
    for (int n = 1; n <= count; ++n) {
        pages.append(n);
    }
    return pages;
}

void addTasks(ConversionPlan& plan, int group, const QString& source, const QString& folder,
              const QStringList& names, int pageCount, bool gathered) {
    PlannedTask task;
    task.group = group;
    task.sourcePath = source;
    task.targetFolder = folder;
    task.gathered = gathered;
    if (gathered || pageCount == 0) {
        // A source of no pages is still opened, so that one that cannot be
        // opened says so.
        task.pages = pagesUpTo(pageCount);
        task.names = names;
        plan.tasks.push_back(std::move(task));
        return;
    }
    for (int n = 1; n <= pageCount; ++n) {
        task.pages = {n};
        task.names = {names.at(n - 1)};
        plan.tasks.push_back(task);
    }
}

} // namespace

ConversionPlan makeConversionPlan(const std::vector<PlanSource>& sources, const PlanRules& rules) {
    QStringList sourcePaths;
    for (const PlanSource& source : sources) {
        sourcePaths.append(source.sourcePath);
    }
    OutputNamer namer(sourcePaths);
    ConversionPlan plan;
    plan.groups.reserve(sources.size());
    for (const PlanSource& source : sources) {
        const int group = static_cast<int>(plan.groups.size());
        PlannedGroup& planned = plan.groups.emplace_back();
        planned.firstTask = static_cast<int>(plan.tasks.size());
        planned.sourcePath = source.sourcePath;
        planned.targetFolder = source.targetFolder;
        const QString baseName = baseNameOf(QFileInfo(source.sourcePath).fileName());
        for (const PlanSource::Item& item : source.items) {
            const int pageCount = qMax(0, item.pages);
            // The names are claimed even when skipped, so a later source of
            // the same base name still steps aside to its " (2)" names.
            const QString chosen =
                namer.claim(source.targetFolder, baseName,
                            [&](const QString& base) { return namesFor(base, rules, pageCount); });
            const QStringList names = namesFor(chosen, rules, pageCount);
            PlannedItem& plannedItem = planned.items.emplace_back();
            plannedItem.sourcePath = item.path;
            plannedItem.pageCount = pageCount;
            plannedItem.firstTask = static_cast<int>(plan.tasks.size());
            plannedItem.skipped = rules.skipExisting && !item.hasUnreadablePages &&
                                  allWritten(source.targetFolder, names, rules, pageCount);
            if (!plannedItem.skipped) {
                addTasks(plan, group, item.path, source.targetFolder, names, pageCount,
                         rules.gathersPages);
            }
            plannedItem.taskCount = static_cast<int>(plan.tasks.size()) - plannedItem.firstTask;
        }
    }
    return plan;
}
