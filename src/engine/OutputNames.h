#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// The file name of page `pageNumber` (from 1): base name, separator, page
// number padded with "0" to `leadingZeros` digits, and the output type's
// extension. ":" and "/" in base name + separator become "-", so the name is
// always one path component.
QString pageFileName(const QString& baseName, const QString& separator, int leadingZeros,
                     int outputType, int pageNumber);

// The one file of a multi-page TIFF: the base name and ".tiff".
QString multiPageTiffFileName(const QString& baseName);
// The one file that gathers every page of a source in `outputType` (a
// multi-page TIFF, a PDF): the base name and the type's extension.
QString gatheredFileName(const QString& baseName, int outputType);

// The extension, with its dot, of files of an output type; "" for an unknown
// type.
QString extensionForOutputType(int outputType);

// The file name without its last extension ("report.final.tif" ->
// "report.final").
QString baseNameOf(const QString& fileName);

// Keeps the outputs of one run from destroying each other or a source: each
// source's names are checked against everything this run has claimed and
// against the run's source files; on a clash the base name gets " (2)",
// " (3)", ... until all its names are free.
//
// Threads: used by the job's worker only.
class OutputNamer {
public:
    explicit OutputNamer(const QStringList& sourcePaths);

    // `namesFor(base)` gives every file name the source would write with that
    // base name. Returns the base name to use and claims its names.
    QString claim(const QString& folder, const QString& baseName,
                  const std::function<QStringList(const QString&)>& namesFor);

private:
    bool isFree(const QString& folder, const QStringList& names) const;

    QSet<QString> m_taken;
};
