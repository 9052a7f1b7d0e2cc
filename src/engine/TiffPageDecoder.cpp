#include "engine/TiffPageDecoder.h"

#include "engine/PageMapping.h"
#include "engine/TiffBandReader.h"
#include "engine/TiffHandle.h"
#include "engine/TiffSampleRows.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

Status setPaletteColours(TiffHandle& tiff, const TiffPageLayout& l, QImage& image) {
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (TIFFGetField(tiff.get(), TIFFTAG_COLORMAP, &red, &green, &blue) != 1 || red == nullptr ||
        green == nullptr || blue == nullptr) {
        return Status::failure(
            QStringLiteral("Page %1 is a palette image without a colour map").arg(l.pageNumber));
    }
    const int n = 1 << l.bitsPerSample;
    const uint16_t* const map[3] = {red, green, blue};
    const int shift = colourMapIsEightBit(map, size_t(n)) ? 0 : 8;
    QList<QRgb> table(n);
    for (int i = 0; i < n; ++i) {
        table[i] = qRgb(red[i] >> shift, green[i] >> shift, blue[i] >> shift);
    }
    image.setColorTable(table);
    return {};
}

// Bilevel data stays as stored; the table says which bit value is white.
void setBilevelColours(const DecodePlan& plan, QImage& image) {
    const QRgb black = qRgb(0, 0, 0);
    const QRgb white = qRgb(255, 255, 255);
    image.setColorTable(plan.minIsWhite ? QList<QRgb>{white, black} : QList<QRgb>{black, white});
}

// The page's rows, reached without QImage::scanLine(), which is not safe to
// call from several threads at once.
struct PageRows {
    uchar* bits;
    qsizetype bytesPerLine;
    uchar* row(uint32_t y) const { return bits + qsizetype(y) * bytesPerLine; }
};

void copyBandRows(const TiffBand& band, const PageRows& page) {
    const size_t bytes =
        static_cast<size_t>(std::min<qint64>(band.planeRowBytes, page.bytesPerLine));
    for (uint32_t r = 0; r < band.rowCount; ++r) {
        std::memcpy(page.row(band.firstRow + r), band.row(0, r), bytes);
    }
}

Status convertBands(TiffHandle& tiff, const TiffPageLayout& l, const DecodePlan& plan,
                    const DecodeLimits& limits, const StripThreads& threads, QImage& image) {
    const qint64 sampleBytes = qint64(l.width) * l.samplesPerPixel * qint64(sizeof(uint16_t));
    if (Status fits = checkBufferLimit(l, sampleBytes, limits); !fits) {
        return fits;
    }
    const bool separate = l.planar == PLANARCONFIG_SEPARATE;
    const uint32_t perRow = separate ? l.width : l.width * l.samplesPerPixel;
    const PageRows page{image.bits(), image.bytesPerLine()};
    return readBands(
        tiff, l, limits,
        [&](const TiffBand& band) {
            // One row of samples for each band, as bands may be converted at once.
            std::vector<uint16_t> samples(size_t(l.width) * l.samplesPerPixel);
            for (uint32_t r = 0; r < band.rowCount; ++r) {
                for (int plane = 0; plane < band.planes; ++plane) {
                    unpackSamples(band.row(plane, r), perRow, l.bitsPerSample,
                                  samples.data() + plane, separate ? l.samplesPerPixel : 1);
                }
                convertSampleRow(plan, samples.data(), l.width, l.samplesPerPixel, l.bitsPerSample,
                                 page.row(band.firstRow + r));
            }
        },
        threads);
}

Status copyRows(TiffHandle& tiff, const TiffPageLayout& l, const DecodeLimits& limits,
                const StripThreads& threads, QImage& image) {
    // Packed rows that match the QImage's own decode straight into it.
    if (!l.tiled && image.bytesPerLine() == planeRowBytes(l, l.width)) {
        return readStripsInto(tiff, l, image.bits(), image.sizeInBytes(), threads);
    }
    const PageRows page{image.bits(), image.bytesPerLine()};
    return readBands(
        tiff, l, limits, [&](const TiffBand& band) { copyBandRows(band, page); }, threads);
}

QString rgbaFailure(const TiffHandle& tiff, const TiffPageLayout& l, const char* message) {
    QString text = QStringLiteral("Page %1 cannot be read").arg(l.pageNumber);
    QString reason = QString::fromUtf8(message);
    if (reason.isEmpty()) {
        reason = tiff.lastError();
    }
    return reason.isEmpty() ? text : text + QStringLiteral(": ") + reason;
}

