// CMYK JPEG pages decoded for the raster writers: an Adobe segment marks the
// inks as stored inverted, and the page must show the inks meant, as the same
// inks stored losslessly do.
#include "CmykJpegSamples.h"
#include "PageSourceTestSupport.h"
#include "WriterReadBack.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>

#include <gtest/gtest.h>
#include <string>

namespace {

using namespace cmykjpeg;

struct InkCase {
    std::string name;
    InkStore store;
};

class CmykJpegInksTest : public ::testing::TestWithParam<InkCase> {};

TEST_P(CmykJpegInksTest, DecodeAsTheLosslessInks) {
    const QString folder = makeTestFolder(QStringLiteral("inks"));
    const QString lossless = QDir(folder).filePath(QStringLiteral("lossless.tif"));
    ASSERT_TRUE(writeTestTiff(lossless, {plainCmyk()}));
    const Result<QImage> want = decodeFirstPage(lossless);
    ASSERT_TRUE(want.ok()) << want.error().toStdString();

    const QString jpeg = QDir(folder).filePath(QStringLiteral("jpeg.tif"));
    ASSERT_TRUE(writeJpegStripTiff(jpeg, cmykJpeg(GetParam().store)));
    const Result<QImage> got = decodeFirstPage(jpeg);
    ASSERT_TRUE(got.ok()) << got.error().toStdString();
    ASSERT_EQ(got->size(), want->size());
    EXPECT_GE(psnr(*want, *got), 40.0);
}

INSTANTIATE_TEST_SUITE_P(Stores, CmykJpegInksTest,
                         ::testing::Values(InkCase{"AdobeInverted", InkStore::AdobeInverted},
                                           InkCase{"Plain", InkStore::Plain}),
                         ByName());

} // namespace
