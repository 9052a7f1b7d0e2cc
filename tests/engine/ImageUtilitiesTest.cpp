#include "engine/ImageUtilities.h"

#include "WriterReadBack.h"
#include "WriterTestPages.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include <functional>
#include <gtest/gtest.h>
#include <string>

#include <png.h>
#include <tiffio.h>

namespace {

struct DispatchCase {
    std::string name;
    const char* fileName;
    const char* signature; // "" when nothing may be written
};

class DispatchTest : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(DispatchTest, ExtensionChoosesTheWriter) {
    const DispatchCase& c = GetParam();
    const QString folder = makeTestFolder();
    const QString path = folder + QLatin1Char('/') + QString::fromUtf8(c.fileName);
    const bool expectWrite = *c.signature != '\0';
    EXPECT_EQ(ImageUtilities::save(makePage(PageKind::Rgb888, 7, 5), path, WriteOptions()),
              expectWrite);
    if (expectWrite) {
        EXPECT_TRUE(readFileBytes(path).startsWith(QByteArray(c.signature)));
        EXPECT_EQ(filesIn(folder).size(), 1);
    } else {
        EXPECT_TRUE(filesIn(folder).isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, DispatchTest,
    ::testing::Values(DispatchCase{"Bmp", "x.bmp", "BM"},
                      DispatchCase{"Jpg", "x.jpg", "\xFF\xD8\xFF"},
                      DispatchCase{"Png", "x.png", "\x89PNG"}, DispatchCase{"Gif", "x.gif", "GIF8"},
                      DispatchCase{"Tiff", "x.tiff", "II*"},
                      DispatchCase{"LastDotCounts", "x.png.tiff", "II*"},
                      DispatchCase{"Jpeg", "x.jpeg", ""}, DispatchCase{"UpperCaseJpg", "x.JPG", ""},
                      DispatchCase{"MixedCaseTiff", "x.Tiff", ""}, DispatchCase{"Tif", "x.tif", ""},
                      DispatchCase{"NoExtension", "x", ""}, DispatchCase{"TrailingDot", "x.", ""},
                      DispatchCase{"ExtensionThenMore", "x.png.bak", ""}),
    ByName());

TEST(DispatchTest, DotInFolderNameIsNoExtension) {
    const QString folder = makeTestFolder() + QStringLiteral("/pages.png");
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_FALSE(ImageUtilities::save(makePage(PageKind::Rgb888, 7, 5),
                                      folder + QStringLiteral("/x"), WriteOptions()));
    EXPECT_TRUE(filesIn(folder).isEmpty());
}

TEST(DispatchTest, OptionsReachTheWriters) {
    const QString folder = makeTestFolder();
    const QImage page = makePage(PageKind::Rgb888, 16, 16);
    ASSERT_TRUE(ImageUtilities::save(page, folder + QStringLiteral("/x.jpg"), WriteOptions{5, 4}));
    ASSERT_TRUE(ImageUtilities::save(page, folder + QStringLiteral("/x.tiff"), WriteOptions{5, 4}));
    EXPECT_EQ(readJpegFacts(folder + QStringLiteral("/x.jpg")).firstLumaQuantizer, 16);
    EXPECT_EQ(readTiff(folder + QStringLiteral("/x.tiff")).at(0).compression, COMPRESSION_PACKBITS);
}

using SaveFunction = std::function<bool(const QImage&, const QString&)>;

struct FailureCase {
    std::string name;
    SaveFunction save;
    const char* extension;
    const char* logPrefix;
    const char* signature;
};

const std::vector<FailureCase> kFailureCases = {
    {"Bmp", ImageUtilities::saveAsBmpWithName, "bmp", "Erorr in (saveAsBmpWithName:) : ", "BM"},
    {"Gif", ImageUtilities::saveAsGifWithName, "gif", "Erorr in (saveAsGifWithName:) : ", "GIF8"},
    {"Png", ImageUtilities::saveAsPngWithName, "png",
     "Erorr in (saveAsPngWithName:) : ", "\x89PNG"},
    {"Jpeg",
     [](const QImage& i, const QString& p) { return ImageUtilities::saveAsJpegWithName(i, p, 10); },
     "jpg", "Erorr in (saveAsJpegWithName:) : ", "\xFF\xD8\xFF"},
    {"Tiff",
     [](const QImage& i, const QString& p) { return ImageUtilities::saveAsTiffWithName(i, p, 2); },
     "tiff", "Erorr in (saveAsTiffWithName:) : ", "II*"},
};

class WriteFailureTest : public ::testing::TestWithParam<FailureCase> {
protected:
    QString pathIn(const QString& folder) const {
        return folder + QStringLiteral("/page.") + QLatin1String(GetParam().extension);
    }
    static QString onlyLine(const SystemLogCapture& log) {
        return log.lines().size() == 1 ? log.lines().first()
                                       : QStringLiteral("<%1 lines>").arg(log.lines().size());
    }
};

TEST_P(WriteFailureTest, MissingFolderLogsTheReason) {
    const FailureCase& c = GetParam();
    const QString folder = makeTestFolder() + QStringLiteral("/missing");
    SystemLogCapture log;
    EXPECT_FALSE(c.save(makePage(PageKind::Rgb888, 7, 5), pathIn(folder)));
    const QString expected =
        QLatin1String(c.logPrefix) +
        QStringLiteral("Cannot create a file in “%1”: No such file or directory").arg(folder);
    EXPECT_EQ(onlyLine(log).toStdString(), expected.toStdString());
}

TEST_P(WriteFailureTest, FolderThatIsAFileFails) {
    const FailureCase& c = GetParam();
    const QString file = makeTestFolder() + QStringLiteral("/plain");
    ASSERT_TRUE(writeFileBytes(file, "x"));
    SystemLogCapture log;
    EXPECT_FALSE(c.save(makePage(PageKind::Rgb888, 7, 5), pathIn(file)));
    EXPECT_TRUE(onlyLine(log).startsWith(QLatin1String(c.logPrefix)));
}

TEST_P(WriteFailureTest, EmptyImageLeavesExistingFileAlone) {
    const FailureCase& c = GetParam();
    const QString folder = makeTestFolder();
    ASSERT_TRUE(writeFileBytes(pathIn(folder), "old content"));
    SystemLogCapture log;
    EXPECT_FALSE(c.save(QImage(), pathIn(folder)));
    EXPECT_EQ(onlyLine(log), QLatin1String(c.logPrefix) + QStringLiteral("The image is empty"));
    EXPECT_EQ(readFileBytes(pathIn(folder)), QByteArray("old content"));
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("page.") + QLatin1String(c.extension)});
}

TEST_P(WriteFailureTest, SuccessReplacesExistingFile) {
    const FailureCase& c = GetParam();
    const QString folder = makeTestFolder();
    ASSERT_TRUE(writeFileBytes(pathIn(folder), "old content"));
    SystemLogCapture log;
    EXPECT_TRUE(c.save(makePage(PageKind::MonoZeroWhite, 7, 5), pathIn(folder)));
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_TRUE(readFileBytes(pathIn(folder)).startsWith(QByteArray(c.signature)));
    EXPECT_EQ(filesIn(folder).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Writers, WriteFailureTest, ::testing::ValuesIn(kFailureCases), ByName());

struct EncoderFailureCase {
    std::string name;
    SaveFunction save;
    QSize size;
    const char* logPrefix;
};

class EncoderFailureTest : public ::testing::TestWithParam<EncoderFailureCase> {};

// The encoder gives up after the temporary file exists: the old file must
// survive and the temporary must go.
TEST_P(EncoderFailureTest, OldFileSurvivesAndNoTemporaryStays) {
    const EncoderFailureCase& c = GetParam();
    const QString folder = makeTestFolder();
    const QString path = folder + QStringLiteral("/page");
    ASSERT_TRUE(writeFileBytes(path, "old content"));
    QImage page(c.size, QImage::Format_Mono);
    page.fill(0);
    SystemLogCapture log;
    EXPECT_FALSE(c.save(page, path));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith(QLatin1String(c.logPrefix)))
        << log.lines().first().toStdString();
    EXPECT_EQ(readFileBytes(path), QByteArray("old content"));
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("page")});
}

