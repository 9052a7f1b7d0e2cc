#pragma once

#include "platform/Result.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class FileItem;
class QTextStream;

// The files a command line names, in argument order: files as given, folders
// walked for their TIFF files, the lines of list files; duplicates skipped.
// Fails, naming the path, when a path does not exist or a list cannot be read.
Result<std::vector<std::shared_ptr<FileItem>>>
collectSources(const QStringList& paths, const QStringList& listFiles, bool recursive,
               QTextStream& standardInput);
