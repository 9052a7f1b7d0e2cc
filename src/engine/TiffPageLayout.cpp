#include "engine/TiffPageLayout.h"

#include "engine/JpegHeader.h"
#include "engine/SampleRule.h"

#include <QPixelFormat>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// QImage keeps its sizes in int; staying well below keeps every row and
// offset computation inside that range for all output depths.
constexpr uint32_t kMaxDimension = uint32_t(1) << 24;
constexpr uint16_t kMaxSamplesPerPixel = 64;

QString pageText(const TiffPageLayout& layout) {
    return QStringLiteral("Page %1").arg(layout.pageNumber);
}

uint16_t fieldOr(TIFF* tif, ttag_t tag, uint16_t fallback) {
    uint16_t value = fallback;
    if (TIFFGetFieldDefaulted(tif, tag, &value) != 1) {
        return fallback;
    }
    return value;
}

Status checkSizes(const TiffPageLayout& l) {
    const QString page = pageText(l);
    if (l.width == 0 || l.height == 0) {
        return Status::failure(
            QStringLiteral("%1 has no pixels (%2 x %3)").arg(page).arg(l.width).arg(l.height));
    }
    if (l.width > kMaxDimension || l.height > kMaxDimension) {
        return Status::failure(
            QStringLiteral("%1 is %2 x %3 pixels, too large to be held as one image")
                .arg(page)
                .arg(l.width)
                .arg(l.height));
    }
    if (l.bitsPerSample == 0 || l.bitsPerSample > 64) {
        return Status::failure(QStringLiteral("%1 has %2 bits per sample, which cannot be read")
                                   .arg(page)
                                   .arg(l.bitsPerSample));
    }
    if (l.samplesPerPixel == 0 || l.samplesPerPixel > kMaxSamplesPerPixel ||
        l.extraSampleCount >= l.samplesPerPixel) {
        return Status::failure(QStringLiteral("%1 has %2 samples per pixel, which cannot be read")
                                   .arg(page)
                                   .arg(l.samplesPerPixel));
    }
    if (l.tiled && (l.tileWidth == 0 || l.tileHeight == 0 || l.tileWidth > kMaxDimension ||
                    l.tileHeight > kMaxDimension)) {
        return Status::failure(
            QStringLiteral("%1 has tiles of %2 x %3 pixels, which cannot be read")
                .arg(page)
                .arg(l.tileWidth)
                .arg(l.tileHeight));
    }
    return {};
}

uint16_t guessPhotometric(uint16_t samplesPerPixel) {
    return samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
}

void readExtraSamples(TIFF* tif, TiffPageLayout& l) {
    uint16_t count = 0;
    uint16_t* kinds = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &kinds) == 1 && count > 0 &&
        kinds != nullptr) {
        l.extraSampleCount = count;
        l.firstExtraSample = kinds[0];
    }
}

// Where the alpha sample is, if any. A file without ExtraSamples but with one
// sample more than its colours need (gray + 1, RGB + 1) is taken to carry
// unassociated alpha, as most writers of such files mean it.
void findAlpha(const TiffPageLayout& l, int colourSamples, DecodePlan& plan) {
    if (l.extraSampleCount > 0) {
        const int colours = l.samplesPerPixel - l.extraSampleCount;
        if (colours >= colourSamples && (l.firstExtraSample == EXTRASAMPLE_ASSOCALPHA ||
                                         l.firstExtraSample == EXTRASAMPLE_UNASSALPHA)) {
            plan.alphaSample = colours;
            plan.associatedAlpha = l.firstExtraSample == EXTRASAMPLE_ASSOCALPHA;
        }
        return;
    }
    if (l.samplesPerPixel == colourSamples + 1) {
        plan.alphaSample = colourSamples;
    }
}

int colourSamplesOf(const TiffPageLayout& l) {
    return l.samplesPerPixel - l.extraSampleCount;
}

