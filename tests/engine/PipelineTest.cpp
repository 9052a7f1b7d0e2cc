// Source TIFF layouts through the page source and every writer, read back
// through the page source again: what a conversion does to one page.
#include "engine/ImageUtilities.h"
#include "engine/PageSource.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

struct PipelineCase {
    std::string name;
    TestTiffPage page;
    const char* extension;
    double minPsnr; // 0: pixels must match exactly
};

double psnr(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i) {
            const double d = double(p[i]) - double(q[i]);
            sum += d * d;
        }
    }
    const double mse = sum / (double(x.width()) * x.height() * 3);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

class PipelineTest : public ::testing::TestWithParam<PipelineCase> {};

TEST_P(PipelineTest, PageSurvivesTheRoundTrip) {
    const PipelineCase& c = GetParam();
    const QString folder = makeTestFolder(QStringLiteral("pipeline"));
    const QString source = QDir(folder).filePath(QStringLiteral("source.tif"));
    ASSERT_TRUE(writeTestTiff(source, {c.page}));
    auto input = PageSource::open(source);
    ASSERT_TRUE(input) << input.error().toStdString();
    const Result<QImage> page = (*input)->readPage(0);
    ASSERT_TRUE(page) << page.error().toStdString();

    const QString output =
        QDir(folder).filePath(QStringLiteral("page.") + QString::fromUtf8(c.extension));
    WriteOptions options;
    options.tiffCompressionIndex = 3;
    ASSERT_TRUE(ImageUtilities::save(*page, output, options));

    auto reread = PageSource::open(output);
    ASSERT_TRUE(reread) << reread.error().toStdString();
    const Result<QImage> back = (*reread)->readPage(0);
    ASSERT_TRUE(back) << back.error().toStdString();
    ASSERT_EQ(back->size(), page->size());
    const QImage expected = page->convertToFormat(QImage::Format_RGBA8888);
    const QImage actual = back->convertToFormat(QImage::Format_RGBA8888);
    if (c.minPsnr == 0) {
        EXPECT_EQ(actual, expected);
    } else {
        EXPECT_GE(psnr(actual, expected), c.minPsnr);
    }
}

std::vector<PipelineCase> cases() {
    const std::vector<std::pair<const char*, TestTiffPage>> sources{
        {"Bilevel", bilevelPage(37, 23, true, COMPRESSION_CCITTFAX4)},
        {"Gray8", grayPage(37, 23, 8)},
        {"Gray16", grayPage(37, 23, 16)},
        {"Palette", palettePage(37, 23, 8)},
        {"Rgb", rgbPage(37, 23, 8)},
        {"Cmyk", cmykPage(37, 23)},
    };
    // JPEG is lossy; everything else must give back the page as decoded
    // (GIF: these pages have few enough colours for an exact palette, except
    // 16-bit gray, which GIF stores at 8 bits).
    std::vector<PipelineCase> out;
    for (const auto& [label, page] : sources) {
        for (const char* ext : {"png", "tiff", "bmp", "gif", "jpg"}) {
            double minPsnr = 0;
            if (std::string(ext) == "jpg") {
                minPsnr = 30;
            } else if (std::string(label) == "Gray16" || std::string(label) == "Rgb" ||
                       std::string(label) == "Cmyk") {
                // 8-bit formats and GIF palettes of full-colour pages.
                minPsnr =
                    std::string(ext) == "gif" ? 28 : (std::string(label) == "Gray16" ? 45 : 0);
            }
            out.push_back({std::string(label) + "To" + ext, page, ext, minPsnr});
        }
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PipelineTest, ::testing::ValuesIn(cases()), ByName());

} // namespace
