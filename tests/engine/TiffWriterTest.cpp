#include "engine/TiffWriter.h"

#include "WriterReadBack.h"
#include "WriterTestPages.h"
#include "engine/ImageUtilities.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <tiffio.h>

namespace {

struct CompressionCase {
    std::string name;
    int index;
    uint16_t bilevelCompression;
    uint16_t rgbCompression;
};

class TiffCompressionTest : public ::testing::TestWithParam<CompressionCase> {};

TEST_P(TiffCompressionTest, BilevelPageGetsTheChosenCompression) {
    const CompressionCase& c = GetParam();
    for (const PageKind kind : {PageKind::MonoZeroBlack, PageKind::MonoZeroWhite}) {
        const QImage page = makePage(kind, 33, 17);
        const QString path = makeTestFolder() + QStringLiteral("/page.tiff");
        ASSERT_TRUE(ImageUtilities::saveAsTiffWithName(page, path, c.index));
        const std::vector<TiffPageFacts> pages = readTiff(path);
        ASSERT_EQ(pages.size(), 1U);
        EXPECT_EQ(pages[0].compression, c.bilevelCompression);
        EXPECT_EQ(firstDifference(page, pages[0].pixels), "");
    }
}

TEST_P(TiffCompressionTest, RgbPageFallsBackToNoneForFax) {
    const CompressionCase& c = GetParam();
    const QImage page = makePage(PageKind::Rgb888, 33, 17);
    const QString path = makeTestFolder() + QStringLiteral("/page.tiff");
    ASSERT_TRUE(ImageUtilities::saveAsTiffWithName(page, path, c.index));
    const std::vector<TiffPageFacts> pages = readTiff(path);
    ASSERT_EQ(pages.size(), 1U);
    EXPECT_EQ(pages[0].compression, c.rgbCompression);
    EXPECT_EQ(pages[0].predictor, c.rgbCompression == COMPRESSION_LZW ? PREDICTOR_HORIZONTAL : 1);
    EXPECT_EQ(firstDifference(page, pages[0].pixels), "");
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, TiffCompressionTest,
    ::testing::Values(CompressionCase{"None", 0, COMPRESSION_NONE, COMPRESSION_NONE},
                      CompressionCase{"G3", 1, COMPRESSION_CCITTFAX3, COMPRESSION_NONE},
                      CompressionCase{"G4", 2, COMPRESSION_CCITTFAX4, COMPRESSION_NONE},
                      CompressionCase{"Lzw", 3, COMPRESSION_LZW, COMPRESSION_LZW},
                      CompressionCase{"PackBits", 4, COMPRESSION_PACKBITS, COMPRESSION_PACKBITS},
                      CompressionCase{"Five", 5, COMPRESSION_NONE, COMPRESSION_NONE},
                      CompressionCase{"Seven", 7, COMPRESSION_NONE, COMPRESSION_NONE},
                      CompressionCase{"Nine", 9, COMPRESSION_NONE, COMPRESSION_NONE},
                      CompressionCase{"MinusOne", -1, COMPRESSION_NONE, COMPRESSION_NONE}),
    ByName());

TEST(TiffWriterTest, FaxPageIsMinIsWhiteInOneStrip) {
    const QString path = makeTestFolder() + QStringLiteral("/page.tiff");
    ASSERT_TRUE(
        ImageUtilities::saveAsTiffWithName(makePage(PageKind::MonoZeroBlack, 40, 300), path, 2));
    const std::vector<TiffPageFacts> pages = readTiff(path);
    ASSERT_EQ(pages.size(), 1U);
    EXPECT_EQ(pages[0].photometric, PHOTOMETRIC_MINISWHITE);
    EXPECT_EQ(pages[0].strips, 1U);
}

TEST(TiffWriterTest, UncompressedStripsHoldAbout64KiB) {
    const QString path = makeTestFolder() + QStringLiteral("/page.tiff");
    // 3000 bytes a row: 21 rows make the largest strip within 64 KiB.
    ASSERT_TRUE(ImageUtilities::saveAsTiffWithName(makePage(PageKind::Rgb888, 1000, 100), path, 0));
    const std::vector<TiffPageFacts> pages = readTiff(path);
    ASSERT_EQ(pages.size(), 1U);
    EXPECT_EQ(pages[0].rowsPerStrip, 21U);
    EXPECT_EQ(pages[0].strips, 5U);
}

// Memory past a 1-bit row's last pixel is whatever QImage left there; the file
// must hold zeros, so the same page always gives the same bytes.
TEST(TiffWriterTest, BitsPastTheLastPixelOfABilevelRowAreZero) {
    for (const int width : {1, 7, 9, 13, 15}) {
        QImage page(width, 4, QImage::Format_Mono);
        page.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        page.fill(1); // every bit set, those past the last pixel too
        page.setPixel(0, 1, 0);
        const QString path =
            QDir(makeTestFolder(QStringLiteral("pad"))).filePath(QStringLiteral("p.tiff"));
        ASSERT_TRUE(ImageUtilities::saveAsTiffWithName(page, path, 0));
        TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
        ASSERT_NE(tiff, nullptr);
        std::vector<uint8_t> strip(static_cast<size_t>(TIFFStripSize(tiff)));
        ASSERT_GT(TIFFReadRawStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size())), 0);
        const size_t rowBytes = static_cast<size_t>(width + 7) / 8;
        const uint8_t unused = static_cast<uint8_t>(0xFFU >> (width % 8 == 0 ? 8 : width % 8));
        for (size_t y = 0; y < 4; ++y) {
            const uint8_t last = strip[y * rowBytes + rowBytes - 1];
            EXPECT_EQ(last & unused, 0) << "width " << width << " row " << y;
        }
        TIFFClose(tiff);
    }
}

