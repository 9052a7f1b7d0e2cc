#include "PdfStructure.h"
#include "PdfTestSupport.h"
#include "PdfTools.h"
#include "WriterReadBack.h"
#include "engine/OutputCompleteness.h"
#include "engine/OutputFormats.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

TestTiffPage jpegCompressed(TestTiffPage page) {
    page.compression = COMPRESSION_JPEG;
    page.jpegQuality = 95;
    page.rowsPerStrip = 8;
    return page;
}

// A smooth page, on which JPEG loses little.
TestTiffPage smoothCmyk() {
    TestTiffPage page = cmykPage(48, 32);
    page.sample = [](uint32_t x, uint32_t y, uint16_t s) {
        return (x * 3U + y * 2U + s * 40U) % 200U;
    };
    return page;
}

TEST(PdfCmykTest, InksGoOutAsTheyAreStoredAndJpegInksShowTheSame) {
    const GatheredPdf plain = gatherTestPages({smoothCmyk()});
    const GatheredPdf jpeg = gatherTestPages({jpegCompressed(smoothCmyk())});
    ASSERT_TRUE(plain.ending.fileWritten && jpeg.ending.fileWritten);
    EXPECT_EQ(qpdfCheckProblems(plain.pdfPath), "");
    EXPECT_EQ(qpdfCheckProblems(jpeg.pdfPath), "");

    const std::vector<PdfImageFacts> facts = pdfImageFacts(plain.pdfPath);
    ASSERT_EQ(facts.size(), 1U);
    EXPECT_EQ(facts[0].colourSpace, "/DeviceCMYK");
    const TestTiffPage page = smoothCmyk();
    QByteArray stored;
    for (uint32_t y = 0; y < page.height; ++y) {
        for (uint32_t x = 0; x < page.width; ++x) {
            for (uint16_t s = 0; s < 4; ++s) {
                stored.append(static_cast<char>(page.sample(x, y, s)));
            }
        }
    }
    EXPECT_EQ(facts[0].samples, stored);

    // Its four strips join into one image.
    const std::vector<ListedImage> listed = listImages(jpeg.pdfPath);
    ASSERT_EQ(listed.size(), 1U);
    for (const ListedImage& image : listed) {
        EXPECT_EQ(image.encoding, QStringLiteral("jpeg"));
        EXPECT_EQ(image.colour, QStringLiteral("cmyk"));
    }
    EXPECT_GE(psnr(renderPage(plain.pdfPath, 1, 72, 72), renderPage(jpeg.pdfPath, 1, 72, 72)),
              40.0);
}

} // namespace

