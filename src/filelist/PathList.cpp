#include "filelist/PathList.h"

#include <QSet>

namespace {

// After the last "." of the last path component; "" when it has none.
QString extensionOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? path.mid(dot + 1) : QString();
}

// The system reads "//scans/a.tif" as "/scans/a.tif"; a file URL would take
// "scans" for a host, and a host it cannot parse for no URL at all.
QString withOneLeadingSlash(QString path) {
    while (path.startsWith(QLatin1String("//"))) {
        path.remove(0, 1);
    }
    return path;
}

} // namespace

QList<QUrl> parsePathList(const QString& text, const QStringList& allowedTypes,
                          const QString& baseFolder) {
    QList<QUrl> urls;
    QSet<QString> seen;
    const QDir base(baseFolder);
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        if (line.isEmpty() || !allowedTypes.contains(extensionOf(line).toUpper())) {
            continue;
        }
        const QUrl url = QUrl::fromLocalFile(withOneLeadingSlash(base.absoluteFilePath(line)));
        if (!seen.contains(url.toString())) {
            seen.insert(url.toString());
            urls.append(url);
        }
    }
    return urls;
}
