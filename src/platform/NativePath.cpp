#include "platform/NativePath.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace NativePath {

namespace {

constexpr char16_t kEscapeBase = 0xEF00;
constexpr char16_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char b) {
    return (b & 0xC0U) == 0x80U;
}

// The range the second byte of a sequence may take, which excludes overlong
// forms, surrogates and code points past U+10FFFF.
struct Lead {
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

Lead leadOf(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF) {
        return {2};
    }
    if (b >= 0xE0 && b <= 0xEF) {
        return {3, static_cast<unsigned char>(b == 0xE0 ? 0xA0 : 0x80),
                static_cast<unsigned char>(b == 0xED ? 0x9F : 0xBF)};
    }
    if (b >= 0xF0 && b <= 0xF4) {
        return {4, static_cast<unsigned char>(b == 0xF0 ? 0x90 : 0x80),
                static_cast<unsigned char>(b == 0xF4 ? 0x8F : 0xBF)};
    }
    return {};
}

// The code point of the valid sequence at `at`, and its length; length 0 when
// the bytes there are not one.
std::pair<char32_t, int> sequenceAt(QByteArrayView bytes, qsizetype at) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const Lead lead = leadOf(first);
    if (lead.length == 0 || at + lead.length > bytes.size()) {
        return {0, 0};
    }
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    if (second < lead.low || second > lead.high) {
        return {0, 0};
    }
    char32_t code = first & (0xFFU >> (lead.length + 1));
    for (int i = 1; i < lead.length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[at + i]);
        if (!isContinuation(next)) {
            return {0, 0};
        }
        code = (code << 6) | (next & 0x3FU);
    }
    return {code, lead.length};
}

bool isEscape(char32_t code) {
    return code >= kFirstEscape && code <= kLastEscape;
}

