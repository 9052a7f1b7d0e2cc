#include "cli/SourceCollector.h"

#include "filelist/FileItem.h"
#include "filelist/FolderWalker.h"

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
            walkFolders({url}, m_recursive, [] { return true; }, [this](const QUrl& u) { append(u); });
        } else {
            append(url);
        }
        return {};
    }

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

Result<QStringList> readList(const QString& listFile, QTextStream& standardInput) {
    QStringList lines;
    const auto collect = [&lines](QTextStream& in) {
        QString line;
        while (in.readLineInto(&line)) {
            if (line.endsWith(QLatin1Char('\r'))) {
                line.chop(1);
            }
            if (!line.trimmed().isEmpty()) {
                lines.append(line);
            }
        }
    };
    if (listFile == QStringLiteral("-")) {
        collect(standardInput);
        return lines;
    }
    QFile file(listFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return Result<QStringList>::failure(
            QStringLiteral("cannot read the list '%1': %2").arg(listFile, file.errorString()));
    }
    QTextStream in(&file);
    collect(in);
    return lines;
}

} // namespace

Result<Items> collectSources(const QStringList& paths, const QStringList& listFiles, bool recursive,
                             QTextStream& standardInput) {
    Collector collector(recursive);
    for (const QString& path : paths) {
        if (const Status added = collector.add(path); !added) {
            return Result<Items>::failure(added.error());
        }
    }
    for (const QString& listFile : listFiles) {
        const Result<QStringList> lines = readList(listFile, standardInput);
        if (!lines) {
            return Result<Items>::failure(lines.error());
        }
        for (const QString& path : *lines) {
            if (const Status added = collector.add(path); !added) {
                return Result<Items>::failure(added.error() + QStringLiteral(" (listed in '%1')").arg(listFile));
            }
        }
    }
    return collector.take();
}
