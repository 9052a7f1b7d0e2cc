// A page's strips decoded on several threads, each through a handle of its
// own, against the same page decoded in order on one: the pixels, and on
// damaged data the error and the warnings, must be the same.
#include "PageSourceTestSupport.h"
#include "engine/PageSource.h"
#include "engine/TiffBandReader.h"
#include "engine/TiffHandle.h"
#include "engine/TiffPageLayout.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

const DecodeThreads kInOrder{.threads = 1};
const DecodeThreads kThreeThreads{.threads = 3, .minBytesPerThread = 1};

TestTiffPage withStrips(TestTiffPage p, uint32_t rowsPerStrip, uint16_t compression,
                        uint16_t predictor = 0) {
    p.rowsPerStrip = rowsPerStrip;
    p.compression = compression;
    p.predictor = predictor;
    return p;
}

TestTiffPage planar(TestTiffPage p) {
    p.planar = PLANARCONFIG_SEPARATE;
    return p;
}

TestTiffPage jpegYCbCr(uint32_t w, uint32_t h) {
    TestTiffPage p = withStrips(rgbPage(w, h), 16, COMPRESSION_JPEG);
    p.photometric = PHOTOMETRIC_YCBCR;
    p.sample = [](uint32_t x, uint32_t y, uint16_t s) { return 20U + x + y * 2U + s * 30U; };
    return p;
}

TestTiffPage floatGray(uint32_t w, uint32_t h) {
    TestTiffPage p =
        withStrips(grayPage(w, h, 32), 5, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_FLOATINGPOINT);
    p.sampleFormat = SAMPLEFORMAT_IEEEFP;
    p.bitsOf = [](uint32_t x, uint32_t y, uint16_t) {
        const float v = float((x * 7 + y * 3) % 100) / 100.0F;
        uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        return uint64_t(bits);
    };
    return p;
}

struct LayoutCase {
    const char* name;
    TestTiffPage page;
    bool exact = true; // false: lossy data, compared between the two decodes only
};

const LayoutCase kLayouts[] = {
    {"RgbRowsStraightIn", withStrips(rgbPage(64, 50), 3, COMPRESSION_LZW, PREDICTOR_HORIZONTAL)},
    {"RgbOneRowPerStrip", withStrips(rgbPage(13, 40), 1, COMPRESSION_ADOBE_DEFLATE)},
    {"RgbLastStripShort", withStrips(rgbPage(31, 41), 4, COMPRESSION_PACKBITS)},
    {"Rgb16Predictor2", withStrips(rgbPage(21, 37, 16), 2, COMPRESSION_LZW, PREDICTOR_HORIZONTAL)},
    {"RgbPlanarSeparate", planar(withStrips(rgbPage(19, 33), 5, COMPRESSION_ADOBE_DEFLATE))},
    {"Rgb16PlanarSeparate",
     planar(withStrips(rgbPage(17, 29, 16), 3, COMPRESSION_LZW, PREDICTOR_HORIZONTAL))},
    {"Gray16", withStrips(grayPage(40, 30, 16), 2, COMPRESSION_ZSTD)},
    {"Gray4", withStrips(grayPage(23, 30, 4), 3, COMPRESSION_LZW)},
    {"FloatPredictor3", floatGray(26, 31)},
    {"BilevelGroup4", withStrips(bilevelPage(70, 45, true), 4, COMPRESSION_CCITTFAX4)},
    {"BilevelRowsStraightIn", withStrips(bilevelPage(64, 45, false), 6, COMPRESSION_PACKBITS)},
    {"Palette", withStrips(palettePage(30, 30), 4, COMPRESSION_LZW)},
    {"RgbAlpha", withStrips(rgbaPage(25, 30, false), 3, COMPRESSION_LZW)},
    {"JpegYCbCr", jpegYCbCr(48, 80), false},
};

Result<QImage> decodeWith(const QString& path, const DecodeThreads& threads) {
    Result<std::unique_ptr<PageSource>> source = PageSource::open(path);
    if (!source) {
        return Result<QImage>::failure(source.error());
    }
    (*source)->setDecodeThreads(threads);
    return (*source)->readPage(0);
}