void appendUtf8(QByteArray& out, char32_t code) {
    if (code < 0x80) {
        out.append(static_cast<char>(code));
    } else if (code < 0x800) {
        out.append(static_cast<char>(0xC0 | (code >> 6)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.append(static_cast<char>(0xE0 | (code >> 12)));
        out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.append(static_cast<char>(0xF0 | (code >> 18)));
        out.append(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

std::optional<struct stat> statOf(const QString& path, bool followLinks) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    struct stat info {};
    const QByteArray bytes = encode(path);
    const int result =
        followLinks ? ::stat(bytes.constData(), &info) : ::lstat(bytes.constData(), &info);
    return result == 0 ? std::optional<struct stat>(info) : std::nullopt;
}

QDateTime timeOf(qint64 seconds, qint64 nanoseconds) {
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000 + nanoseconds / 1000000);
}

QString currentFolder() {
    const std::unique_ptr<char, decltype(&std::free)> folder(::getcwd(nullptr, 0), &std::free);
    return folder ? decode(QByteArray(folder.get())) : QDir::currentPath();
}

struct FolderCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool makeOneFolder(const QByteArray& path) {
    if (::mkdir(path.constData(), 0777) == 0) {
        return true;
    }
    struct stat info {};
    return errno == EEXIST && ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

QString decode(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.append(QChar(b));
            ++i;
            continue;
        }
        const auto [code, length] = sequenceAt(bytes, i);
        if (length > 0 && !isEscape(code)) {
            out.append(QStringView(QChar::fromUcs4(code)));
            i += length;
            continue;
        }
        // A sequence for an escape character escapes each of its bytes, so
        // that it cannot be mistaken for the byte it stands for.
        const int escaped = length > 0 ? length : 1;
        for (int k = 0; k < escaped; ++k) {
            out.append(QChar(kEscapeBase + static_cast<unsigned char>(bytes[i + k])));
        }
        i += escaped;
    }
    return out;
}

QByteArray encode(QStringView path) {
    QByteArray out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (unit < 0x80) {
            out.append(static_cast<char>(unit));
        } else if (isEscape(unit)) {
            out.append(static_cast<char>(unit - kEscapeBase));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < path.size() &&
                   QChar::isLowSurrogate(path[i + 1].unicode())) {
            appendUtf8(out, QChar::surrogateToUcs4(unit, path[i + 1].unicode()));
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(out, kReplacement); // as toUtf8() writes a lone half
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

QString displayPath(const QString& path) {
    QString shown = path;
    for (QChar& c : shown) {
        if (isEscape(c.unicode())) {
            c = QChar(kReplacement);
        }
    }
    return shown;
}

QString displayName(const QString& path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/'))) {
        trimmed.chop(1);
    }
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    return displayPath(trimmed == QLatin1String("/") ? trimmed : trimmed.mid(slash + 1));
}

QStringList arguments(int argc, const char* const* argv) {
    QStringList decoded;
    for (int i = 0; i < argc; ++i) {
        decoded.append(decode(QByteArray(argv[i])));
    }
    return decoded;
}

QString pathOfSystemUrl(const QUrl& url) {
    if (!url.isLocalFile()) {
        return {};
    }
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    return decode(QByteArray::fromPercentEncoding(encoded));
}

QString fromQtPath(const QString& path) {
    if (!path.startsWith(QLatin1Char('/')) || !path.contains(QChar(kReplacement)) || exists(path)) {
        return path;
    }
    QString found;
    for (const QString& component : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QString folder = found.isEmpty() ? QStringLiteral("/") : found;
        QString next = found + QLatin1Char('/') + component;
        if (!exists(next)) {
            QStringList matches;
            for (const QString& name : folderEntries(folder)) {
                if (QString::fromUtf8(encode(name)) == component) {
                    matches.append(name);
                }
            }
            if (matches.size() != 1) {
                return path;
            }
            next = found + QLatin1Char('/') + matches.first();
        }
        found = next;
    }
    return found.isEmpty() ? path : found;
}

QUrl systemUrl(const QString& path) {
    const QByteArray bytes = encode(absolutePath(path));
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

QString absolutePath(const QString& path) {
    if (path.startsWith(QLatin1Char('/'))) {
        return QDir::cleanPath(path);
    }
    return QDir::cleanPath(currentFolder() + QLatin1Char('/') + path);
}

bool exists(const QString& path) {
    return statOf(path, true).has_value();
}

bool isDirectory(const QString& path) {
    const auto info = statOf(path, true);
    return info && S_ISDIR(info->st_mode);
}

bool isFile(const QString& path) {
    const auto info = statOf(path, true);
    return info && S_ISREG(info->st_mode);
}

bool isSymLink(const QString& path) {
    const auto info = statOf(path, false);
    return info && S_ISLNK(info->st_mode);
}

bool isSpecialFile(const QString& path) {
    const auto info = statOf(path, true);
    return info && !S_ISREG(info->st_mode) && !S_ISDIR(info->st_mode);
}

QString fileKind(const QString& path) {
    const auto info = statOf(path, true);
    if (!info) {
        return QStringLiteral("nothing");
    }
    switch (info->st_mode & S_IFMT) {
    case S_IFIFO:
        return QStringLiteral("a named pipe");
    case S_IFSOCK:
        return QStringLiteral("a socket");
    case S_IFCHR:
        return QStringLiteral("a character device");
    case S_IFBLK:
        return QStringLiteral("a block device");
    case S_IFDIR:
        return QStringLiteral("a folder");
    default:
        return QStringLiteral("a file");
    }
}

bool isAccessible(const QString& path, int mode) {
    return !path.isEmpty() && ::access(encode(path).constData(), mode) == 0;
}

qint64 fileSize(const QString& path) {
    const auto info = statOf(path, true);
    return info ? static_cast<qint64>(info->st_size) : -1;
}

std::optional<Times> fileTimes(const QString& path) {
    struct statx info {};
    if (path.isEmpty() || ::statx(AT_FDCWD, encode(path).constData(), 0,
                                  STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
        return std::nullopt;
    }
    Times times;
    times.modified = timeOf(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
    times.accessed = timeOf(info.stx_atime.tv_sec, info.stx_atime.tv_nsec);
    if ((info.stx_mask & STATX_BTIME) != 0U) {
        times.created = timeOf(info.stx_btime.tv_sec, info.stx_btime.tv_nsec);
    }
    return times;
}

QStringList folderEntries(const QString& folder) {
    const std::unique_ptr<DIR, FolderCloser> dir(::opendir(encode(folder).constData()));
    if (!dir) {
        return {};
    }
    QStringList names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..") {
            names.append(decode(name.toByteArray()));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool makePath(const QString& path) {
    const QByteArray bytes = encode(path);
    if (bytes.isEmpty()) {
        return false;
    }
    for (qsizetype slash = bytes.indexOf('/', 1); slash > 0;
         slash = bytes.indexOf('/', slash + 1)) {
        if (bytes[slash - 1] != '/' && !makeOneFolder(bytes.left(slash))) {
            return false;
        }
    }
    return makeOneFolder(bytes);
}

namespace {

// A QFile over a descriptor it closes itself. A close made inside Qt is not
// seen by the thread checker (its calls from Qt are ignored), so the next
// open that reuses the number would read as a race with this one.
class DescriptorFile final : public QFile {
public:
    explicit DescriptorFile(int fd) : m_fd(fd) {}
    ~DescriptorFile() override { DescriptorFile::close(); }
    DescriptorFile(const DescriptorFile&) = delete;
    DescriptorFile& operator=(const DescriptorFile&) = delete;

    void close() override {
        QFile::close();
        if (m_fd >= 0) {
            ::close(std::exchange(m_fd, -1));
        }
    }

private:
    int m_fd;
};

std::unique_ptr<QFile> openWith(const QString& path, int flags, QIODevice::OpenMode mode) {
    const int fd = ::open(encode(path).constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    auto file = std::make_unique<DescriptorFile>(fd);
    if (!file->open(fd, mode, QFileDevice::DontCloseHandle)) {
        return nullptr; // the file closes the descriptor
    }
    return file;
}

} // namespace

std::unique_ptr<QFile> openForReading(const QString& path) {
    return openWith(path, O_RDONLY, QIODevice::ReadOnly);
}

std::unique_ptr<QFile> openForWriting(const QString& path) {
    return openWith(path, O_WRONLY | O_TRUNC, QIODevice::WriteOnly);
}

} // namespace NativePath
