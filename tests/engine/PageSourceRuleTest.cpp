// Pages whose pixels follow from their own values: no-data cells, constant
// pages, ink amounts in floating point, and L*a*b* with its white point. Each
// page is made with libtiff; what it must show is worked out here from the
// values it stores.
#include "PageSourceTestSupport.h"
#include "WriterReadBack.h"
#include "engine/ImageUtilities.h"
#include "engine/PageMapping.h"
#include "engine/PageSource.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace {

QString writePage(const TestTiffPage& page) {
    const QString path = makeTestFolder() + QStringLiteral("/page.tif");
    QString error;
    EXPECT_TRUE(writeTestTiff(path, {page}, &error)) << error.toStdString();
    return path;
}

// IEEE half precision of a value with few mantissa bits (exact here).
uint16_t half(double v) {
    if (v == 0) {
        return 0;
    }
    int e = 0;
    const double m = std::frexp(std::fabs(v), &e);
    const auto mantissa = static_cast<uint16_t>(std::lround(std::ldexp(m * 2 - 1, 10)));
    return static_cast<uint16_t>((v < 0 ? 0x8000 : 0) | ((e - 1 + 15) << 10) | mantissa);
}

double halfValue(uint16_t bits) {
    const int e = (bits >> 10) & 0x1F;
    const double m = 1 + (bits & 0x3FF) / 1024.0;
    return e == 0 ? 0 : ((bits & 0x8000) != 0 ? -1 : 1) * std::ldexp(m, e - 15);
}

// --- No-data values ---------------------------------------------------------------

struct NoDataCase {
    const char* name;
    uint16_t bits;
    uint16_t sampleFormat;
    int colours;
    const char* noData;
    // The value a sample stores at (x, y, s); the block x < 8, y < 8 holds
    // no-data cells.
    std::function<double(uint32_t, uint32_t, uint16_t)> value;
    bool noDataPixel(uint32_t x, uint32_t y) const { return x < 8 && y < 8; }
};

constexpr uint32_t kSide = 16;

uint64_t storedBits(const NoDataCase& c, double v) {
    if (c.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        if (c.bits == 16) {
            return half(v);
        }
        return c.bits == 32 ? std::bit_cast<uint32_t>(static_cast<float>(v))
                            : std::bit_cast<uint64_t>(v);
    }
    const auto whole = static_cast<uint64_t>(static_cast<int64_t>(v));
    return c.bits == 64 ? whole : whole & ((uint64_t(1) << c.bits) - 1);
}

TestTiffPage noDataPage(const NoDataCase& c) {
    TestTiffPage p =
        c.colours == 1 ? grayPage(kSide, kSide, c.bits) : rgbPage(kSide, kSide, c.bits);
    p.sampleFormat = c.sampleFormat;
    p.noData = c.noData;
    p.bitsOf = [c](uint32_t x, uint32_t y, uint16_t s) { return storedBits(c, c.value(x, y, s)); };
    return p;
}

// The value as the page holds it (floats at their own precision).
double heldValue(const NoDataCase& c, uint32_t x, uint32_t y, uint16_t s) {
    const double v = c.value(x, y, s);
    if (c.sampleFormat != SAMPLEFORMAT_IEEEFP) {
        return v;
    }
    return c.bits == 16 ? halfValue(half(v)) : (c.bits == 32 ? double(float(v)) : v);
}

// Values around a no-data block: `low + step * k` for k = 0..16.
std::function<double(uint32_t, uint32_t, uint16_t)> around(double noData, double low, double step,
                                                           int colours = 1) {
    return [=](uint32_t x, uint32_t y, uint16_t s) {
        if (x < 8 && y < 8) {
            // In RGB one no-data sample alone leaves the pixel its value.
            return colours == 3 && x == 7 && y == 7 && s == 1 ? low : noData;
        }
        return low + step * ((x * 5U + y * 3U + s * 7U) % 17U);
    };
}

