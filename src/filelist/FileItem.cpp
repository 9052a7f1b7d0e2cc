#include "filelist/FileItem.h"

#include "pagecount/PageCount.h"
#include "platform/DateFormat.h"
#include "platform/NativePath.h"

#include <array>
#include <cmath>

#include <sys/stat.h>

namespace {

const QString kTableDatePattern = QStringLiteral("dd-MMM-yyyy h:mm a");

// The local path without trailing separators, so that a folder URL ending in
// "/" still has a last component; the root stays "/".
QString trimmedPath(const QUrl& url) {
    QString path = url.toLocalFile();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

QString lastComponent(const QString& path) {
    if (path == QLatin1String("/")) {
        return path;
    }
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString withoutLastComponent(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return {};
    }
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

std::optional<NativePath::Times> timesOf(const QUrl& url) {
    return url.isEmpty() ? std::nullopt : NativePath::fileTimes(url.toLocalFile());
}

QString displayDate(const QDateTime& when) {
    return formatDate(when, kTableDatePattern);
}

} // namespace

std::shared_ptr<FileItem> FileItem::initWithURL(const QUrl& url) {
    if (!url.isValid() || !url.isLocalFile()) {
        return nullptr;
    }
    auto item = std::make_shared<FileItem>(Token{});
    item->setFilePath(QUrl::fromEncoded(url.toEncoded()));
    return item;
}

void FileItem::setFilePath(const QUrl& url) {
    m_filePath = url;
    m_size = allocatedSize(url.toLocalFile());
    const PageTally tally = tallyPages(m_filePath);
    m_pages = tally.readable;
    m_hasUnreadablePages = tally.moreUnreadable;
}

qint64 FileItem::allocatedSize(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(NativePath::encode(path).constData(), &info) != 0) {
        return 0;
    }
    return static_cast<qint64>(info.st_blocks) * 512;
}

QString FileItem::name() const {
    return m_filePath.isEmpty() ? QString() : lastComponent(trimmedPath(m_filePath));
}

QString FileItem::location() const {
    return m_filePath.isEmpty() ? QString() : withoutLastComponent(trimmedPath(m_filePath));
}

QString FileItem::type() const {
    const QString fileName = name();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    // A leading dot marks a hidden file, not an extension.
    return dot > 0 ? fileName.mid(dot + 1) : QString();
}

QString FileItem::sizeInKB() const {
    return sizeText(m_size);
}

QString FileItem::sizeText(qint64 bytes) {
    static const std::array<QString, 5> units = {QStringLiteral("B"), QStringLiteral("KB"),
                                                 QStringLiteral("MB"), QStringLiteral("GB"),
                                                 QStringLiteral("TB")};
    constexpr std::size_t lastUnit = 4;

    // Single precision on purpose: it decides which sizes round to ".0"
    // (1,050,000,000 shows as 1 GB).
    float x = static_cast<float>(bytes);
    std::size_t unit = 0;
    while (x > 1000.0F && unit < lastUnit) {
        x /= 1000.0F;
        ++unit;
    }
    if (unit <= 1) {
        const long kilobytes = std::lround(static_cast<float>(bytes) / 1000.0F);
        return QStringLiteral("%1 KB").arg(kilobytes);
    }
    const QString number = QString::asprintf("%4.1f", static_cast<double>(x));
    const qsizetype point = number.indexOf(QLatin1Char('.'));
    if (point >= 0 && number.mid(point + 1) == QLatin1String("0")) {
        // The integer part keeps its pad space (" 2 MB").
        return number.left(point) + QLatin1Char(' ') + units.at(unit);
    }
    return number + QLatin1Char(' ') + units.at(unit);
}

QDateTime FileItem::dateModified() const {
    const auto times = timesOf(m_filePath);
    return times ? times->modified : QDateTime();
}

QDateTime FileItem::dateCreated() const {
    const auto times = timesOf(m_filePath);
    return times ? times->created : QDateTime();
}

QDateTime FileItem::dateAccessed() const {
    const auto times = timesOf(m_filePath);
    return times ? times->accessed : QDateTime();
}

QVariant FileItem::displayField(const QString& key) const {
    const QString column = key.toUpper();
    if (column == QLatin1String("ISSELECTED")) {
        return m_isSelected;
    }
    if (column == QLatin1String("NAME")) {
        return NativePath::displayPath(name());
    }
    if (column == QLatin1String("PAGES")) {
        return m_pages;
    }
    if (column == QLatin1String("SIZEINKB")) {
        return sizeInKB();
    }
    if (column == QLatin1String("TYPE")) {
        return NativePath::displayPath(type());
    }
    if (column == QLatin1String("DATEMODIFIED")) {
        return displayDate(dateModified());
    }
    if (column == QLatin1String("DATECREATED")) {
        return displayDate(dateCreated());
    }
    if (column == QLatin1String("DATEACCESSED")) {
        return displayDate(dateAccessed());
    }
    if (column == QLatin1String("LOCATION")) {
        return NativePath::displayPath(location());
    }
    // "SELECTION" and every unknown key.
    return QString(QLatin1String(""));
}

bool FileItem::isEqual(const FileItem* other) const {
    if (other == nullptr) {
        return false;
    }
    return other == this || other->m_filePath.toEncoded() == m_filePath.toEncoded();
}
