// A file left by an earlier run counts as done only when it is whole: one cut
// short by a full disk or a broken copy is converted again.
#include "engine/OutputCompleteness.h"

#include "engine/ImageUtilities.h"
#include "engine/OutputFormats.h"
#include "engine/OutputNames.h"
#include "engine/PageWriter.h"
#include "engine/TiffWriter.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <functional>
#include <gtest/gtest.h>

namespace {

QImage testPage(int seed) {
    QImage page(37, 23, QImage::Format_RGB888);
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            page.setPixel(x, y,
                          qRgb((x * 7 + seed) & 0xFF, (y * 11) & 0xFF, (x * y + seed) & 0xFF));
        }
    }
    return page;
}

// Writes `pages` pages the way a run writes them: one file per page, or one
// TIFF for all when `pages` > 1.
bool writeOutput(const QString& path, int outputType, int pages) {
    if (outputType != OutputTiff || pages == 1) {
        return ImageUtilities::save(testPage(1), path, WriteOptions{});
    }
    TiffPageEncoder encoder(path);
    for (int i = 0; i < pages; ++i) {
        if (!encoder.appendPage(testPage(i), 0)) {
            return false;
        }
    }
    return encoder.finish().ok();
}

bool resize(const QString& path, qint64 size) {
    QFile file(path);
    return file.resize(size);
}

using Damage = std::function<bool(const QString& path)>;

const Damage kNone = [](const QString&) { return true; };
const Damage kHalf = [](const QString& path) { return resize(path, QFile(path).size() / 2); };
const Damage kEmpty = [](const QString& path) { return resize(path, 0); };
const Damage kLastByte = [](const QString& path) { return resize(path, QFile(path).size() - 1); };
// The directory still reads, but says its strip goes on past the end.
const Damage kStripPastTheEnd = [](const QString& path) {
    QByteArray bytes = readFileBytes(path);
    return patchFirstDirectoryValue(bytes, TIFFTAG_STRIPBYTECOUNTS,
                                    [](uint32_t count) { return count + (1U << 20); }) &&
           writeFileBytes(path, bytes);
};

struct CompletenessCase {
    const char* name;
    int outputType;
    int pagesWritten;
    Damage damage;
    int pagesAsked;
    bool complete;
};

class OutputCompletenessTest : public ::testing::TestWithParam<CompletenessCase> {};

TEST_P(OutputCompletenessTest, OnlyAWholeFileCounts) {
    const CompletenessCase& c = GetParam();
    const QString path =
        QDir(makeTestFolder())
            .filePath(QStringLiteral("page") + extensionForOutputType(c.outputType));
    ASSERT_TRUE(writeOutput(path, c.outputType, c.pagesWritten));
    ASSERT_TRUE(c.damage(path));
    EXPECT_EQ(isCompleteOutput(path, c.outputType, c.pagesAsked), c.complete);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OutputCompletenessTest,
    ::testing::Values(
        CompletenessCase{"PngWhole", OutputPng, 1, kNone, 1, true},
        CompletenessCase{"PngHalf", OutputPng, 1, kHalf, 1, false},
        CompletenessCase{"PngEmpty", OutputPng, 1, kEmpty, 1, false},
        CompletenessCase{"PngLastByteGone", OutputPng, 1, kLastByte, 1, false},
        CompletenessCase{"JpegWhole", OutputJpeg, 1, kNone, 1, true},
        CompletenessCase{"JpegHalf", OutputJpeg, 1, kHalf, 1, false},
        CompletenessCase{"JpegLastByteGone", OutputJpeg, 1, kLastByte, 1, false},
        CompletenessCase{"GifWhole", OutputGif, 1, kNone, 1, true},
        CompletenessCase{"GifHalf", OutputGif, 1, kHalf, 1, false},
        CompletenessCase{"GifLastByteGone", OutputGif, 1, kLastByte, 1, false},
        CompletenessCase{"BmpWhole", OutputBmp, 1, kNone, 1, true},
        CompletenessCase{"BmpHalf", OutputBmp, 1, kHalf, 1, false},
        CompletenessCase{"BmpLastByteGone", OutputBmp, 1, kLastByte, 1, false},
        CompletenessCase{"BmpEmpty", OutputBmp, 1, kEmpty, 1, false},
        CompletenessCase{"TiffPageWhole", OutputTiff, 1, kNone, 1, true},
        CompletenessCase{"TiffPageHalf", OutputTiff, 1, kHalf, 1, false},
        CompletenessCase{"TiffPageLastByteGone", OutputTiff, 1, kLastByte, 1, false},
        CompletenessCase{"TiffPageEmpty", OutputTiff, 1, kEmpty, 1, false},
        CompletenessCase{"TiffStripPastTheEnd", OutputTiff, 1, kStripPastTheEnd, 1, false},
        CompletenessCase{"GatheredWhole", OutputTiff, 3, kNone, 3, true},
        CompletenessCase{"GatheredHalf", OutputTiff, 3, kHalf, 3, false},
        CompletenessCase{"GatheredLastByteGone", OutputTiff, 3, kLastByte, 3, false},
        CompletenessCase{"GatheredFewerPagesThanTheSource", OutputTiff, 3, kNone, 4, false},
        CompletenessCase{"GatheredMorePagesThanTheSource", OutputTiff, 3, kNone, 2, false}),
    ByName());

TEST(OutputCompletenessFileTest, AMissingFileOrAnotherFormatIsNotDone) {
    const QString folder = makeTestFolder();
    const QString png = QDir(folder).filePath(QStringLiteral("page.png"));
    EXPECT_FALSE(isCompleteOutput(png, OutputPng, 1));
    ASSERT_TRUE(writeOutput(png, OutputPng, 1));
    for (const int type : {OutputJpeg, OutputTiff, OutputBmp, OutputGif}) {
        EXPECT_FALSE(isCompleteOutput(png, type, 1)) << type;
    }
    EXPECT_FALSE(isCompleteOutput(folder, OutputPng, 1));
}

} // namespace
