#include "cli/SourceCollector.h"

#include "filelist/FileItem.h"
#include "filelist/FolderWalker.h"
#include "filelist/PathList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextStream>
#include <QUrl>

namespace {

using Items = std::vector<std::shared_ptr<FileItem>>;

class Collector {
public:
    explicit Collector(bool recursive) : m_recursive(recursive) {}

    Status add(const QString& path) {
        const QFileInfo info(path);
        if (!info.exists()) {
            return Status::failure(QStringLiteral("no such file or folder: '%1'").arg(path));
        }
        const QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
        if (info.isDir()) {
            walkFolders(
                {url}, m_recursive, [] { return true; }, [this](const QUrl& u) { append(u); });
        } else {
            append(url);
        }
        return {};
    }

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
    QSet<QString> m_seen;
    Items m_items;
};

Result<QString> readList(const QString& listFile, QTextStream& standardInput) {
    if (listFile == QStringLiteral("-")) {
        return standardInput.readAll();
    }
    QFile file(listFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return Result<QString>::failure(
            QStringLiteral("cannot read the list '%1': %2").arg(listFile, file.errorString()));
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

Result<Items> collectSources(const QStringList& paths, const QStringList& listFiles, bool recursive,
                             QTextStream& standardInput, QStringList* missingListed) {
    Collector collector(recursive);
    for (const QString& path : paths) {
        if (const Status added = collector.add(path); !added) {
            return Result<Items>::failure(added.error());
        }
    }
    for (const QString& listFile : listFiles) {
        const Result<QString> text = readList(listFile, standardInput);
        if (!text) {
            return Result<Items>::failure(text.error());
        }
        for (const QUrl& url : parsePathList(*text, allowedFileTypes())) {
            // One stale line must not cost the whole list: the path goes on
            // as a source that cannot be opened, and the log says so.
            if (!collector.add(url.toLocalFile())) {
                collector.addMissing(url);
                if (missingListed != nullptr) {
                    missingListed->append(url.toLocalFile());
                }
            }
        }
    }
    return collector.take();
}

Result<QString> mirroredFolder(const QString& root, const QString& outputFolder,
                               const QString& sourcePath) {
    const QString rootPath = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
    const QString folder = QFileInfo(QFileInfo(sourcePath).absoluteFilePath()).path();
    const QString relative = QDir(rootPath).relativeFilePath(folder);
    if (relative == QStringLiteral("..") || relative.startsWith(QStringLiteral("../")) ||
        QDir::isAbsolutePath(relative)) {
        return Result<QString>::failure(
            QStringLiteral("'%1' is not inside the --mirror folder '%2'").arg(sourcePath, root));
    }
    return QDir::cleanPath(QDir(QFileInfo(outputFolder).absoluteFilePath()).filePath(relative));
}
