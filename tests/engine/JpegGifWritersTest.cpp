#include "WriterReadBack.h"
#include "WriterTestPages.h"
#include "engine/BmpWriter.h"
#include "engine/GifWriter.h"
#include "engine/ImageUtilities.h"
#include "engine/JpegWriter.h"
#include "engine/PageResolution.h"
#include "engine/PngWriter.h"
#include "engine/TiffWriter.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <png.h>
#include <tiffio.h>

namespace {

struct JpegQualityCase {
    std::string name;
    int quality;
    int libraryQuality;
    int firstLumaQuantizer;
    int lumaSampling;
};

class JpegQualityTest : public ::testing::TestWithParam<JpegQualityCase> {};

TEST_P(JpegQualityTest, FactorIsQualityOverTen) {
    const JpegQualityCase& c = GetParam();
    EXPECT_EQ(jpegLibraryQuality(c.quality), c.libraryQuality);
    const QString path = makeTestFolder() + QStringLiteral("/page.jpg");
    ASSERT_TRUE(
        ImageUtilities::saveAsJpegWithName(makePage(PageKind::Rgb888, 16, 16), path, c.quality));
    const JpegFacts jpeg = readJpegFacts(path);
    ASSERT_TRUE(jpeg.valid);
    EXPECT_EQ(jpeg.firstLumaQuantizer, c.firstLumaQuantizer);
    EXPECT_EQ(jpeg.lumaHorizontalSampling, c.lumaSampling);
    EXPECT_EQ(jpeg.lumaVerticalSampling, c.lumaSampling);
}

// libjpeg scales the standard tables (first luma entry 16) by 5000 / q below
// 50 and 200 - 2q above, clamped to 1..255.
INSTANTIATE_TEST_SUITE_P(Qualities, JpegQualityTest,
                         ::testing::Values(JpegQualityCase{"Ten", 10, 100, 1, 1},
                                           JpegQualityCase{"Nine", 9, 90, 3, 1},
                                           JpegQualityCase{"Seven", 7, 70, 10, 2},
                                           JpegQualityCase{"Five", 5, 50, 16, 2},
                                           JpegQualityCase{"Zero", 0, 1, 255, 2},
                                           JpegQualityCase{"AboveTen", 12, 100, 1, 1},
                                           JpegQualityCase{"Negative", -3, 1, 255, 2},
                                           JpegQualityCase{"LargestStored", INT_MAX, 100, 1, 1},
                                           JpegQualityCase{"SmallestStored", INT_MIN, 1, 255, 2}),
                         ByName());

struct JpegComponentsCase {
    std::string name;
    PageKind kind;
    int components;
};

class JpegComponentsTest : public ::testing::TestWithParam<JpegComponentsCase> {};

TEST_P(JpegComponentsTest, GrayPagesHaveOneComponent) {
    const JpegComponentsCase& c = GetParam();
    const QString path = makeTestFolder() + QStringLiteral("/page.jpg");
    ASSERT_TRUE(ImageUtilities::saveAsJpegWithName(makePage(c.kind, 9, 4), path, 8));
    EXPECT_EQ(readJpegFacts(path).components, c.components);
}

INSTANTIATE_TEST_SUITE_P(Kinds, JpegComponentsTest,
                         ::testing::Values(JpegComponentsCase{"Mono", PageKind::MonoZeroWhite, 1},
                                           JpegComponentsCase{"MonoColoured",
                                                              PageKind::MonoColoured, 3},
                                           JpegComponentsCase{"Gray8", PageKind::Gray8, 1},
                                           JpegComponentsCase{"Gray16", PageKind::Gray16, 1},
                                           JpegComponentsCase{"Indexed8", PageKind::Indexed8, 3},
                                           JpegComponentsCase{"Rgba64", PageKind::Rgba64, 3}),
                         ByName());

TEST(JpegWriterTest, GrayPaletteWritesOneComponent) {
    QImage page = makePage(PageKind::Indexed8, 5, 5);
    QList<QRgb> table;
    for (int i = 0; i < 16; ++i) {
        table.append(qRgb(i * 16, i * 16, i * 16));
    }
    page.setColorTable(table);
    const QString path = makeTestFolder() + QStringLiteral("/page.jpg");
    ASSERT_TRUE(ImageUtilities::saveAsJpegWithName(page, path, 10));
    EXPECT_EQ(readJpegFacts(path).components, 1);
}

struct GrayScaleMonoCase {
    std::string name;
    QImage page;
};

// A 1-bit page with its two gray levels; widths around whole bytes.
std::vector<GrayScaleMonoCase> grayMonoCases() {
    const QList<std::pair<const char*, QList<QRgb>>> tables = {
        {"ZeroBlack", {qRgb(0, 0, 0), qRgb(255, 255, 255)}},
        {"ZeroWhite", {qRgb(255, 255, 255), qRgb(0, 0, 0)}},
        {"TwoGrays", {qRgb(40, 40, 40), qRgb(200, 200, 200)}},
        {"TranslucentGray", {qRgba(0, 0, 0, 128), qRgb(90, 90, 90)}},
    };
    std::vector<GrayScaleMonoCase> cases;
    for (const auto& [tableName, table] : tables) {
        for (const int width : {1, 7, 8, 9, 17, 64}) {
            for (const QImage::Format format : {QImage::Format_Mono, QImage::Format_MonoLSB}) {
                QImage page(width, 11, format);
                page.fill(0);
                page.setColorTable(table);
                for (int y = 0; y < page.height(); ++y) {
                    for (int x = 0; x < width; ++x) {
                        page.setPixel(x, y, static_cast<uint>((x * 7 + y * 3) % 5 < 2));
                    }
                }
                cases.push_back({std::string(tableName) + "_" + std::to_string(width) +
                                     (format == QImage::Format_Mono ? "_Msb" : "_Lsb"),
                                 page});
            }
        }
    }
    return cases;
}

QImage grayOverWhite(const QImage& page) {
    QImage gray(page.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QRgb c = page.pixel(x, y);
            const int a = qAlpha(c);
            gray.scanLine(y)[x] = static_cast<uchar>((qRed(c) * a + 255 * (255 - a) + 127) / 255);
        }
    }
    gray.setDotsPerMeterX(page.dotsPerMeterX());
    gray.setDotsPerMeterY(page.dotsPerMeterY());
    return gray;
}