const NoDataCase kNoDataCases[] = {
    {"Signed16KeptAround", 16, SAMPLEFORMAT_INT, 1, "-9999", around(-9999, 0, 60)},
    {"Signed16Stretched", 16, SAMPLEFORMAT_INT, 1, " -9999 ", around(-9999, -500, 125)},
    {"Unsigned8Kept", 8, SAMPLEFORMAT_UINT, 1, "255", around(255, 10, 14)},
    {"Unsigned16RgbKept", 16, SAMPLEFORMAT_UINT, 3, "0", around(0, 1000, 3000, 3)},
    {"Unsigned32Stretched", 32, SAMPLEFORMAT_UINT, 1, "4294967295", around(4294967295.0, 0, 9000)},
    {"Float32Unit", 32, SAMPLEFORMAT_IEEEFP, 1, "-3.4028234663852886e+38",
     around(-3.4028234663852886e+38, 0, 1 / 16.0)},
    {"Float32Stretched", 32, SAMPLEFORMAT_IEEEFP, 1, "-9999", around(-9999, 10, 0.625)},
    {"Float32AtItsPrecision", 32, SAMPLEFORMAT_IEEEFP, 1, "0.1", around(0.1, 0.25, 0.03125)},
    {"Float16AtItsPrecision", 16, SAMPLEFORMAT_IEEEFP, 3, "0.1", around(0.1, -2, 0.5, 3)},
    {"Float64Stretched", 64, SAMPLEFORMAT_IEEEFP, 1, "-1e30", around(-1e30, -3, 1.5)},
};

struct NoDataExpectation {
    double low;
    double high;
    bool kept;
};

NoDataExpectation noDataRange(const NoDataCase& c) {
    const double noData = std::stod(c.noData);
    const double held = c.sampleFormat == SAMPLEFORMAT_IEEEFP
                            ? (c.bits == 16 ? halfValue(half(noData))
                                            : (c.bits == 32 ? double(float(noData)) : noData))
                            : noData;
    NoDataExpectation e{std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity(), false};
    for (uint32_t y = 0; y < kSide; ++y) {
        for (uint32_t x = 0; x < kSide; ++x) {
            for (uint16_t s = 0; s < c.colours; ++s) {
                const double v = heldValue(c, x, y, s);
                if (v != held) {
                    e.low = std::min(e.low, v);
                    e.high = std::max(e.high, v);
                }
            }
        }
    }
    if (c.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        if (e.low >= 0 && e.high <= 1) {
            e = {0, 1, false};
        }
        return e;
    }
    const double top = c.bits <= 16 ? std::ldexp(1.0, c.bits) - 1 : 65535;
    if (e.low >= 0 && e.high <= top) {
        e = {0, top, true};
    }
    return e;
}

// In 16-bit units; a no-data pixel is transparent.
QRgba64 expectedNoData(const NoDataCase& c, const NoDataExpectation& e, uint32_t x, uint32_t y) {
    if (c.noDataPixel(x, y) && !(c.colours == 3 && x == 7 && y == 7)) {
        return qRgba64(0, 0, 0, 0);
    }
    const double outMax = c.bits <= 8 && c.sampleFormat != SAMPLEFORMAT_IEEEFP ? 255 : 65535;
    uint16_t ch[3];
    for (uint16_t s = 0; s < 3; ++s) {
        const double v = std::clamp(heldValue(c, x, y, c.colours == 1 ? 0 : s), e.low, e.high);
        const double level = e.kept ? std::floor(v * outMax / e.high)
                                    : std::round((v - e.low) / (e.high - e.low) * outMax);
        ch[s] = static_cast<uint16_t>(outMax == 255 ? level * 257 : level);
    }
    return qRgba64(ch[0], ch[1], ch[2], 0xFFFF);
}

std::string compareNoData(const QImage& image, const NoDataCase& c, const NoDataExpectation& e,
                          int tolerance, bool flattened) {
    for (uint32_t y = 0; y < kSide; ++y) {
        for (uint32_t x = 0; x < kSide; ++x) {
            QRgba64 want = expectedNoData(c, e, x, y);
            if (flattened && want.alpha() == 0) {
                want = qRgba64(0, 0, 0, 0xFFFF);
            }
            const QRgba64 got = image.pixelColor(int(x), int(y)).rgba64();
            const bool bothHidden = want.alpha() == 0 && got.alpha() == 0;
            if (!bothHidden && channelDistance(got, want) > tolerance) {
                return pixelMismatch(int(x), int(y), got, want);
            }
        }
    }
    return "";
}

int hiddenPixels(const QImage& image) {
    int hidden = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            hidden += image.pixelColor(x, y).alpha() == 0 ? 1 : 0;
        }
    }
    return hidden;
}

class NoDataTest : public ::testing::TestWithParam<NoDataCase> {};

