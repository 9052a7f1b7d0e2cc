#include "engine/PageSource.h"

#include "PageSourceTestSupport.h"
#include "engine/PageMapping.h"
#include "engine/PageResolution.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>

#include <bit>
#include <functional>
#include <gtest/gtest.h>

namespace {

TestTiffPage tiled(TestTiffPage p) {
    p.tiled = true;
    return p;
}

TestTiffPage planar(TestTiffPage p) {
    p.planar = PLANARCONFIG_SEPARATE;
    return p;
}

TestTiffPage compressed(TestTiffPage p, uint16_t compression, uint16_t predictor = 0) {
    p.compression = compression;
    p.predictor = predictor;
    return p;
}

TestTiffPage stripsOf(TestTiffPage p, uint32_t rows) {
    p.rowsPerStrip = rows;
    return p;
}

TestTiffPage withAlpha(TestTiffPage p, uint16_t kind) {
    p.samplesPerPixel = static_cast<uint16_t>(p.samplesPerPixel + 1);
    p.extraSamples = {kind};
    if (kind == EXTRASAMPLE_ASSOCALPHA) {
        const uint16_t bits = p.bitsPerSample;
        const uint16_t alpha = static_cast<uint16_t>(p.samplesPerPixel - 1);
        p.sample = [bits, alpha](uint32_t x, uint32_t y, uint16_t s) {
            const uint32_t a = patternSample(x, y, alpha, bits);
            return s == alpha ? a : std::min(a, patternSample(x, y, s, bits));
        };
    }
    return p;
}

TestTiffPage cmyk16(uint32_t w, uint32_t h) {
    TestTiffPage p = cmykPage(w, h);
    p.bitsPerSample = 16;
    return p;
}

// A gradient that survives JPEG compression within a small tolerance.
TestTiffPage smooth(TestTiffPage p) {
    p.sample = [](uint32_t x, uint32_t y, uint16_t s) { return 20U + x * 2U + y * 2U + s * 30U; };
    return p;
}

TestTiffPage jpegYCbCr(uint32_t w, uint32_t h) {
    TestTiffPage p = smooth(rgbPage(w, h));
    p.photometric = PHOTOMETRIC_YCBCR;
    p.compression = COMPRESSION_JPEG;
    return p;
}

struct LayoutCase {
    const char* name;
    TestTiffPage page;
    int tolerance8 = 0;
};

const LayoutCase kLayouts[] = {
    {"BilevelMinIsBlack", bilevelPage(7, 5, false)},
    {"BilevelMinIsWhite", bilevelPage(7, 5, true)},
    {"BilevelGroup4", bilevelPage(61, 9, true, COMPRESSION_CCITTFAX4)},
    {"BilevelGroup3", bilevelPage(40, 7, true, COMPRESSION_CCITTFAX3)},
    {"BilevelWidthOfWholeWords", bilevelPage(64, 3, false)},
    {"BilevelTiled", tiled(bilevelPage(37, 21, true))},
    {"Gray2", grayPage(7, 5, 2)},
    {"Gray4", grayPage(7, 5, 4)},
    {"Gray4MinIsWhite",
     [] {
         TestTiffPage p = grayPage(7, 5, 4);
         p.photometric = PHOTOMETRIC_MINISWHITE;
         return p;
     }()},
    {"Gray8", grayPage(7, 5, 8)},
    {"Gray8MinIsWhite",
     [] {
         TestTiffPage p = grayPage(7, 5, 8);
         p.photometric = PHOTOMETRIC_MINISWHITE;
         return p;
     }()},
    {"Gray16", grayPage(7, 5, 16)},
    {"Gray16MinIsWhite",
     [] {
         TestTiffPage p = grayPage(7, 5, 16);
         p.photometric = PHOTOMETRIC_MINISWHITE;
         return p;
     }()},
    {"Gray8Lzw", compressed(grayPage(33, 17), COMPRESSION_LZW, PREDICTOR_HORIZONTAL)},
    {"Gray8Tiled", tiled(grayPage(37, 21))},
    {"GrayAlpha8", withAlpha(grayPage(7, 5), EXTRASAMPLE_UNASSALPHA)},
    {"GrayAlpha8Associated", withAlpha(grayPage(7, 5), EXTRASAMPLE_ASSOCALPHA)},
    {"GrayAlpha16", withAlpha(grayPage(7, 5, 16), EXTRASAMPLE_UNASSALPHA)},
    {"GrayAlpha8Planar", planar(withAlpha(grayPage(7, 5), EXTRASAMPLE_UNASSALPHA))},
    {"Palette1", palettePage(7, 5, 1)},
    {"Palette2", palettePage(7, 5, 2)},
    {"Palette4", palettePage(7, 5, 4)},
    {"Palette8", palettePage(7, 5, 8)},
    {"Palette8PackBits", compressed(palettePage(29, 11), COMPRESSION_PACKBITS)},
    {"Palette4Tiled", tiled(palettePage(37, 21, 4))},
    {"Rgb8", rgbPage(7, 5)},
    {"Rgb8OneRowStrips", stripsOf(rgbPage(7, 5), 1)},
    {"Rgb8Lzw", compressed(rgbPage(31, 13), COMPRESSION_LZW, PREDICTOR_HORIZONTAL)},
    {"Rgb8Deflate", compressed(rgbPage(31, 13), COMPRESSION_ADOBE_DEFLATE)},
    {"Rgb8Tiled", tiled(rgbPage(37, 21))},
    {"Rgb8Planar", planar(rgbPage(7, 5))},
    {"Rgb8PlanarTiled", tiled(planar(rgbPage(37, 21)))},
    {"Rgb16", rgbPage(7, 5, 16)},
    {"Rgb16Planar", planar(rgbPage(7, 5, 16))},
    {"Rgb16TiledLzw", tiled(compressed(rgbPage(37, 21, 16), COMPRESSION_LZW))},
    {"Rgba8", rgbaPage(7, 5, false)},
    {"Rgba8Associated", rgbaPage(7, 5, true)},
    {"Rgba8Planar", planar(rgbaPage(7, 5, false))},
    {"Rgba8AssociatedTiled", tiled(rgbaPage(37, 21, true))},
    {"Rgba16", rgbaPage(7, 5, false, 16)},
    {"Rgba16Associated", rgbaPage(7, 5, true, 16)},
    {"Cmyk8", cmykPage(7, 5)},
    {"Cmyk8Planar", planar(cmykPage(7, 5))},
    {"Cmyk8Tiled", tiled(cmykPage(37, 21))},
    {"Cmyk16", cmyk16(7, 5)},
    {"JpegYCbCr", jpegYCbCr(48, 32), 24},
    {"JpegYCbCrTiled", tiled(jpegYCbCr(48, 40)), 24},
    {"JpegGray", compressed(smooth(grayPage(24, 16)), COMPRESSION_JPEG), 12},
    {"JpegRgb",
     [] {
         TestTiffPage p = compressed(smooth(rgbPage(24, 16)), COMPRESSION_JPEG);
         p.photometric = PHOTOMETRIC_RGB;
         return p;
     }(),
     16},
};

class PageLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PageLayoutTest, DecodesToNativeFormWithExactPixels) {
    const LayoutCase& c = GetParam();
    auto source = openTestPages({c.page});
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    ASSERT_EQ((*source)->pageCount(), 1);
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_TRUE(image.ok()) << image.error().toStdString();
    EXPECT_EQ(image->format(), expectedFormat(c.page));
    EXPECT_EQ(compareWithPage(*image, c.page, c.tolerance8), "");
}

