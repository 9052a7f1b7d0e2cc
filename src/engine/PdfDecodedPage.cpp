#include "engine/PagePixels.h"
#include "engine/PageResolution.h"
#include "engine/PdfPages.h"

#include <QColorSpace>
#include <QSysInfo>

#include <cstring>

namespace {

constexpr double kCentimetresPerInch = 2.54;

// The image's rows without QImage's padding; 16-bit samples in big-endian
// order; `keep` of every `stride` bytes per pixel group (the rest dropped
// or moved to `alpha`).
struct RowPacking {
    qsizetype rowBytes = 0;
    int sampleBytes = 1;
    int pixelSamples = 1; // samples per pixel in the QImage
    bool splitAlpha = false;
    bool dropLast = false; // RGBX64's unused sample
};

void appendSample(const uchar* from, int bytes, std::vector<uint8_t>& to) {
    if (bytes == 2) {
        uint16_t v = 0;
        std::memcpy(&v, from, 2);
        to.push_back(static_cast<uint8_t>(v >> 8));
        to.push_back(static_cast<uint8_t>(v & 0xFF));
    } else {
        to.push_back(*from);
    }
}

void packRows(const QImage& image, const RowPacking& p, std::vector<uint8_t>& colour,
              std::vector<uint8_t>& alpha) {
    const bool perSample = p.sampleBytes == 2 || p.splitAlpha || p.dropLast;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        if (!perSample) {
            colour.insert(colour.end(), row, row + p.rowBytes);
            continue;
        }
        for (int x = 0; x < image.width(); ++x) {
            const uchar* pixel = row + qsizetype(x) * p.pixelSamples * p.sampleBytes;
            const int colourSamples =
                p.splitAlpha || p.dropLast ? p.pixelSamples - 1 : p.pixelSamples;
            for (int s = 0; s < colourSamples; ++s) {
                appendSample(pixel + qsizetype(s) * p.sampleBytes, p.sampleBytes, colour);
            }
            if (p.splitAlpha) {
                appendSample(pixel + qsizetype(colourSamples) * p.sampleBytes, p.sampleBytes,
                             alpha);
            }
        }
    }
}

std::vector<uint8_t> paletteBytes(const QList<QRgb>& table) {
    std::vector<uint8_t> palette;
    for (const QRgb c : table) {
        palette.push_back(static_cast<uint8_t>(qRed(c)));
        palette.push_back(static_cast<uint8_t>(qGreen(c)));
        palette.push_back(static_cast<uint8_t>(qBlue(c)));
    }
    return palette;
}

// 1-bit and 8-bit palette pages keep their indices.
Result<QImage> indexedForm(const QImage& page, PdfImageData& image, RowPacking& packing) {
    const bool mono = page.depth() == 1;
    Result<QImage> pixels = PagePixels::converted(page, mono ? QImage::Format_Mono : page.format());
    if (!pixels) {
        return pixels;
    }
    image.bitsPerComponent = mono ? 1 : 8;
    packing.rowBytes = mono ? (qsizetype(page.width()) + 7) / 8 : page.width();
    if (!mono) {
        image.colour = PdfColour::Indexed;
        image.palette = paletteBytes(PagePixels::completeTable(page));
        return pixels;
    }
    QImage& bits = *pixels;
    for (int y = 0; y < bits.height(); ++y) {
        PagePixels::clearBitsPastLastPixel(bits.scanLine(y), bits.width());
    }
    switch (PagePixels::monoTable(page)) {
    case PagePixels::MonoTable::ZeroIsBlack:
        break;
    case PagePixels::MonoTable::ZeroIsWhite:
        image.decode = {1, 0};
        break;
    case PagePixels::MonoTable::Coloured:
        image.colour = PdfColour::Indexed;
        image.palette = paletteBytes(PagePixels::completeTable(page));
        break;
    }
    return pixels;
}

Result<QImage> directForm(const QImage& page, PdfImageData& image, RowPacking& packing) {
    const bool paletted = page.format() == QImage::Format_Mono ||
                          page.format() == QImage::Format_MonoLSB ||
                          page.format() == QImage::Format_Indexed8;
    const QImage::Format format =
        page.format() == QImage::Format_Grayscale8 || page.format() == QImage::Format_Grayscale16
            ? page.format()
        : paletted ? QImage::Format_RGBA8888
                   : PagePixels::directRgbFormat(page);
    Result<QImage> pixels = PagePixels::converted(page, format);
    if (!pixels) {
        return pixels;
    }
    const bool gray = format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16;
    image.colour = gray ? PdfColour::Gray : PdfColour::Rgb;
    packing.sampleBytes = format == QImage::Format_Grayscale16 || format == QImage::Format_RGBX64 ||
                                  format == QImage::Format_RGBA64
                              ? 2
                              : 1;
    image.bitsPerComponent = packing.sampleBytes * 8;
    packing.pixelSamples = gray ? 1 : format == QImage::Format_RGB888 ? 3 : 4;
    packing.splitAlpha = format == QImage::Format_RGBA8888 || format == QImage::Format_RGBA64;
    packing.dropLast = format == QImage::Format_RGBX64;
    packing.rowBytes = qsizetype(page.width()) * packing.pixelSamples * packing.sampleBytes;
    return pixels;
}

} // namespace

void setPdfResolution(const QImage& image, PdfPage& page) {
    if (!hasResolution(image)) {
        return;
    }
    const StatedResolution r = statedResolution(image);
    const double toInch = r.perCentimetre ? kCentimetresPerInch : 1.0;
    page.xDpi = r.x * toInch;
    page.yDpi = r.y * toInch;
}

Result<PdfPage> decodedPdfPage(const QImage& page) {
    if (Status notEmpty = PagePixels::checkNotEmpty(page); !notEmpty) {
        return Result<PdfPage>::failure(notEmpty.error());
    }
    PdfPiece piece;
    PdfImageData& image = piece.image;
    RowPacking packing;
    const bool paletted = page.format() == QImage::Format_Mono ||
                          page.format() == QImage::Format_MonoLSB ||
                          page.format() == QImage::Format_Indexed8;
    const Result<QImage> pixels = paletted && !PagePixels::tableHasAlpha(page.colorTable())
                                      ? indexedForm(page, image, packing)
                                      : directForm(page, image, packing);
    if (!pixels) {
        return Result<PdfPage>::failure(pixels.error());
    }
    std::vector<uint8_t> colour;
    std::vector<uint8_t> alpha;
    colour.reserve(static_cast<size_t>(packing.rowBytes) * static_cast<size_t>(page.height()));
    packRows(*pixels, packing, colour, alpha);
    image.width = static_cast<uint32_t>(page.width());
    image.height = static_cast<uint32_t>(page.height());
    image.iccProfile = page.colorSpace().iccProfile();
    const int components = image.colour == PdfColour::Rgb ? 3 : 1;
    if (!deflateSamples(image, colour, components)) {
        return Result<PdfPage>::failure(QStringLiteral("Not enough memory to compress the page"));
    }
    if (packing.splitAlpha) {
        piece.softMask = std::make_unique<PdfImageData>();
        piece.softMask->width = image.width;
        piece.softMask->height = image.height;
        piece.softMask->bitsPerComponent = image.bitsPerComponent;
        if (!deflateSamples(*piece.softMask, alpha, 1)) {
            return Result<PdfPage>::failure(
                QStringLiteral("Not enough memory to compress the page"));
        }
    }
    PdfPage result;
    result.width = image.width;
    result.height = image.height;
    setPdfResolution(page, result);
    result.pieces.push_back(std::move(piece));
    return result;
}
