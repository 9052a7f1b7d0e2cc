#include "engine/OutputNames.h"

#include "engine/OutputFormats.h"
#include "platform/NativePath.h"

#include <QDir>

namespace {

QString canonicalOutputPath(const QString& folder, const QString& name) {
    return NativePath::absolutePath(folder.isEmpty() ? name : QDir(folder).filePath(name));
}

} // namespace

QString extensionForOutputType(int outputType) {
    const OutputFormat* format = outputFormat(outputType);
    return format == nullptr ? QString() : QString(format->extensionText());
}

QString pageFileName(const QString& baseName, const QString& separator, int leadingZeros,
                     int outputType, int pageNumber) {
    QString prefix = baseName + separator;
    prefix.replace(QLatin1Char(':'), QLatin1Char('-'));
    prefix.replace(QLatin1Char('/'), QLatin1Char('-'));
    const QString number =
        QStringLiteral("%1").arg(pageNumber, qMax(0, leadingZeros), 10, QLatin1Char('0'));
    return prefix + number + extensionForOutputType(outputType);
}

QString multiPageTiffFileName(const QString& baseName) {
    return baseName + outputFormat(OutputTiff)->extensionText();
}

QString gatheredFileName(const QString& baseName, int outputType) {
    return baseName + extensionForOutputType(outputType);
}

QString baseNameOf(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    // A leading dot starts a hidden name, not an extension.
    return dot > 0 ? fileName.left(dot) : fileName;
}

OutputNamer::OutputNamer(const QStringList& sourcePaths) {
    for (const QString& source : sourcePaths) {
        m_taken.insert(NativePath::absolutePath(source));
    }
}

bool OutputNamer::isFree(const QString& folder, const QStringList& names) const {
    for (const QString& name : names) {
        if (m_taken.contains(canonicalOutputPath(folder, name))) {
            return false;
        }
    }
    return true;
}

QString OutputNamer::claim(const QString& folder, const QString& baseName,
                           const std::function<QStringList(const QString&)>& namesFor) {
    QString chosen = baseName;
    QStringList names = namesFor(chosen);
    for (int n = 2; !isFree(folder, names); ++n) {
        chosen = baseName + QStringLiteral(" (%1)").arg(n);
        names = namesFor(chosen);
    }
    for (const QString& name : names) {
        m_taken.insert(canonicalOutputPath(folder, name));
    }
    return chosen;
}
