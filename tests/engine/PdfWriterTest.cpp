#include "PdfStructure.h"
#include "PdfTestSupport.h"
#include "PdfTools.h"
#include "WriterReadBack.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

enum class Compare { Exact, WithinOne, Jpeg };

struct LayoutCase {
    std::string name;
    TestTiffPage page;
    std::string filter;   // of every image
    std::string encoding; // pdfimages' word for it
    std::string colour;   // pdfimages' colour column
    int bitsPerComponent;
    int images;
    Compare compare = Compare::Exact;
    std::string parameters = {}; // a part the DecodeParms must hold
    std::string decode = {};     // the Decode array; "" for none
    bool softMask = false;
};

TestTiffPage withStrips(TestTiffPage page, uint32_t rows) {
    page.rowsPerStrip = rows;
    return page;
}

TestTiffPage compressed(TestTiffPage page, uint16_t compression, uint16_t predictor = 0) {
    page.compression = compression;
    page.predictor = predictor;
    page.rowsPerStrip = page.height;
    return page;
}

TestTiffPage asYCbCrJpeg(TestTiffPage page) {
    page.compression = COMPRESSION_JPEG;
    page.photometric = PHOTOMETRIC_YCBCR;
    return page;
}

TestTiffPage jpeg(TestTiffPage page) {
    page.compression = COMPRESSION_JPEG;
    return page;
}

TestTiffPage group3(uint32_t options, uint32_t rows) {
    TestTiffPage page = bilevelPage(61, 37, true, COMPRESSION_CCITTFAX3);
    page.group3Options = options;
    page.rowsPerStrip = rows;
    return page;
}

TestTiffPage tiled(TestTiffPage page) {
    page.tiled = true;
    return page;
}

TestTiffPage signedGray() {
    TestTiffPage page = grayPage(21, 13, 16);
    page.sampleFormat = SAMPLEFORMAT_INT;
    page.sample = [](uint32_t x, uint32_t y, uint16_t) { return (x * 3000U + y * 500U) & 0x7FFFU; };
    return page;
}

TestTiffPage minIsWhiteGray() {
    TestTiffPage page = grayPage(19, 11);
    page.photometric = PHOTOMETRIC_MINISWHITE;
    return page;
}

const char* const kFlate = "/FlateDecode";

