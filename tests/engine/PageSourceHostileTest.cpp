#include "PageSourceTestSupport.h"
#include "RawTiff.h"
#include "engine/PageSource.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QtEndian>

#include <gtest/gtest.h>
#include <random>

namespace {

// A classic little-endian TIFF of one strip, built byte by byte so that any
// field can hold a value libtiff's writer would refuse.
struct MiniTiff {
    uint32_t width = 4;
    uint32_t height = 4;
    uint16_t bitsPerSample = 8;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t compression = COMPRESSION_NONE;
    QByteArray stripData = QByteArray(16, '\x40');
    int64_t declaredStripBytes = -1; // -1: the data's size
    int64_t stripOffset = -1;        // -1: right after the directory
    bool nextIsItself = false;       // directory chain loops back at once
};

QByteArray build(const MiniTiff& m) {
    struct Entry {
        uint16_t tag;
        uint16_t type;
        uint32_t value;
    };
    constexpr uint16_t kShort = 3;
    constexpr uint16_t kLong = 4;
    constexpr uint32_t kEntries = 9;
    constexpr uint32_t kIfdOffset = 8;
    const uint32_t dataOffset = kIfdOffset + 2 + kEntries * 12 + 4;
    const Entry entries[kEntries] = {
        {TIFFTAG_IMAGEWIDTH, kLong, m.width},
        {TIFFTAG_IMAGELENGTH, kLong, m.height},
        {TIFFTAG_BITSPERSAMPLE, kShort, m.bitsPerSample},
        {TIFFTAG_COMPRESSION, kShort, m.compression},
        {TIFFTAG_PHOTOMETRIC, kShort, m.photometric},
        {TIFFTAG_STRIPOFFSETS, kLong, m.stripOffset >= 0 ? uint32_t(m.stripOffset) : dataOffset},
        {TIFFTAG_SAMPLESPERPIXEL, kShort, 1},
        {TIFFTAG_ROWSPERSTRIP, kLong, std::max<uint32_t>(m.height, 1)},
        {TIFFTAG_STRIPBYTECOUNTS, kLong,
         m.declaredStripBytes >= 0 ? uint32_t(m.declaredStripBytes) : uint32_t(m.stripData.size())},
    };
    QByteArray out("II*\0", 4);
    putLong(out, kIfdOffset);
    putShort(out, kEntries);
    for (const Entry& e : entries) {
        putShort(out, e.tag);
        putShort(out, e.type);
        putLong(out, 1);
        if (e.type == kShort) {
            putShort(out, static_cast<uint16_t>(e.value));
            putShort(out, 0);
        } else {
            putLong(out, e.value);
        }
    }
    putLong(out, m.nextIsItself ? kIfdOffset : 0);
    return out + m.stripData;
}

// The first failure while opening and reading every page; "" when the data
// decoded completely.
QString firstFailure(const QByteArray& data, const DecodeLimits& limits = {}) {
    keepAsFuzzSeed(data);
    auto source = PageSource::openTiffData(data, limits);
    if (!source) {
        return source.error();
    }
    for (int i = 0; i < (*source)->pageCount(); ++i) {
        const Result<QImage> page = (*source)->readPage(i);
        if (!page) {
            return page.error();
        }
    }
    return {};
}

MiniTiff mini(void (*change)(MiniTiff&)) {
    MiniTiff m;
    change(m);
    return m;
}

struct HostileCase {
    const char* name;
    QByteArray data;
    DecodeLimits limits;
    const char* expectedText; // part of the error
};

DecodeLimits smallBytes() {
    DecodeLimits limits;
    limits.maxBytes = 1 << 20;
    return limits;
}

const HostileCase kHostile[] = {
    {"HeaderOnly", QByteArray("II*\0\x08\0\0\0", 8), {}, "TIFF"},
    {"HeaderWithoutDirectoryOffset", QByteArray("MM\0*", 4), {}, "TIFF"},
    {"GarbageAfterHeader", QByteArray("II*\0\x08\0\0\0", 8) + QByteArray(300, '\xA5'), {}, ""},
    {"ZeroWidth", build(mini([](MiniTiff& m) { m.width = 0; })), {}, "zero"},
    {"ZeroHeight", build(mini([](MiniTiff& m) { m.height = 0; })), {}, "zero"},
    {"ZeroBitsPerSample", build(mini([](MiniTiff& m) { m.bitsPerSample = 0; })), {}, "zero"},
    {"AbsurdBitsPerSample", build(mini([](MiniTiff& m) { m.bitsPerSample = 99; })), {}, "99"},
    {"HugeDimensionsOverPixelLimit",
     build(mini([](MiniTiff& m) {
         m.width = 100000;
         m.height = 100000;
     })),
     {},
     "Page 1 is 100000 x 100000 pixels, more than the limit of 536870912 pixels"},
    {"OverByteLimit", build(mini([](MiniTiff& m) {
         m.width = 4000;
         m.height = 4000;
     })),
     smallBytes(),
     "Page 1 is 4000 x 4000 pixels and needs 16000000 bytes, more than the limit of 1048576 bytes"},
    {"TruncatedStrip",
     build(mini([](MiniTiff& m) {
         m.declaredStripBytes = 16;
         m.stripData = QByteArray(5, '\x10');
     })),
     {},
     "Page 1 cannot be decoded"},
    {"StripOffsetBeyondEnd",
     build(mini([](MiniTiff& m) { m.stripOffset = 1 << 30; })),
     {},
     "Page 1 cannot be decoded"},
    {"BrokenLzwData",
     build(mini([](MiniTiff& m) {
         m.compression = COMPRESSION_LZW;
         m.stripData = QByteArray(16, '\xFF');
     })),
     {},
     "Page 1 cannot be decoded"},
    {"BrokenGroup4Data",
     build(mini([](MiniTiff& m) {
         m.bitsPerSample = 1;
         m.compression = COMPRESSION_CCITTFAX4;
         m.width = 64;
         m.height = 64;
         m.stripData = QByteArray(8, '\x00');
     })),
     {},
     "Page 1 cannot be decoded"},
};

class HostileTiffTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileTiffTest, FailsCleanlyWithReason) {
    const HostileCase& c = GetParam();
    const QString failure = firstFailure(c.data, c.limits);
    ASSERT_FALSE(failure.isEmpty()) << "decoded without complaint";
    EXPECT_TRUE(failure.contains(QLatin1String(c.expectedText), Qt::CaseInsensitive))
        << failure.toStdString();
}

