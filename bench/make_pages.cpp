// Writes the TIFF files the load benchmarks convert.
//
//   pictavo_bench_make_pages small PATH              one 64x64 gray page
//   pictavo_bench_make_pages links PATH FOLDER COUNT  COUNT hard links to PATH
//       in FOLDER, named page000000.tif on
//   pictavo_bench_make_pages many PATH PAGES         PAGES 320x240 RGB pages, LZW
//   pictavo_bench_make_pages tiny PATH PAGES         PAGES 1x1 gray pages
//   pictavo_bench_make_pages bilevel PATH SIDE [g4|none]
//       one SIDE x SIDE page of 1 bit per pixel, white with black frames and
//       bars, CCITT G4 or uncompressed strips of 64 rows
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <tiffio.h>

namespace {

void setCommon(TIFF* tiff, uint32_t width, uint32_t height, uint16_t bits, uint16_t samples,
               uint16_t photometric) {
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 300.0);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
}

bool writeSmall(const char* path) {
    TIFF* tiff = TIFFOpen(path, "w");
    if (tiff == nullptr) {
        return false;
    }
    constexpr uint32_t kSide = 64;
    setCommon(tiff, kSide, kSide, 8, 1, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kSide);
    std::vector<uint8_t> row(kSide);
    bool ok = true;
    for (uint32_t y = 0; y < kSide && ok; ++y) {
        for (uint32_t x = 0; x < kSide; ++x) {
            row[x] = static_cast<uint8_t>((x * 3 + y * 5) & 0xFF);
        }
        ok = TIFFWriteScanline(tiff, row.data(), y, 0) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

bool writeMany(const char* path, int pages) {
    TIFF* tiff = TIFFOpen(path, "w");
    if (tiff == nullptr) {
        return false;
    }
    constexpr uint32_t kWidth = 320;
    constexpr uint32_t kHeight = 240;
    std::vector<uint8_t> row(kWidth * 3);
    bool ok = true;
    for (int page = 0; page < pages && ok; ++page) {
        setCommon(tiff, kWidth, kHeight, 8, 3, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 32U);
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(page),
                     static_cast<uint16_t>(pages));
        for (uint32_t y = 0; y < kHeight && ok; ++y) {
            for (uint32_t x = 0; x < kWidth; ++x) {
                row[x * 3] = static_cast<uint8_t>(x + static_cast<uint32_t>(page));
                row[x * 3 + 1] = static_cast<uint8_t>(y);
                row[x * 3 + 2] = static_cast<uint8_t>(page * 7);
            }
            ok = TIFFWriteScanline(tiff, row.data(), y, 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tiff) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

bool writeTiny(const char* path, int pages) {
    TIFF* tiff = TIFFOpen(path, "w");
    if (tiff == nullptr) {
        return false;
    }
    bool ok = true;
    for (int page = 0; page < pages && ok; ++page) {
        setCommon(tiff, 1, 1, 8, 1, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 1U);
        uint8_t pixel = static_cast<uint8_t>(page);
        ok = TIFFWriteScanline(tiff, &pixel, 0, 0) == 1 && TIFFWriteDirectory(tiff) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

// Black where a pixel is on a frame every 1,000 pixels or on a bar of the
// diagonal, white elsewhere (0 is white in min-is-white).
void bilevelRow(std::vector<uint8_t>& row, uint32_t side, uint32_t y) {
    std::fill(row.begin(), row.end(), 0);
    const auto black = [&row](uint32_t x) { row[x / 8] |= static_cast<uint8_t>(0x80U >> (x % 8)); };
    const bool frameRow = y % 1000 < 4;
    for (uint32_t x = 0; x < side; ++x) {
        if (frameRow || x % 1000 < 4 || (x >= y && x < y + 16)) {
            black(x);
        }
    }
}

bool writeBilevel(const char* path, uint32_t side, bool g4) {
    TIFF* tiff = TIFFOpen(path, side > 40000 ? "w8" : "w");
    if (tiff == nullptr) {
        return false;
    }
    setCommon(tiff, side, side, 1, 1, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, g4 ? COMPRESSION_CCITTFAX4 : COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 64U);
    std::vector<uint8_t> row((side + 7) / 8);
    bool ok = true;
    for (uint32_t y = 0; y < side && ok; ++y) {
        bilevelRow(row, side, y);
        ok = TIFFWriteScanline(tiff, row.data(), y, 0) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

bool writeLinks(const char* path, const char* folder, int count) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    char name[32];
    for (int i = 0; i < count && !error; ++i) {
        std::snprintf(name, sizeof name, "page%06d.tif", i);
        std::filesystem::create_hard_link(path, std::filesystem::path(folder) / name, error);
    }
    if (error) {
        std::fprintf(stderr, "%s\n", error.message().c_str());
    }
    return !error;
}

} // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 2 ? argv[1] : "";
    bool ok = false;
    if (what == "small") {
        ok = writeSmall(argv[2]);
    } else if (what == "links" && argc > 4) {
        ok = writeLinks(argv[2], argv[3], std::atoi(argv[4]));
    } else if (what == "many" && argc > 3) {
        ok = writeMany(argv[2], std::atoi(argv[3]));
    } else if (what == "tiny" && argc > 3) {
        ok = writeTiny(argv[2], std::atoi(argv[3]));
    } else if (what == "bilevel" && argc > 3) {
        ok = writeBilevel(argv[2], static_cast<uint32_t>(std::atol(argv[3])),
                          argc <= 4 || std::strcmp(argv[4], "none") != 0);
    } else {
        std::fprintf(stderr,
                     "usage: pictavo_bench_make_pages small|links|many|tiny|bilevel PATH ...\n");
        return 2;
    }
    if (!ok) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