// "" when every bit past the pixels of every row is zero (pages are never
// MonoLSB).
std::string nonZeroPadding(const QImage& image) {
    const qsizetype bits = qsizetype(image.width()) * image.depth();
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (qsizetype bit = bits; bit < image.bytesPerLine() * 8; ++bit) {
            if ((row[bit / 8] & (0x80 >> (bit % 8))) != 0) {
                return "row " + std::to_string(y) + ", bit " + std::to_string(bit);
            }
        }
    }
    return {};
}

// Writers may pass whole rows on; the bytes past a row's pixels must be the
// same on every run, not what the allocator left there.
TEST_P(PageLayoutTest, RowPaddingIsZero) {
    auto source = openTestPages({GetParam().page});
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_TRUE(image.ok()) << image.error().toStdString();
    EXPECT_EQ(nonZeroPadding(*image), "");
}

// The same for the pages made by other decoders and by turning a page.
TEST(PageSourceTest, RowPaddingIsZeroOnEveryDecodePath) {
    TestTiffPage lab = rgbPage(7, 5);
    lab.photometric = PHOTOMETRIC_CIELAB;
    TestTiffPage floats = grayPage(7, 5, 32);
    floats.sampleFormat = SAMPLEFORMAT_IEEEFP;
    floats.bitsOf = [](uint32_t x, uint32_t y, uint16_t) {
        return uint64_t(std::bit_cast<uint32_t>(float(x + y) / 12.0F));
    };
    TestTiffPage wide = grayPage(7, 5, 32);
    wide.bitsOf = [](uint32_t x, uint32_t y, uint16_t) { return uint64_t(x * 1000003U + y); };
    TestTiffPage turned = rgbPage(5, 7);
    turned.orientation = ORIENTATION_RIGHTTOP;
    TestTiffPage bilevel = bilevelPage(37, 5, true);
    bilevel.orientation = ORIENTATION_LEFTBOT;
    const std::vector<TestTiffPage> pages{lab, floats, wide, turned, bilevel};
    auto source = openTestPages(pages);
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    for (int index = 0; index < int(pages.size()); ++index) {
        const Result<QImage> image = (*source)->readPage(index);
        ASSERT_TRUE(image.ok()) << index << ": " << image.error().toStdString();
        EXPECT_EQ(nonZeroPadding(*image), "") << "page " << index + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PageLayoutTest, ::testing::ValuesIn(kLayouts), ByName());

// Where stored pixel (sx, sy) is shown for each Orientation value, worked out
// from where the value puts stored row 0 and column 0.
QPoint storedPixelShownAt(int orientation, int x, int y, int storedWidth, int storedHeight) {
    const int w = storedWidth;
    const int h = storedHeight;
    switch (orientation) {
    case 2: // row 0 top, column 0 right
        return {w - 1 - x, y};
    case 3: // row 0 bottom, column 0 right
        return {w - 1 - x, h - 1 - y};
    case 4: // row 0 bottom, column 0 left
        return {x, h - 1 - y};
    case 5: // row 0 left, column 0 top
        return {y, x};
    case 6: // row 0 right, column 0 top
        return {y, h - 1 - x};
    case 7: // row 0 right, column 0 bottom
        return {w - 1 - y, h - 1 - x};
    case 8: // row 0 left, column 0 bottom
        return {w - 1 - y, x};
    default:
        return {x, y};
    }
}

struct OrientationCase {
    std::string name;
    TestTiffPage page;
};

std::vector<OrientationCase> orientationCases() {
    const std::pair<const char*, TestTiffPage> bases[] = {
        {"Rgb8", rgbPage(7, 5)},
        {"Bilevel", bilevelPage(11, 5, true)},
        {"Gray16", grayPage(7, 5, 16)},
        {"Palette8", palettePage(9, 4)},
    };
    std::vector<OrientationCase> cases;
    for (const auto& [name, base] : bases) {
        for (uint16_t orientation = 1; orientation <= 8; ++orientation) {
            TestTiffPage p = base;
            p.orientation = orientation;
            p.xResolution = 100;
            p.yResolution = 200;
            cases.push_back({std::string(name) + "Orientation" + std::to_string(orientation), p});
        }
    }
    return cases;
}

class OrientationTest : public ::testing::TestWithParam<OrientationCase> {};

TEST_P(OrientationTest, PageComesOutUpright) {
    const TestTiffPage& p = GetParam().page;
    auto source = openTestPages({p});
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_TRUE(image.ok()) << image.error().toStdString();
    const bool swapped = p.orientation >= 5;
    const int w = int(p.width);
    const int h = int(p.height);
    ASSERT_EQ(image->size(), swapped ? QSize(h, w) : QSize(w, h));
    EXPECT_EQ(image->format(), expectedFormat(p));
    const int dpmX = qRound(100 / 0.0254);
    const int dpmY = qRound(200 / 0.0254);
    EXPECT_EQ(image->dotsPerMeterX(), swapped ? dpmY : dpmX);
    EXPECT_EQ(image->dotsPerMeterY(), swapped ? dpmX : dpmY);
    for (int y = 0; y < image->height(); ++y) {
        for (int x = 0; x < image->width(); ++x) {
            const QPoint s = storedPixelShownAt(p.orientation, x, y, w, h);
            ASSERT_EQ(image->pixelColor(x, y).rgba64(),
                      expectedStoredColour(p, uint32_t(s.x()), uint32_t(s.y())))
                << "at " << x << ", " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Orientations, OrientationTest, ::testing::ValuesIn(orientationCases()),
                         ByName());

struct ResolutionCase {
    const char* name;
    float x;
    float y;
    uint16_t unit;
    int dotsPerMeterX;
    int dotsPerMeterY;
    bool hasResolution = true;
};

const ResolutionCase kResolutions[] = {
    {"Inch300", 300, 300, RESUNIT_INCH, 11811, 11811},
    {"InchDifferentAxes", 200, 100, RESUNIT_INCH, 7874, 3937},
    {"Centimetre", 118.11f, 50, RESUNIT_CENTIMETER, 11811, 5000},
    {"NoUnitMeansNoResolution", 300, 300, RESUNIT_NONE, 0, 0, false},
    {"MissingTagsMeanNoResolution", 0, 0, RESUNIT_INCH, 0, 0, false},
};

class ResolutionTest : public ::testing::TestWithParam<ResolutionCase> {};

TEST_P(ResolutionTest, DotsPerMetreFollowTheTags) {
    const ResolutionCase& c = GetParam();
    TestTiffPage p = grayPage(7, 5);
    p.xResolution = c.x;
    p.yResolution = c.y;
    p.resolutionUnit = c.unit;
    auto source = openTestPages({p});
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_TRUE(image.ok()) << image.error().toStdString();
    EXPECT_EQ(hasResolution(*image), c.hasResolution);
    if (c.hasResolution) {
        EXPECT_EQ(image->dotsPerMeterX(), c.dotsPerMeterX);
        EXPECT_EQ(image->dotsPerMeterY(), c.dotsPerMeterY);
    }
}

INSTANTIATE_TEST_SUITE_P(Units, ResolutionTest, ::testing::ValuesIn(kResolutions), ByName());

struct ProfileCase {
    const char* name;
    TestTiffPage page;
    bool profileKept;
};

TestTiffPage withProfile(TestTiffPage p, QByteArray profile) {
    p.iccProfile = std::move(profile);
    return p;
}

const QByteArray kSrgbProfile = QColorSpace(QColorSpace::SRgb).iccProfile();

const ProfileCase kProfiles[] = {
    {"RgbKeepsValidProfile", withProfile(rgbPage(7, 5), kSrgbProfile), true},
    {"RgbaKeepsValidProfile", withProfile(rgbaPage(7, 5, false), kSrgbProfile), true},
    {"BrokenProfileIsDropped", withProfile(rgbPage(7, 5), QByteArray(200, 'x')), false},
    {"CmykNeverCarriesProfile", withProfile(cmykPage(7, 5), kSrgbProfile), false},
};

class ProfileTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileTest, ColourSpaceComesFromTheIccProfile) {
    const ProfileCase& c = GetParam();
    auto source = openTestPages({c.page});
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_TRUE(image.ok()) << image.error().toStdString();
    EXPECT_EQ(image->colorSpace().isValid(), c.profileKept);
    if (c.profileKept) {
        EXPECT_EQ(image->colorSpace(), QColorSpace(QColorSpace::SRgb));
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, ProfileTest, ::testing::ValuesIn(kProfiles), ByName());

TEST(PageSourceTest, MixedPagesReadInAnyOrder) {
    const std::vector<TestTiffPage> pages = {
        bilevelPage(30, 10, true, COMPRESSION_CCITTFAX4),
        rgbPage(7, 5, 16),
        tiled(palettePage(37, 21, 4)),
        cmykPage(6, 9),
        rgbaPage(5, 3, true),
    };
    auto source = openTestPages(pages);
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    ASSERT_EQ((*source)->pageCount(), 5);
    for (const int index : {3, 0, 4, 2, 1, 0, 3}) {
        const Result<QImage> image = (*source)->readPage(index);
        ASSERT_TRUE(image.ok()) << index << ": " << image.error().toStdString();
        EXPECT_EQ(image->format(), expectedFormat(pages[size_t(index)])) << index;
        EXPECT_EQ(compareWithPage(*image, pages[size_t(index)]), "") << index;
    }
}

TEST(PageSourceTest, CielabGoesThroughTheRgbaReader) {
    TestTiffPage p = rgbPage(6, 2);
    p.photometric = PHOTOMETRIC_CIELAB;
    // Lightness full on the left half, zero on the right; no colour.
    p.sample = [](uint32_t x, uint32_t, uint16_t s) { return s == 0 && x < 3 ? 255U : 0U; };
    auto source = openTestPages({p});
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_TRUE(image.ok()) << image.error().toStdString();
    EXPECT_EQ(image->format(), QImage::Format_RGB888);
    // libtiff's white point makes full lightness slightly off-white.
    EXPECT_LE(
        channelDistance(image->pixelColor(0, 1).rgba64(), qRgba64(0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF)),
        40 * 257);
    EXPECT_LE(channelDistance(image->pixelColor(5, 0).rgba64(), qRgba64(0, 0, 0, 0xFFFF)), 4 * 257);
    EXPECT_EQ(pageMapping(*image),
              QStringLiteral("CIE L*a*b* samples converted to 8-bit RGB by libtiff"));
}

struct QtImageCase {
    const char* name;
    QImage::Format written;
    const char* type;
    QImage::Format expected;
};

const QtImageCase kQtImages[] = {
    {"PngRgb32BecomesRgb888", QImage::Format_RGB32, "png", QImage::Format_RGB888},
    {"PngArgb32BecomesRgba8888", QImage::Format_ARGB32, "png", QImage::Format_RGBA8888},
    {"PngGrayStaysGray", QImage::Format_Grayscale8, "png", QImage::Format_Grayscale8},
    {"BmpRgb32BecomesRgb888", QImage::Format_RGB32, "bmp", QImage::Format_RGB888},
};

class QtImageTest : public ::testing::TestWithParam<QtImageCase> {};

TEST_P(QtImageTest, NonTiffReadsThroughImageReaderInDocumentedForm) {
    const QtImageCase& c = GetParam();
    QImage written(7, 5, c.written);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            const int v = int(patternSample(uint32_t(x), uint32_t(y), 0, 8));
            const int a = c.written == QImage::Format_ARGB32 ? 55 + x * 20 : 255;
            written.setPixelColor(x, y, QColor(v, 255 - v, (v * 3) % 256, a));
        }
    }
    written.setDotsPerMeterX(11811);
    written.setDotsPerMeterY(11811);
    const QString path = makeTestFolder() + QStringLiteral("/image.") + QString::fromLatin1(c.type);
    ASSERT_TRUE(written.save(path, c.type));

    auto source = PageSource::open(path);
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    ASSERT_EQ((*source)->pageCount(), 1);
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_TRUE(image.ok()) << image.error().toStdString();
    EXPECT_EQ(image->format(), c.expected);
    EXPECT_EQ(image->dotsPerMeterX(), 11811);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            ASSERT_EQ(image->pixel(x, y), written.pixel(x, y)) << x << ", " << y;
        }
    }
    // Reading the same page again must work (the reader starts over).
    EXPECT_TRUE((*source)->readPage(0).ok());
    EXPECT_FALSE((*source)->readPage(1).ok());
}