QString writePage(const TestTiffPage& page) {
    const QString path = makeTestFolder() + QStringLiteral("/page.tif");
    QString error;
    EXPECT_TRUE(writeTestTiff(path, {page}, &error)) << error.toStdString();
    return path;
}

class ParallelDecodeTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ParallelDecodeTest, PixelsEqualThoseDecodedInOrder) {
    const LayoutCase& c = GetParam();
    const QString path = writePage(c.page);
    const Result<QImage> inOrder = decodeWith(path, kInOrder);
    const Result<QImage> parallel = decodeWith(path, kThreeThreads);
    ASSERT_TRUE(inOrder) << inOrder.error().toStdString();
    ASSERT_TRUE(parallel) << parallel.error().toStdString();
    EXPECT_EQ(parallel->format(), inOrder->format());
    EXPECT_TRUE(*parallel == *inOrder);
    if (c.exact && !c.page.bitsOf) {
        EXPECT_EQ(compareWithPage(*parallel, c.page), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ParallelDecodeTest, ::testing::ValuesIn(kLayouts), ByName());

// The helpers' handles open the path again: a file put in its place since
// the source was opened must not be read as the source.
TEST(ParallelReopenTest, AFileReplacedSinceItWasOpenedIsNotRead) {
    // Uncompressed, so that the other file's directory is where this one's is.
    const TestTiffPage page = withStrips(rgbPage(64, 50), 3, COMPRESSION_NONE);
    TestTiffPage other = page;
    other.sample = [](uint32_t x, uint32_t y, uint16_t s) { return 255U - ((x + y + s) % 200U); };
    const QString path = writePage(page);
    const QString otherPath = makeTestFolder() + QStringLiteral("/other.tif");
    ASSERT_TRUE(writeTestTiff(otherPath, {other}));
    Result<std::unique_ptr<PageSource>> source = PageSource::open(path);
    ASSERT_TRUE(source) << source.error().toStdString();
    ASSERT_EQ(
        std::rename(QFile::encodeName(otherPath).constData(), QFile::encodeName(path).constData()),
        0);
    (*source)->setDecodeThreads(kThreeThreads);
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_TRUE(image) << image.error().toStdString();
    EXPECT_EQ(compareWithPage(*image, page), "");
}

// Where each strip of the first page starts and how long it is.
std::vector<std::pair<uint64_t, uint64_t>> stripsOf(const QString& path) {
    std::vector<std::pair<uint64_t, uint64_t>> strips;
    Result<TiffHandle> tiff = TiffHandle::openFile(path, "r");
    if (!tiff) {
        return strips;
    }
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    TIFF* tif = tiff->get();
    if (TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) == 1 &&
        TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) == 1) {
        for (tstrip_t s = 0; s < TIFFNumberOfStrips(tif); ++s) {
            strips.emplace_back(offsets[s], counts[s]);
        }
    }
    return strips;
}

struct DamageCase {
    const char* name;
    TestTiffPage page;
    std::vector<int> damagedStrips;
    bool fails = true; // false: whatever libtiff makes of it, as long as both agree
};

const DamageCase kDamage[] = {
    {"LzwStripInTheMiddle", withStrips(rgbPage(40, 60), 2, COMPRESSION_LZW), {15}},
    {"DeflateTwoStrips", withStrips(rgbPage(40, 60), 2, COMPRESSION_ADOBE_DEFLATE), {21, 9}},
    {"Group4Strip", withStrips(bilevelPage(90, 60, true), 4, COMPRESSION_CCITTFAX4), {7}},
    {"PlanarSecondPlane", planar(withStrips(rgbPage(40, 60), 3, COMPRESSION_LZW)), {25}},
    {"JpegStrip", jpegYCbCr(48, 96), {3}, false},
};

class ParallelDamageTest : public ::testing::TestWithParam<DamageCase> {};