INSTANTIATE_TEST_SUITE_P(BrokenFiles, HostileTiffTest, ::testing::ValuesIn(kHostile), ByName());

TEST(PageSourceHostileTest, DirectoryLoopCountsEachDirectoryOnce) {
    const QByteArray data = build(mini([](MiniTiff& m) { m.nextIsItself = true; }));
    keepAsFuzzSeed(data);
    auto source = PageSource::openTiffData(data);
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    EXPECT_EQ((*source)->pageCount(), 1);
    EXPECT_TRUE((*source)->readPage(0).ok());
}

TEST(PageSourceHostileTest, PageCountIsCappedByLimit) {
    auto source =
        openTestPages({grayPage(3, 2), grayPage(3, 2), grayPage(3, 2)},
                      DecodeLimits{.maxPixels = 1 << 20, .maxBytes = 1 << 20, .maxPages = 2});
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    EXPECT_EQ((*source)->pageCount(), 2);
}

struct MissingPageCase {
    const char* name;
    int index;
    const char* text;
};

const MissingPageCase kMissingPages[] = {
    {"PastTheEnd", 4, "Page 5 does not exist; the file has 3 pages"},
    {"JustPastTheEnd", 3, "Page 4 does not exist; the file has 3 pages"},
    {"Negative", -1, "Page 0 does not exist; the file has 3 pages"},
};

class MissingPageTest : public ::testing::TestWithParam<MissingPageCase> {};