bool planGray(const TiffPageLayout& l, DecodePlan& plan) {
    const bool wide = l.bitsPerSample > 8;
    plan.minIsWhite = l.photometric == PHOTOMETRIC_MINISWHITE;
    findAlpha(l, 1, plan);
    if (plan.alphaSample >= 0) {
        plan.kind = PixelKind::GrayAlpha;
        plan.format = wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
        return true;
    }
    if (l.bitsPerSample == 1 && l.samplesPerPixel == 1 && !plan.signedSamples) {
        plan.kind = PixelKind::Bilevel;
        plan.format = QImage::Format_Mono;
        plan.copiesRows = true; // the colour table says which index is white
        return true;
    }
    plan.kind = PixelKind::Gray;
    plan.format = wide ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
    plan.copiesRows = !plan.minIsWhite && l.samplesPerPixel == 1 &&
                      (l.bitsPerSample == 8 || l.bitsPerSample == 16);
    return true;
}

// Indices of more than 8 bits cannot stay indexed in a QImage; they become
// the colours the map gives them, 16 bits deep unless the map holds 8-bit
// values.
bool planWidePalette(TIFF* tif, const TiffPageLayout& l, DecodePlan& plan) {
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) != 1 || red == nullptr ||
        green == nullptr || blue == nullptr) {
        return false;
    }
    plan.kind = PixelKind::WidePalette;
    plan.colourMap[0] = red;
    plan.colourMap[1] = green;
    plan.colourMap[2] = blue;
    plan.colourMapIsEightBit = colourMapIsEightBit(plan.colourMap, size_t(1) << l.bitsPerSample);
    plan.format = plan.colourMapIsEightBit ? QImage::Format_RGB888 : QImage::Format_RGBX64;
    return true;
}

bool planPalette(TIFF* tif, const TiffPageLayout& l, DecodePlan& plan) {
    if (colourSamplesOf(l) != 1 || plan.signedSamples) {
        return false;
    }
    if (l.bitsPerSample > 8) {
        return planWidePalette(tif, l, plan);
    }
    plan.kind = PixelKind::Palette;
    plan.format = QImage::Format_Indexed8;
    plan.copiesRows = l.bitsPerSample == 8 && l.samplesPerPixel == 1;
    return true;
}

bool planRgb(const TiffPageLayout& l, DecodePlan& plan) {
    if (l.samplesPerPixel < 3) {
        return false;
    }
    const bool wide = l.bitsPerSample > 8;
    const bool exact = l.bitsPerSample == 8 || l.bitsPerSample == 16;
    findAlpha(l, 3, plan);
    if (plan.alphaSample >= 0) {
        plan.kind = PixelKind::RgbAlpha;
        plan.format = wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
        plan.copiesRows = exact && !plan.associatedAlpha && l.samplesPerPixel == 4;
        return true;
    }
    plan.kind = PixelKind::Rgb;
    plan.format = wide ? QImage::Format_RGBX64 : QImage::Format_RGB888;
    plan.copiesRows = l.bitsPerSample == 8 && l.samplesPerPixel == 3;
    return true;
}

bool planCmyk(TIFF* tif, const TiffPageLayout& l, DecodePlan& plan) {
    if (l.inkSet != INKSET_CMYK || colourSamplesOf(l) < 4) {
        return false;
    }
    plan.kind = PixelKind::Cmyk;
    plan.format = QImage::Format_RGB888;
    // libjpeg hands such inks out as stored; the PDF writer's Decode array
    // says the same of them.
    plan.invertedInks =
        l.compression == COMPRESSION_JPEG && l.bitsPerSample == 8 && storesInvertedJpegInks(tif);
    return true;
}

// The chromaticity the WhitePoint tag gives, when it can be a white.
std::optional<std::pair<double, double>> whitePointOf(TIFF* tif) {
    float* white = nullptr;
    if (TIFFGetField(tif, TIFFTAG_WHITEPOINT, &white) != 1 || white == nullptr) {
        return std::nullopt;
    }
    const double x = white[0];
    const double y = white[1];
    if (!std::isfinite(x) || !std::isfinite(y) || x <= 0 || y <= 0 || x + y >= 1) {
        return std::nullopt;
    }
    return std::make_pair(x, y);
}

