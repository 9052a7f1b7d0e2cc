#include "engine/ImageOrientation.h"

#include <QColorSpace>

#include <cstring>

namespace {

struct Steps {
    bool transpose;
    bool mirrorHorizontally;
    bool mirrorVertically;
};

// Orientation n describes where stored row 0 and column 0 are shown; after
// an optional transpose what remains is a mirror in either direction.
constexpr Steps kSteps[9] = {
    {false, false, false}, // unused
    {false, false, false}, // 1 top-left
    {false, true, false},  // 2 top-right
    {false, true, true},   // 3 bottom-right
    {false, false, true},  // 4 bottom-left
    {true, false, false},  // 5 left-top
    {true, true, false},   // 6 right-top
    {true, true, true},    // 7 right-bottom
    {true, false, true},   // 8 left-bottom
};

void transposeBits(const QImage& from, QImage& to) {
    for (int y = 0; y < to.height(); ++y) {
        uchar* out = to.scanLine(y);
        std::memset(out, 0, static_cast<size_t>(to.bytesPerLine()));
        const int column = y;
        const uchar mask = static_cast<uchar>(0x80U >> (column % 8));
        for (int x = 0; x < to.width(); ++x) {
            if ((from.constScanLine(x)[column / 8] & mask) != 0) {
                out[x / 8] = static_cast<uchar>(out[x / 8] | (0x80U >> (x % 8)));
            }
        }
    }
}

template <int PixelBytes> void transposePixels(const QImage& from, QImage& to) {
    for (int y = 0; y < to.height(); ++y) {
        uchar* out = to.scanLine(y);
        const qsizetype offset = qsizetype(y) * PixelBytes;
        for (int x = 0; x < to.width(); ++x) {
            std::memcpy(out + qsizetype(x) * PixelBytes, from.constScanLine(x) + offset,
                        PixelBytes);
        }
    }
}

} // namespace

QImage transposed(const QImage& image) {
    QImage result(image.height(), image.width(), image.format());
    if (result.isNull()) {
        return result;
    }
    switch (image.depth()) {
    case 1:
        transposeBits(image, result);
        break;
    case 8:
        transposePixels<1>(image, result);
        break;
    case 16:
        transposePixels<2>(image, result);
        break;
    case 24:
        transposePixels<3>(image, result);
        break;
    case 32:
        transposePixels<4>(image, result);
        break;
    case 64:
        transposePixels<8>(image, result);
        break;
    default:
        return {};
    }
    if (!image.colorTable().isEmpty()) {
        result.setColorTable(image.colorTable());
    }
    result.setDotsPerMeterX(image.dotsPerMeterY());
    result.setDotsPerMeterY(image.dotsPerMeterX());
    result.setColorSpace(image.colorSpace());
    for (const QString& key : image.textKeys()) {
        result.setText(key, image.text(key));
    }
    return result;
}

QImage applyTiffOrientation(QImage image, uint16_t orientation) {
    if (orientation < 2 || orientation > 8) {
        return image;
    }
    const Steps& steps = kSteps[orientation];
    if (steps.transpose) {
        image = transposed(image);
    }
    if (image.isNull() || !(steps.mirrorHorizontally || steps.mirrorVertically)) {
        return image;
    }
    return image.mirrored(steps.mirrorHorizontally, steps.mirrorVertically);
}
