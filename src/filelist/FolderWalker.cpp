#include "filelist/FolderWalker.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Returns false when the walk must end.
bool walkFolder(const QString& folder, bool includeSubdirectories,
                const std::function<bool()>& keepGoing,
                const std::function<void(const QUrl&)>& visit) {
    const QDir dir(folder);
    // No QDir::Hidden: names starting with "." are skipped, as are "." and "..".
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (!keepGoing()) {
            return false;
        }
        const bool isFolder = entry.isDir() && !entry.isSymLink();
        if (isFolder) {
            if (includeSubdirectories &&
                !walkFolder(entry.filePath(), includeSubdirectories, keepGoing, visit)) {
                return false;
            }
        } else if (!entry.isDir() && hasAllowedExtension(entry.fileName())) {
            visit(QUrl::fromLocalFile(entry.filePath()));
        }
    }
    return true;
}

} // namespace

const QStringList& allowedFileTypes() {
    static const QStringList types = QStringLiteral("tif,TIF,tiff,TIFF").split(QLatin1Char(','));
    return types;
}

bool hasAllowedExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && allowedFileTypes().contains(fileName.mid(dot + 1));
}

void walkFolders(const QList<QUrl>& urls, bool includeSubdirectories,
                 const std::function<bool()>& keepGoing,
                 const std::function<void(const QUrl&)>& visit) {
    for (const QUrl& url : urls) {
        if (!keepGoing()) {
            return;
        }
        if (!url.isLocalFile()) {
            continue;
        }
        const QFileInfo info(url.toLocalFile());
        if (info.isDir()) {
            if (!walkFolder(info.filePath(), includeSubdirectories, keepGoing, visit)) {
                return;
            }
        } else if (hasAllowedExtension(info.fileName())) {
            visit(url);
        }
    }
}
