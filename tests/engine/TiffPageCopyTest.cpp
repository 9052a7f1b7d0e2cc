#include "WriterReadBack.h"
#include "engine/PageSource.h"
#include "engine/TiffWriter.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QColorSpace>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <tiffio.h>

namespace {

// Indices into tiffCompressions().
constexpr int kNone = 0;
constexpr int kG3 = 1;
constexpr int kG4 = 2;
constexpr int kLzw = 3;
constexpr int kPackBits = 4;

struct CopyCase {
    std::string name;
    TestTiffPage source;
    int compressionIndex;
    bool copied;
};

TestTiffPage withResolutionAndProfile(TestTiffPage page) {
    page.xResolution = 300;
    page.yResolution = 150;
    page.iccProfile = QColorSpace(QColorSpace::SRgb).iccProfile();
    return page;
}

TestTiffPage compressed(TestTiffPage page, uint16_t compression, uint16_t predictor = 0) {
    page.compression = compression;
    page.predictor = predictor;
    return page;
}

TestTiffPage oriented(TestTiffPage page, uint16_t orientation) {
    page.orientation = orientation;
    return page;
}

TestTiffPage tiled(TestTiffPage page) {
    page.tiled = true;
    return page;
}

TestTiffPage inStripsOf(TestTiffPage page, uint32_t rows) {
    page.rowsPerStrip = rows;
    return page;
}

TestTiffPage grayMinIsWhite(uint32_t width, uint32_t height) {
    TestTiffPage page = grayPage(width, height);
    page.photometric = PHOTOMETRIC_MINISWHITE;
    return page;
}

std::vector<CopyCase> copyCases() {
    return {
        {"G4BilevelToG4", bilevelPage(37, 23, true, COMPRESSION_CCITTFAX4), kG4, true},
        {"G4BilevelWithResolutionToG4",
         withResolutionAndProfile(bilevelPage(37, 23, true, COMPRESSION_CCITTFAX4)), kG4, true},
        {"LzwGrayToLzw", inStripsOf(compressed(grayPage(29, 31), COMPRESSION_LZW), 4), kLzw, true},
        {"LzwGrayWithProfileToLzw",
         withResolutionAndProfile(compressed(grayPage(29, 31), COMPRESSION_LZW)), kLzw, true},
        {"LzwRgbPredictorToLzw",
         withResolutionAndProfile(
             compressed(rgbPage(33, 17), COMPRESSION_LZW, PREDICTOR_HORIZONTAL)),
         kLzw, true},
        {"LzwRgb16PredictorToLzw",
         compressed(rgbPage(33, 17, 16), COMPRESSION_LZW, PREDICTOR_HORIZONTAL), kLzw, true},
        {"LzwBilevelToLzw", bilevelPage(37, 23, false, COMPRESSION_LZW), kLzw, true},
        {"NoneGray16ToNone", inStripsOf(grayPage(9, 40, 16), 7), kNone, true},
        {"NoneRgbToNone", rgbPage(9, 4), kNone, true},
        {"PackBitsBilevelToPackBits", bilevelPage(37, 23, true, COMPRESSION_PACKBITS), kPackBits,
         true},
        {"PackBitsGrayToPackBits", compressed(grayPage(20, 9), COMPRESSION_PACKBITS), kPackBits,
         true},
        // Refusals: the writer would store something else.
        {"G4MinIsBlackToG4", bilevelPage(37, 23, false, COMPRESSION_CCITTFAX4), kG4, false},
        {"G3BilevelToG3", bilevelPage(37, 23, true, COMPRESSION_CCITTFAX3), kG3, false},
        {"G4BilevelToLzw", bilevelPage(37, 23, true, COMPRESSION_CCITTFAX4), kLzw, false},
        {"LzwGrayToNone", compressed(grayPage(29, 31), COMPRESSION_LZW), kNone, false},
        {"NoneGrayToG4", grayPage(9, 4), kG4, false},
        {"JpegRgbToNone", compressed(rgbPage(32, 16), COMPRESSION_JPEG), kNone, false},
        {"JpegRgbToLzw", compressed(rgbPage(32, 16), COMPRESSION_JPEG), kLzw, false},
        {"OrientedGray", oriented(compressed(grayPage(29, 31), COMPRESSION_LZW), 3), kLzw, false},
        {"TransposedBilevel",
         oriented(bilevelPage(37, 23, true, COMPRESSION_CCITTFAX4), ORIENTATION_LEFTTOP), kG4,
         false},
        {"TiledGray", tiled(compressed(grayPage(40, 33), COMPRESSION_LZW)), kLzw, false},
        {"GrayMinIsWhite", compressed(grayMinIsWhite(9, 4), COMPRESSION_LZW), kLzw, false},
        {"Gray4Bit", compressed(grayPage(9, 4, 4), COMPRESSION_LZW), kLzw, false},
        {"Palette", compressed(palettePage(9, 4), COMPRESSION_LZW), kLzw, false},
        {"RgbaUnassociated", compressed(rgbaPage(9, 4, false), COMPRESSION_LZW), kLzw, false},
        {"Cmyk", compressed(cmykPage(9, 4), COMPRESSION_LZW), kLzw, false},
    };
}

Result<std::unique_ptr<PageSource>> openSource(const QString& folder, const TestTiffPage& page) {
    const QString path = folder + QStringLiteral("/source.tif");
    QString error;
    if (!writeTestTiff(path, {page}, &error)) {
        return Result<std::unique_ptr<PageSource>>::failure(error);
    }
    return PageSource::open(path);
}

// What the decode and encode path writes for the same page.
QString writeDecoded(PageSource& source, const QString& path, int compressionIndex) {
    const Result<QImage> page = source.readPage(0);
    if (!page) {
        return page.error();
    }
    TiffPageEncoder encoder(path);
    if (Status s = encoder.appendPage(page.value(), compressionIndex); !s) {
        return s.error();
    }
    const Status finished = encoder.finish();
    return finished ? QString() : finished.error();
}

QImage decodedFirstPage(const QString& path) {
    Result<std::unique_ptr<PageSource>> source = PageSource::open(path);
    if (!source) {
        return {};
    }
    const Result<QImage> page = source.value()->readPage(0);
    return page ? page.value() : QImage();
}

void expectSameTags(const TiffPageFacts& copied, const TiffPageFacts& written) {
    EXPECT_EQ(copied.width, written.width);
    EXPECT_EQ(copied.height, written.height);
    EXPECT_EQ(copied.bitsPerSample, written.bitsPerSample);
    EXPECT_EQ(copied.samplesPerPixel, written.samplesPerPixel);
    EXPECT_EQ(copied.photometric, written.photometric);
    EXPECT_EQ(copied.compression, written.compression);
    EXPECT_EQ(copied.extraSamples, written.extraSamples);
    EXPECT_EQ(copied.hasResolution, written.hasResolution);
    EXPECT_FLOAT_EQ(copied.xResolution, written.xResolution);
    EXPECT_FLOAT_EQ(copied.yResolution, written.yResolution);
    EXPECT_EQ(copied.resolutionUnit, written.resolutionUnit);
    EXPECT_EQ(copied.icc, written.icc);
}

class TiffPageCopyTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(TiffPageCopyTest, CopiesOnlyWhatDecodingWouldWriteTheSame) {
    const CopyCase& c = GetParam();
    const QString folder = makeTestFolder();
    Result<std::unique_ptr<PageSource>> source = openSource(folder, c.source);
    ASSERT_TRUE(source) << source.error().toStdString();
    const QString copyPath = folder + QStringLiteral("/copied.tiff");

