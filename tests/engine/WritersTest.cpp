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

enum class Writer { Png, Bmp, Tiff, Jpeg, Gif };

struct RoundTripCase {
    std::string name;
    Writer writer;
    PageKind kind;
    int width;
    int height;
};

std::vector<RoundTripCase> roundTripCases() {
    const std::vector<std::pair<Writer, const char*>> writers = {{Writer::Png, "Png"},
                                                                 {Writer::Bmp, "Bmp"},
                                                                 {Writer::Tiff, "Tiff"},
                                                                 {Writer::Jpeg, "Jpeg"},
                                                                 {Writer::Gif, "Gif"}};
    const std::vector<std::pair<int, int>> sizes = {{7, 5}, {1, 1}, {33, 17}};
    std::vector<RoundTripCase> cases;
    for (const auto& [writer, writerName] : writers) {
        for (const KindName& kind : pageKinds()) {
            for (const auto& [w, h] : sizes) {
                cases.push_back({std::string(writerName) + "_" + kind.name + "_" +
                                     std::to_string(w) + "x" + std::to_string(h),
                                 writer, kind.kind, w, h});
            }
        }
    }
    return cases;
}

QString extensionOf(Writer writer) {
    switch (writer) {
    case Writer::Png:
        return QStringLiteral("png");
    case Writer::Bmp:
        return QStringLiteral("bmp");
    case Writer::Tiff:
        return QStringLiteral("tiff");
    case Writer::Jpeg:
        return QStringLiteral("jpg");
    case Writer::Gif:
        return QStringLiteral("gif");
    }
    return {};
}

// GIF shows a pixel fully or not at all.
QImage gifExpectation(const QImage& page) {
    QImage out = reducedTo8Bits(page);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            QColor c = out.pixelColor(x, y);
            c.setAlpha(c.alpha() < 128 ? 0 : 255);
            out.setPixelColor(x, y, c);
        }
    }
    return out;
}

class RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, DecodedFileShowsThePage) {
    const RoundTripCase& c = GetParam();
    const QImage page = makePage(c.kind, c.width, c.height);
    const QString path = makeTestFolder() + QStringLiteral("/page.") + extensionOf(c.writer);
    ASSERT_TRUE(ImageUtilities::save(page, path, WriteOptions{10, 0}));

