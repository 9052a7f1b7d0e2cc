#include "filelist/FolderWalker.h"

#include "platform/NativePath.h"

namespace {

QString childPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? QString(folder + name)
                                             : QString(folder + QLatin1Char('/') + name);
}

// Returns false when the walk must end.
bool walkFolder(const QString& folder, bool includeSubdirectories,
                const std::function<bool()>& keepGoing,
                const std::function<void(const QUrl&)>& visit) {
    for (const QString& name : NativePath::folderEntries(folder)) {
        if (!keepGoing()) {
            return false;
        }
        if (name.startsWith(QLatin1Char('.'))) {
            continue;
        }
        const QString path = childPath(folder, name);
        const bool isDir = NativePath::isDirectory(path);
        if (isDir && !NativePath::isSymLink(path)) {
            if (includeSubdirectories &&
                !walkFolder(path, includeSubdirectories, keepGoing, visit)) {
                return false;
            }
        } else if (!isDir && hasAllowedExtension(name) && !NativePath::isSpecialFile(path)) {
            visit(QUrl::fromLocalFile(path));
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
        const QString path = url.toLocalFile();
        if (NativePath::isDirectory(path)) {
            if (!walkFolder(path, includeSubdirectories, keepGoing, visit)) {
                return;
            }
        } else if (hasAllowedExtension(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)) &&
                   !NativePath::isSpecialFile(path)) {
            visit(url);
        }
    }
}