class JpegMonoTest : public ::testing::TestWithParam<GrayScaleMonoCase> {};

// The 1-bit rows are expanded on the fly; the file must be the one its 8-bit
// gray form gives.
TEST_P(JpegMonoTest, WritesTheFileOfItsGrayForm) {
    const QImage& page = GetParam().page;
    const QString folder = makeTestFolder();
    ASSERT_TRUE(ImageUtilities::saveAsJpegWithName(page, folder + QStringLiteral("/mono.jpg"), 10));
    ASSERT_TRUE(ImageUtilities::saveAsJpegWithName(grayOverWhite(page),
                                                   folder + QStringLiteral("/gray.jpg"), 10));
    const QByteArray mono = readFileBytes(folder + QStringLiteral("/mono.jpg"));
    EXPECT_FALSE(mono.isEmpty());
    EXPECT_EQ(mono, readFileBytes(folder + QStringLiteral("/gray.jpg")));
    EXPECT_EQ(readJpegFacts(folder + QStringLiteral("/mono.jpg")).components, 1);
}

INSTANTIATE_TEST_SUITE_P(Tables, JpegMonoTest, ::testing::ValuesIn(grayMonoCases()), ByName());

class GifMonoTest : public ::testing::TestWithParam<GrayScaleMonoCase> {};

// The 1-bit rows are read straight into the palette indices; the file must be
// the one the page's Indexed8 form gives.
TEST_P(GifMonoTest, WritesTheFileOfItsIndexedForm) {
    const QImage& page = GetParam().page;
    const QString folder = makeTestFolder();
    ASSERT_TRUE(ImageUtilities::saveAsGifWithName(page, folder + QStringLiteral("/mono.gif")));
    ASSERT_TRUE(ImageUtilities::saveAsGifWithName(page.convertToFormat(QImage::Format_Indexed8),
                                                  folder + QStringLiteral("/indexed.gif")));
    const QByteArray mono = readFileBytes(folder + QStringLiteral("/mono.gif"));
    EXPECT_FALSE(mono.isEmpty());
    EXPECT_EQ(mono, readFileBytes(folder + QStringLiteral("/indexed.gif")));
}

