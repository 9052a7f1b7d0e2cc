#pragma once

// What the deep-sample tests share: libtiff's reading of the samples, float
// coding at any width, and the check of a page decoded and written.

#include "PageSourceTestSupport.h"
#include "engine/ImageUtilities.h"
#include "engine/PageMapping.h"
#include "engine/PageSource.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QFile>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace deepsample {

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Exponent and mantissa bits of the float widths below 32.
struct SmallFloat {
    int exponentBits;
    int mantissaBits;
};

inline SmallFloat smallFloat(uint16_t bits) {
    return bits == 16 ? SmallFloat{5, 10} : SmallFloat{7, 16};
}

// Exact for the values the tests store: normal numbers with few mantissa bits,
// zero, NaN and infinities.
inline uint64_t encodeFloat(double v, uint16_t bits) {
    if (bits == 32) {
        return std::bit_cast<uint32_t>(static_cast<float>(v));
    }
    if (bits == 64) {
        return std::bit_cast<uint64_t>(v);
    }
    const SmallFloat f = smallFloat(bits);
    const uint64_t sign = std::signbit(v) ? uint64_t(1) << (bits - 1) : 0;
    const uint64_t maxExponent = (uint64_t(1) << f.exponentBits) - 1;
    if (std::isnan(v)) {
        return (maxExponent << f.mantissaBits) | 1U;
    }
    if (std::isinf(v)) {
        return sign | (maxExponent << f.mantissaBits);
    }
    if (v == 0) {
        return sign;
    }
    int e = 0;
    const double m = std::frexp(std::fabs(v), &e); // |v| = m * 2^e, m in [0.5, 1)
    const int bias = (1 << (f.exponentBits - 1)) - 1;
    const auto mantissa = static_cast<uint64_t>(std::ldexp(m * 2 - 1, f.mantissaBits));
    return sign | (uint64_t(e - 1 + bias) << f.mantissaBits) | mantissa;
}

inline double decodeFloat(uint64_t raw, uint16_t bits) {
    if (bits == 32) {
        return std::bit_cast<float>(static_cast<uint32_t>(raw));
    }
    if (bits == 64) {
        return std::bit_cast<double>(raw);
    }
    const SmallFloat f = smallFloat(bits);
    const int bias = (1 << (f.exponentBits - 1)) - 1;
    const uint64_t maxExponent = (uint64_t(1) << f.exponentBits) - 1;
    const uint64_t exponent = (raw >> f.mantissaBits) & maxExponent;
    const uint64_t mantissa = raw & ((uint64_t(1) << f.mantissaBits) - 1);
    const double sign = (raw >> (bits - 1)) & 1U ? -1.0 : 1.0;
    if (exponent == maxExponent) {
        return mantissa != 0 ? kNaN : sign * kInf;
    }
    const double fraction = double(mantissa) / double(uint64_t(1) << f.mantissaBits);
    if (exponent == 0) {
        return sign * std::ldexp(fraction, 1 - bias);
    }
    return sign * std::ldexp(1 + fraction, int(exponent) - bias);
}

inline uint64_t nativeSample(const uint8_t* p, size_t bytes) {
    uint64_t v = 0;
    for (size_t b = 0; b < bytes; ++b) {
        const size_t shift = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? b : bytes - 1 - b;
        v |= uint64_t(p[b]) << (8 * shift);
    }
    return v;
}

// Sample `index` of a row packed MSB first.
inline uint64_t packedSample(const uint8_t* row, size_t index, uint16_t bits) {
    uint64_t v = 0;
    for (size_t bit = index * bits; bit < (index + 1) * bits; ++bit) {
        v = (v << 1) | ((row[bit / 8] >> (7 - bit % 8)) & 1U);
    }
    return v;
}

// Row y of one plane; tiled pages (whole-byte samples only) through the
// tiles that hold it.
inline bool readRow(TIFF* tif, uint32_t y, uint16_t plane, std::vector<uint8_t>& row) {
    if (!TIFFIsTiled(tif)) {
        return TIFFReadScanline(tif, row.data(), y, plane) == 1;
    }
    uint32_t width = 0;
    uint32_t tileWidth = 0;
    uint32_t tileHeight = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
    const size_t pixelBytes = row.size() / width;
    std::vector<uint8_t> tile(static_cast<size_t>(TIFFTileSize(tif)));
    for (uint32_t x = 0; x < width; x += tileWidth) {
        if (TIFFReadTile(tif, tile.data(), x, y, 0, plane) < 0) {
            return false;
        }
        const size_t columns = std::min(tileWidth, width - x);
        std::memcpy(row.data() + x * pixelBytes,
                    tile.data() + (y % tileHeight) * tileWidth * pixelBytes, columns * pixelBytes);
    }
    return true;
}