    switch (c.writer) {
    case Writer::Png:
        EXPECT_EQ(firstDifference(page, QImage(path)), "");
        break;
    case Writer::Bmp:
        EXPECT_EQ(firstDifference(flattenedOverWhite(page), QImage(path)), "");
        break;
    case Writer::Tiff: {
        const std::vector<TiffPageFacts> pages = readTiff(path);
        ASSERT_EQ(pages.size(), 1U);
        EXPECT_EQ(firstDifference(page, pages[0].pixels), "");
        break;
    }
    case Writer::Jpeg: {
        const JpegFacts jpeg = readJpegFacts(path);
        ASSERT_TRUE(jpeg.valid);
        EXPECT_GE(psnr(flattenedOverWhite(page), jpeg.pixels), 30.0);
        break;
    }
    case Writer::Gif: {
        const GifContent gif = readGif(path);
        ASSERT_TRUE(gif.valid);
        EXPECT_EQ(firstDifference(gifExpectation(page), gif.pixels()), "");
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWriterAndLayout, RoundTripTest, ::testing::ValuesIn(roundTripCases()),
                         ByName());

struct PngLayoutCase {
    std::string name;
    PageKind kind;
    int bitDepth;
    int colorType;
    bool transparency;
};

class PngLayoutTest : public ::testing::TestWithParam<PngLayoutCase> {};

// The zlib header's FLEVEL of the first IDAT: 1 for levels 2-5, 2 for 6.
int zlibLevelClass(const QString& path) {
    const QByteArray png = readFileBytes(path);
    for (qsizetype at = 8; at + 10 <= png.size();) {
        const auto byte = [&](qsizetype i) {
            return static_cast<uint32_t>(static_cast<uchar>(png[i]));
        };
        const uint32_t length =
            byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
        if (png.mid(at + 4, 4) == "IDAT") {
            return static_cast<int>(byte(at + 9) >> 6);
        }
        at += 12 + static_cast<qsizetype>(length);
    }
    return -1;
}

TEST_P(PngLayoutTest, KeepsTheBitDepth) {
    const PngLayoutCase& c = GetParam();
    const QString path = makeTestFolder() + QStringLiteral("/page.png");
    ASSERT_TRUE(ImageUtilities::saveAsPngWithName(makePage(c.kind, 9, 4), path));
    const PngFacts png = readPngFacts(path);
    ASSERT_TRUE(png.valid);
    EXPECT_EQ(png.bitDepth, c.bitDepth);
    EXPECT_EQ(png.colorType, c.colorType);
    EXPECT_EQ(png.hasTransparency, c.transparency);
    // Speed where the bytes are many, size where they are few.
    EXPECT_EQ(zlibLevelClass(path), c.bitDepth == 1 ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PngLayoutTest,
    ::testing::Values(
        PngLayoutCase{"MonoZeroBlack", PageKind::MonoZeroBlack, 1, PNG_COLOR_TYPE_GRAY, false},
        PngLayoutCase{"MonoZeroWhite", PageKind::MonoZeroWhite, 1, PNG_COLOR_TYPE_GRAY, false},
        PngLayoutCase{"MonoColoured", PageKind::MonoColoured, 1, PNG_COLOR_TYPE_PALETTE, false},
        PngLayoutCase{"Gray8", PageKind::Gray8, 8, PNG_COLOR_TYPE_GRAY, false},
        PngLayoutCase{"Gray16", PageKind::Gray16, 16, PNG_COLOR_TYPE_GRAY, false},
        PngLayoutCase{"Indexed8", PageKind::Indexed8, 8, PNG_COLOR_TYPE_PALETTE, false},
        PngLayoutCase{"Indexed8Alpha", PageKind::Indexed8Alpha, 8, PNG_COLOR_TYPE_PALETTE, true},
        PngLayoutCase{"Rgb888", PageKind::Rgb888, 8, PNG_COLOR_TYPE_RGB, false},
        PngLayoutCase{"Rgbx64", PageKind::Rgbx64, 16, PNG_COLOR_TYPE_RGB, false},
        PngLayoutCase{"Rgba8888", PageKind::Rgba8888, 8, PNG_COLOR_TYPE_RGB_ALPHA, false},
        PngLayoutCase{"Rgba64", PageKind::Rgba64, 16, PNG_COLOR_TYPE_RGB_ALPHA, false},
        PngLayoutCase{"Rgb32", PageKind::Rgb32, 8, PNG_COLOR_TYPE_RGB, false}),
    ByName());

struct BmpLayoutCase {
    std::string name;
    PageKind kind;
    int bitsPerPixel;
    int coloursUsed;
};

class BmpLayoutTest : public ::testing::TestWithParam<BmpLayoutCase> {};

TEST_P(BmpLayoutTest, WritesTheNarrowestLayout) {
    const BmpLayoutCase& c = GetParam();
    const QString path = makeTestFolder() + QStringLiteral("/page.bmp");
    ASSERT_TRUE(ImageUtilities::saveAsBmpWithName(makePage(c.kind, 9, 4), path));
    const BmpHeader header = readBmpHeader(path);
    EXPECT_EQ(header.bitsPerPixel, c.bitsPerPixel);
    EXPECT_EQ(header.coloursUsed, c.coloursUsed);
    // Rows of whole 32-bit words after the headers and the palette.
    const int64_t stride = (9 * c.bitsPerPixel + 31) / 32 * 4;
    EXPECT_EQ(header.dataOffset, 54 + 4 * c.coloursUsed);
    EXPECT_EQ(header.fileSize, header.dataOffset + 4 * stride);
    EXPECT_EQ(QFileInfo(path).size(), header.fileSize);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BmpLayoutTest,
    ::testing::Values(BmpLayoutCase{"Mono", PageKind::MonoZeroWhite, 1, 2},
                      BmpLayoutCase{"MonoColoured", PageKind::MonoColoured, 1, 2},
                      BmpLayoutCase{"Gray8", PageKind::Gray8, 8, 256},
                      BmpLayoutCase{"Gray16", PageKind::Gray16, 8, 256},
                      // A palette of up to 16 colours packs into 4 bits.
                      BmpLayoutCase{"Indexed8", PageKind::Indexed8, 4, 16},
                      BmpLayoutCase{"Indexed8Alpha", PageKind::Indexed8Alpha, 4, 16},
                      BmpLayoutCase{"Rgb888", PageKind::Rgb888, 24, 0},
                      BmpLayoutCase{"Rgba8888", PageKind::Rgba8888, 24, 0},
                      BmpLayoutCase{"Rgba64", PageKind::Rgba64, 24, 0},
                      BmpLayoutCase{"Rgb32", PageKind::Rgb32, 24, 0}),
    ByName());

struct BmpWidthCase {
    std::string name;
    PageKind kind;
    int colours; // palette entries for indexed pages, 0 otherwise
};

class BmpWidthTest : public ::testing::TestWithParam<BmpWidthCase> {};

// Every width from 1 to 33 meets each row padding and each partly filled
// last byte of 1- and 4-bit rows.
TEST_P(BmpWidthTest, EveryWidthReadsBackAsThePage) {
    const BmpWidthCase& c = GetParam();
    const QString path = makeTestFolder() + QStringLiteral("/page.bmp");
    for (int width = 1; width <= 33; ++width) {
        QImage page = makePage(c.kind, width, 3);
        if (c.colours > 0) {
            QList<QRgb> table;
            for (int i = 0; i < c.colours; ++i) {
                table.append(qRgb(i, 255 - i, (i * 37) % 256));
            }
            page.setColorTable(table);
            for (int y = 0; y < page.height(); ++y) {
                for (int x = 0; x < width; ++x) {
                    page.setPixel(x, y, static_cast<uint>((x * 5 + y * 11) % c.colours));
                }
            }
        }
        ASSERT_TRUE(ImageUtilities::saveAsBmpWithName(page, path)) << width;
        EXPECT_EQ(firstDifference(flattenedOverWhite(page), QImage(path)), "") << width;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, BmpWidthTest,
                         ::testing::Values(BmpWidthCase{"Mono", PageKind::MonoZeroBlack, 0},
                                           BmpWidthCase{"Nibbles", PageKind::Indexed8, 16},
                                           BmpWidthCase{"Bytes", PageKind::Indexed8, 200},
                                           BmpWidthCase{"Gray", PageKind::Gray8, 0},
                                           BmpWidthCase{"Rgb", PageKind::Rgb888, 0}),
                         ByName());

TEST(BmpWriterTest, ResolutionIsStoredOnlyWhenThePageHasOne) {
    const QString folder = makeTestFolder();
    QImage page = makePage(PageKind::Rgb888, 5, 5);
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(5906);
    ASSERT_TRUE(ImageUtilities::saveAsBmpWithName(page, folder + QStringLiteral("/with.bmp")));
    const BmpHeader with = readBmpHeader(folder + QStringLiteral("/with.bmp"));
    EXPECT_EQ(with.xPixelsPerMetre, 11811);
    EXPECT_EQ(with.yPixelsPerMetre, 5906);
    markWithoutResolution(page);
    ASSERT_TRUE(ImageUtilities::saveAsBmpWithName(page, folder + QStringLiteral("/without.bmp")));
    const BmpHeader without = readBmpHeader(folder + QStringLiteral("/without.bmp"));
    EXPECT_EQ(without.xPixelsPerMetre, 0);
    EXPECT_EQ(without.yPixelsPerMetre, 0);
}

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

} // namespace

namespace {

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
