#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <memory>
#include <vector>

class FileItem;

// The list as tab-delimited UTF-8 text: a header line, then one line of
// eight fields per item in the order given. A tab or line feed inside a name
// or folder is written as a space, so every item stays one line of eight
// fields.
QByteArray exportListText(const std::vector<std::shared_ptr<FileItem>>& items);

// Writes exportListText() to `path`: complete or not at all, replacing any
// file there. The error says which path failed and why.
Status exportList(const QString& path, const std::vector<std::shared_ptr<FileItem>>& items);

// A date as the export writes it: the instant in UTC as
// "yyyy-MM-dd HH:mm:ss +0000"; "(null)" for a date the file system did not give.
QString exportDateText(const QDateTime& date);

// "Export <dd-MMM-yyyy hh-mm-ss a>.txt" for `now` in `locale`.
QString proposedExportName(const QDateTime& now, const QLocale& locale = QLocale::system());