namespace {

TestTiffPage atResolution(TestTiffPage page, float x, float y) {
    page.xResolution = x;
    page.yResolution = y;
    return page;
}

TEST(PdfDocumentTest, PagesInSourceOrderAtTheirOwnSizesWithTheDocumentsInformation) {
    TestTiffPage metric = atResolution(grayPage(50, 40), 40, 20);
    metric.resolutionUnit = RESUNIT_CENTIMETER;
    const std::vector<TestTiffPage> pages = {
        atResolution(bilevelPage(300, 200, true, COMPRESSION_CCITTFAX4), 300, 300),
        rgbPage(30, 20), // no resolution: 72 dpi
        atResolution(jpegCompressed(rgbPage(64, 48)), 200, 100),
        metric,
    };
    const GatheredPdf pdf = gatherTestPages(pages);
    ASSERT_TRUE(pdf.ending.fileWritten) << pdf.ending.error.toStdString();
    EXPECT_EQ(qpdfCheckProblems(pdf.pdfPath), "");
    const std::vector<PageSizePoints> sizes = pageSizes(pdf.pdfPath);
    const std::vector<PageSizePoints> expected = {
        {300.0 / 300 * 72, 200.0 / 300 * 72},
        {30, 20},
        {64.0 / 200 * 72, 48.0 / 100 * 72},
        {50 / (40 * 2.54) * 72, 40 / (20 * 2.54) * 72},
    };
    ASSERT_EQ(sizes.size(), expected.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_NEAR(sizes[i].width, expected[i].width, 0.01) << "page " << i + 1;
        EXPECT_NEAR(sizes[i].height, expected[i].height, 0.01) << "page " << i + 1;
    }
    std::vector<int> pagesOfImages;
    for (const ListedImage& image : listImages(pdf.pdfPath)) {
        pagesOfImages.push_back(image.page);
    }
    EXPECT_EQ(pagesOfImages, (std::vector<int>{1, 2, 3, 4})); // page 3's strips joined
    const PdfDocumentFacts facts = pdfDocumentFacts(pdf.pdfPath);
    EXPECT_EQ(facts.pages, 4);
    EXPECT_EQ(facts.title, QStringLiteral("source.tif"));
    EXPECT_TRUE(facts.producer.startsWith(QStringLiteral("Pictavo ")))
        << facts.producer.toStdString();
    EXPECT_TRUE(facts.creationDate.startsWith(QStringLiteral("D:20")))
        << facts.creationDate.toStdString();
}

struct ProfileCase {
    std::string name;
    TestTiffPage page;
    bool kept; // a profile for another colour model is left out
};

std::vector<ProfileCase> profileCases() {
    TestTiffPage palette = palettePage(20, 10);
    TestTiffPage gray = grayPage(20, 10);
    return {{"Rgb", rgbPage(20, 10), true},
            {"RgbJpeg", jpegCompressed(rgbPage(32, 16)), true},
            {"RgbAlpha", rgbaPage(20, 10, false), true},
            {"Palette", palette, true},
            {"GrayGivenRgbProfile", gray, false}};
}

class PdfProfileTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(PdfProfileTest, ProfileBecomesAnIccBasedSpace) {
    ProfileCase c = GetParam();
    const QByteArray profile = QColorSpace(QColorSpace::SRgb).iccProfile();
    c.page.iccProfile = profile;
    const GatheredPdf pdf = gatherTestPages({c.page});
    ASSERT_TRUE(pdf.ending.fileWritten) << pdf.ending.error.toStdString();
    EXPECT_EQ(qpdfCheckProblems(pdf.pdfPath), "");
    const std::vector<PdfImageFacts> facts = pdfImageFacts(pdf.pdfPath);
    ASSERT_FALSE(facts.empty());
    for (const PdfImageFacts& image : facts) {
        EXPECT_EQ(image.iccProfile, c.kept ? profile : QByteArray());
        if (c.kept && image.colourSpace != "/Indexed") {
            EXPECT_EQ(image.colourSpace, "/ICCBased");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, PdfProfileTest, ::testing::ValuesIn(profileCases()), ByName());

TEST(PdfDocumentTest, StopBeforeTheLastPageLeavesNoFile) {
    const std::vector<TestTiffPage> pages(3, bilevelPage(40, 30, true, COMPRESSION_CCITTFAX4));
    const GatheredPdf pdf = gatherTestPages(pages, 1);
    EXPECT_FALSE(pdf.ending.fileWritten);
    ASSERT_EQ(pdf.pages.size(), 1U);
    EXPECT_FALSE(QFileInfo::exists(pdf.pdfPath));
    // No scratch or temporary file stays either.
    EXPECT_EQ(QDir(pdf.folder).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("source.tif")});
}

// A page that cannot be read is told and left out, as in a multi-page TIFF;
// the others are written.
TEST(PdfDocumentTest, TruncatedSourceKeepsTheReadablePages) {
    const QString folder = makeTestFolder(QStringLiteral("truncated"));
    const QString tiff = QDir(folder).filePath(QStringLiteral("source.tif"));
    std::vector<TestTiffPage> pages(3, rgbPage(64, 64));
    pages[1].rowsPerStrip = 64;
    ASSERT_TRUE(writeTestTiff(tiff, pages));
    // Cut into the second page's strip: its data no longer decodes in full.
    QByteArray bytes = readFileBytes(tiff);
    const qsizetype page = 64 * 64 * 3;
    bytes.remove(8 + page + page / 2, page / 4);
    ASSERT_TRUE(writeFileBytes(tiff, bytes));

    const GatheredPdf pdf = gatherTiffFile(tiff);
    int written = 0;
    for (const PageResult& result : pdf.pages) {
        written += result.outcome == PageOutcome::Written ? 1 : 0;
    }
    ASSERT_GE(pdf.pages.size(), 1U);
    EXPECT_LT(written, 3);
    if (written > 0) {
        ASSERT_TRUE(pdf.ending.fileWritten) << pdf.ending.error.toStdString();
        EXPECT_EQ(qpdfCheckProblems(pdf.pdfPath), "");
        EXPECT_EQ(pdfDocumentFacts(pdf.pdfPath).pages, written);
    } else {
        EXPECT_FALSE(QFileInfo::exists(pdf.pdfPath));
    }
}

TEST(PdfDocumentTest, MissingFolderLeavesNothingAndSaysWhy) {
    const QString in = makeTestFolder(QStringLiteral("in"));
    const QString tiff = QDir(in).filePath(QStringLiteral("a.tif"));
    ASSERT_TRUE(writeTestTiff(tiff, {rgbPage(10, 10)}));
    auto source = PageSource::open(tiff);
    ASSERT_TRUE(source);
    CollectingChannel channel;
    const QString target = QDir(in).filePath(QStringLiteral("gone/a.pdf"));
    const TaskEnding ending =
        gatherIntoPdf(target, {1}, **source, DecodeLimits{}, QStringLiteral("a.tif"), channel);
    EXPECT_FALSE(ending.fileWritten);
    EXPECT_TRUE(ending.error.contains(QStringLiteral("a.pdf"))) << ending.error.toStdString();
    ASSERT_EQ(channel.pages.size(), 1U);
    EXPECT_EQ(channel.pages[0].outcome, PageOutcome::NotWritten);
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST(PdfDocumentTest, CompleteOnlyWithEveryPageAndItsEnd) {
    const GatheredPdf pdf = gatherTestPages({rgbPage(20, 20), grayPage(20, 20)});
    ASSERT_TRUE(pdf.ending.fileWritten);
    EXPECT_TRUE(isCompleteOutput(pdf.pdfPath, OutputPdf, 2));
    EXPECT_FALSE(isCompleteOutput(pdf.pdfPath, OutputPdf, 3));
    QByteArray bytes = readFileBytes(pdf.pdfPath);
    bytes.chop(bytes.size() / 3);
    const QString cut = QDir(pdf.folder).filePath(QStringLiteral("cut.pdf"));
    ASSERT_TRUE(writeFileBytes(cut, bytes));
    EXPECT_FALSE(isCompleteOutput(cut, OutputPdf, 2));
}

TEST(PdfDocumentTest, OnePageFileOfADecodedImage) {
    QImage image(12, 7, QImage::Format_RGB888);
    image.fill(Qt::darkCyan);
    const QString path =
        QDir(makeTestFolder(QStringLiteral("one"))).filePath(QStringLiteral("p.pdf"));
    ASSERT_TRUE(writePageFile(*outputFormat(OutputPdf), image, path, WriteOptions{}));
    EXPECT_EQ(qpdfCheckProblems(path), "");
    const double dpi = image.dotsPerMeterX() * 0.0254;
    EXPECT_EQ(renderDifference(renderPage(path, 1, dpi, dpi), image), "");
    EXPECT_EQ(pdfDocumentFacts(path).title, QStringLiteral("p"));
}

} // namespace

namespace {

struct SpoiledCase {
    std::string name;
    TestTiffPage page;
};

TestTiffPage inStrips(TestTiffPage page, uint16_t compression, uint32_t rows) {
    page.compression = compression;
    page.rowsPerStrip = rows;
    return page;
}

TestTiffPage inTiles(TestTiffPage page, uint16_t compression) {
    page.compression = compression;
    page.tiled = true;
    return page;
}

class PdfSpoiledDataTest : public ::testing::TestWithParam<SpoiledCase> {};

// Data that would be carried over is checked first: a page whose coded data
// is spoiled is never passed off as the page, while the pages around it are
// written.
TEST_P(PdfSpoiledDataTest, SpoiledPageIsToldAndTheOthersWritten) {
    const QString folder = makeTestFolder(QStringLiteral("spoiled"));
    const QString tiff = QDir(folder).filePath(QStringLiteral("source.tif"));
    const TestTiffPage& page = GetParam().page;
    ASSERT_TRUE(writeTestTiff(tiff, {grayPage(16, 16), page, grayPage(16, 16)}));
    // The middle of the middle page's middle strip or tile.
    uint64_t offset = 0;
    uint64_t size = 0;
    {
        const std::unique_ptr<TIFF, void (*)(TIFF*)> tif(
            TIFFOpen(QFile::encodeName(tiff).constData(), "r"), TIFFClose);
        ASSERT_TRUE(tif && TIFFSetDirectory(tif.get(), 1));
        const uint32_t strile = TIFFNumberOfStrips(tif.get()) / 2;
        offset = TIFFGetStrileOffset(tif.get(), strile);
        size = TIFFGetStrileByteCount(tif.get(), strile);
    }
    QByteArray bytes = readFileBytes(tiff);
    ASSERT_GE(size, 16U);
    for (uint64_t i = size / 2 - 4; i < size / 2 + 4; ++i) {
        bytes[qsizetype(offset + i)] = char(0xFF);
    }
    ASSERT_TRUE(writeFileBytes(tiff, bytes));

    const GatheredPdf pdf = gatherTiffFile(tiff);
    ASSERT_EQ(pdf.pages.size(), 3U);
    EXPECT_EQ(pdf.pages[0].outcome, PageOutcome::Written);
    EXPECT_NE(pdf.pages[1].outcome, PageOutcome::Written);
    EXPECT_FALSE(pdf.pages[1].diagnostics.isEmpty());
    EXPECT_EQ(pdf.pages[2].outcome, PageOutcome::Written);
    ASSERT_TRUE(pdf.ending.fileWritten) << pdf.ending.error.toStdString();
    EXPECT_EQ(qpdfCheckProblems(pdf.pdfPath), "");
    EXPECT_EQ(pdfDocumentFacts(pdf.pdfPath).pages, 2);
}

std::vector<SpoiledCase> spoiledCases() {
    return {
        {"JpegStrips", inStrips(grayPage(64, 64), COMPRESSION_JPEG, 16)},
        {"JpegTiles", inTiles(grayPage(64, 64), COMPRESSION_JPEG)},
        {"G4Strips", inStrips(bilevelPage(300, 200, true), COMPRESSION_CCITTFAX4, 20)},
        {"G4OneStrip", inStrips(bilevelPage(300, 200, true), COMPRESSION_CCITTFAX4, 200)},
    };
}

INSTANTIATE_TEST_SUITE_P(Layouts, PdfSpoiledDataTest, ::testing::ValuesIn(spoiledCases()),
                         ByName());

} // namespace
