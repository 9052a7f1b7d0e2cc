#include "engine/ImageUtilities.h"

#include "engine/OutputFormats.h"
#include "engine/Settings.h"
#include "platform/SystemLog.h"

#include <QFileInfo>

namespace ImageUtilities {

namespace {

bool reported(OutputType type, const QImage& image, const QString& path,
              const WriteOptions& options) {
    const OutputFormat& format = *outputFormat(type);
    const Status status = writePageFile(format, image, path, options);
    if (!status) {
        systemLog(writeFailureLine(format, status.error()));
    }
    return status.ok();
}

// The text after the last "." of the file name; none without a dot.
QString extensionOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace

bool save(const QImage& image, const QString& path, const Settings& settings) {
    return save(image, path, WriteOptions{settings.jpegQuality(), settings.tiffCompressionIndex()});
}

bool save(const QImage& image, const QString& path, const WriteOptions& options) {
    const OutputFormat* format = outputFormatWithExtension(extensionOf(path));
    return format != nullptr && reported(format->id, image, path, options);
}

bool saveAsBmpWithName(const QImage& image, const QString& path) {
    return reported(OutputBmp, image, path, WriteOptions());
}

bool saveAsGifWithName(const QImage& image, const QString& path) {
    return reported(OutputGif, image, path, WriteOptions());
}

bool saveAsPngWithName(const QImage& image, const QString& path) {
    return reported(OutputPng, image, path, WriteOptions());
}

bool saveAsJpegWithName(const QImage& image, const QString& path, int quality) {
    WriteOptions options;
    options.jpegQuality = quality;
    return reported(OutputJpeg, image, path, options);
}

bool saveAsTiffWithName(const QImage& image, const QString& path, int compressionIndex) {
    WriteOptions options;
    options.tiffCompressionIndex = compressionIndex;
    return reported(OutputTiff, image, path, options);
}

} // namespace ImageUtilities
