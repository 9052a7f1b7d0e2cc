#include "engine/BmpWriter.h"

#include "engine/PagePixels.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <algorithm>

namespace {

// Palettes keep their indices; only translucent entries change.
QImage withTableOverWhite(const QImage& page) {
    QImage result = page;
    QList<QRgb> table = PagePixels::completeTable(page);
    for (QRgb& entry : table) {
        entry = PagePixels::overWhite(entry);
    }
    result.setColorTable(table);
    return result;
}

// Qt always writes the image's resolution, which for a page without one is
// the screen's; the header's 0 means "none".
void clearPixelsPerMetre(QByteArray& bmp) {
    constexpr qsizetype kXPelsPerMeter = 38;
    constexpr qsizetype kFieldBytes = 8; // X then Y, 32 bits each
    if (bmp.size() >= kXPelsPerMeter + kFieldBytes) {
        std::fill_n(bmp.begin() + kXPelsPerMeter, kFieldBytes, '\0');
    }
}

Result<QImage> bmpPixels(const QImage& page) {
    switch (page.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        return withTableOverWhite(page);
    case QImage::Format_Grayscale8:
        return page;
    case QImage::Format_Grayscale16:
        return PagePixels::converted(page, QImage::Format_Grayscale8);
    default:
        return PagePixels::toRgb888Flattened(page);
    }
}

} // namespace

Status BmpWriter::encode(const QImage& page, const QString& path, const WriteOptions&) const {
    if (Status notEmpty = PagePixels::checkNotEmpty(page); !notEmpty) {
        return notEmpty;
    }
    const Result<QImage> pixels = bmpPixels(page);
    if (!pixels) {
        return Status::failure(pixels.error());
    }
    QByteArray bytes;
    QBuffer encoded(&bytes);
    encoded.open(QIODevice::WriteOnly);
    QImageWriter writer(&encoded, "bmp");
    if (!writer.write(pixels.value())) {
        return Status::failure(QStringLiteral("BMP: %1").arg(writer.errorString()));
    }
    if (!hasResolution(page)) {
        clearPixelsPerMetre(bytes);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        return Status::failure(
            QStringLiteral("Cannot write “%1”: %2").arg(path, file.errorString()));
    }
    return {};
}