INSTANTIATE_TEST_SUITE_P(Formats, QtImageTest, ::testing::ValuesIn(kQtImages), ByName());

struct QtImageLimitCase {
    const char* name;
    DecodeLimits limits;
    bool reads;
};

// A 64 x 32 RGB image: 2048 pixels, at least 6 KB decoded.
const QtImageLimitCase kQtImageLimits[] = {
    {"WithinLimits", {.maxPixels = 2048, .maxBytes = 1 << 20}, true},
    {"MorePixelsThanLimit", {.maxPixels = 2047, .maxBytes = 1 << 20}, false},
    {"MoreBytesThanLimit", {.maxPixels = 1 << 20, .maxBytes = 1000}, false},
};

class QtImageLimitTest : public ::testing::TestWithParam<QtImageLimitCase> {};

TEST_P(QtImageLimitTest, SourceLimitsHoldWithoutChangingOtherReaders) {
    const QtImageLimitCase& c = GetParam();
    QImage written(64, 32, QImage::Format_RGB32);
    written.fill(Qt::darkCyan);
    const QString path = makeTestFolder() + QStringLiteral("/image.png");
    ASSERT_TRUE(written.save(path, "png"));
    ASSERT_TRUE(PageSource::open(path).ok());
    // QImageReader's limit is the whole process's: one source's limits must
    // not become every other reader's.
    const int processLimit = QImageReader::allocationLimit();

    auto source = PageSource::open(path, c.limits);
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    const Result<QImage> image = (*source)->readPage(0);
    EXPECT_EQ(image.ok(), c.reads);
    if (!c.reads) {
        EXPECT_TRUE(image.error().contains(QStringLiteral("64 x 32 pixels, more than the limit")))
            << image.error().toStdString();
    }
    EXPECT_EQ(QImageReader::allocationLimit(), processLimit);
}

INSTANTIATE_TEST_SUITE_P(Limits, QtImageLimitTest, ::testing::ValuesIn(kQtImageLimits), ByName());

} // namespace
