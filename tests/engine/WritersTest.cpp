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

} // namespace
