#include "CmykJpegSamples.h"
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

using namespace cmykjpeg;

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
    ASSERT_TRUE(writeJpegStripTiff(tiff, cmykJpeg(InkStore::AdobeInverted)));
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
