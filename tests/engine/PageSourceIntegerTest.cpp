// Wide and signed integer samples, wide palettes and L*a*b*: each layout is
// written with libtiff, its samples are read back with libtiff, and the
// decoded and written pixels are compared with the rule worked out here.
#include "PageSourceDeepSupport.h"

namespace {

using namespace deepsample;

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
