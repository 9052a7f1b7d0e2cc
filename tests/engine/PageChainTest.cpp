// A TIFF's pages are one chain of directories. Where the chain breaks off
// (the file cut short, a loop, more pages than the limit), the pages before
// the break are read and the break is told, so that no conversion of such a
// file passes for complete.
#include "engine/PageSource.h"
#include "engine/TiffHandle.h"
#include "pagecount/PageCount.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Where each directory of a TIFF starts.
std::vector<toff_t> directoryOffsets(const QString& path) {
    std::vector<toff_t> offsets;
    Result<TiffHandle> tiff = TiffHandle::openFile(path, "r");
    if (!tiff) {
        return offsets;
    }
    do {
        offsets.push_back(TIFFCurrentDirOffset(tiff->get()));
    } while (TIFFReadDirectory(tiff->get()) == 1);
    return offsets;
}

// Makes the next-directory offset of directory `from` (of a little-endian
// classic TIFF) point at `to`.
bool linkDirectory(QByteArray& bytes, toff_t from, toff_t to) {
    const auto at = static_cast<qsizetype>(from);
    const int entries = uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8;
    const qsizetype next = at + 2 + 12 * qsizetype(entries);
    for (int b = 0; b < 4; ++b) {
        bytes[next + b] = static_cast<char>(uint32_t(to) >> (8 * b));
    }
    return true;
}

using Break = std::function<bool(const QString& path)>;

const Break kWhole = [](const QString&) { return true; };
// Cut off where the third directory begins: its page's data is there, the
// directory is not.
const Break kThirdDirectoryCutOff = [](const QString& path) {
    const std::vector<toff_t> offsets = directoryOffsets(path);
    return offsets.size() == 4 && QFile(path).resize(static_cast<qint64>(offsets[2]));
};
const Break kThirdDirectoryPastTheEnd = [](const QString& path) {
    const std::vector<toff_t> offsets = directoryOffsets(path);
    QByteArray bytes = readFileBytes(path);
    return offsets.size() == 4 && linkDirectory(bytes, offsets[1], toff_t(bytes.size()) + 4096) &&
           writeFileBytes(path, bytes);
};
const Break kLoopAfterTheSecond = [](const QString& path) {
    const std::vector<toff_t> offsets = directoryOffsets(path);
    QByteArray bytes = readFileBytes(path);
    return offsets.size() == 4 && linkDirectory(bytes, offsets[1], offsets[0]) &&
           writeFileBytes(path, bytes);
};

struct ChainCase {
    const char* name;
    Break damage;
    int maxPages;
    int readable;
    const char* told; // in the reason; nullptr: the chain ends cleanly
};

class PageChainTest : public ::testing::TestWithParam<ChainCase> {};

TEST_P(PageChainTest, PagesBeforeABreakAreReadAndTheBreakIsTold) {
    const ChainCase& c = GetParam();
    const QString path = QDir(makeTestFolder()).filePath(QStringLiteral("four.tif"));
    ASSERT_TRUE(writeTestTiff(
        path, {grayPage(40, 30), rgbPage(50, 20), grayPage(30, 40, 16), rgbPage(20, 20)}));
    ASSERT_TRUE(c.damage(path));
    keepAsFuzzSeed(readFileBytes(path));

    DecodeLimits limits;
    limits.maxPages = c.maxPages;
    auto source = PageSource::open(path, limits);
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    EXPECT_EQ((*source)->pageCount(), c.readable);
    const QString reason = (*source)->unreadablePages();
    if (c.told == nullptr) {
        EXPECT_TRUE(reason.isEmpty()) << reason.toStdString();
    } else {
        EXPECT_TRUE(reason.contains(QString::fromUtf8(c.told))) << reason.toStdString();
    }
    for (int i = 0; i < c.readable; ++i) {
        EXPECT_TRUE((*source)->readPage(i).ok()) << i;
    }
    if (c.maxPages == DecodeLimits{}.maxPages) {
        // The list counts what a conversion reads, and knows what is lost.
        const PageTally tally = tallyPages(QUrl::fromLocalFile(path));
        EXPECT_EQ(tally.readable, c.readable);
        EXPECT_EQ(tally.moreUnreadable, c.told != nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PageChainTest,
    ::testing::Values(
        ChainCase{"Whole", kWhole, DecodeLimits{}.maxPages, 4, nullptr},
        ChainCase{"ThirdDirectoryCutOff", kThirdDirectoryCutOff, DecodeLimits{}.maxPages, 2,
                  "the directory of page 3 cannot be read"},
        ChainCase{"ThirdDirectoryPastTheEnd", kThirdDirectoryPastTheEnd, DecodeLimits{}.maxPages, 2,
                  "the directory of page 3 cannot be read"},
        ChainCase{"LoopAfterTheSecond", kLoopAfterTheSecond, DecodeLimits{}.maxPages, 2,
                  "the directory of page 3 cannot be read"},
        ChainCase{"MorePagesThanTheLimit", kWhole, 3, 3, "page 4 is past the limit of 3 pages"},
        ChainCase{"ExactlyTheLimit", kWhole, 4, 4, nullptr}),
    ByName());

// Pages are reached straight from where their directory starts, in any
// order, as workers of a pool reach them: each one is the page asked for.
TEST(PageChainOrderTest, PagesReadInAnyOrderAreThePagesAskedFor) {
    constexpr int kPages = 60;
    std::vector<TestTiffPage> pages;
    for (int i = 0; i < kPages; ++i) {
        TestTiffPage page = grayPage(3, 2);
        page.sample = [i](uint32_t, uint32_t, uint16_t) { return uint32_t(i * 4); };
        pages.push_back(page);
    }
    const QString path = QDir(makeTestFolder()).filePath(QStringLiteral("sixty.tif"));
    ASSERT_TRUE(writeTestTiff(path, pages));
    auto source = PageSource::open(path);
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    ASSERT_EQ((*source)->pageCount(), kPages);

    std::vector<int> order;
    for (int i = 0; i < kPages; ++i) {
        order.push_back((i * 37) % kPages);
    }
    order.push_back(kPages - 1);
    order.push_back(0);
    for (const int index : order) {
        EXPECT_GT((*source)->pageByteSize((index * 13) % kPages), 0);
        QImage attributes;
        TiffHandle* handle = (*source)->tiffDirectory(index, attributes);
        ASSERT_NE(handle, nullptr) << index;
        EXPECT_EQ(TIFFCurrentDirectory(handle->get()), tdir_t(index));
        const Result<QImage> page = (*source)->readPage(index);
        ASSERT_TRUE(page.ok()) << index << page.error().toStdString();
        EXPECT_EQ(qGray(page->pixel(1, 1)), index * 4) << index;
    }
}

} // namespace
