#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// The extensions of source files, exactly: "tif", "TIF", "tiff", "TIFF".
const QStringList& allowedFileTypes();

// Whether the file name's extension is one of allowedFileTypes(); the test is
// case-sensitive, so "scan.Tif" is not taken.
bool hasAllowedExtension(const QString& fileName);

// Walks `urls` in order: a top-level file is visited when its extension is
// allowed; a folder is enumerated (into its subfolders when
// `includeSubdirectories`), visiting its files with allowed extensions, in
// name order, depth first. Hidden files and folders (names starting with ".")
// are skipped, folders are never visited, symbolic links to folders are not
// followed, and entries that cannot be read are skipped. Named pipes, sockets
// and devices are skipped too, links to files are taken. `keepGoing` is asked
// before every entry; when it answers false the walk ends.
//
// Threads: runs on the caller's thread; the callbacks are called there.
void walkFolders(const QList<QUrl>& urls, bool includeSubdirectories,
                 const std::function<bool()>& keepGoing,
                 const std::function<void(const QUrl&)>& visit);
