// Floating-point samples: each layout is written with libtiff, its samples
// are read back with libtiff, and the decoded and written pixels are
// compared with the mapping rule worked out here from those samples.
#include "PageSourceDeepSupport.h"

namespace {

using namespace deepsample;

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

} // namespace
