#include "PdfStructure.h"
#include "PdfTestSupport.h"
#include "PdfTools.h"
#include "WriterReadBack.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <tiffio.h>

namespace {

constexpr uint32_t kWidth = 48;
constexpr uint32_t kHeight = 32;

// Smooth, so that JPEG keeps it close.
uint32_t inkSample(uint32_t x, uint32_t y, uint16_t s) {
    return (x * 3 + y * 2 + s * 50U) & 0xFFU;
}

TestTiffPage plainCmyk() {
    TestTiffPage page = cmykPage(kWidth, kHeight);
    page.sample = [](uint32_t x, uint32_t y, uint16_t s) { return inkSample(x, y, s); };
    return page;
}

// A CMYK JPEG as writers that mark it with an Adobe segment store it: every
// ink inverted.
std::vector<uint8_t> adobeInvertedJpeg() {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    info.write_Adobe_marker = TRUE;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(kWidth * 4);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            for (uint16_t s = 0; s < 4; ++s) {
                row[x * 4 + s] = static_cast<JSAMPLE>(255 - inkSample(x, y, s));
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> stream(out, out + size);
    std::free(out); // NOLINT(cppcoreguidelines-no-malloc): libjpeg's buffer
    return stream;
}

bool writeJpegStripTiff(const QString& path, const std::vector<uint8_t>& stream) {
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (tif == nullptr) {
        return false;
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kHeight);
    const bool written =
        TIFFWriteRawStrip(tif, 0, const_cast<uint8_t*>(stream.data()),
                          static_cast<tmsize_t>(stream.size())) == tmsize_t(stream.size());
    TIFFClose(tif);
    return written;
}

QImage renderedAt72(const GatheredPdf& pdf) {
    EXPECT_TRUE(pdf.ending.fileWritten) << pdf.ending.error.toStdString();
    EXPECT_EQ(qpdfCheckProblems(pdf.pdfPath), "");
    return renderPage(pdf.pdfPath, 1, 72, 72);
}

// The Adobe segment marks inks stored inverted: the page shows the inks
// meant, as the same inks written losslessly do.
TEST(PdfAdobeCmykTest, InvertedJpegInksShowAsTheInksMeant) {
    const GatheredPdf lossless = gatherTestPages({plainCmyk()});
    const QImage want = renderedAt72(lossless);
    ASSERT_FALSE(want.isNull());

    const QString folder = makeTestFolder(QStringLiteral("pdf-adobe"));
    const QString tiff = QDir(folder).filePath(QStringLiteral("adobe.tif"));
    ASSERT_TRUE(writeJpegStripTiff(tiff, adobeInvertedJpeg()));
    const GatheredPdf adobe = gatherTiffFile(tiff);
    const std::vector<PdfImageFacts> facts = pdfImageFacts(adobe.pdfPath);
    ASSERT_EQ(facts.size(), 1U);
    EXPECT_EQ(facts.front().filter, "/DCTDecode");
    EXPECT_EQ(facts.front().decode, "[ 1 0 1 0 1 0 1 0 ]");
    const QImage got = renderedAt72(adobe);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_GE(psnr(want, got), 40.0);
}

} // namespace