std::vector<LayoutCase> layoutCases() {
    const uint16_t fax4 = COMPRESSION_CCITTFAX4;
    return {
        // Passed through.
        {"G4OneStrip", withStrips(bilevelPage(61, 37, true, fax4), 37), "/CCITTFaxDecode", "ccitt",
         "gray", 1, 1, Compare::Exact, "/K -1"},
        {"G3OneDimensional", group3(0, 37), "/CCITTFaxDecode", "ccitt", "gray", 1, 1,
         Compare::Exact, "/K 0"},
        {"G3TwoDimensionalFillBits", group3(GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS, 37),
         "/CCITTFaxDecode", "ccitt", "gray", 1, 1, Compare::Exact, "/EncodedByteAlign true"},
        // Fax strips, which cannot join, coded again as one Group 4 image.
        {"G4MinIsBlackStrips", withStrips(bilevelPage(61, 37, false, fax4), 8), "/CCITTFaxDecode",
         "ccitt", "gray", 1, 1, Compare::Exact, "/BlackIs1 true"},
        {"G4MinIsWhiteStrips", withStrips(bilevelPage(61, 37, true, fax4), 8), "/CCITTFaxDecode",
         "ccitt", "gray", 1, 1, Compare::Exact, "/K -1 /Rows 37"},
        {"G3TwoDimensionalStrips", group3(GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS, 10),
         "/CCITTFaxDecode", "ccitt", "gray", 1, 1, Compare::Exact, "/K -1"},
        // Strips of whole MCU rows join into one image.
        {"JpegYCbCrStrips", withStrips(asYCbCrJpeg(rgbPage(64, 48)), 16), "/DCTDecode", "jpeg",
         "rgb", 8, 1, Compare::Jpeg, "/ColorTransform 1"},
        {"JpegGrayStripsShortLast", withStrips(jpeg(grayPage(45, 43)), 8), "/DCTDecode", "jpeg",
         "gray", 8, 1, Compare::Jpeg},
        {"JpegRgbStrips", withStrips(jpeg(rgbPage(30, 20)), 8), "/DCTDecode", "jpeg", "rgb", 8, 1,
         Compare::Jpeg, "/ColorTransform 0"},
        // Tiles are an image each, the page's edge clipping the last ones.
        {"JpegGrayTiles", tiled(jpeg(grayPage(40, 35))), "/DCTDecode", "jpeg", "gray", 8, 9,
         Compare::Jpeg},
        {"JpegYCbCrTiles", tiled(asYCbCrJpeg(rgbPage(33, 17))), "/DCTDecode", "jpeg", "rgb", 8, 6,
         Compare::Jpeg, "/ColorTransform 1"},

        {"JpegRgb", compressed(rgbPage(40, 24), COMPRESSION_JPEG), "/DCTDecode", "jpeg", "rgb", 8,
         1, Compare::Jpeg, "/ColorTransform 0"},
        {"JpegGray", compressed(grayPage(40, 24), COMPRESSION_JPEG), "/DCTDecode", "jpeg", "gray",
         8, 1, Compare::Jpeg},
        // LZW stays only where deflating the samples would not be smaller.
        {"LzwTinyGray", compressed(grayPage(2, 2), COMPRESSION_LZW), "/LZWDecode", "image", "gray",
         8, 1},
        {"LzwTinyRgbPredictor", compressed(rgbPage(2, 1), COMPRESSION_LZW, PREDICTOR_HORIZONTAL),
         "/LZWDecode", "image", "rgb", 8, 1, Compare::Exact, "/Predictor 2"},
        {"LzwGrayDeflatedSmaller", compressed(grayPage(33, 17), COMPRESSION_LZW), kFlate, "image",
         "gray", 8, 1, Compare::Exact, "/Predictor 15"},
        {"LzwRgbPredictorDeflatedSmaller",
         compressed(rgbPage(33, 17), COMPRESSION_LZW, PREDICTOR_HORIZONTAL), kFlate, "image", "rgb",
         8, 1, Compare::Exact, "/Predictor 15"},
        {"DeflateGrayPredictor",
         compressed(grayPage(33, 17), COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL), kFlate,
         "image", "gray", 8, 1, Compare::Exact, "/Colors 1"},
        {"DeflatePalette4", compressed(palettePage(33, 17, 4), COMPRESSION_ADOBE_DEFLATE), kFlate,
         "image", "index", 4, 1},
        // Decoded by libtiff, samples kept as they are.
        {"LzwRgbStrips", withStrips(compressed(rgbPage(33, 17), COMPRESSION_LZW), 5), kFlate,
         "image", "rgb", 8, 1},
        {"Gray2", grayPage(23, 9, 2), kFlate, "image", "gray", 2, 1},
        {"Gray4", grayPage(23, 9, 4), kFlate, "image", "gray", 4, 1},
        {"Gray16", grayPage(23, 9, 16), kFlate, "image", "gray", 16, 1, Compare::WithinOne},
        {"Rgb16", rgbPage(23, 9, 16), kFlate, "image", "rgb", 16, 1, Compare::WithinOne},
        {"Palette8", palettePage(23, 9, 8), kFlate, "image", "index", 8, 1},
        {"BilevelMinIsWhite", bilevelPage(29, 7, true), kFlate, "image", "gray", 1, 1,
         Compare::Exact, "", "[ 1 0 ]"},
        {"GrayMinIsWhite", minIsWhiteGray(), kFlate, "image", "gray", 8, 1, Compare::Exact, "",
         "[ 1 0 ]"},
        {"Rgba8", rgbaPage(23, 9, false), kFlate, "image", "rgb", 8, 1, Compare::WithinOne, "", "",
         true},
        {"Rgba16", rgbaPage(23, 9, false, 16), kFlate, "image", "rgb", 16, 1, Compare::WithinOne,
         "", "", true},
        // Decoded by the project's decoder.
        {"AssociatedAlpha", rgbaPage(23, 9, true), kFlate, "image", "rgb", 8, 1, Compare::WithinOne,
         "", "", true},
        {"TiledRgb", tiled(rgbPage(40, 35)), kFlate, "image", "rgb", 8, 1},
        {"SignedGray16", signedGray(), kFlate, "image", "gray", 16, 1, Compare::WithinOne},
    };
}

class PdfLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PdfLayoutTest, WritesTheLayoutAsExpectedAndRendersAsTheSource) {
    const LayoutCase& c = GetParam();
    const GatheredPdf pdf = gatherTestPages({c.page});
    ASSERT_TRUE(pdf.ending.fileWritten) << pdf.ending.error.toStdString();
    EXPECT_EQ(qpdfCheckProblems(pdf.pdfPath), "");

    const std::vector<PdfImageFacts> facts = pdfImageFacts(pdf.pdfPath);
    ASSERT_EQ(static_cast<int>(facts.size()), c.images);
    for (const PdfImageFacts& image : facts) {
        EXPECT_EQ(image.filter, c.filter);
        EXPECT_NE(image.parameters.find(c.parameters), std::string::npos) << image.parameters;
        EXPECT_EQ(image.decode, c.decode);
        EXPECT_EQ(image.hasSoftMask, c.softMask);
    }
    const std::vector<ListedImage> listed = listImages(pdf.pdfPath);
    int colourImages = 0;
    for (const ListedImage& image : listed) {
        if (image.type == QStringLiteral("image")) {
            ++colourImages;
            EXPECT_EQ(image.encoding.toStdString(), c.encoding);
            EXPECT_EQ(image.colour.toStdString(), c.colour);
            EXPECT_EQ(image.bitsPerComponent, c.bitsPerComponent);
        }
    }
    EXPECT_EQ(colourImages, c.images);

    const Dpi dpi = decodedDpi(*pdf.source, 0);
    const QImage want = decodedOverWhite(*pdf.source, 0);
    const QImage got = renderPage(pdf.pdfPath, 1, dpi.x, dpi.y);
    ASSERT_FALSE(got.isNull());
    if (c.compare == Compare::Jpeg) {
        ASSERT_EQ(got.size(), want.size());
        EXPECT_GE(psnr(want, got), 40.0);
    } else {
        EXPECT_EQ(renderDifference(got, want, c.compare == Compare::WithinOne ? 1 : 0), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PdfLayoutTest, ::testing::ValuesIn(layoutCases()), ByName());

struct OrientationCase {
    std::string name;
    uint16_t orientation;
    bool fax; // passed through in strips; else samples
};

std::vector<OrientationCase> orientationCases() {
    std::vector<OrientationCase> cases;
    for (uint16_t o = 1; o <= 8; ++o) {
        cases.push_back({"Fax" + std::to_string(o), o, true});
        cases.push_back({"Rgb" + std::to_string(o), o, false});
    }
    return cases;
}

class PdfOrientationTest : public ::testing::TestWithParam<OrientationCase> {};

// The pixels stay as stored; the page's transform turns them, at a
// resolution that differs across and down.
TEST_P(PdfOrientationTest, PageStandsAsTheDecodedPageAtItsSize) {
    const OrientationCase& c = GetParam();
    TestTiffPage page =
        c.fax ? withStrips(bilevelPage(45, 30, true, COMPRESSION_CCITTFAX4), 8) : rgbPage(45, 30);
    page.orientation = c.orientation;
    page.xResolution = 150;
    page.yResolution = 75;
    const GatheredPdf pdf = gatherTestPages({page});
    ASSERT_TRUE(pdf.ending.fileWritten) << pdf.ending.error.toStdString();
    EXPECT_EQ(qpdfCheckProblems(pdf.pdfPath), "");

    const QImage want = decodedOverWhite(*pdf.source, 0);
    const Dpi dpi = decodedDpi(*pdf.source, 0);
    const std::vector<PageSizePoints> sizes = pageSizes(pdf.pdfPath);
    ASSERT_EQ(sizes.size(), 1U);
    EXPECT_NEAR(sizes[0].width, want.width() / dpi.x * 72, 0.01);
    EXPECT_NEAR(sizes[0].height, want.height() / dpi.y * 72, 0.01);
    EXPECT_EQ(renderDifference(renderPage(pdf.pdfPath, 1, dpi.x, dpi.y), want), "");
}

INSTANTIATE_TEST_SUITE_P(Orientations, PdfOrientationTest, ::testing::ValuesIn(orientationCases()),
                         ByName());

} // namespace
