#include "cli/SourceCollector.h"

#include "filelist/FileItem.h"
#include "filelist/FolderWalker.h"
#include "filelist/PathList.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTextStream>
#include <QUrl>

#include <cerrno>
#include <cstring>

namespace {

using Items = std::vector<std::shared_ptr<FileItem>>;

class Collector {
public:
    Collector(bool recursive, SourceProblems& problems, const std::function<bool()>& keepGoing)
        : m_recursive(recursive), m_problems(problems), m_keepGoing(keepGoing) {}

    Status add(const QString& path) {
        if (!NativePath::exists(path)) {
            return Status::failure(QStringLiteral("no such file or folder: '%1'").arg(path));
        }
        const QUrl url = QUrl::fromLocalFile(NativePath::absolutePath(path));
        if (NativePath::isDirectory(path)) {
            walkFolders({url}, m_recursive, m_keepGoing, [this](const QUrl& u) { append(u); });
        } else {
            if (!NativePath::isFile(path) && !m_seen.contains(url.toString())) {
                m_problems.notRegular.append(path);
            }
            append(url);
        }
        return {};
    }

    bool keepGoing() const { return m_keepGoing(); }

    void addMissing(const QUrl& url) { append(url); }

    Items take() { return std::move(m_items); }

private:
    void append(const QUrl& url) {
        const QString key = url.toString();
        if (m_seen.contains(key)) {
            return;
        }
        if (auto item = FileItem::initWithURL(url)) {
            m_seen.insert(key);
            m_items.push_back(std::move(item));
        }
    }

    bool m_recursive;
    SourceProblems& m_problems;
    const std::function<bool()>& m_keepGoing;
    QSet<QString> m_seen;
    Items m_items;
};

Result<QString> readList(const QString& listFile, QTextStream& standardInput) {
    if (listFile == QStringLiteral("-")) {
        // The bytes when there are any, so that a name that is not UTF-8
        // still names its file.
        QIODevice* device = standardInput.device();
        return device != nullptr ? NativePath::decode(device->readAll()) : standardInput.readAll();
    }
    const std::unique_ptr<QFile> file = NativePath::openForReading(listFile);
    if (!file) {
        return Result<QString>::failure(
            QStringLiteral("cannot read the list '%1': %2")
                .arg(listFile, QString::fromLocal8Bit(std::strerror(errno))));
    }
    const QByteArray bytes = file->readAll();
    if (file->error() != QFileDevice::NoError) {
        return Result<QString>::failure(
            QStringLiteral("cannot read the list '%1': %2").arg(listFile, file->errorString()));
    }
    return NativePath::decode(bytes);
}

} // namespace

Result<Items> collectSources(const QStringList& paths, const QStringList& listFiles, bool recursive,
                             QTextStream& standardInput, SourceProblems* problems,
                             const std::function<bool()>& keepGoing) {
    SourceProblems unused;
    SourceProblems& told = problems != nullptr ? *problems : unused;
    Collector collector(recursive, told, keepGoing);
    for (const QString& path : paths) {
        if (!collector.keepGoing()) {
            return collector.take();
        }
        if (const Status added = collector.add(path); !added) {
            return Result<Items>::failure(added.error());
        }
    }
    for (const QString& listFile : listFiles) {
        const Result<QString> text = readList(listFile, standardInput);
        if (!text) {
            return Result<Items>::failure(text.error());
        }
        for (const QUrl& url :
             parsePathList(*text, allowedFileTypes(), NativePath::absolutePath(QString()))) {
            if (!collector.keepGoing()) {
                return collector.take();
            }
            // One stale line must not cost the whole list: the path goes on
            // as a source that cannot be opened, and the log says so.
            if (!collector.add(url.toLocalFile())) {
                collector.addMissing(url);
                told.missingListed.append(url.toLocalFile());
            }
        }
    }
    return collector.take();
}

Result<QString> mirroredFolder(const QString& root, const QString& outputFolder,
                               const QString& sourcePath) {
    const QString rootPath = NativePath::absolutePath(root);
    const QString source = NativePath::absolutePath(sourcePath);
    const QString folder = source.left(qMax(1, source.lastIndexOf(QLatin1Char('/'))));
    const QString relative = QDir(rootPath).relativeFilePath(folder);
    if (relative == QStringLiteral("..") || relative.startsWith(QStringLiteral("../")) ||
        QDir::isAbsolutePath(relative)) {
        return Result<QString>::failure(
            QStringLiteral("'%1' is not inside the --mirror folder '%2'").arg(sourcePath, root));
    }
    return QDir::cleanPath(QDir(NativePath::absolutePath(outputFolder)).filePath(relative));
}