// libtiff's RGBA reader takes 8-bit L*a*b* without alpha; the rest is ours.
bool planLab(TIFF* tif, const TiffPageLayout& l, DecodePlan& plan) {
    if (colourSamplesOf(l) < 3 || (l.bitsPerSample != 8 && l.bitsPerSample != 16)) {
        return false;
    }
    findAlpha(l, 3, plan);
    if (l.bitsPerSample == 8 && plan.alphaSample < 0) {
        return false;
    }
    const bool wide = l.bitsPerSample == 16;
    plan.kind = PixelKind::Lab;
    plan.signedSamples = false; // a* and b* are signed by definition, L* never
    if (const auto white = whitePointOf(tif)) {
        plan.labWhite[0] = white->first;
        plan.labWhite[1] = white->second;
    }
    if (plan.alphaSample >= 0) {
        plan.format = wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
    } else {
        plan.format = QImage::Format_RGBX64;
    }
    return true;
}

// libtiff hands out JPEG-compressed YCbCr as RGB once asked to; the codec
// does the colour conversion and the upsampling.
bool planJpegYCbCr(TIFF* tif, const TiffPageLayout& l, DecodePlan& plan) {
    if (l.compression != COMPRESSION_JPEG || l.planar != PLANARCONFIG_CONTIG ||
        l.bitsPerSample != 8 || l.samplesPerPixel != 3) {
        return false;
    }
    if (TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB) != 1) {
        return false;
    }
    return planRgb(l, plan);
}

// Tiles are copied into rows at byte offsets, so a tile's row must end on a
// byte boundary.
bool tileRowsAreWholeBytes(const TiffPageLayout& l) {
    if (!l.tiled) {
        return true;
    }
    const uint64_t samples = l.planar == PLANARCONFIG_SEPARATE ? 1 : l.samplesPerPixel;
    return (uint64_t(l.tileWidth) * samples * l.bitsPerSample) % 8 == 0;
}

} // namespace

