#pragma once

#include "engine/Process.h"

#include <QString>

// A file as the window hands it to a job: with the pages the file list counts
// in it at this moment.
SourceFile listedSource(const QString& path);

// One group for the file, as the window builds a job from its list.
void addListedSource(Process& job, const QString& path, const QString& targetFolder = {});

// Runs the job to its end on this thread, with the selection count the window
// gives it.
void runJob(Process& job);
