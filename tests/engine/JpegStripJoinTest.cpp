#include "engine/JpegStripJoin.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <csetjmp>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <tiffio.h>

namespace {

constexpr uint32_t kWidth = 37;
constexpr uint32_t kHeight = 45;
constexpr uint32_t kRows = 16;

using Strips = std::vector<std::vector<uint8_t>>;

// Complete JPEG streams of a gray page's strips: libtiff's shared tables
// merged into each, or (`ownTables`) the tables libtiff fits to each strip.
Strips grayJpegStrips(bool ownTables = false) {
    const QString path = QDir(makeTestFolder(QStringLiteral("join"))).filePath("strips.tif");
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    if (ownTables) {
        TIFFSetField(tif, TIFFTAG_JPEGTABLESMODE, 0);
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kRows);
    std::vector<uint8_t> row(kWidth);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            row[x] = static_cast<uint8_t>((x * 7 + y * 5) & 0xFF);
        }
        TIFFWriteScanline(tif, row.data(), y, 0);
    }
    TIFFClose(tif);
    tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    Strips strips(TIFFNumberOfStrips(tif));
    for (uint32_t s = 0; s < strips.size(); ++s) {
        strips[s].resize(static_cast<size_t>(TIFFGetStrileByteCount(tif, s)));
        TIFFReadRawStrip(tif, s, strips[s].data(), tmsize_t(strips[s].size()));
    }
    uint32_t size = 0;
    const uint8_t* tables = nullptr;
    if (TIFFGetField(tif, TIFFTAG_JPEGTABLES, &size, &tables) == 1 && size > 4) {
        for (std::vector<uint8_t>& strip : strips) { // the tables' stream, then the strip's
            strip.erase(strip.begin(), strip.begin() + 2);
            strip.insert(strip.begin(), tables, tables + size - 2);
        }
    }
    TIFFClose(tif);
    return strips;
}

struct JumpingError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    int warnings = 0;
};

// The rows libjpeg decodes from a stream; empty when it fails or warns.
std::vector<uint8_t> decodeGray(const std::vector<uint8_t>& stream) {
    jpeg_decompress_struct info{};
    JumpingError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<JumpingError*>(c->err)->jump, 1);
    };
    error.manager.emit_message = [](j_common_ptr c, int level) {
        reinterpret_cast<JumpingError*>(c->err)->warnings += level < 0 ? 1 : 0;
    };
    std::vector<uint8_t> rows;
    if (setjmp(error.jump) != 0) { // NOLINT(cert-err52-cpp): libjpeg's only error path
        jpeg_destroy_decompress(&info);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, stream.data(), static_cast<unsigned long>(stream.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    rows.resize(size_t(info.output_width) * info.output_height * info.output_components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW at[] = {rows.data() +
                         size_t(info.output_scanline) * info.output_width * info.output_components};
        jpeg_read_scanlines(&info, at, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return error.warnings == 0 ? rows : std::vector<uint8_t>();
}

size_t markerAt(const std::vector<uint8_t>& d, uint8_t marker) {
    for (size_t i = 0; i + 1 < d.size(); ++i) {
        if (d[i] == 0xFF && d[i + 1] == marker) {
            return i;
        }
    }
    return d.size();
}

TEST(JpegStripJoinTest, JoinedStreamDecodesToTheStripsRowsExactly) {
    const Strips strips = grayJpegStrips();
    ASSERT_EQ(strips.size(), 3U);
    std::vector<uint8_t> want;
    for (const std::vector<uint8_t>& strip : strips) {
        const std::vector<uint8_t> rows = decodeGray(strip);
        ASSERT_FALSE(rows.empty());
        want.insert(want.end(), rows.begin(), rows.end());
    }
    const auto joined = joinJpegStrips(strips, kWidth, kHeight, kRows);
    ASSERT_TRUE(joined.has_value());
    EXPECT_EQ(decodeGray(*joined), want);
}

struct RefusalCase {
    std::string name;
    std::function<void(Strips&, uint32_t& rows)> spoil;
};

class JpegStripJoinRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(JpegStripJoinRefusalTest, StripsThatWouldNotJoinExactlyStayApart) {
    Strips strips = grayJpegStrips();
    uint32_t rows = kRows;
    GetParam().spoil(strips, rows);
    EXPECT_FALSE(joinJpegStrips(strips, kWidth, kHeight, rows).has_value());
}

std::vector<RefusalCase> refusalCases() {
    return {
        {"OneStrip", [](Strips& s, uint32_t&) { s.resize(1); }},
        {"EachStripItsOwnHuffmanTables", [](Strips& s, uint32_t&) { s = grayJpegStrips(true); }},
        {"OtherTables",
         [](Strips& s, uint32_t&) { s[1][markerAt(s[1], 0xDB) + 10] ^= 1; }}, // a quantiser
        {"BytesAfterTheEnd", [](Strips& s, uint32_t&) { s[2].push_back(0); }},
        {"NoEnd", [](Strips& s, uint32_t&) { s[0].resize(s[0].size() - 2); }},
        {"OwnRestartInterval",
         [](Strips& s, uint32_t&) {
             for (std::vector<uint8_t>& strip : s) {
                 const uint8_t interval[] = {0xFF, 0xDD, 0, 4, 0, 1};
                 strip.insert(strip.begin() + std::ptrdiff_t(markerAt(strip, 0xDA)),
                              std::begin(interval), std::end(interval));
             }
         }},
        {"MarkerInTheScan", [](Strips& s, uint32_t&) { s[1][s[1].size() - 4] = 0xFF; }},
        {"StripHeightNotItsRows", [](Strips&, uint32_t& rows) { rows = 15; }},
        {"Truncated", [](Strips& s, uint32_t&) { s[1].resize(40); }},
    };
}

INSTANTIATE_TEST_SUITE_P(Spoiled, JpegStripJoinRefusalTest, ::testing::ValuesIn(refusalCases()),
                         ByName());

} // namespace
