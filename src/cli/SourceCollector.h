#pragma once

#include "platform/Result.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class FileItem;
class QTextStream;

// Sources that are kept, so that the log tells of them, though they will not
// open.
struct SourceProblems {
    QStringList missingListed; // listed paths that do not exist
    QStringList notRegular;    // named or listed pipes, sockets, devices
};

// The files a command line names, in argument order: files as given, folders
// walked for their TIFF files (special files skipped), then the TIFF paths of
// list files (read as the import window reads them); duplicates skipped.
// Fails, naming the path, when a path argument does not exist or a list
// cannot be read. None of the sources is opened before its pages are
// counted, and a special file never is. `keepGoing`, asked before each
// source, ends the collection early with what was found.
Result<std::vector<std::shared_ptr<FileItem>>> collectSources(
    const QStringList& paths, const QStringList& listFiles, bool recursive,
    QTextStream& standardInput, SourceProblems* problems,
    const std::function<bool()>& keepGoing = [] { return true; });

// The folder under `outputFolder` that stands where the source's folder stands
// under `root`; fails, naming both, when the source is not under `root`.
// Paths are compared as written, links unresolved.
Result<QString> mirroredFolder(const QString& root, const QString& outputFolder,
                               const QString& sourcePath);