QString photometricName(uint16_t photometric) {
    switch (photometric) {
    case PHOTOMETRIC_SEPARATED:
        return QStringLiteral("Separated (CMYK)");
    case PHOTOMETRIC_YCBCR:
        return QStringLiteral("YCbCr");
    case PHOTOMETRIC_CIELAB:
        return QStringLiteral("CIE L*a*b*");
    case PHOTOMETRIC_LOGL:
        return QStringLiteral("LogL");
    case PHOTOMETRIC_LOGLUV:
        return QStringLiteral("LogLuv");
    default:
        return QStringLiteral("Photometric %1").arg(photometric);
    }
}

// libtiff converts L*a*b* from D50 when the page names no white point; such a
// page is taken as D65, the white it has by default.
void defaultLabWhitePoint(TiffHandle& tiff, const TiffPageLayout& l) {
    float* white = nullptr;
    if (l.photometric != PHOTOMETRIC_CIELAB ||
        TIFFGetField(tiff.get(), TIFFTAG_WHITEPOINT, &white) == 1) {
        return;
    }
    float d65[2] = {0.3127F, 0.3290F};
    TIFFSetField(tiff.get(), TIFFTAG_WHITEPOINT, d65);
}

struct RgbaImageGuard {
    TIFFRGBAImage img{};
    bool begun = false;
    ~RgbaImageGuard() {
        if (begun) {
            TIFFRGBAImageEnd(&img);
        }
    }
};

} // namespace

Result<QImage> decodeNativePage(TiffHandle& tiff, const TiffPageLayout& l, const DecodePlan& plan,
                                const DecodeLimits& limits, const StripThreads& threads) {
    if (Status fits = checkPageLimits(l, plan.format, limits); !fits) {
        return Result<QImage>::failure(fits.error());
    }
    Result<QImage> image = allocatePage(l, plan.format);
    if (!image) {
        return image;
    }
    if (plan.kind == PixelKind::Palette) {
        if (Status colours = setPaletteColours(tiff, l, *image); !colours) {
            return Result<QImage>::failure(colours.error());
        }
    } else if (plan.kind == PixelKind::Bilevel) {
        setBilevelColours(plan, *image);
    }
    const Status decoded = plan.copiesRows ? copyRows(tiff, l, limits, threads, *image)
                                           : convertBands(tiff, l, plan, limits, threads, *image);
    if (!decoded) {
        return Result<QImage>::failure(decoded.error());
    }
    if (plan.kind == PixelKind::Lab) {
        setPageMapping(*image, QStringLiteral("CIE L*a*b* samples converted to sRGB"));
    }
    return image;
}

Result<QImage> decodeViaRgbaReader(TiffHandle& tiff, const TiffPageLayout& l,
                                   const DecodeLimits& limits) {
    if (Status fits = checkPageLimits(l, QImage::Format_RGBA8888, limits); !fits) {
        return Result<QImage>::failure(fits.error());
    }
    defaultLabWhitePoint(tiff, l);
    std::array<char, 1024> message{};
    if (TIFFRGBAImageOK(tiff.get(), message.data()) != 1) {
        return Result<QImage>::failure(rgbaFailure(tiff, l, message.data()));
    }
    RgbaImageGuard guard;
    guard.begun = TIFFRGBAImageBegin(&guard.img, tiff.get(), 1, message.data()) == 1;
    if (!guard.begun) {
        return Result<QImage>::failure(rgbaFailure(tiff, l, message.data()));
    }
    // Rows in stored order; the caller applies every orientation itself.
    guard.img.orientation = ORIENTATION_TOPLEFT;
    guard.img.req_orientation = ORIENTATION_TOPLEFT;
    const bool alpha = guard.img.alpha != 0;
    // libtiff's raster is premultiplied, in bytes R, G, B, A on little-endian
    // machines (and word-swapped on others).
    Result<QImage> image =
        allocatePage(l, alpha ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBX8888);
    if (!image) {
        return image;
    }
    auto* raster = reinterpret_cast<uint32_t*>(image->bits());
    if (TIFFRGBAImageGet(&guard.img, raster, l.width, l.height) != 1) {
        return Result<QImage>::failure(rgbaFailure(tiff, l, ""));
    }
    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        const qsizetype count = qsizetype(l.width) * l.height;
        for (qsizetype i = 0; i < count; ++i) {
            raster[i] = qToLittleEndian(raster[i]);
        }
    }
    QImage page = alpha ? image->convertToFormat(QImage::Format_RGBA8888)
                        : image->convertToFormat(QImage::Format_RGB888);
    setPageMapping(page, QStringLiteral("%1 samples converted to 8-bit RGB by libtiff")
                             .arg(photometricName(l.photometric)));
    return page;
}