INSTANTIATE_TEST_SUITE_P(Tables, GifMonoTest, ::testing::ValuesIn(grayMonoCases()), ByName());

struct GifPaletteCase {
    std::string name;
    PageKind kind;
    int paletteSize;
    bool transparent;
};

class GifPaletteTest : public ::testing::TestWithParam<GifPaletteCase> {};

TEST_P(GifPaletteTest, PaletteSizeIsAPowerOfTwo) {
    const GifPaletteCase& c = GetParam();
    const QString path = makeTestFolder() + QStringLiteral("/page.gif");
    ASSERT_TRUE(ImageUtilities::saveAsGifWithName(makePage(c.kind, 33, 17), path));
    const GifContent gif = readGif(path);
    ASSERT_TRUE(gif.valid);
    EXPECT_EQ(gif.paletteSize, c.paletteSize);
    EXPECT_EQ(gif.transparentIndex >= 0, c.transparent);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, GifPaletteTest,
    ::testing::Values(GifPaletteCase{"Mono", PageKind::MonoZeroBlack, 2, false},
                      GifPaletteCase{"Indexed8", PageKind::Indexed8, 16, false},
                      GifPaletteCase{"Indexed8Alpha", PageKind::Indexed8Alpha, 16, true},
                      GifPaletteCase{"Gray8", PageKind::Gray8, 256, false},
                      // 16 colours + one transparent entry
                      GifPaletteCase{"Rgba8888", PageKind::Rgba8888, 32, true},
                      GifPaletteCase{"Rgb888", PageKind::Rgb888, 16, false}),
    ByName());

TEST(GifWriterTest, FullColourPageIsQuantisedCloseToTheOriginal) {
    const QImage page = photoLikePage(96, 64);
    const QString path = makeTestFolder() + QStringLiteral("/photo.gif");
    ASSERT_TRUE(ImageUtilities::saveAsGifWithName(page, path));
    const GifContent gif = readGif(path);
    ASSERT_TRUE(gif.valid);
    EXPECT_EQ(gif.paletteSize, 256);
    EXPECT_GE(psnr(page, gif.pixels()), 30.0);
}

TEST(GifWriterTest, ExactlyTwoHundredFiftySixColoursStayExact) {
    QImage page(16, 16, QImage::Format_RGB888);
    for (int i = 0; i < 256; ++i) {
        page.setPixel(i % 16, i / 16, qRgb(i, 255 - i, (i * 7) % 256));
    }
    const QString path = makeTestFolder() + QStringLiteral("/page.gif");
    ASSERT_TRUE(ImageUtilities::saveAsGifWithName(page, path));
    EXPECT_EQ(firstDifference(page, readGif(path).pixels()), "");
}

struct DiskFullCase {
    std::string name;
    std::function<std::unique_ptr<PageWriter>()> make;
};

class DiskFullTest : public ::testing::TestWithParam<DiskFullCase> {};

// /dev/full fails every write with ENOSPC: the codecs' own error paths
// (libjpeg's and libpng's longjmp, giflib's and libtiff's error returns) must
// report it instead of ending the process or claiming success.
TEST_P(DiskFullTest, WriteErrorIsReported) {
    const std::unique_ptr<PageWriter> writer = GetParam().make();
    const Status status =
        writer->encode(photoLikePage(256, 256), QStringLiteral("/dev/full"), WriteOptions{10, 3});
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.error().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Writers, DiskFullTest,
    ::testing::Values(DiskFullCase{"Jpeg", [] { return std::make_unique<JpegWriter>(); }},
                      DiskFullCase{"Png", [] { return std::make_unique<PngWriter>(); }},
                      DiskFullCase{"Gif", [] { return std::make_unique<GifWriter>(); }},
                      DiskFullCase{"Bmp", [] { return std::make_unique<BmpWriter>(); }},
                      DiskFullCase{"Tiff", [] { return std::make_unique<TiffWriter>(); }}),
    ByName());

} // namespace