TEST(TiffWriterTest, TwoColourGrayPageCountsAsBilevel) {
    QImage page(10, 3, QImage::Format_Grayscale8);
    page.fill(255);
    page.setPixel(4, 1, qRgb(0, 0, 0));
    const QString path = makeTestFolder() + QStringLiteral("/page.tiff");
    ASSERT_TRUE(ImageUtilities::saveAsTiffWithName(page, path, 2));
    const std::vector<TiffPageFacts> pages = readTiff(path);
    ASSERT_EQ(pages.size(), 1U);
    EXPECT_EQ(pages[0].compression, COMPRESSION_CCITTFAX4);
    EXPECT_EQ(firstDifference(page, pages[0].pixels), "");
}

struct TiffLayoutCase {
    std::string name;
    PageKind kind;
    uint16_t bitsPerSample;
    uint16_t samplesPerPixel;
    uint16_t photometric;
    bool unassociatedAlpha;
};

class TiffLayoutTest : public ::testing::TestWithParam<TiffLayoutCase> {};

TEST_P(TiffLayoutTest, KeepsTheSampleLayout) {
    const TiffLayoutCase& c = GetParam();
    const QString path = makeTestFolder() + QStringLiteral("/page.tiff");
    ASSERT_TRUE(ImageUtilities::saveAsTiffWithName(makePage(c.kind, 9, 4), path, 3));
    const std::vector<TiffPageFacts> pages = readTiff(path);
    ASSERT_EQ(pages.size(), 1U);
    EXPECT_EQ(pages[0].bitsPerSample, c.bitsPerSample);
    EXPECT_EQ(pages[0].samplesPerPixel, c.samplesPerPixel);
    EXPECT_EQ(pages[0].photometric, c.photometric);
    const std::vector<uint16_t> extra = c.unassociatedAlpha
                                            ? std::vector<uint16_t>{EXTRASAMPLE_UNASSALPHA}
                                            : std::vector<uint16_t>{};
    EXPECT_EQ(pages[0].extraSamples, extra);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TiffLayoutTest,
    ::testing::Values(
        TiffLayoutCase{"MonoZeroBlack", PageKind::MonoZeroBlack, 1, 1, PHOTOMETRIC_MINISBLACK,
                       false},
        TiffLayoutCase{"MonoZeroWhite", PageKind::MonoZeroWhite, 1, 1, PHOTOMETRIC_MINISWHITE,
                       false},
        TiffLayoutCase{"MonoColoured", PageKind::MonoColoured, 1, 1, PHOTOMETRIC_PALETTE, false},
        TiffLayoutCase{"Gray8", PageKind::Gray8, 8, 1, PHOTOMETRIC_MINISBLACK, false},
        TiffLayoutCase{"Gray16", PageKind::Gray16, 16, 1, PHOTOMETRIC_MINISBLACK, false},
        TiffLayoutCase{"Indexed8", PageKind::Indexed8, 8, 1, PHOTOMETRIC_PALETTE, false},
        TiffLayoutCase{"Indexed8Alpha", PageKind::Indexed8Alpha, 8, 4, PHOTOMETRIC_RGB, true},
        TiffLayoutCase{"Rgb888", PageKind::Rgb888, 8, 3, PHOTOMETRIC_RGB, false},
        TiffLayoutCase{"Rgbx64", PageKind::Rgbx64, 16, 3, PHOTOMETRIC_RGB, false},
        TiffLayoutCase{"Rgba8888", PageKind::Rgba8888, 8, 4, PHOTOMETRIC_RGB, true},
        TiffLayoutCase{"Rgba64", PageKind::Rgba64, 16, 4, PHOTOMETRIC_RGB, true}),
    ByName());