// Left out of the range and transparent: in PNG, TIFF and GIF the pixel is
// hidden, in JPEG and BMP black.
TEST_P(NoDataTest, CellsAreLeftOutAndTransparent) {
    const NoDataCase& c = GetParam();
    const Result<QImage> page = decodeFirstPage(writePage(noDataPage(c)));
    ASSERT_TRUE(page.ok()) << page.error().toStdString();
    const NoDataExpectation e = noDataRange(c);
    const int noDataPixels = c.colours == 3 ? 63 : 64;
    EXPECT_TRUE(page->hasAlphaChannel());
    EXPECT_EQ(hiddenPixels(*page), noDataPixels);
    EXPECT_EQ(compareNoData(*page, c, e, 0, false), "");
    EXPECT_TRUE(pageMapping(*page).contains(
        QStringLiteral("%1 pixels with the no-data value").arg(noDataPixels)))
        << pageMapping(*page).toStdString();

    const QString folder = makeTestFolder(QStringLiteral("out"));
    const QString png = folder + QStringLiteral("/p.png");
    const QString tiff = folder + QStringLiteral("/p.tif");
    const QString gif = folder + QStringLiteral("/p.gif");
    const QString jpeg = folder + QStringLiteral("/p.jpg");
    const QString bmp = folder + QStringLiteral("/p.bmp");
    ASSERT_TRUE(ImageUtilities::saveAsPngWithName(*page, png));
    ASSERT_TRUE(ImageUtilities::saveAsTiffWithName(*page, tiff, 0));
    ASSERT_TRUE(ImageUtilities::saveAsGifWithName(*page, gif));
    ASSERT_TRUE(ImageUtilities::saveAsJpegWithName(*page, jpeg, 100));
    ASSERT_TRUE(ImageUtilities::saveAsBmpWithName(*page, bmp));
    EXPECT_EQ(compareNoData(QImage(png), c, e, 0, false), "");
    const std::vector<TiffPageFacts> tiffPages = readTiff(tiff);
    ASSERT_EQ(tiffPages.size(), 1U);
    EXPECT_EQ(compareNoData(tiffPages[0].pixels, c, e, 0, false), "");
    EXPECT_EQ(hiddenPixels(readGif(gif).pixels()), noDataPixels);
    EXPECT_EQ(compareNoData(QImage(bmp), c, e, 257, true), "");
    // JPEG: the block's inner pixels, away from the edges the codec blurs.
    const QImage shown(jpeg);
    for (int y = 1; y < 6; ++y) {
        for (int x = 1; x < 6; ++x) {
            EXPECT_LE(channelDistance(shown.pixelColor(x, y).rgba64(), qRgba64(0, 0, 0, 0xFFFF)),
                      4 * 257)
                << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, NoDataTest, ::testing::ValuesIn(kNoDataCases), ByName());

TEST(NoDataTest, ValuesThatCannotBeSamplesMatchNothing) {
    struct Case {
        const char* name;
        uint16_t sampleFormat;
        const char* noData;
    };
    // An 8-bit unsigned page: a fraction, a negative, a value past the
    // width, and text that is no number.
    const Case cases[] = {{"Fraction", SAMPLEFORMAT_UINT, "10.5"},
                          {"Negative", SAMPLEFORMAT_UINT, "-1"},
                          {"PastTheWidth", SAMPLEFORMAT_UINT, "266"},
                          {"NotANumber", SAMPLEFORMAT_UINT, "none"},
                          {"SignedPastTheWidth", SAMPLEFORMAT_INT, "128"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestTiffPage p = grayPage(6, 3, 8);
        p.sampleFormat = c.sampleFormat;
        p.noData = c.noData;
        p.sample = [](uint32_t x, uint32_t y, uint16_t) { return 10U + x + y; };
        const Result<QImage> page = decodeFirstPage(writePage(p));
        ASSERT_TRUE(page.ok()) << page.error().toStdString();
        EXPECT_EQ(page->format(), QImage::Format_Grayscale8);
        EXPECT_EQ(page->pixelColor(0, 0), QColor(10, 10, 10));
        EXPECT_EQ(page->pixelColor(5, 2), QColor(17, 17, 17));
    }
}

// --- Constant pages ---------------------------------------------------------------

TEST(ConstantPageTest, StretchedConstantsAreBlackAndFittingOnesKept) {
    struct Case {
        const char* name;
        uint16_t bits;
        uint16_t sampleFormat;
        uint64_t stored;
        uint16_t shown; // 16-bit units
    };
    const Case cases[] = {
        {"Float32Seven", 32, SAMPLEFORMAT_IEEEFP, std::bit_cast<uint32_t>(7.0F), 0},
        {"Float32Negative", 32, SAMPLEFORMAT_IEEEFP, std::bit_cast<uint32_t>(-0.5F), 0},
        {"Float32Half", 32, SAMPLEFORMAT_IEEEFP, std::bit_cast<uint32_t>(0.5F), 32768},
        {"Unsigned32Above65535", 32, SAMPLEFORMAT_UINT, 100000, 0},
        {"Unsigned64Within", 64, SAMPLEFORMAT_UINT, 1234, 1234},
        {"Signed16Negative", 16, SAMPLEFORMAT_INT, 0xFFFD, 0},
        {"Signed16Positive", 16, SAMPLEFORMAT_INT, 777, 777},
        {"Signed8Positive", 8, SAMPLEFORMAT_INT, 4, 4 * 257},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestTiffPage p = grayPage(5, 4, c.bits);
        p.sampleFormat = c.sampleFormat;
        p.bitsOf = [&c](uint32_t, uint32_t, uint16_t) { return c.stored; };
        const Result<QImage> page = decodeFirstPage(writePage(p));
        ASSERT_TRUE(page.ok()) << page.error().toStdString();
        for (const QPoint at : {QPoint(0, 0), QPoint(4, 3)}) {
            const QRgba64 got = page->pixelColor(at).rgba64();
            EXPECT_EQ(got.red(), c.shown);
            EXPECT_EQ(got.alpha(), 0xFFFF);
        }
    }
}

// --- Ink amounts in floating point -------------------------------------------------

struct InkCase {
    const char* name;
    int inks;     // 3: CMY, 4: CMYK
    double scale; // 1: fractions, 100: percentages (stretched)
    bool planar;
};

double inkAmount(uint32_t x, uint32_t y, uint16_t s, double scale) {
    return scale * ((x * 3U + y * 5U + s * 11U) % 9U) / 8.0;
}

TEST(FloatInkPageTest, InksBecomeRgbAfterTheRule) {
    const InkCase cases[] = {{"Cmyk32", 4, 1, false},
                             {"Cmyk32Percent", 4, 100, false},
                             {"Cmyk32Planar", 4, 1, true},
                             {"Cmy32", 3, 1, false}};
    for (const InkCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestTiffPage p = rgbPage(9, 5, 32);
        p.photometric = PHOTOMETRIC_SEPARATED;
        p.samplesPerPixel = static_cast<uint16_t>(c.inks);
        p.sampleFormat = SAMPLEFORMAT_IEEEFP;
        p.planar = c.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG;
        p.bitsOf = [c](uint32_t x, uint32_t y, uint16_t s) {
            return uint64_t(std::bit_cast<uint32_t>(float(inkAmount(x, y, s, c.scale))));
        };
        const Result<QImage> page = decodeFirstPage(writePage(p));
        ASSERT_TRUE(page.ok()) << page.error().toStdString();
        EXPECT_EQ(page->format(), QImage::Format_RGBX64);
        // Every amount from 0 to the scale occurs, so the range is 0..scale.
        for (uint32_t y = 0; y < 5; ++y) {
            for (uint32_t x = 0; x < 9; ++x) {
                double level[4] = {0, 0, 0, 0};
                for (uint16_t s = 0; s < c.inks; ++s) {
                    level[s] = std::round(inkAmount(x, y, s, c.scale) / c.scale * 65535) / 65535;
                }
                const double white = 1 - level[3];
                const QRgba64 got = page->pixelColor(int(x), int(y)).rgba64();
                const uint16_t want[3] = {
                    static_cast<uint16_t>(std::lround((1 - level[0]) * white * 65535)),
                    static_cast<uint16_t>(std::lround((1 - level[1]) * white * 65535)),
                    static_cast<uint16_t>(std::lround((1 - level[2]) * white * 65535))};
                EXPECT_EQ(got.red(), want[0]) << x << "," << y;
                EXPECT_EQ(got.green(), want[1]) << x << "," << y;
                EXPECT_EQ(got.blue(), want[2]) << x << "," << y;
            }
        }
        EXPECT_EQ(pageMapping(*page),
                  c.scale == 1
                      ? QStringLiteral(
                            "32-bit floating-point samples mapped from 0..1 to the output range")
                      : QStringLiteral("32-bit floating-point samples stretched from the page's "
                                       "range 0..100 to the output range"));
    }
}

// --- L*a*b* and its white point ----------------------------------------------------

struct Xyz {
    double x, y, z;
};

double linearFromSrgb(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// sRGB (0..255) to XYZ relative to D65, or to D50 through the published
// Bradford-adapted matrix.
Xyz xyzOf(const int rgb[3], bool d50) {
    const double r = linearFromSrgb(rgb[0] / 255.0);
    const double g = linearFromSrgb(rgb[1] / 255.0);
    const double b = linearFromSrgb(rgb[2] / 255.0);
    if (d50) {
        return {0.4360747 * r + 0.3850649 * g + 0.1430804 * b,
                0.2225045 * r + 0.7168786 * g + 0.0606169 * b,
                0.0139322 * r + 0.0971045 * g + 0.7141733 * b};
    }
    return {0.4124564 * r + 0.3575761 * g + 0.1804375 * b,
            0.2126729 * r + 0.7151522 * g + 0.0721750 * b,
            0.0193339 * r + 0.1191920 * g + 0.9503041 * b};
}

double labF(double t) {
    constexpr double kDelta = 6.0 / 29.0;
    return t > kDelta * kDelta * kDelta ? std::cbrt(t) : t / (3 * kDelta * kDelta) + 4.0 / 29.0;
}

struct Lab {
    double lightness, a, b;
};

Lab labOf(const int rgb[3], bool d50) {
    const Xyz c = xyzOf(rgb, d50);
    const Xyz white = d50 ? Xyz{0.96422, 1, 0.82521} : Xyz{0.95047, 1, 1.08883};
    const double fx = labF(c.x / white.x);
    const double fy = labF(c.y / white.y);
    const double fz = labF(c.z / white.z);
    return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

// A balloon's blue, a red, a green, a skin tone, white and black.
const int kLabColours[][3] = {{26, 57, 223},   {200, 30, 40},   {40, 160, 60},
                              {224, 172, 140}, {255, 255, 255}, {0, 0, 0}};
constexpr int kLabColourCount = 6;

TestTiffPage labColourPage(bool d50, std::vector<float> whitePoint) {
    TestTiffPage p = rgbPage(kLabColourCount, 2, 16);
    p.photometric = PHOTOMETRIC_CIELAB;
    p.samplesPerPixel = 4;
    p.extraSamples = {EXTRASAMPLE_UNASSALPHA};
    p.whitePoint = std::move(whitePoint);
    p.sample = [d50](uint32_t x, uint32_t, uint16_t s) -> uint32_t {
        const Lab lab = labOf(kLabColours[x], d50);
        switch (s) {
        case 0:
            return static_cast<uint32_t>(std::lround(lab.lightness / 100.0 * 65535));
        case 1:
        case 2: {
            const auto v = static_cast<int32_t>(std::lround((s == 1 ? lab.a : lab.b) * 256));
            return static_cast<uint32_t>(v) & 0xFFFFU;
        }
        default:
            return 65535;
        }
    };
    return p;
}

TEST(LabWhitePointTest, SixteenBitPagesMatchTheirSrgbColours) {
    struct Case {
        const char* name;
        bool d50;
        std::vector<float> whitePoint;
    };
    const Case cases[] = {{"D50", true, {0.3457F, 0.3585F}},
                          {"D65", false, {0.3127F, 0.3290F}},
                          {"NoTagIsD65", false, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<QImage> page = decodeFirstPage(writePage(labColourPage(c.d50, c.whitePoint)));
        ASSERT_TRUE(page.ok()) << page.error().toStdString();
        for (int x = 0; x < kLabColourCount; ++x) {
            const QColor got = page->pixelColor(x, 1);
            EXPECT_NEAR(got.red(), kLabColours[x][0], 1) << x;
            EXPECT_NEAR(got.green(), kLabColours[x][1], 1) << x;
            EXPECT_NEAR(got.blue(), kLabColours[x][2], 1) << x;
        }
    }
}

// libtiff converts 8-bit pages; without a WhitePoint tag they are D65 too.
TEST(LabWhitePointTest, EightBitPagesWithoutTheTagAreD65) {
    TestTiffPage p = rgbPage(kLabColourCount, 2, 8);
    p.photometric = PHOTOMETRIC_CIELAB;
    p.sample = [](uint32_t x, uint32_t, uint16_t s) -> uint32_t {
        const Lab lab = labOf(kLabColours[x], false);
        if (s == 0) {
            return static_cast<uint32_t>(std::lround(lab.lightness / 100.0 * 255));
        }
        return static_cast<uint32_t>(std::lround(s == 1 ? lab.a : lab.b)) & 0xFFU;
    };
    const Result<QImage> page = decodeFirstPage(writePage(p));
    ASSERT_TRUE(page.ok()) << page.error().toStdString();
    for (int x = 0; x < kLabColourCount; ++x) {
        const QColor got = page->pixelColor(x, 0);
        EXPECT_NEAR(got.red(), kLabColours[x][0], 12) << x;
        EXPECT_NEAR(got.green(), kLabColours[x][1], 12) << x;
        EXPECT_NEAR(got.blue(), kLabColours[x][2], 12) << x;
    }
}

} // namespace
