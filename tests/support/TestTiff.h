#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

#include <tiffio.h>

// Builds TIFF files for tests with libtiff: any sample layout the readers must
// handle, one page spec per directory.
struct TestTiffPage {
    uint32_t width = 8;
    uint32_t height = 6;
    uint16_t samplesPerPixel = 1;
    uint16_t bitsPerSample = 8;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t orientation = 0;           // 0: tag absent
    uint16_t predictor = 0;             // 0: tag absent
    std::vector<uint16_t> extraSamples; // EXTRASAMPLE_* per extra sample
    std::vector<uint16_t> colormap;     // red, then green, then blue; 3 << bps entries
    uint16_t inkSet = 0;                // 0: tag absent
    bool tiled = false;
    uint32_t tileWidth = 16;
    uint32_t tileHeight = 16;
    uint32_t rowsPerStrip = 0; // 0: libtiff's default
    float xResolution = 0;     // 0: tags absent
    float yResolution = 0;
    uint16_t resolutionUnit = RESUNIT_INCH;
    QByteArray iccProfile;
    int jpegQuality = 90;
    // Value of sample s (0-based, extras included) at (x, y), in the sample's
    // own range (0..2^bps-1).
    std::function<uint32_t(uint32_t x, uint32_t y, uint16_t s)> sample;
    uint16_t sampleFormat = 0;  // 0: tag absent
    int faxMode = -1;           // TIFFTAG_FAXMODE for the encoder; -1: libtiff's default
    uint32_t group3Options = 0; // GROUP3OPT_* of a Group 3 page
    // When set, the bits of sample s instead of `sample` (for samples of 24,
    // 32 or 64 bits, floats and signed integers), stored in native order.
    std::function<uint64_t(uint32_t x, uint32_t y, uint16_t s)> bitsOf;
    QByteArray noData;             // the GDAL_NODATA text; empty: tag absent
    std::vector<float> whitePoint; // x, y; empty: tag absent
};

// Writes the pages; false and a reason in `error` on failure.
bool writeTestTiff(const QString& path, const std::vector<TestTiffPage>& pages,
                   QString* error = nullptr);

// Ready-made pages with recognisable content.
TestTiffPage bilevelPage(uint32_t width, uint32_t height, bool minIsWhite,
                         uint16_t compression = COMPRESSION_NONE);
TestTiffPage grayPage(uint32_t width, uint32_t height, uint16_t bits = 8);
TestTiffPage rgbPage(uint32_t width, uint32_t height, uint16_t bits = 8);
TestTiffPage rgbaPage(uint32_t width, uint32_t height, bool associated, uint16_t bits = 8);
TestTiffPage palettePage(uint32_t width, uint32_t height, uint16_t bits = 8);
TestTiffPage cmykPage(uint32_t width, uint32_t height);

// The value the ready-made pages store: a pattern that differs per channel
// and position, scaled to `bits`.
uint32_t patternSample(uint32_t x, uint32_t y, uint16_t s, uint16_t bits);

// What a written TIFF holds: its page count (-1 when it cannot be opened) and
// the Compression tag of its first page.
struct TiffSummary {
    int pages = -1;
    uint16_t compression = 0;
};
TiffSummary summarizeTiff(const QString& path);

// Sets the value of `tag` in the first directory of a little-endian classic
// TIFF, where the tag holds one SHORT or LONG; false when it has no such tag.
bool patchFirstDirectoryValue(QByteArray& bytes, uint16_t tag,
                              const std::function<uint32_t(uint32_t)>& change);

// When the environment variable PICTAVO_FUZZ_SEEDS names a folder, keeps
// `data` there (named by its hash) as a seed of the page-source fuzzer.
// writeTestTiff keeps every file it writes.
void keepAsFuzzSeed(const QByteArray& data);

// The bytes of a file, for corrupting copies.
QByteArray readFileBytes(const QString& path);
bool writeFileBytes(const QString& path, const QByteArray& bytes);
