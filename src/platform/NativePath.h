#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

class QFile;

// Paths the user names, exactly as the system holds them. A Linux name is
// bytes; Qt decodes names as UTF-8 with U+FFFD for what is not, which cannot
// be undone, so such a file could be neither found again nor opened.
//
// decode() keeps every byte: valid UTF-8 reads as usual, and each byte that is
// not part of a valid sequence becomes U+EF00 + byte (U+EF80..U+EFFF, private
// use, so the string stays valid Unicode through QUrl, XML and toUtf8()). A
// valid sequence for a character in that range is itself decoded as escapes,
// so encode(decode(b)) == b for every byte string.
//
// Qt's file classes encode through UTF-8 and miss such names; the file system
// calls below take decoded paths and pass the exact bytes to the system.
namespace NativePath {

constexpr char16_t kFirstEscape = 0xEF80;
constexpr char16_t kLastEscape = 0xEFFF;

QString decode(const QByteArray& bytes);
QByteArray encode(QStringView path);

// What a user reads: each escaped byte shows as U+FFFD.
QString displayPath(const QString& path);
// displayPath() of the last component.
QString displayName(const QString& path);

// Every argument, the program's name first, decoded (as
// QCoreApplication::arguments() gives them, but exact).
QStringList arguments(int argc, const char* const* argv);

// The local path of a file URL from outside the program (a drop, a file
// manager), its percent escapes read as bytes; "" for other URLs. Not
// for the program's own URLs, made by QUrl::fromLocalFile() from a decoded
// path: their toLocalFile() is already exact.
QString pathOfSystemUrl(const QUrl& url);
// A file URL for another program, its escapes back to the bytes they stand for.
QUrl systemUrl(const QString& path);

// A path Qt gave (a file dialog's choice), in which each stray byte of a
// name became U+FFFD: each component that is not there as written is
// matched against its folder's names as Qt would have decoded them. The path
// as given when none or several match, or when it is not absolute.
QString fromQtPath(const QString& path);

// The path from the root, cleaned as QFileInfo::absoluteFilePath() cleans it;
// a relative path is taken from the current folder, read as bytes.
QString absolutePath(const QString& path);

bool exists(const QString& path);      // follows links
bool isDirectory(const QString& path); // follows links
bool isFile(const QString& path);      // a regular file, following links
bool isSymLink(const QString& path);
// A named pipe, socket or device, following links: opening one for reading
// may wait for ever, or read what is not a file.
bool isSpecialFile(const QString& path);
// What is at the path, following links, for messages: "a named pipe",
// "a socket", "a character device", "a block device", "a folder", "a file",
// or "nothing" when it cannot be read.
QString fileKind(const QString& path);
// access(2) with `mode` (R_OK, W_OK, X_OK).
bool isAccessible(const QString& path, int mode);
// -1 when it cannot be read.
qint64 fileSize(const QString& path);

struct Times {
    QDateTime modified;
    QDateTime accessed;
    QDateTime created; // invalid when the file system does not keep it
};
std::optional<Times> fileTimes(const QString& path);

// The names in a folder except "." and "..", sorted as QDir::Name sorts them
// (QString order). None when it cannot be read.
QStringList folderEntries(const QString& folder);

// Makes the folder and its missing parents; true when it is there after.
bool makePath(const QString& path);

// A file opened for reading, for Qt readers; none when it cannot be opened
// (errno says why).
std::unique_ptr<QFile> openForReading(const QString& path);
// An existing file opened for writing from its start, emptied.
std::unique_ptr<QFile> openForWriting(const QString& path);

} // namespace NativePath
