// The resolution a TIFF page states reaches every output format as exactly
// as the format can hold it.
#include "WriterReadBack.h"
#include "engine/ImageUtilities.h"
#include "engine/PageSource.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <gtest/gtest.h>

#include <png.h>

namespace {

struct CarryCase {
    const char* name;
    float x;
    float y;
    uint16_t unit;
    uint16_t orientation;
    // What each format must hold for the page as shown (turned if need be).
    float tiffX;
    float tiffY;
    int jpegUnit;
    int jpegX;
    int jpegY;
    uint32_t perMetreX; // PNG and BMP
    uint32_t perMetreY;
};

const CarryCase kCases[] = {
    {"Inch300", 300, 300, RESUNIT_INCH, 0, 300, 300, 1, 300, 300, 11811, 11811},
    {"Inch600By300Turned", 600, 300, RESUNIT_INCH, ORIENTATION_RIGHTTOP, 300, 600, 1, 300, 600,
     11811, 23622},
    {"InchFraction", 72.5F, 72.5F, RESUNIT_INCH, 0, 72.5F, 72.5F, 1, 73, 73, 2854, 2854},
    {"Centimetre", 118.11F, 40, RESUNIT_CENTIMETER, 0, 118.11F, 40, 2, 118, 40, 11811, 4000},
};

class ResolutionCarryTest : public ::testing::TestWithParam<CarryCase> {};

TEST_P(ResolutionCarryTest, EachFormatHoldsTheStatedResolution) {
    const CarryCase& c = GetParam();
    TestTiffPage page = rgbPage(6, 4);
    page.xResolution = c.x;
    page.yResolution = c.y;
    page.resolutionUnit = c.unit;
    page.orientation = c.orientation;
    const QString folder = makeTestFolder();
    ASSERT_TRUE(writeTestTiff(folder + QStringLiteral("/in.tif"), {page}));
    auto source = PageSource::open(folder + QStringLiteral("/in.tif"));
    ASSERT_TRUE(source.ok());
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_TRUE(image.ok());

    const QString out = folder + QStringLiteral("/out.");
    for (const char* ext : {"tiff", "jpg", "png", "bmp"}) {
        ASSERT_TRUE(ImageUtilities::save(*image, out + QLatin1String(ext), WriteOptions())) << ext;
    }
    const TiffPageFacts tiff = readTiff(out + QStringLiteral("tiff")).at(0);
    EXPECT_EQ(tiff.xResolution, c.tiffX);
    EXPECT_EQ(tiff.yResolution, c.tiffY);
    EXPECT_EQ(tiff.resolutionUnit, c.unit);
    const JpegFacts jpeg = readJpegFacts(out + QStringLiteral("jpg"));
    EXPECT_EQ(jpeg.densityUnit, c.jpegUnit);
    EXPECT_EQ(jpeg.densityX, c.jpegX);
    EXPECT_EQ(jpeg.densityY, c.jpegY);
    const PngFacts png = readPngFacts(out + QStringLiteral("png"));
    EXPECT_EQ(png.physUnit, PNG_RESOLUTION_METER);
    EXPECT_EQ(png.physX, c.perMetreX);
    EXPECT_EQ(png.physY, c.perMetreY);
    const BmpHeader bmp = readBmpHeader(out + QStringLiteral("bmp"));
    EXPECT_EQ(uint32_t(bmp.xPixelsPerMetre), c.perMetreX);
    EXPECT_EQ(uint32_t(bmp.yPixelsPerMetre), c.perMetreY);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, ResolutionCarryTest, ::testing::ValuesIn(kCases), ByName());

// A page whose dots per metre were changed after decoding no longer carries
// the stated values: the writers follow what the page now says.
TEST(ResolutionCarryTest, ChangedDotsPerMetreWin) {
    TestTiffPage page = rgbPage(6, 4);
    page.xResolution = 300;
    const QString folder = makeTestFolder();
    ASSERT_TRUE(writeTestTiff(folder + QStringLiteral("/in.tif"), {page}));
    auto source = PageSource::open(folder + QStringLiteral("/in.tif"));
    ASSERT_TRUE(source.ok());
    Result<QImage> image = (*source)->readPage(0);
    ASSERT_TRUE(image.ok());
    image->setDotsPerMeterX(3937); // 100 dpi
    image->setDotsPerMeterY(3937);
    ASSERT_TRUE(ImageUtilities::save(*image, folder + QStringLiteral("/out.jpg"), WriteOptions()));
    EXPECT_EQ(readJpegFacts(folder + QStringLiteral("/out.jpg")).densityX, 100);
}

} // namespace