Result<TiffPageLayout> readPageLayout(TIFF* tif, int pageNumber) {
    TiffPageLayout l;
    l.pageNumber = pageNumber;
    if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width) != 1 ||
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height) != 1) {
        return Result<TiffPageLayout>::failure(
            QStringLiteral("Page %1 has no image width or height").arg(pageNumber));
    }
    l.bitsPerSample = fieldOr(tif, TIFFTAG_BITSPERSAMPLE, 1);
    l.samplesPerPixel = fieldOr(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    l.sampleFormat = fieldOr(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    l.planar = fieldOr(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    l.compression = fieldOr(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    l.orientation = fieldOr(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (l.orientation < ORIENTATION_TOPLEFT || l.orientation > ORIENTATION_LEFTBOT) {
        l.orientation = ORIENTATION_TOPLEFT;
    }
    l.inkSet = fieldOr(tif, TIFFTAG_INKSET, INKSET_CMYK);
    if (TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric) != 1) {
        l.photometric = guessPhotometric(l.samplesPerPixel);
    }
    readExtraSamples(tif, l);
    l.tiled = TIFFIsTiled(tif) != 0;
    if (l.tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &l.tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &l.tileHeight);
    } else {
        uint32_t rows = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
        l.rowsPerStrip = rows == 0 ? l.height : std::min(rows, l.height);
    }
    if (Status sizes = checkSizes(l); !sizes) {
        return Result<TiffPageLayout>::failure(sizes.error());
    }
    return l;
}

namespace {

bool isRangedWidth(const TiffPageLayout& l) {
    const uint16_t bits = l.bitsPerSample;
    if (l.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        return bits == 16 || bits == 24 || bits == 32 || bits == 64;
    }
    const bool integers = l.sampleFormat == SAMPLEFORMAT_UINT ||
                          l.sampleFormat == SAMPLEFORMAT_INT || l.sampleFormat == SAMPLEFORMAT_VOID;
    return integers && (bits <= 16 || bits == 24 || bits == 32 || bits == 64);
}

// Gray, RGB or ink amounts: how many colour samples, 0 for other models.
int rangedColourSamples(const TiffPageLayout& l, DecodePlan& plan) {
    switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        plan.minIsWhite = l.photometric == PHOTOMETRIC_MINISWHITE;
        return 1;
    case PHOTOMETRIC_RGB:
        return l.samplesPerPixel >= 3 ? 3 : 0;
    case PHOTOMETRIC_SEPARATED:
        plan.inks = true;
        if (l.inkSet != INKSET_CMYK) {
            return 0;
        }
        return colourSamplesOf(l) >= 4 ? 4 : (colourSamplesOf(l) == 3 ? 3 : 0);
    default:
        return 0;
    }
}

// Pages whose samples are not shown as stored, or not all shown: floating
// point, integers of more than 16 bits, signed integers, a no-data value, and
// CMY without black, in gray, RGB or ink amounts. libtiff hands the whole
// byte widths out in native byte order.
bool planRanged(const TiffPageLayout& l, DecodePlan& plan) {
    const bool ranged = plan.floatSamples || plan.signedSamples || l.bitsPerSample > 16 ||
                        plan.noData.has_value() || l.photometric == PHOTOMETRIC_SEPARATED;
    if (!ranged || !isRangedWidth(l) || !tileRowsAreWholeBytes(l)) {
        return false;
    }
    const int colours = rangedColourSamples(l, plan);
    if (colours == 0) {
        return false;
    }
    if (plan.inks && colours == 4 && !plan.floatSamples && !plan.signedSamples &&
        l.bitsPerSample <= 16 && !plan.noData) {
        return false; // common CMYK: its own row converter
    }
    plan.kind = PixelKind::Ranged;
    plan.colourSamples = colours;
    findAlpha(l, colours, plan);
    const bool narrow = !plan.floatSamples && l.bitsPerSample <= 8;
    const bool gray = colours == 1;
    if (plan.alphaSample >= 0) {
        plan.format = narrow ? QImage::Format_RGBA8888 : QImage::Format_RGBA64;
    } else if (gray) {
        plan.format = narrow ? QImage::Format_Grayscale8 : QImage::Format_Grayscale16;
    } else {
        plan.format = narrow ? QImage::Format_RGB888 : QImage::Format_RGBX64;
    }
    return true;
}

} // namespace

DecodePlan choosePlan(TIFF* tif, const TiffPageLayout& l) {
    DecodePlan plan;
    plan.signedSamples = l.sampleFormat == SAMPLEFORMAT_INT;
    plan.floatSamples = l.sampleFormat == SAMPLEFORMAT_IEEEFP;
    plan.noData = readNoDataValue(tif);
    if (planRanged(l, plan)) {
        return plan;
    }
    if (plan.floatSamples || l.bitsPerSample > 16) {
        return DecodePlan{};
    }
    plan = DecodePlan{};
    plan.signedSamples = l.sampleFormat == SAMPLEFORMAT_INT;
    const bool integerSamples = plan.signedSamples || l.sampleFormat == SAMPLEFORMAT_UINT ||
                                l.sampleFormat == SAMPLEFORMAT_VOID;
    if (!integerSamples || !tileRowsAreWholeBytes(l)) {
        return DecodePlan{};
    }
    bool native = false;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        native = planGray(l, plan);
        break;
    case PHOTOMETRIC_PALETTE:
        native = planPalette(tif, l, plan);
        break;
    case PHOTOMETRIC_CIELAB:
        native = planLab(tif, l, plan);
        break;
    case PHOTOMETRIC_RGB:
        native = planRgb(l, plan);
        break;
    case PHOTOMETRIC_SEPARATED:
        native = planCmyk(tif, l, plan);
        break;
    case PHOTOMETRIC_YCBCR:
        native = planJpegYCbCr(tif, l, plan);
        break;
    default:
        break;
    }
    // Signed samples the rule could not take (palettes, YCbCr) have no
    // meaning of their own; libtiff's reader is asked.
    if (!native || plan.signedSamples) {
        return DecodePlan{};
    }
    if (l.planar == PLANARCONFIG_SEPARATE && l.samplesPerPixel > 1) {
        plan.copiesRows = false; // samples must be interleaved first
    }
    return plan;
}