// Bytes no coding accepts in the middle of each damaged strip.
TEST_P(ParallelDamageTest, GivesTheOutcomeOfTheDecodeInOrder) {
    const DamageCase& c = GetParam();
    const QString path = writePage(c.page);
    const auto strips = stripsOf(path);
    QByteArray bytes = readFileBytes(path);
    for (const int s : c.damagedStrips) {
        ASSERT_LT(size_t(s), strips.size());
        const auto [offset, count] = strips[size_t(s)];
        for (uint64_t i = count / 4; i < count; ++i) {
            bytes[qsizetype(offset + i)] = (i % 2 == 0) ? '\x00' : '\xFF';
        }
    }
    ASSERT_TRUE(writeFileBytes(path, bytes));
    const Result<QImage> inOrder = decodeWith(path, kInOrder);
    const Result<QImage> parallel = decodeWith(path, kThreeThreads);
    ASSERT_EQ(bool(parallel), bool(inOrder));
    if (c.fails) {
        ASSERT_FALSE(inOrder);
    }
    if (!inOrder) {
        EXPECT_EQ(parallel.error().toStdString(), inOrder.error().toStdString());
    } else {
        EXPECT_TRUE(*parallel == *inOrder);
    }
}

INSTANTIATE_TEST_SUITE_P(Damage, ParallelDamageTest, ::testing::ValuesIn(kDamage), ByName());

// The handle the caller gives decodes the strips itself only on the path in
// order; libtiff then remembers the last strip it read.
struct PathCase {
    const char* name;
    DecodeThreads threads;
    bool bands;    // through readBands() rather than straight into the rows
    bool inMemory; // the source's bytes rather than its file
    bool inOrder;
};

const PathCase kPaths[] = {
    {"OneThreadRowsStraightIn", {.threads = 1, .minBytesPerThread = 1}, false, false, true},
    {"OneThreadBands", {.threads = 1, .minBytesPerThread = 1}, true, false, true},
    {"PageTooSmallToPay", {.threads = 3}, false, false, true},
    {"ThreeThreadsRowsStraightIn", kThreeThreads, false, false, false},
    {"ThreeThreadsBands", kThreeThreads, true, false, false},
    {"ThreeThreadsOverMemory", kThreeThreads, false, true, false},
};

class ParallelPathTest : public ::testing::TestWithParam<PathCase> {};

Status readPage(const PathCase& c, TiffHandle& tiff, const TiffPageLayout& layout,
                const TiffOpener& open, QImage& image) {
    const StripThreads threads{c.threads.threads, c.threads.minBytesPerThread, open};
    uchar* bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    if (!c.bands) {
        return readStripsInto(tiff, layout, bits, image.sizeInBytes(), threads);
    }
    const auto copy = [&](const TiffBand& band) {
        for (uint32_t r = 0; r < band.rowCount; ++r) {
            std::memcpy(bits + (band.firstRow + r) * bytesPerLine, band.row(0, r),
                        size_t(band.planeRowBytes));
        }
    };
    return readBands(tiff, layout, DecodeLimits{}, copy, threads);
}

TEST_P(ParallelPathTest, OnlyTheDecodeInOrderReadsOnTheCallersHandle) {
    const PathCase& c = GetParam();
    const TestTiffPage page = withStrips(rgbPage(32, 40), 4, COMPRESSION_LZW);
    const QString path = writePage(page);
    const QByteArray bytes = readFileBytes(path);
    const TiffOpener open = [&] {
        return c.inMemory ? TiffHandle::openData(bytes) : TiffHandle::openFile(path, "rm");
    };
    Result<TiffHandle> tiff = open();
    ASSERT_TRUE(tiff);
    const Result<TiffPageLayout> layout = readPageLayout(tiff->get(), 1);
    ASSERT_TRUE(layout);
    QImage image(32, 40, QImage::Format_RGB888);
    const Status read = readPage(c, *tiff, *layout, open, image);
    ASSERT_TRUE(read) << read.error().toStdString();
    EXPECT_EQ(compareWithPage(image, page), "");
    const tstrip_t lastStrip = TIFFNumberOfStrips(tiff->get()) - 1;
    EXPECT_EQ(TIFFCurrentStrip(tiff->get()) == lastStrip, c.inOrder);
}

INSTANTIATE_TEST_SUITE_P(Paths, ParallelPathTest, ::testing::ValuesIn(kPaths), ByName());

} // namespace
