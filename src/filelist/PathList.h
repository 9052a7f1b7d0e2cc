#pragma once

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// The paths of a list, one per line, as the import window and
// `pictavo-convert --list` read them: file URLs in line order, each once, of
// the lines whose extension, upper-cased, is one of `allowedTypes`. A single
// carriage return ending a line (lists saved with CR LF ends) is dropped;
// nothing else is trimmed, so a line with a trailing space has another
// extension and is skipped. Relative paths are taken from `baseFolder`; a
// path that starts with several slashes starts at the root, as for the
// system. The files are not looked at.
QList<QUrl> parsePathList(const QString& text, const QStringList& allowedTypes,
                          const QString& baseFolder = QDir::currentPath());
