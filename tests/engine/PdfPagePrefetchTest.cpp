#include "engine/PdfPagePrefetch.h"

#include "PdfTestSupport.h"
#include "engine/PdfPages.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

TestTiffPage stored(TestTiffPage page, uint16_t compression, uint32_t rows) {
    page.compression = compression;
    page.rowsPerStrip = rows;
    return page;
}

// Pages that take each way into a PDF: fax strips coded again, JPEG joined,
// samples deflated, and one (associated alpha) left to be decoded.
QString mixedSource(int copies) {
    std::vector<TestTiffPage> pages;
    for (int i = 0; i < copies; ++i) {
        pages.push_back(stored(bilevelPage(120, 90, true), COMPRESSION_CCITTFAX4, 10));
        pages.push_back(stored(grayPage(48, 40), COMPRESSION_JPEG, 16));
        pages.push_back(rgbPage(33 + i, 17));
        pages.push_back(rgbaPage(9, 7, true));
    }
    const QString path = QDir(makeTestFolder(QStringLiteral("prefetch"))).filePath("a.tif");
    EXPECT_TRUE(writeTestTiff(path, pages));
    return path;
}

std::string pageBytes(const std::optional<PdfPage>& page) {
    if (!page) {
        return "decode";
    }
    std::string bytes = std::to_string(page->width) + "x" + std::to_string(page->height);
    for (const PdfPiece& piece : page->pieces) {
        bytes += "|" + std::to_string(piece.x) + "," + std::to_string(piece.y) + ":" +
                 std::string(piece.image.filter) + ":";
        bytes.append(piece.image.data.begin(), piece.image.data.end());
    }
    return bytes;
}

class PdfPagePrefetchTest : public ::testing::TestWithParam<int> {};

// However many helpers make them, the pages are those the owner alone makes,
// in the order asked for.
TEST_P(PdfPagePrefetchTest, PagesAreThoseTheOwnerAloneMakes) {
    const QString path = mixedSource(3);
    auto reference = PageSource::open(path);
    auto owner = PageSource::open(path);
    ASSERT_TRUE(reference && owner);
    QList<int> indexes;
    for (int i = (*owner)->pageCount() - 1; i >= 0; i -= 2) {
        indexes.append(i); // backwards, every other page
    }
    PdfPagePrefetch prefetch(**owner, indexes, DecodeLimits{}, GetParam());
    ASSERT_TRUE(prefetch.running());
    for (const int index : indexes) {
        std::optional<PdfPage> page;
        ASSERT_TRUE(prefetch.take(index, **owner, page)) << index;
        EXPECT_EQ(pageBytes(page), pageBytes(storedPdfPage(**reference, index, DecodeLimits{})))
            << "page " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(Helpers, PdfPagePrefetchTest, ::testing::Values(1, 2, 5));

TEST(PdfPagePrefetchEdgeTest, PageAskedOutOfOrderIsLeftToTheOwner) {
    const QString path = mixedSource(1);
    auto owner = PageSource::open(path);
    ASSERT_TRUE(owner);
    PdfPagePrefetch prefetch(**owner, {0, 1, 2}, DecodeLimits{}, 1);
    std::optional<PdfPage> page;
    EXPECT_FALSE(prefetch.take(2, **owner, page));
    EXPECT_TRUE(prefetch.take(0, **owner, page));
    EXPECT_TRUE(page.has_value());
}

// Destroyed with pages still to make, as when a run is stopped: the helpers
// stop and are joined (a hang fails the test by its time-out).
TEST(PdfPagePrefetchEdgeTest, LeftMidwayStopsItsHelpers) {
    const QString path = mixedSource(6);
    auto owner = PageSource::open(path);
    ASSERT_TRUE(owner);
    QList<int> indexes;
    for (int i = 0; i < (*owner)->pageCount(); ++i) {
        indexes.append(i);
    }
    auto prefetch = std::make_unique<PdfPagePrefetch>(**owner, indexes, DecodeLimits{}, 3);
    std::optional<PdfPage> page;
    ASSERT_TRUE(prefetch->take(0, **owner, page));
    prefetch.reset();
    SUCCEED();
}

TEST(PdfPagePrefetchEdgeTest, NothingRunsWithoutHelpersOrTwins) {
    const QString folder = makeTestFolder(QStringLiteral("prefetch-png"));
    const QString png = QDir(folder).filePath(QStringLiteral("a.png"));
    QImage image(4, 4, QImage::Format_RGB888);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(png));
    auto notTiff = PageSource::open(png);
    ASSERT_TRUE(notTiff);
    EXPECT_EQ((*notTiff)->twin(), nullptr);
    EXPECT_FALSE(PdfPagePrefetch(**notTiff, {0}, DecodeLimits{}, 2).running());

    auto tiff = PageSource::open(mixedSource(1));
    ASSERT_TRUE(tiff);
    EXPECT_FALSE(PdfPagePrefetch(**tiff, {0, 1}, DecodeLimits{}, 0).running());
    // A source in memory has twins too (fuzzing reaches the helpers).
    auto inMemory = PageSource::openTiffData(readFileBytes(mixedSource(1)));
    ASSERT_TRUE(inMemory);
    std::unique_ptr<PageSource> twin = (*inMemory)->twin();
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(twin->pageCount(), (*inMemory)->pageCount());
}

// A file put in the source's place since it was opened is not read as the
// source's pages.
TEST(PdfPagePrefetchEdgeTest, NoTwinOnAFileThatReplacedTheSource) {
    const QString path = mixedSource(1);
    auto source = PageSource::open(path);
    ASSERT_TRUE(source);
    const QString other = QDir(makeTestFolder(QStringLiteral("other"))).filePath("b.tif");
    ASSERT_TRUE(writeTestTiff(other, {grayPage(5, 5)}));
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(other, path));
    EXPECT_EQ((*source)->twin(), nullptr);
    EXPECT_FALSE(PdfPagePrefetch(**source, {0, 1}, DecodeLimits{}, 1).running());
}

} // namespace
