// Bilevel fax pages that libtiff's Group 3 decoder reads only with warnings
// or not at all, and fax data that ends before the page does or holds codes
// no decoder can read: libtiff goes on after those, leaving rows unwritten.
#include "PageSourceTestSupport.h"
#include "engine/PageSource.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <gtest/gtest.h>

namespace {

// TallerThanItsData: the page says it has twice the rows its codes hold, so
// the data ends (Group 4: with its end-of-block code) halfway.
enum class Damage { None, TaggedGroup3, HalfTheData, Garbled, TallerThanItsData };

struct FaxCase {
    const char* name;
    uint16_t compression;
    int faxMode;
    Damage damage;
    bool decodes;
    const char* reason = ""; // the start of the error, after "Page 1 cannot be decoded: "
};

const FaxCase kCases[] = {
    {"Group3", COMPRESSION_CCITTFAX3, -1, Damage::None, true},
    {"Group3WithoutEndOfLineCodes", COMPRESSION_CCITTFAX3, FAXMODE_NOEOL | FAXMODE_NORTC,
     Damage::None, true},
    {"ModifiedHuffmanTaggedGroup3", COMPRESSION_CCITTRLE, -1, Damage::TaggedGroup3, true},
    {"Group3EndsEarly", COMPRESSION_CCITTFAX3, -1, Damage::HalfTheData, false},
    {"Group4EndsEarly", COMPRESSION_CCITTFAX4, -1, Damage::HalfTheData, false},
    {"ModifiedHuffmanEndsEarly", COMPRESSION_CCITTRLE, -1, Damage::HalfTheData, false},
    {"Group4WithBadCodes", COMPRESSION_CCITTFAX4, -1, Damage::Garbled, false,
     "the data is damaged (Fax4Decode: Bad code word at line"},
    {"Group4EndOfBlockHalfway", COMPRESSION_CCITTFAX4, -1, Damage::TallerThanItsData, false,
     "the data ends early (Fax4Decode: Premature EOL at line 40"},
    {"Group3WithBadCodes", COMPRESSION_CCITTFAX3, -1, Damage::Garbled, false, ""},
    {"Group3TallerThanItsData", COMPRESSION_CCITTFAX3, -1, Damage::TallerThanItsData, false, ""},
};

// Codes that no fax coding has, a third of the way into the strip, which
// libtiff writes right after the header.
void garble(QByteArray& bytes) {
    uint32_t count = 0;
    ASSERT_TRUE(patchFirstDirectoryValue(bytes, TIFFTAG_STRIPBYTECOUNTS, [&](uint32_t n) {
        count = n;
        return n;
    }));
    for (uint32_t i = 0; i < 6; ++i) {
        bytes[qsizetype(8 + count / 3 + i)] = (i % 2 == 0) ? '\x00' : '\xFF';
    }
}

void damage(Damage kind, QByteArray& bytes) {
    const auto doubled = [](uint32_t n) { return n * 2; };
    switch (kind) {
    case Damage::TaggedGroup3:
        ASSERT_TRUE(patchFirstDirectoryValue(bytes, TIFFTAG_COMPRESSION,
                                             [](uint32_t) { return COMPRESSION_CCITTFAX3; }));
        break;
    case Damage::HalfTheData:
        ASSERT_TRUE(patchFirstDirectoryValue(bytes, TIFFTAG_STRIPBYTECOUNTS,
                                             [](uint32_t n) { return n / 2; }));
        break;
    case Damage::Garbled:
        garble(bytes);
        break;
    case Damage::TallerThanItsData:
        ASSERT_TRUE(patchFirstDirectoryValue(bytes, TIFFTAG_IMAGELENGTH, doubled));
        ASSERT_TRUE(patchFirstDirectoryValue(bytes, TIFFTAG_ROWSPERSTRIP, doubled));
        break;
    case Damage::None:
        break;
    }
}

class FaxPageTest : public ::testing::TestWithParam<FaxCase> {};

TEST_P(FaxPageTest, DecodesExactlyOrIsRefusedWithTheReason) {
    const FaxCase& c = GetParam();
    TestTiffPage page = bilevelPage(61, 40, true, c.compression);
    page.faxMode = c.faxMode;
    page.rowsPerStrip = page.height;
    const QString path = makeTestFolder() + QStringLiteral("/fax.tif");
    ASSERT_TRUE(writeTestTiff(path, {page}));
    QByteArray bytes = readFileBytes(path);
    damage(c.damage, bytes);
    ASSERT_TRUE(writeFileBytes(path, bytes));
    keepAsFuzzSeed(bytes);

    auto source = PageSource::open(path);
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    const Result<QImage> image = (*source)->readPage(0);
    ASSERT_EQ(image.ok(), c.decodes) << (image ? "" : image.error().toStdString());
    if (c.decodes) {
        EXPECT_EQ(compareWithPage(*image, page), "");
    } else {
        EXPECT_TRUE(image.error().startsWith(QStringLiteral("Page 1 cannot be decoded: ") +
                                             QString::fromUtf8(c.reason)))
            << image.error().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, FaxPageTest, ::testing::ValuesIn(kCases), ByName());

} // namespace