// Every sample of page 0 as libtiff decodes it, in (y, x, s) order, as the
// raw bits of its width.
inline std::vector<uint64_t> samplesReadByLibtiff(const QString& path) {
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(QFile::encodeName(path).constData(), "r"));
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bits = 0;
    uint16_t spp = 0;
    uint16_t planar = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    const int planes = planar == PLANARCONFIG_SEPARATE ? spp : 1;
    const int perPixel = planes > 1 ? 1 : spp;
    const size_t bytes = bits / 8;
    std::vector<uint64_t> samples(size_t(width) * height * spp);
    std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif.get())));
    for (int plane = 0; plane < planes; ++plane) {
        for (uint32_t y = 0; y < height; ++y) {
            if (!readRow(tif.get(), y, static_cast<uint16_t>(plane), row)) {
                return {};
            }
            for (uint32_t x = 0; x < width; ++x) {
                for (int s = 0; s < perPixel; ++s) {
                    const size_t index = size_t(x) * perPixel + size_t(s);
                    samples[(size_t(y) * width + x) * spp + size_t(plane + s)] =
                        bits % 8 == 0 ? nativeSample(row.data() + index * bytes, bytes)
                                      : packedSample(row.data(), index, bits);
                }
            }
        }
    }
    return samples;
}

// What the page must show, in 16 bits per channel; alpha 0 for a pixel
// without a value.
using Expected = std::vector<QRgba64>;

inline QString writePage(const TestTiffPage& page) {
    const QString path = makeTestFolder() + QStringLiteral("/page.tif");
    QString error;
    EXPECT_TRUE(writeTestTiff(path, {page}, &error)) << error.toStdString();
    return path;
}

inline QRgba64 colourOf(uint16_t r, uint16_t g, uint16_t b, uint16_t a, int colours) {
    return colours == 1 ? qRgba64(r, r, r, a) : qRgba64(r, g, b, a);
}

inline std::string comparePixels(const QImage& image, const Expected& expected, uint32_t width,
                                 int tolerance16) {
    if (image.width() != int(width) || size_t(image.width()) * image.height() != expected.size()) {
        return "size differs";
    }
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgba64 want = expected[size_t(y) * width + size_t(x)];
            const QRgba64 got = image.pixelColor(x, y).rgba64();
            const bool bothHidden = want.alpha() == 0 && got.alpha() == 0;
            if (!bothHidden && channelDistance(got, want) > tolerance16) {
                return pixelMismatch(x, y, got, want);
            }
        }
    }
    return "";
}

// The same expectation in a format without alpha: holes black, 8 bits.
inline Expected flattenedOnBlack(Expected pixels) {
    for (QRgba64& p : pixels) {
        if (p.alpha() == 0) {
            p = qRgba64(0, 0, 0, 0xFFFF);
        }
    }
    return pixels;
}

// Decodes the page, then writes it as PNG (16 bits and alpha kept) and, for
// a page without an alpha sample, as BMP (8 bits, no alpha) and reads both
// back.
enum class Copy { Exact, Mapped };

inline void expectDecodedAndWritten(const QString& path, const Expected& expected, uint32_t width,
                                    QImage::Format format, bool alphaSample,
                                    Copy copy = Copy::Mapped) {
    const Result<QImage> page = decodeFirstPage(path);
    ASSERT_TRUE(page.ok()) << page.error().toStdString();
    EXPECT_EQ(page->format(), format);
    EXPECT_EQ(comparePixels(*page, expected, width, 0), "");
    EXPECT_EQ(pageMapping(*page).isEmpty(), copy == Copy::Exact);

    const QString folder = makeTestFolder(QStringLiteral("out"));
    ASSERT_TRUE(ImageUtilities::saveAsPngWithName(*page, folder + QStringLiteral("/p.png")));
    EXPECT_EQ(comparePixels(QImage(folder + QStringLiteral("/p.png")), expected, width, 0), "");
    if (alphaSample) {
        return;
    }
    ASSERT_TRUE(ImageUtilities::saveAsBmpWithName(*page, folder + QStringLiteral("/p.bmp")));
    EXPECT_EQ(comparePixels(QImage(folder + QStringLiteral("/p.bmp")), flattenedOnBlack(expected),
                            width, 257),
              "");
}

} // namespace deepsample