INSTANTIATE_TEST_SUITE_P(
    Limits, EncoderFailureTest,
    ::testing::Values(
        EncoderFailureCase{"JpegTooWide",
                           [](const QImage& i, const QString& p) {
                               return ImageUtilities::saveAsJpegWithName(i, p, 10);
                           },
                           QSize(65501, 1), "Erorr in (saveAsJpegWithName:) : JPEG holds"},
        EncoderFailureCase{"GifTooWide", ImageUtilities::saveAsGifWithName, QSize(65536, 1),
                           "Erorr in (saveAsGifWithName:) : GIF holds"},
        EncoderFailureCase{"PngTooWide", ImageUtilities::saveAsPngWithName, QSize(1000001, 1),
                           "Erorr in (saveAsPngWithName:) : PNG: "}),
    ByName());

// A profile Qt can build and every reader accepts.
QImage pageWithResolutionAndProfile() {
    QImage page = makePage(PageKind::Rgb888, 7, 5);
    page.setDotsPerMeterX(11811); // 300 dpi
    page.setDotsPerMeterY(5906);  // 150 dpi
    page.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    return page;
}

struct MetadataCase {
    std::string name;
    const char* extension;
    bool withMetadata;
};

class MetadataTest : public ::testing::TestWithParam<MetadataCase> {};

