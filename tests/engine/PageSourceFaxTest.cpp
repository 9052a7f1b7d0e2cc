// Bilevel fax pages that libtiff's Group 3 decoder reads only with warnings
// or not at all, and fax data that ends before the page does.
#include "PageSourceTestSupport.h"
#include "engine/PageSource.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <gtest/gtest.h>

namespace {

enum class Damage { None, TaggedGroup3, HalfTheData };

struct FaxCase {
    const char* name;
    uint16_t compression;
    int faxMode;
    Damage damage;
    bool decodes;
};

const FaxCase kCases[] = {
    {"Group3", COMPRESSION_CCITTFAX3, -1, Damage::None, true},
    {"Group3WithoutEndOfLineCodes", COMPRESSION_CCITTFAX3, FAXMODE_NOEOL | FAXMODE_NORTC,
     Damage::None, true},
    {"ModifiedHuffmanTaggedGroup3", COMPRESSION_CCITTRLE, -1, Damage::TaggedGroup3, true},
    {"Group3EndsEarly", COMPRESSION_CCITTFAX3, -1, Damage::HalfTheData, false},
    {"Group4EndsEarly", COMPRESSION_CCITTFAX4, -1, Damage::HalfTheData, false},
    {"ModifiedHuffmanEndsEarly", COMPRESSION_CCITTRLE, -1, Damage::HalfTheData, false},
};

class FaxPageTest : public ::testing::TestWithParam<FaxCase> {};

TEST_P(FaxPageTest, DecodesExactlyOrIsRefusedWithTheReason) {
    const FaxCase& c = GetParam();
    TestTiffPage page = bilevelPage(61, 40, true, c.compression);
    page.faxMode = c.faxMode;
    page.rowsPerStrip = page.height;
    const QString path = makeTestFolder() + QStringLiteral("/fax.tif");
    ASSERT_TRUE(writeTestTiff(path, {page}));
    QByteArray bytes = readFileBytes(path);
    if (c.damage == Damage::TaggedGroup3) {
        ASSERT_TRUE(patchFirstDirectoryValue(bytes, TIFFTAG_COMPRESSION,
                                             [](uint32_t) { return COMPRESSION_CCITTFAX3; }));
    } else if (c.damage == Damage::HalfTheData) {
        ASSERT_TRUE(patchFirstDirectoryValue(bytes, TIFFTAG_STRIPBYTECOUNTS,
                                             [](uint32_t n) { return n / 2; }));
    }
    ASSERT_TRUE(writeFileBytes(path, bytes));
    keepAsFuzzSeed(bytes);

    auto source = PageSource::open(path);
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_EQ(image.ok(), c.decodes) << (image ? "" : image.error().toStdString());
    if (c.decodes) {
        EXPECT_EQ(compareWithPage(*image, page), "");
    } else {
        EXPECT_TRUE(image.error().contains(QStringLiteral("Page 1")))
            << image.error().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, FaxPageTest, ::testing::ValuesIn(kCases), ByName());

} // namespace
