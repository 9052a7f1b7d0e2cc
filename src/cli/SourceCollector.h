#pragma once

#include "platform/Result.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class FileItem;
class QTextStream;

// The files a command line names, in argument order: files as given, folders
// walked for their TIFF files, then the TIFF paths of list files (read as the
// import window reads them); duplicates skipped. Fails, naming the path, when
// a path argument does not exist or a list cannot be read. A listed path that
// does not exist is still a source (it will not open) and is named in
// `missingListed`.
Result<std::vector<std::shared_ptr<FileItem>>>
collectSources(const QStringList& paths, const QStringList& listFiles, bool recursive,
               QTextStream& standardInput, QStringList* missingListed);

// The folder under `outputFolder` that stands where the source's folder stands
// under `root`; fails, naming both, when the source is not under `root`.
// Paths are compared as written, links unresolved.
Result<QString> mirroredFolder(const QString& root, const QString& outputFolder,
                               const QString& sourcePath);
