// Strips and tiles that are not where the page needs them: each page is
// either refused with the strip or tile that is wrong and why, or decoded
// exactly. Nothing is ever taken from the header, another plane or the
// directory and passed off as pixels.
#include "RawTiff.h"
#include "engine/PageSource.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QColor>

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

using Change = std::function<void(RawStripsFile&)>;

struct StoredCase {
    const char* name;
    RawStrips page;
    Change change;       // after the strips were laid out
    const char* reason;  // what follows "Page 1 cannot be decoded: "; nullptr: decodes exactly
    Change changeData{}; // before: the bytes stored
};

RawStrips gray(uint32_t width, uint32_t height, uint32_t rowsPerStrip) {
    return RawStrips{width, height, 1, false, rowsPerStrip, nullptr};
}

RawStrips planarRgb(uint32_t width, uint32_t height, uint32_t rowsPerStrip) {
    return RawStrips{width, height, 3, true, rowsPerStrip, nullptr};
}

RawStrips tiledGray(uint32_t width, uint32_t height, uint32_t side) {
    RawStrips page = gray(width, height, 0);
    page.tileSide = side;
    return page;
}

// Every row of strips of two rows alike, so that all strips can share one.
RawStrips repeatingGray() {
    RawStrips page = gray(8, 8, 2);
    page.sampleAt = [](uint32_t x, uint32_t y, uint16_t) {
        return static_cast<uint8_t>(x * 30U + (y % 2U) * 7U);
    };
    return page;
}

constexpr uint32_t kHugeRowsPerStrip = (uint32_t(1) << 31) + 1;

const StoredCase kCases[] = {
    {"StripWithoutBytesAtOffsetZero", gray(8, 8, 2),
     [](RawStripsFile& f) {
         f.offsets[2] = 0;
         f.counts[2] = 0;
     },
     "strip 2 has no data (0 bytes at offset 0)"},
    {"OnlyStripWithoutBytesAtOffsetZero", gray(8, 8, 8),
     [](RawStripsFile& f) {
         f.offsets[0] = 0;
         f.counts[0] = 0;
     },
     "strip 0 has no data (0 bytes at offset 0)"},
    {"StripInsideTheHeader", gray(8, 8, 2), [](RawStripsFile& f) { f.offsets[1] = 4; },
     "strip 1 starts at offset 4, inside the file's header"},
    {"StripPastTheEnd", gray(8, 8, 2), [](RawStripsFile& f) { f.offsets[3] = 100000; },
     "strip 3 (16 bytes at offset 100000) runs past the end of the file"},
    {"OneStripForThreePlanes", planarRgb(6, 4, 4),
     [](RawStripsFile& f) {
         f.offsets.resize(1);
         f.counts.resize(1);
     },
     "strip 1 has no data (0 bytes at offset 0)"},
    {"OneTileForSixteen", tiledGray(64, 64, 16),
     [](RawStripsFile& f) {
         f.offsets.resize(1);
         f.counts.resize(1);
     },
     "tile 1 has no data (0 bytes at offset 0)"},
    {"TileRunningIntoTheNext", tiledGray(40, 40, 16), [](RawStripsFile& f) { f.offsets[4] -= 8; },
     "tile 3 needs 256 bytes from offset 776 and runs into tile 4 at offset 1024"},
    // libtiff takes one strip per plane, the first three of plane 0's
    // thirteen; read whole, each would run into the next.
    {"PlanarRowsPerStripPastTheImage", planarRgb(5, 13, 1),
     [](RawStripsFile& f) {
         f.tiff.set(TIFFTAG_ROWSPERSTRIP, RawTiff::kLong, {kHugeRowsPerStrip});
     },
     "strip 0 needs 65 bytes from offset 8 and runs into strip 1 at offset 13"},
    // The last strip lost its rows: what follows it is the directory.
    {"LastStripRunsIntoTheDirectory", gray(16, 40, 8), [](RawStripsFile&) {},
     "strip 4 needs 128 bytes from offset 520 and runs into the page's directory at offset 552",
     [](RawStripsFile& f) { f.strips[4].truncate(32); }},
    // Decoded as stored: a byte count short of rows the file does hold
    // (libtiff reads uncompressed rows whole), one strip for a page of fewer
    // rows, one row per strip of each plane, strips sharing their data.
    {"ShortByteCountOverCompleteRows", gray(16, 40, 8), [](RawStripsFile& f) { f.counts[2] -= 10; },
     nullptr},
    {"RowsPerStripPastTheImage", gray(5, 13, 13),
     [](RawStripsFile& f) {
         f.tiff.set(TIFFTAG_ROWSPERSTRIP, RawTiff::kLong, {kHugeRowsPerStrip});
     },
     nullptr},
    {"PlanarOneRowPerStrip", planarRgb(5, 13, 1), [](RawStripsFile&) {}, nullptr},
    {"TilesPastThePageEdges", tiledGray(40, 40, 16), [](RawStripsFile&) {}, nullptr},
    {"StripsSharingTheirData", repeatingGray(),
     [](RawStripsFile& f) {
         for (uint32_t& offset : f.offsets) {
             offset = f.offsets[0];
         }
     },
     nullptr},
};

std::string firstWrongPixel(const QImage& image, const RawStrips& page) {
    if (image.width() != int(page.width) || image.height() != int(page.height)) {
        return "size differs";
    }
    for (uint32_t y = 0; y < page.height; ++y) {
        for (uint32_t x = 0; x < page.width; ++x) {
            const QColor got = image.pixelColor(int(x), int(y));
            const QColor want =
                page.samples == 1
                    ? QColor(page.sample(x, y, 0), page.sample(x, y, 0), page.sample(x, y, 0))
                    : QColor(page.sample(x, y, 0), page.sample(x, y, 1), page.sample(x, y, 2));
            if (got != want) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
                       got.name().toStdString() + ", expected " + want.name().toStdString();
            }
        }
    }
    return {};
}

class StoredDataTest : public ::testing::TestWithParam<StoredCase> {};

TEST_P(StoredDataTest, RefusedWithTheStripOrDecodedExactly) {
    const StoredCase& c = GetParam();
    RawStripsFile file = rawStripsFile(c.page);
    if (c.changeData) {
        c.changeData(file);
    }
    layOut(file);
    c.change(file);
    const QByteArray data = finish(file);
    keepAsFuzzSeed(data);
    const QString path = makeTestFolder() + QStringLiteral("/stored.tif");
    ASSERT_TRUE(writeFileBytes(path, data));

    auto source = PageSource::open(path);
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    const Result<QImage> image = (*source)->readPage(0);
    if (c.reason == nullptr) {
        ASSERT_TRUE(image.ok()) << image.error().toStdString();
        EXPECT_EQ(firstWrongPixel(*image, c.page), "");
        return;
    }
    ASSERT_FALSE(image.ok()) << "decoded: " << firstWrongPixel(*image, c.page);
    EXPECT_TRUE(image.error().startsWith(QStringLiteral("Page 1 cannot be decoded: ") +
                                         QString::fromUtf8(c.reason)))
        << image.error().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Layouts, StoredDataTest, ::testing::ValuesIn(kCases), ByName());

} // namespace