    const Result<bool> copied =
        copyTiffPageToFile(*source.value(), 0, copyPath, c.compressionIndex);
    ASSERT_TRUE(copied) << copied.error().toStdString();
    EXPECT_EQ(copied.value(), c.copied);
    EXPECT_EQ(QFile::exists(copyPath), c.copied);
    if (!c.copied) {
        EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("source.tif")});
        return;
    }
    const QString writtenPath = folder + QStringLiteral("/written.tiff");
    ASSERT_EQ(writeDecoded(*source.value(), writtenPath, c.compressionIndex), QString());
    const QImage fromCopy = decodedFirstPage(copyPath);
    ASSERT_FALSE(fromCopy.isNull());
    EXPECT_EQ(fromCopy.format(), decodedFirstPage(writtenPath).format());
    EXPECT_EQ(firstDifference(decodedFirstPage(writtenPath), fromCopy), "");
    const std::vector<TiffPageFacts> copiedFacts = readTiff(copyPath);
    const std::vector<TiffPageFacts> writtenFacts = readTiff(writtenPath);
    ASSERT_EQ(copiedFacts.size(), 1U);
    ASSERT_EQ(writtenFacts.size(), 1U);
    expectSameTags(copiedFacts[0], writtenFacts[0]);
}

INSTANTIATE_TEST_SUITE_P(Layouts, TiffPageCopyTest, ::testing::ValuesIn(copyCases()), ByName());