TEST(TiffPageEncoderTest, PagesOfDifferentKindsComeBackInOrder) {
    const QString folder = makeTestFolder();
    const QString path = folder + QStringLiteral("/pages.tiff");
    const std::vector<QImage> pages = {makePage(PageKind::MonoZeroWhite, 7, 5),
                                       makePage(PageKind::Rgba64, 33, 17),
                                       makePage(PageKind::Gray8, 1, 1)};
    const std::vector<int> compressions = {2, 3, 4};
    const std::vector<uint16_t> tags = {COMPRESSION_CCITTFAX4, COMPRESSION_LZW,
                                        COMPRESSION_PACKBITS};
    {
        TiffPageEncoder encoder(path);
        for (size_t i = 0; i < pages.size(); ++i) {
            ASSERT_TRUE(encoder.appendPage(pages[i], compressions[i]).ok());
        }
        EXPECT_EQ(encoder.pageCount(), 3);
        EXPECT_FALSE(QFile::exists(path)); // not before finish
        ASSERT_TRUE(encoder.finish().ok());
    }
    const std::vector<TiffPageFacts> read = readTiff(path);
    ASSERT_EQ(read.size(), pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(read[i].compression, tags[i]) << i;
        EXPECT_EQ(firstDifference(pages[i], read[i].pixels), "") << i;
    }
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("pages.tiff")});
}

TEST(TiffPageEncoderTest, DestroyedWithoutFinishLeavesNothing) {
    const QString folder = makeTestFolder();
    {
        TiffPageEncoder encoder(folder + QStringLiteral("/pages.tiff"));
        ASSERT_TRUE(encoder.appendPage(makePage(PageKind::Rgb888, 7, 5), 0).ok());
    }
    EXPECT_TRUE(filesIn(folder).isEmpty());
}

TEST(TiffPageEncoderTest, FailedPageSpendsTheEncoderAndLeavesNothing) {
    const QString folder = makeTestFolder();
    TiffPageEncoder encoder(folder + QStringLiteral("/pages.tiff"));
    ASSERT_TRUE(encoder.appendPage(makePage(PageKind::Rgb888, 7, 5), 0).ok());
    EXPECT_FALSE(encoder.appendPage(QImage(), 0).ok());
    EXPECT_FALSE(encoder.appendPage(makePage(PageKind::Rgb888, 7, 5), 0).ok());
    EXPECT_FALSE(encoder.finish().ok());
    EXPECT_TRUE(filesIn(folder).isEmpty());
}

TEST(TiffPageEncoderTest, FinishWithoutPagesFails) {
    const QString folder = makeTestFolder();
    TiffPageEncoder encoder(folder + QStringLiteral("/pages.tiff"));
    EXPECT_FALSE(encoder.finish().ok());
    EXPECT_TRUE(filesIn(folder).isEmpty());
}

TEST(TiffPageEncoderTest, BigTiffContainerIsReadable) {
    const QString path = makeTestFolder() + QStringLiteral("/pages.tiff");
    TiffPageEncoder encoder(path, TiffPageEncoder::Container::BigTiff);
    ASSERT_TRUE(encoder.appendPage(makePage(PageKind::Gray16, 7, 5), 3).ok());
    ASSERT_TRUE(encoder.appendPage(makePage(PageKind::Rgb888, 5, 7), 0).ok());
    ASSERT_TRUE(encoder.finish().ok());
    EXPECT_EQ(readFileBytes(path).at(2), 43); // BigTIFF version
    EXPECT_EQ(readTiff(path).size(), 2U);
}

TEST(TiffWriterTest, PageWriterInterfaceTakesCompressionFromOptions) {
    const QString path = makeTestFolder() + QStringLiteral("/page.tiff");
    const TiffWriter writer;
    const PageWriter& asInterface = writer;
    ASSERT_TRUE(
        asInterface.encode(makePage(PageKind::Gray16, 7, 5), path, WriteOptions{10, 3}).ok());
    const std::vector<TiffPageFacts> pages = readTiff(path);
    ASSERT_EQ(pages.size(), 1U);
    EXPECT_EQ(pages[0].compression, COMPRESSION_LZW);
    EXPECT_EQ(firstDifference(makePage(PageKind::Gray16, 7, 5), pages[0].pixels), "");
}

} // namespace