TEST_P(MetadataTest, ResolutionAndProfileAreCarried) {
    const MetadataCase& c = GetParam();
    QImage page = pageWithResolutionAndProfile();
    if (!c.withMetadata) {
        page = makePage(PageKind::Rgb888, 7, 5);
        markWithoutResolution(page);
    }
    const QByteArray icc = page.colorSpace().iccProfile();
    ASSERT_EQ(icc.isEmpty(), !c.withMetadata);
    const QString path = makeTestFolder() + QStringLiteral("/page.") + QLatin1String(c.extension);
    ASSERT_TRUE(ImageUtilities::save(page, path, WriteOptions()));
    const std::string ext = c.extension;
    if (ext == "jpg") {
        const JpegFacts jpeg = readJpegFacts(path);
        EXPECT_EQ(jpeg.densityUnit, c.withMetadata ? 1 : 0);
        if (c.withMetadata) {
            EXPECT_EQ(jpeg.densityX, 300);
            EXPECT_EQ(jpeg.densityY, 150);
        }
        EXPECT_EQ(jpeg.icc, icc);
    } else if (ext == "png") {
        const PngFacts png = readPngFacts(path);
        EXPECT_EQ(png.hasPhys, c.withMetadata);
        if (c.withMetadata) {
            EXPECT_EQ(png.physX, 11811U);
            EXPECT_EQ(png.physY, 5906U);
            EXPECT_EQ(png.physUnit, PNG_RESOLUTION_METER);
        }
        EXPECT_EQ(png.icc, icc);
    } else if (ext == "tiff") {
        const TiffPageFacts tiff = readTiff(path).at(0);
        EXPECT_EQ(tiff.hasResolution, c.withMetadata);
        if (c.withMetadata) {
            EXPECT_NEAR(tiff.xResolution, 11811 * 0.0254, 0.001);
            EXPECT_NEAR(tiff.yResolution, 5906 * 0.0254, 0.001);
            EXPECT_EQ(tiff.resolutionUnit, RESUNIT_INCH);
        }
        EXPECT_EQ(tiff.icc, icc);
    } else {
        const BmpHeader bmp = readBmpHeader(path);
        EXPECT_EQ(bmp.xPixelsPerMetre, c.withMetadata ? 11811 : 0);
        EXPECT_EQ(bmp.yPixelsPerMetre, c.withMetadata ? 5906 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, MetadataTest,
                         ::testing::Values(MetadataCase{"Jpeg", "jpg", true},
                                           MetadataCase{"Png", "png", true},
                                           MetadataCase{"Tiff", "tiff", true},
                                           MetadataCase{"Bmp", "bmp", true},
                                           MetadataCase{"JpegWithout", "jpg", false},
                                           MetadataCase{"PngWithout", "png", false},
                                           MetadataCase{"TiffWithout", "tiff", false},
                                           MetadataCase{"BmpWithout", "bmp", false}),
                         ByName());

} // namespace