TEST(TiffPageCopyTest, RefusalLeavesTheEncoderUsable) {
    const QString folder = makeTestFolder();
    const QString sourcePath = folder + QStringLiteral("/source.tif");
    ASSERT_TRUE(writeTestTiff(sourcePath, {bilevelPage(37, 23, true, COMPRESSION_CCITTFAX4),
                                           compressed(rgbPage(32, 16), COMPRESSION_JPEG),
                                           bilevelPage(19, 5, true, COMPRESSION_CCITTFAX4)}));
    Result<std::unique_ptr<PageSource>> source = PageSource::open(sourcePath);
    ASSERT_TRUE(source);
    const QString path = folder + QStringLiteral("/pages.tiff");
    TiffPageEncoder encoder(path);
    for (int index = 0; index < 3; ++index) {
        const Result<bool> copied = encoder.appendCopiedPage(*source.value(), index, kG4);
        ASSERT_TRUE(copied);
        EXPECT_EQ(copied.value(), index != 1) << index;
        if (!copied.value()) {
            const Result<QImage> page = source.value()->readPage(index);
            ASSERT_TRUE(page);
            ASSERT_TRUE(encoder.appendPage(page.value(), kG4).ok());
        }
    }
    EXPECT_EQ(encoder.pageCount(), 3);
    ASSERT_TRUE(encoder.finish().ok());
    const std::vector<TiffPageFacts> pages = readTiff(path);
    ASSERT_EQ(pages.size(), 3U);
    EXPECT_EQ(pages[0].compression, COMPRESSION_CCITTFAX4);
    EXPECT_EQ(pages[1].compression, COMPRESSION_NONE); // a colour page cannot be fax
    EXPECT_EQ(pages[2].width, 19U);
    EXPECT_EQ(filesIn(folder),
              (QStringList{QStringLiteral("pages.tiff"), QStringLiteral("source.tif")}));
}

TEST(TiffPageCopyTest, FirstRefusalCreatesNoFile) {
    const QString folder = makeTestFolder();
    Result<std::unique_ptr<PageSource>> source =
        openSource(folder, compressed(rgbPage(32, 16), COMPRESSION_JPEG));
    ASSERT_TRUE(source);
    TiffPageEncoder encoder(folder + QStringLiteral("/pages.tiff"));
    const Result<bool> copied = encoder.appendCopiedPage(*source.value(), 0, kNone);
    ASSERT_TRUE(copied);
    EXPECT_FALSE(copied.value());
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("source.tif")});
}

TEST(TiffPageCopyTest, SourcesWithoutTiffDataAreNeverCopied) {
    const QString folder = makeTestFolder();
    const QString pngPath = folder + QStringLiteral("/page.png");
    QImage page(8, 8, QImage::Format_Grayscale8);
    page.fill(7);
    ASSERT_TRUE(page.save(pngPath));
    Result<std::unique_ptr<PageSource>> source = PageSource::open(pngPath);
    ASSERT_TRUE(source);
    const Result<bool> copied =
        copyTiffPageToFile(*source.value(), 0, folder + QStringLiteral("/page.tiff"), kNone);
    ASSERT_TRUE(copied);
    EXPECT_FALSE(copied.value());
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("page.png")});
}

TEST(TiffPageCopyTest, TruncatedStripIsNotCopied) {
    const QString folder = makeTestFolder();
    const QString sourcePath = folder + QStringLiteral("/source.tif");
    // The strip data precedes the directory, so cutting into it needs the
    // byte count to promise more than the file holds.
    ASSERT_TRUE(writeTestTiff(sourcePath, {compressed(grayPage(64, 64), COMPRESSION_LZW)}));
    QByteArray bytes = readFileBytes(sourcePath);
    ASSERT_TRUE(patchFirstDirectoryValue(bytes, TIFFTAG_STRIPBYTECOUNTS,
                                         [&](uint32_t) { return uint32_t(bytes.size()) * 2; }));
    ASSERT_TRUE(writeFileBytes(sourcePath, bytes));
    Result<std::unique_ptr<PageSource>> source = PageSource::open(sourcePath);
    ASSERT_TRUE(source);
    const Result<bool> copied =
        copyTiffPageToFile(*source.value(), 0, folder + QStringLiteral("/page.tiff"), kLzw);
    ASSERT_TRUE(copied);
    EXPECT_FALSE(copied.value());
}

TEST(TiffPageCopyTest, PageBeyondTheSourceLimitsIsNotCopied) {
    const QString folder = makeTestFolder();
    const QString sourcePath = folder + QStringLiteral("/source.tif");
    ASSERT_TRUE(writeTestTiff(sourcePath, {bilevelPage(64, 64, true, COMPRESSION_CCITTFAX4)}));
    DecodeLimits limits;
    limits.maxPixels = 64 * 63;
    Result<std::unique_ptr<PageSource>> source = PageSource::open(sourcePath, limits);
    ASSERT_TRUE(source);
    const Result<bool> copied =
        copyTiffPageToFile(*source.value(), 0, folder + QStringLiteral("/page.tiff"), kG4);
    ASSERT_TRUE(copied);
    EXPECT_FALSE(copied.value());
}

TEST(TiffPageCopyTest, SpentEncoderFails) {
    const QString folder = makeTestFolder();
    Result<std::unique_ptr<PageSource>> source =
        openSource(folder, bilevelPage(37, 23, true, COMPRESSION_CCITTFAX4));
    ASSERT_TRUE(source);
    TiffPageEncoder encoder(folder + QStringLiteral("/pages.tiff"));
    EXPECT_FALSE(encoder.appendPage(QImage(), kG4).ok());
    EXPECT_FALSE(encoder.appendCopiedPage(*source.value(), 0, kG4).ok());
}

} // namespace
