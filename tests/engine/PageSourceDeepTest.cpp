// Floating-point, wide and signed integer samples: each layout is written
// with libtiff, its samples are read back with libtiff, and the decoded and
// written pixels are compared with the mapping rule worked out here from
// those samples.
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

namespace {

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

SmallFloat smallFloat(uint16_t bits) {
    return bits == 16 ? SmallFloat{5, 10} : SmallFloat{7, 16};
}

// Exact for the values the tests store: normal numbers with few mantissa bits,
// zero, NaN and infinities.
uint64_t encodeFloat(double v, uint16_t bits) {
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

double decodeFloat(uint64_t raw, uint16_t bits) {
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

uint64_t nativeSample(const uint8_t* p, size_t bytes) {
    uint64_t v = 0;
    for (size_t b = 0; b < bytes; ++b) {
        const size_t shift = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? b : bytes - 1 - b;
        v |= uint64_t(p[b]) << (8 * shift);
    }
    return v;
}

// Sample `index` of a row packed MSB first.
uint64_t packedSample(const uint8_t* row, size_t index, uint16_t bits) {
    uint64_t v = 0;
    for (size_t bit = index * bits; bit < (index + 1) * bits; ++bit) {
        v = (v << 1) | ((row[bit / 8] >> (7 - bit % 8)) & 1U);
    }
    return v;
}

// Row y of one plane; tiled pages (whole-byte samples only) through the
// tiles that hold it.
bool readRow(TIFF* tif, uint32_t y, uint16_t plane, std::vector<uint8_t>& row) {
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
std::vector<uint64_t> samplesReadByLibtiff(const QString& path) {
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

QString writePage(const TestTiffPage& page) {
    const QString path = makeTestFolder() + QStringLiteral("/page.tif");
    QString error;
    EXPECT_TRUE(writeTestTiff(path, {page}, &error)) << error.toStdString();
    return path;
}

QRgba64 colourOf(uint16_t r, uint16_t g, uint16_t b, uint16_t a, int colours) {
    return colours == 1 ? qRgba64(r, r, r, a) : qRgba64(r, g, b, a);
}

std::string comparePixels(const QImage& image, const Expected& expected, uint32_t width,
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
Expected flattenedOnBlack(Expected pixels) {
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

void expectDecodedAndWritten(const QString& path, const Expected& expected, uint32_t width,
                             QImage::Format format, bool alphaSample, Copy copy = Copy::Mapped) {
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

// --- Floating point ----------------------------------------------------------

enum class Values { InUnitRange, Stretched, WithHoles };

double storedValue(Values kind, uint32_t x, uint32_t y, uint16_t s) {
    const uint32_t step = (x * 7U + y * 3U + s * 5U) % 17U;
    switch (kind) {
    case Values::InUnitRange:
        return step / 16.0;
    case Values::Stretched:
        return -3.5 + step * 1.25;
    case Values::WithHoles:
        if (x == 1 && y == 2) {
            return kNaN;
        }
        if (x == 3 && y == 0 && s == 0) {
            return kInf;
        }
        return -0.5 + step * 0.25;
    }
    return 0;
}

struct FloatCase {
    const char* name;
    uint16_t bits;
    int colours;
    bool predictor;
    bool planar;
    Values values;
    bool alpha = false;
    bool tiled = false;
};

TestTiffPage floatPage(const FloatCase& c) {
    TestTiffPage p = c.colours == 1 ? grayPage(9, 5, c.bits) : rgbPage(9, 5, c.bits);
    p.sampleFormat = SAMPLEFORMAT_IEEEFP;
    if (c.alpha) {
        p.samplesPerPixel = static_cast<uint16_t>(p.samplesPerPixel + 1);
        p.extraSamples = {EXTRASAMPLE_UNASSALPHA};
    }
    if (c.predictor) {
        p.compression = COMPRESSION_ADOBE_DEFLATE;
        p.predictor = PREDICTOR_FLOATINGPOINT;
    }
    if (c.planar) {
        p.planar = PLANARCONFIG_SEPARATE;
    }
    p.tiled = c.tiled;
    const uint16_t alphaSample = static_cast<uint16_t>(c.colours);
    p.bitsOf = [c, alphaSample](uint32_t x, uint32_t y, uint16_t s) {
        const double v = s == alphaSample ? ((x + y) % 5U) / 4.0 : storedValue(c.values, x, y, s);
        return encodeFloat(v, c.bits);
    };
    return p;
}

// The rule: [0, 1] when every finite colour value lies there, else the
// page's finite minimum to maximum; a pixel with a NaN or infinite colour
// sample has no value.
Expected expectedFloats(const std::vector<uint64_t>& raw, const FloatCase& c, size_t pixels) {
    const size_t spp = size_t(c.colours) + (c.alpha ? 1 : 0);
    double low = kInf;
    double high = -kInf;
    for (size_t i = 0; i < pixels; ++i) {
        for (size_t s = 0; s < size_t(c.colours); ++s) {
            const double v = decodeFloat(raw[i * spp + s], c.bits);
            if (std::isfinite(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
    }
    if (low >= 0 && high <= 1) {
        low = 0;
        high = 1;
    }
    Expected out;
    for (size_t i = 0; i < pixels; ++i) {
        uint16_t ch[3] = {0, 0, 0};
        bool hole = false;
        for (size_t s = 0; s < size_t(c.colours); ++s) {
            const double v = decodeFloat(raw[i * spp + s], c.bits);
            hole = hole || !std::isfinite(v);
            ch[s] = static_cast<uint16_t>(std::lround((v - low) / (high - low) * 65535.0));
        }
        const uint16_t alpha = c.alpha ? static_cast<uint16_t>(std::lround(
                                             decodeFloat(raw[i * spp + spp - 1], c.bits) * 65535.0))
                                       : 0xFFFF;
        out.push_back(hole ? qRgba64(0, 0, 0, 0) : colourOf(ch[0], ch[1], ch[2], alpha, c.colours));
    }
    return out;
}

QImage::Format expectedFloatFormat(const FloatCase& c) {
    if (c.alpha || c.values == Values::WithHoles) {
        return QImage::Format_RGBA64;
    }
    return c.colours == 1 ? QImage::Format_Grayscale16 : QImage::Format_RGBX64;
}

const FloatCase kFloatCases[] = {
    {"Gray16", 16, 1, false, false, Values::InUnitRange},
    {"Gray16Predictor", 16, 1, true, false, Values::Stretched},
    {"Gray24", 24, 1, false, false, Values::Stretched},
    {"Gray24Predictor", 24, 1, true, false, Values::InUnitRange},
    {"Gray32", 32, 1, false, false, Values::InUnitRange},
    {"Gray32Stretched", 32, 1, false, false, Values::Stretched},
    {"Gray32Predictor", 32, 1, true, false, Values::Stretched},
    {"Gray32Holes", 32, 1, false, false, Values::WithHoles},
    {"Gray64", 64, 1, false, false, Values::Stretched},
    {"Gray64Predictor", 64, 1, true, false, Values::InUnitRange},
    {"Rgb16Holes", 16, 3, false, false, Values::WithHoles},
    {"Rgb24Planar", 24, 3, false, true, Values::Stretched},
    {"Rgb32", 32, 3, false, false, Values::InUnitRange},
    {"Rgb32PlanarPredictor", 32, 3, true, true, Values::Stretched},
    {"Rgb32Alpha", 32, 3, false, false, Values::InUnitRange, true},
    {"Rgb64Predictor", 64, 3, true, false, Values::WithHoles},
    {"Rgb64Planar", 64, 3, false, true, Values::InUnitRange},
    {"Rgb32PlanarTiledPredictor", 32, 3, true, true, Values::WithHoles, false, true},
    {"Gray16TiledAlpha", 16, 1, false, false, Values::Stretched, true, true},
};

class FloatPageTest : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatPageTest, MappedByTheRuleWhenDecodedAndWritten) {
    const FloatCase& c = GetParam();
    const TestTiffPage page = floatPage(c);
    const QString path = writePage(page);
    const std::vector<uint64_t> raw = samplesReadByLibtiff(path);
    ASSERT_FALSE(raw.empty());
    const size_t pixels = size_t(page.width) * page.height;
    expectDecodedAndWritten(path, expectedFloats(raw, c, pixels), page.width,
                            expectedFloatFormat(c), c.alpha);
}

INSTANTIATE_TEST_SUITE_P(Layouts, FloatPageTest, ::testing::ValuesIn(kFloatCases), ByName());

TEST(FloatPageTest, MappingNamesTheRangeUsed) {
    const Result<QImage> unit =
        decodeFirstPage(writePage(floatPage({"", 32, 1, false, false, Values::InUnitRange})));
    ASSERT_TRUE(unit.ok());
    EXPECT_EQ(pageMapping(*unit),
              QStringLiteral("32-bit floating-point samples mapped from 0..1 to the output range"));
    const Result<QImage> stretched =
        decodeFirstPage(writePage(floatPage({"", 32, 1, false, false, Values::Stretched})));
    ASSERT_TRUE(stretched.ok());
    EXPECT_EQ(pageMapping(*stretched),
              QStringLiteral("32-bit floating-point samples stretched from the page's range "
                             "-3.5..16.5 to the output range"));
    const Result<QImage> holes =
        decodeFirstPage(writePage(floatPage({"", 32, 1, false, false, Values::WithHoles})));
    ASSERT_TRUE(holes.ok());
    EXPECT_TRUE(pageMapping(*holes).contains(QStringLiteral("; 2 pixels with NaN or infinite")));
}

// --- Integers -------------------------------------------------------------------

struct IntegerCase {
    const char* name;
    uint16_t bits;
    bool isSigned;
    int colours;
    bool planar = false;
    bool alpha = false;
    // Colour values from `offset` to `offset + span`; span 0: any value of
    // the width.
    uint64_t span = 0;
    int64_t offset = 0;
};

// Spreads over the whole range, both signs included.
uint64_t integerBits(uint32_t x, uint32_t y, uint16_t s, uint16_t bits) {
    const uint64_t mixed = (x * 0x9E3779B97F4A7C15ULL) ^ (y * 0xC2B2AE3D27D4EB4FULL) ^
                           (s * 0x165667B19E3779F9ULL) ^ (uint64_t(x + y) << 60);
    return bits == 64 ? mixed : mixed & ((uint64_t(1) << bits) - 1);
}

uint64_t widthMask(uint16_t bits) {
    return bits == 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1;
}

TestTiffPage integerPage(const IntegerCase& c) {
    TestTiffPage p = c.colours == 1 ? grayPage(11, 4, c.bits) : rgbPage(11, 4, c.bits);
    p.sampleFormat = c.isSigned ? SAMPLEFORMAT_INT : SAMPLEFORMAT_UINT;
    if (c.alpha) {
        p.samplesPerPixel = static_cast<uint16_t>(p.samplesPerPixel + 1);
        p.extraSamples = {EXTRASAMPLE_UNASSALPHA};
    }
    if (c.planar) {
        p.planar = PLANARCONFIG_SEPARATE;
    }
    p.bitsOf = [c](uint32_t x, uint32_t y, uint16_t s) {
        const uint64_t any = integerBits(x, y, s, c.bits);
        if (c.span == 0 || s >= c.colours) {
            return any;
        }
        // The first two pixels hold the ends of the range.
        const uint64_t within = x + y == 0 ? 0 : (x == 1 && y == 0 ? c.span : any % (c.span + 1));
        return (within + static_cast<uint64_t>(c.offset)) & widthMask(c.bits);
    };
    return p;
}

double integerValue(uint64_t raw, const IntegerCase& c) {
    if (!c.isSigned) {
        return static_cast<double>(raw);
    }
    const uint64_t sign = uint64_t(1) << (c.bits - 1);
    if ((raw & sign) == 0) {
        return static_cast<double>(raw);
    }
    return -static_cast<double>(((~raw) & widthMask(c.bits)) + 1); // two's complement
}

// What the page's colour samples make of it: kept when they all lie in
// 0..2^n-1 (0..65535 for more than 16 bits), otherwise stretched from the
// lowest to the highest.
struct IntegerRule {
    bool kept = true;
    double low = 0;
    double high = 0;
};

IntegerRule integerRule(const std::vector<uint64_t>& raw, const IntegerCase& c, size_t pixels) {
    const size_t spp = size_t(c.colours) + (c.alpha ? 1 : 0);
    IntegerRule rule{true, kInf, -kInf};
    for (size_t i = 0; i < pixels; ++i) {
        for (size_t s = 0; s < size_t(c.colours); ++s) {
            const double v = integerValue(raw[i * spp + s], c);
            rule.low = std::min(rule.low, v);
            rule.high = std::max(rule.high, v);
        }
    }
    const double keptMax = c.bits <= 16 ? std::ldexp(1.0, c.bits) - 1 : 65535.0;
    rule.kept = rule.low >= 0 && rule.high <= keptMax;
    if (rule.kept) {
        rule.low = 0;
        rule.high = keptMax;
    }
    return rule;
}

// Onto 8 bits for samples of up to 8 bits (compared as 16), 16 otherwise.
uint16_t expectedColour(double v, const IntegerRule& rule, const IntegerCase& c) {
    const double outMax = c.bits <= 8 ? 255.0 : 65535.0;
    const double level = rule.kept ? std::floor(v * outMax / rule.high)
                                   : std::round((v - rule.low) / (rule.high - rule.low) * outMax);
    return static_cast<uint16_t>(c.bits <= 8 ? level * 257 : level);
}

// Alpha: unsigned of its full range, signed of its positive range.
uint16_t expectedAlpha(uint64_t raw, const IntegerCase& c) {
    const long double max = std::ldexp(1.0L, c.bits - (c.isSigned ? 1 : 0)) - 1;
    const long double v = std::max<long double>(integerValue(raw, c), 0);
    if (c.bits <= 8) {
        return static_cast<uint16_t>(std::floor(v * 255 / max) * 257);
    }
    return static_cast<uint16_t>(std::floor(v * 65535 / max));
}

Expected expectedIntegers(const std::vector<uint64_t>& raw, const IntegerCase& c, size_t pixels) {
    const size_t spp = size_t(c.colours) + (c.alpha ? 1 : 0);
    const IntegerRule rule = integerRule(raw, c, pixels);
    Expected out;
    for (size_t i = 0; i < pixels; ++i) {
        uint16_t ch[3] = {0, 0, 0};
        for (size_t s = 0; s < size_t(c.colours); ++s) {
            ch[s] = expectedColour(integerValue(raw[i * spp + s], c), rule, c);
        }
        const uint16_t alpha = c.alpha ? expectedAlpha(raw[i * spp + spp - 1], c) : 0xFFFF;
        out.push_back(colourOf(ch[0], ch[1], ch[2], alpha, c.colours));
    }
    return out;
}

QImage::Format expectedIntegerFormat(const IntegerCase& c) {
    const bool narrow = c.bits <= 8;
    if (c.alpha) {
        return narrow ? QImage::Format_RGBA8888 : QImage::Format_RGBA64;
    }
    if (c.colours == 1) {
        return narrow ? QImage::Format_Grayscale8 : QImage::Format_Grayscale16;
    }
    return narrow ? QImage::Format_RGB888 : QImage::Format_RGBX64;
}

constexpr uint64_t k2To32 = uint64_t(1) << 32;

const IntegerCase kIntegerCases[] = {
    {"Unsigned24Gray", 24, false, 1},
    {"Unsigned32Rgb", 32, false, 3},
    {"Unsigned32GrayAlpha", 32, false, 1, false, true},
    {"Unsigned64Gray", 64, false, 1},
    {"Unsigned64RgbPlanar", 64, false, 3, true},
    {"Unsigned24GrayBelow65536", 24, false, 1, false, false, 65535},
    {"Unsigned32RgbBelow65536", 32, false, 3, false, false, 40000, 100},
    {"Unsigned64GrayBelow65536", 64, false, 1, false, false, 65535},
    {"Unsigned24GrayAbove65535", 24, false, 1, false, false, 65536},
    {"Unsigned32GrayAbove65535", 32, false, 1, false, false, 70000, 5},
    {"Unsigned64GrayTo2To32", 64, false, 1, false, false, k2To32},
    {"Unsigned64RgbAlphaTo2To32", 64, false, 3, false, true, k2To32},
    {"Signed4Gray", 4, true, 1},
    {"Signed8Gray", 8, true, 1},
    {"Signed8Rgb", 8, true, 3},
    {"Signed12Rgb", 12, true, 3},
    {"Signed16Gray", 16, true, 1},
    {"Signed16RgbPlanar", 16, true, 3, true},
    {"Signed16RgbAlpha", 16, true, 3, false, true},
    {"Signed24Rgb", 24, true, 3},
    {"Signed32Gray", 32, true, 1},
    {"Signed64Rgb", 64, true, 3},
    {"Signed4GrayNonNegative", 4, true, 1, false, false, 7},
    {"Signed8GrayNonNegative", 8, true, 1, false, false, 4},
    {"Signed8RgbAlphaNonNegative", 8, true, 3, false, true, 127},
    {"Signed16GrayNonNegative", 16, true, 1, false, false, 5000},
    {"Signed16RgbPlanarNonNegative", 16, true, 3, true, false, 32767},
    {"Signed32GrayNonNegative", 32, true, 1, false, false, 65535},
    {"Signed64GrayNonNegative", 64, true, 1, false, false, 300},
    {"Signed32GrayNonNegativeAbove65535", 32, true, 1, false, false, 65536},
    {"Signed8GraySmallNegative", 8, true, 1, false, false, 4, -1},
    {"Signed16GrayElevation", 16, true, 1, false, false, 10000, -5000},
    {"Signed16RgbElevation", 16, true, 3, false, false, 10000, -5000},
    {"Signed32GrayElevation", 32, true, 1, false, false, 10000, -5000},
};

class IntegerPageTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerPageTest, KeptOrStretchedWhenDecodedAndWritten) {
    const IntegerCase& c = GetParam();
    const TestTiffPage page = integerPage(c);
    const QString path = writePage(page);
    const std::vector<uint64_t> raw = samplesReadByLibtiff(path);
    ASSERT_FALSE(raw.empty());
    const size_t pixels = size_t(page.width) * page.height;
    expectDecodedAndWritten(path, expectedIntegers(raw, c, pixels), page.width,
                            expectedIntegerFormat(c), c.alpha,
                            integerRule(raw, c, pixels).kept ? Copy::Exact : Copy::Mapped);
}

INSTANTIATE_TEST_SUITE_P(Layouts, IntegerPageTest, ::testing::ValuesIn(kIntegerCases), ByName());

TEST(IntegerPageTest, StretchedMappingNamesThePageRange) {
    struct Case {
        IntegerCase page;
        const char* mapping;
    };
    const Case cases[] = {
        {{"", 16, true, 1, false, false, 10000, -5000},
         "signed 16-bit integer samples stretched from the page's range -5000..5000 to the "
         "output range"},
        {{"", 64, false, 1, false, false, k2To32},
         "64-bit integer samples stretched from the page's range 0..4294967296 to the output "
         "range"},
        {{"", 8, true, 3, false, false, 200, -100},
         "signed 8-bit integer samples stretched from the page's range -100..100 to the output "
         "range"},
    };
    for (const Case& c : cases) {
        const Result<QImage> page = decodeFirstPage(writePage(integerPage(c.page)));
        ASSERT_TRUE(page.ok());
        EXPECT_EQ(pageMapping(*page), QString::fromUtf8(c.mapping));
    }
}

TEST(IntegerPageTest, UnsignedPagesThatFitAreExactCopies) {
    const Result<QImage> page = decodeFirstPage(writePage(grayPage(7, 5, 16)));
    ASSERT_TRUE(page.ok());
    EXPECT_EQ(pageMapping(*page), QString());
}

// --- Palettes of more than 8 bits ---------------------------------------------

// The colour map of page 0 as libtiff reads it.
std::vector<uint16_t> colourMapReadByLibtiff(const QString& path, uint16_t bits) {
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(QFile::encodeName(path).constData(), "r"));
    uint16_t* r = nullptr;
    uint16_t* g = nullptr;
    uint16_t* b = nullptr;
    if (!tif || TIFFGetField(tif.get(), TIFFTAG_COLORMAP, &r, &g, &b) != 1) {
        return {};
    }
    const size_t n = size_t(1) << bits;
    std::vector<uint16_t> map(r, r + n);
    map.insert(map.end(), g, g + n);
    map.insert(map.end(), b, b + n);
    return map;
}

struct WidePaletteCase {
    const char* name;
    uint16_t bits;
    bool eightBitMap; // entries below 256, as some writers store them
};

TEST(WidePaletteTest, IndicesTakeTheirMapColoursExactly) {
    const WidePaletteCase cases[] = {
        {"Palette12", 12, false}, {"Palette16", 16, false}, {"Palette16EightBitMap", 16, true}};
    for (const WidePaletteCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestTiffPage page = palettePage(13, 6, c.bits);
        const size_t n = size_t(1) << c.bits;
        for (size_t i = 0; i < n; ++i) {
            page.colormap[i] = static_cast<uint16_t>(c.eightBitMap ? i % 256 : i * 13);
            page.colormap[n + i] = static_cast<uint16_t>(c.eightBitMap ? 255 - i % 256 : ~i);
            page.colormap[2 * n + i] = static_cast<uint16_t>(c.eightBitMap ? i * 7 % 256 : i * 5);
        }
        const uint32_t mask = uint32_t(n - 1);
        page.sample = [mask](uint32_t x, uint32_t y, uint16_t) {
            return (x * 4099U + y * 12289U + 7U) & mask;
        };
        const QString path = writePage(page);
        const std::vector<uint64_t> indices = samplesReadByLibtiff(path);
        const std::vector<uint16_t> map = colourMapReadByLibtiff(path, c.bits);
        ASSERT_FALSE(indices.empty());
        ASSERT_EQ(map.size(), 3 * n);
        Expected expected;
        for (const uint64_t index : indices) {
            uint16_t ch[3];
            for (size_t k = 0; k < 3; ++k) {
                const uint16_t v = map[k * n + index];
                ch[k] = c.eightBitMap ? static_cast<uint16_t>(v * 257) : v;
            }
            expected.push_back(qRgba64(ch[0], ch[1], ch[2], 0xFFFF));
        }
        expectDecodedAndWritten(path, expected, page.width,
                                c.eightBitMap ? QImage::Format_RGB888 : QImage::Format_RGBX64,
                                false, Copy::Exact);
    }
}

// --- CIE L*a*b* -------------------------------------------------------------------

struct LabSample {
    double lightness; // 0..100
    double a;
    double b;
};

// Anchors along the first row: white, black, middle gray, a red and a yellow.
const LabSample kLabRow[] = {{100, 0, 0}, {0, 0, 0}, {50, 0, 0}, {50, 60, 0}, {70, 0, 60}};

TestTiffPage labPage(uint16_t bits, bool alpha) {
    TestTiffPage p = rgbPage(5, 2, bits);
    p.photometric = PHOTOMETRIC_CIELAB;
    if (alpha) {
        p.samplesPerPixel = 4;
        p.extraSamples = {EXTRASAMPLE_UNASSALPHA};
    }
    p.sample = [bits](uint32_t x, uint32_t y, uint16_t s) -> uint32_t {
        const LabSample& lab = kLabRow[x];
        const double max = bits == 16 ? 65535.0 : 255.0;
        const double step = bits == 16 ? 256.0 : 1.0;
        switch (s) {
        case 0:
            return static_cast<uint32_t>(std::lround(lab.lightness / 100.0 * max));
        case 1:
        case 2: {
            const auto v = static_cast<int32_t>(std::lround((s == 1 ? lab.a : lab.b) * step));
            return static_cast<uint32_t>(v) & (bits == 16 ? 0xFFFFU : 0xFFU);
        }
        default:
            return static_cast<uint32_t>(max) - x * 7U - y; // alpha, as stored
        }
    };
    return p;
}

TEST(LabPageTest, SixteenBitAndAlphaBecomeSrgbWithAlphaKept) {
    struct Case {
        const char* name;
        uint16_t bits;
        bool alpha;
        QImage::Format format;
    };
    const Case cases[] = {{"Lab16", 16, false, QImage::Format_RGBX64},
                          {"Lab16Alpha", 16, true, QImage::Format_RGBA64},
                          {"Lab8Alpha", 8, true, QImage::Format_RGBA8888}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TestTiffPage page = labPage(c.bits, c.alpha);
        const QString path = writePage(page);
        const Result<QImage> image = decodeFirstPage(path);
        ASSERT_TRUE(image.ok()) << image.error().toStdString();
        EXPECT_EQ(image->format(), c.format);
        const QString png = makeTestFolder(QStringLiteral("out")) + QStringLiteral("/lab.png");
        ASSERT_TRUE(ImageUtilities::saveAsPngWithName(*image, png));
        const QImage written(png);
        for (const QImage& shown : {*image, written}) {
            const auto at = [&](int x) { return shown.pixelColor(x, 0).rgba64(); };
            const int slack = 2 * 257; // 8-bit rounding of the 8-bit page
            EXPECT_LE(channelDistance(at(0), qRgba64(65535, 65535, 65535, at(0).alpha())), slack);
            EXPECT_LE(channelDistance(at(1), qRgba64(0, 0, 0, at(1).alpha())), slack);
            // L* 50 is sRGB 0.4663 on every channel.
            EXPECT_LE(channelDistance(at(2), qRgba64(30561, 30561, 30561, at(2).alpha())), slack);
            EXPECT_GT(at(3).red(), at(3).green() + 20000);
            EXPECT_GT(at(4).green(), at(4).blue() + 20000);
            for (int x = 0; x < 5 && c.alpha; ++x) {
                const uint32_t stored = page.sample(uint32_t(x), 0, 3);
                EXPECT_EQ(at(x).alpha(), c.bits == 16 ? stored : stored * 257) << x;
            }
        }
        EXPECT_EQ(pageMapping(*image), QStringLiteral("CIE L*a*b* samples converted to sRGB"));
    }
}

} // namespace
