#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

// One piece of work for a job's worker: one page written as its own file, or
// every page of a source gathered into one multi-page TIFF.
struct PlannedTask {
    int group = 0; // index into ConversionPlan::groups
    QString sourcePath;
    QString targetFolder;
    QList<int> pages;  // from 1; one page unless gathered
    QStringList names; // one per page; a gathered TIFF has one
    bool gathered = false;
};

// One list item of a source: the pages it feeds and the names they take.
struct PlannedItem {
    QString sourcePath;
    // Every output already stands whole under its name (the job skips
    // existing outputs): nothing is converted.
    bool skipped = false;
    int pageCount = 0;
    int firstTask = 0; // index into ConversionPlan::tasks
    int taskCount = 0;
};

// One source of the job and where its outputs go.
struct PlannedGroup {
    int firstTask = 0; // its first task, or the next group's when it has none
    QString sourcePath;
    QString targetFolder;
    std::vector<PlannedItem> items;
};

// Everything a run will do, decided before any page is converted: names are
// claimed in source order from one copy of the options, so the order in which
// workers finish cannot change a name.
struct ConversionPlan {
    std::vector<PlannedGroup> groups;
    std::vector<PlannedTask> tasks;
};

// What the plan is made from: each source, with the items that feed it.
struct PlanSource {
    QString sourcePath;
    QString targetFolder;
    // Per item: its local file and page count; items with no file are left out.
    struct Item {
        QString path;
        int pages = 0;
        // The file goes on past `pages` with pages that cannot be read: its
        // outputs are never all there, so it is never skipped.
        bool hasUnreadablePages = false;
    };
    std::vector<Item> items;
};

struct PlanRules {
    QString separator;
    int leadingZeros = 0;
    int outputType = 0;
    bool gathersPages = false; // one multi-page TIFF per source
    bool skipExisting = false;
};

ConversionPlan makeConversionPlan(const std::vector<PlanSource>& sources, const PlanRules& rules);