TEST_P(MissingPageTest, SaysWhichPagesExist) {
    auto source = openTestPages({grayPage(3, 2), rgbPage(3, 2), bilevelPage(3, 2, true)});
    ASSERT_TRUE(source.ok()) << source.error().toStdString();
    const Result<QImage> page = (*source)->readPage(GetParam().index);
    ASSERT_FALSE(page.ok());
    EXPECT_EQ(page.error().toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Indexes, MissingPageTest, ::testing::ValuesIn(kMissingPages), ByName());

struct FileCase {
    const char* name;
    QByteArray bytes; // null: no file at all
    const char* text;
};

const FileCase kFiles[] = {
    {"EmptyFile", QByteArray(""), "The file is empty"},
    {"MissingFile", QByteArray(), "The file does not exist"},
    {"TextFile", QByteArray("hello, this is no image\n"),
     "Not a TIFF file and no image reader for it"},
    {"TiffSignatureOnly", QByteArray("II*\0", 4), "TIFF"},
};

class UnreadableFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(UnreadableFileTest, OpenSaysWhy) {
    const FileCase& c = GetParam();
    const QString path = makeTestFolder() + QStringLiteral("/input");
    if (!c.bytes.isNull()) {
        ASSERT_TRUE(writeFileBytes(path, c.bytes));
    }
    auto source = PageSource::open(path);
    ASSERT_FALSE(source.ok());
    EXPECT_TRUE(source.error().contains(QLatin1String(c.text))) << source.error().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableFileTest, ::testing::ValuesIn(kFiles), ByName());

std::vector<TestTiffPage> fuzzSeedPages() {
    TestTiffPage rgb = rgbPage(20, 20);
    rgb.compression = COMPRESSION_LZW;
    rgb.predictor = PREDICTOR_HORIZONTAL;
    rgb.tiled = true;
    TestTiffPage cmyk = cmykPage(6, 5);
    cmyk.planar = PLANARCONFIG_SEPARATE;
    return {bilevelPage(24, 8, true, COMPRESSION_CCITTFAX4), rgb, palettePage(7, 5, 4), cmyk,
            rgbaPage(5, 4, true, 16)};
}

// A cut file either fails with a reason or yields fewer pages: libtiff
// counts only the directories it can reach.
TEST(PageSourceHostileTest, TruncatedCopiesLoseOrRefusePages) {
    const QString path = makeTestFolder() + QStringLiteral("/seed.tif");
    const std::vector<TestTiffPage> pages = fuzzSeedPages();
    ASSERT_TRUE(writeTestTiff(path, pages));
    const QByteArray seed = readFileBytes(path);
    for (const qsizetype size : {qsizetype(3), qsizetype(8), qsizetype(9), seed.size() / 3,
                                 seed.size() / 2, seed.size() - 12, seed.size() - 1}) {
        auto source = PageSource::openTiffData(seed.left(size));
        if (!source) {
            EXPECT_FALSE(source.error().isEmpty());
            continue;
        }
        int decoded = 0;
        for (int i = 0; i < (*source)->pageCount(); ++i) {
            const Result<QImage> page = (*source)->readPage(i);
            if (page) {
                EXPECT_EQ(compareWithPage(*page, pages[size_t(i)]), "") << "size " << size;
                ++decoded;
            } else {
                EXPECT_FALSE(page.error().isEmpty());
            }
        }
        EXPECT_LT(decoded, int(pages.size())) << "size " << size;
    }
}

// Layouts that reach the other decoders: JPEG YCbCr, a rotated sub-byte
// gray page, CIELab through libtiff's RGBA reader, tiled PackBits, Group 3.
std::vector<TestTiffPage> secondFuzzSeedPages() {
    TestTiffPage jpeg = rgbPage(32, 16);
    jpeg.photometric = PHOTOMETRIC_YCBCR;
    jpeg.compression = COMPRESSION_JPEG;
    TestTiffPage gray = grayPage(9, 7, 2);
    gray.orientation = ORIENTATION_RIGHTTOP;
    TestTiffPage lab = rgbPage(6, 4);
    lab.photometric = PHOTOMETRIC_CIELAB;
    TestTiffPage palette = palettePage(17, 9, 8);
    palette.compression = COMPRESSION_PACKBITS;
    palette.tiled = true;
    return {jpeg, gray, lab, palette, bilevelPage(30, 9, false, COMPRESSION_CCITTFAX3)};
}

// Deterministic corruption of small multi-page files: every copy must give
// either pages or an error text; under the sanitizers nothing may be touched
// out of bounds.
TEST(PageSourceHostileTest, CorruptedCopiesNeverCrash) {
    DecodeLimits limits;
    limits.maxPixels = 1 << 16;
    limits.maxBytes = 1 << 20;
    limits.maxPages = 8;
    std::mt19937 random(20240611);
    int decodedPages = 0;
    int failures = 0;
    for (const auto& pages : {fuzzSeedPages(), secondFuzzSeedPages()}) {
        const QString path = makeTestFolder() + QStringLiteral("/seed.tif");
        ASSERT_TRUE(writeTestTiff(path, pages));
        const QByteArray seed = readFileBytes(path);
        ASSERT_TRUE(firstFailure(seed).isEmpty());
        std::uniform_int_distribution<qsizetype> position(0, seed.size() - 1);
        std::uniform_int_distribution<int> byte(0, 255);
        std::uniform_int_distribution<int> changes(1, 12);
        for (int copy = 0; copy < 400; ++copy) {
            QByteArray data = seed;
            for (int n = changes(random); n > 0; --n) {
                data[position(random)] = static_cast<char>(byte(random));
            }
            if (copy % 8 == 0) {
                data.truncate(position(random));
            }
            auto source = PageSource::openTiffData(data, limits);
            if (!source) {
                EXPECT_FALSE(source.error().isEmpty());
                ++failures;
                continue;
            }
            for (int i = 0; i < (*source)->pageCount(); ++i) {
                const Result<QImage> page = (*source)->readPage(i);
                if (page) {
                    EXPECT_FALSE(page->isNull());
                    ++decodedPages;
                } else {
                    EXPECT_FALSE(page.error().isEmpty());
                    ++failures;
                }
            }
        }
    }
    // Both outcomes must have been exercised for the loop to mean anything.
    EXPECT_GT(decodedPages, 0);
    EXPECT_GT(failures, 0);
}

} // namespace