bool colourMapIsEightBit(const uint16_t* const map[3], size_t entries) {
    for (size_t i = 0; i < entries; ++i) {
        if (map[0][i] >= 256 || map[1][i] >= 256 || map[2][i] >= 256) {
            return false;
        }
    }
    return true;
}

void clearRowPadding(QImage& image) {
    const qsizetype bits = qsizetype(image.width()) * image.depth();
    const qsizetype whole = bits / 8;
    const int rest = static_cast<int>(bits % 8);
    const auto kept = static_cast<uchar>(
        image.format() == QImage::Format_MonoLSB ? 0xFFU >> (8 - rest) : 0xFFU << (8 - rest));
    for (int y = 0; y < image.height(); ++y) {
        uchar* row = image.scanLine(y);
        qsizetype from = whole;
        if (rest > 0) {
            row[from++] &= kept;
        }
        std::memset(row + from, 0, static_cast<size_t>(image.bytesPerLine() - from));
    }
}

qint64 qImageBytesPerLine(QImage::Format format, uint32_t width) {
    const qint64 bits = QImage::toPixelFormat(format).bitsPerPixel();
    return ((qint64(width) * bits + 31) / 32) * 4;
}

Status checkPageLimits(const TiffPageLayout& l, QImage::Format format, const DecodeLimits& limits) {
    const qint64 pixels = qint64(l.width) * qint64(l.height);
    if (pixels > limits.maxPixels) {
        return Status::failure(
            QStringLiteral("%1 is %2 x %3 pixels, more than the limit of %4 pixels")
                .arg(pageText(l))
                .arg(l.width)
                .arg(l.height)
                .arg(limits.maxPixels));
    }
    const qint64 bytes = qImageBytesPerLine(format, l.width) * qint64(l.height);
    if (bytes > limits.maxBytes) {
        return Status::failure(
            QStringLiteral(
                "%1 is %2 x %3 pixels and needs %4 bytes, more than the limit of %5 bytes")
                .arg(pageText(l))
                .arg(l.width)
                .arg(l.height)
                .arg(bytes)
                .arg(limits.maxBytes));
    }
    return {};
}

Status checkBufferLimit(const TiffPageLayout& l, qint64 bytes, const DecodeLimits& limits) {
    if (bytes <= 0 || bytes > limits.maxBytes) {
        return Status::failure(
            QStringLiteral(
                "%1 needs a buffer of %2 bytes to decode, more than the limit of %3 bytes")
                .arg(pageText(l))
                .arg(bytes)
                .arg(limits.maxBytes));
    }
    return {};
}

Result<QImage> allocatePage(const TiffPageLayout& l, QImage::Format format) {
    QImage image(static_cast<int>(l.width), static_cast<int>(l.height), format);
    if (image.isNull()) {
        return Result<QImage>::failure(
            QStringLiteral("Not enough memory for page %1 (%2 x %3 pixels)")
                .arg(l.pageNumber)
                .arg(l.width)
                .arg(l.height));
    }
    // Decoders need not write every byte (row padding, a strip cut short), and
    // what they leave must not be whatever the allocator handed out. fill()
    // would leave the padding at the end of each row.
    std::memset(image.bits(), 0, static_cast<size_t>(image.sizeInBytes()));
    return image;
}
