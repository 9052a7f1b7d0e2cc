// The list's page count is what a conversion goes through, also for a file
// whose later directories cannot be read.
#include "pagecount/PageCount.h"

#include "engine/PageSource.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QUrl>

#include <gtest/gtest.h>

namespace {

uint32_t read32(const QByteArray& b, qsizetype at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

uint16_t read16(const QByteArray& b, qsizetype at) {
    return static_cast<uint16_t>(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

// Renames the ImageWidth and ImageLength tags of directory `index` (of a
// little-endian classic TIFF) to unknown ones, so libtiff cannot read it.
bool breakDirectory(QByteArray& bytes, int index) {
    if (!bytes.startsWith("II")) {
        return false;
    }
    uint32_t ifd = read32(bytes, 4);
    for (int i = 0; i < index; ++i) {
        ifd = read32(bytes, ifd + 2 + 12 * qsizetype(read16(bytes, ifd)));
    }
    const uint16_t entries = read16(bytes, ifd);
    for (uint16_t e = 0; e < entries; ++e) {
        const qsizetype at = ifd + 2 + 12 * qsizetype(e);
        const uint16_t tag = read16(bytes, at);
        if (tag == TIFFTAG_IMAGEWIDTH || tag == TIFFTAG_IMAGELENGTH) {
            bytes[at + 1] = char(0x7D); // 256/257 become 32000/32001
        }
    }
    return true;
}

struct CountCase {
    const char* name;
    int broken; // directory made unreadable; -1: none
    int expected;
    bool moreUnreadable; // the list knows pages past the count are lost
};

class PageCountTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(PageCountTest, ListCountsThePagesAConversionReads) {
    const CountCase& c = GetParam();
    const QString path = makeTestFolder() + QStringLiteral("/pages.tif");
    ASSERT_TRUE(writeTestTiff(path, {grayPage(7, 5), rgbPage(6, 4), grayPage(5, 3, 16)}));
    if (c.broken >= 0) {
        QByteArray bytes = readFileBytes(path);
        ASSERT_TRUE(breakDirectory(bytes, c.broken));
        ASSERT_TRUE(writeFileBytes(path, bytes));
        keepAsFuzzSeed(bytes);
    }
    EXPECT_EQ(getTiffPageCount(QUrl::fromLocalFile(path)), c.expected);
    EXPECT_EQ(tallyPages(QUrl::fromLocalFile(path)).moreUnreadable, c.moreUnreadable);
    auto source = PageSource::open(path);
    if (c.expected == 0) {
        EXPECT_FALSE(source.ok());
        return;
    }
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    ASSERT_EQ((*source)->pageCount(), c.expected);
    for (int i = 0; i < c.expected; ++i) {
        EXPECT_TRUE((*source)->readPage(i).ok()) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, PageCountTest,
                         ::testing::Values(CountCase{"AllReadable", -1, 3, false},
                                           CountCase{"LastUnreadable", 2, 2, true},
                                           CountCase{"MiddleUnreadableEndsTheCount", 1, 1, true},
                                           CountCase{"FirstUnreadable", 0, 0, false}),
                         ByName());

} // namespace
