#pragma once

#include "engine/PageSource.h"
#include "platform/Result.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

#include <tiffio.h>

// How the current directory of a TIFF stores its pixels, read from its tags.
struct TiffPageLayout {
    int pageNumber = 1; // from 1, for messages
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bitsPerSample = 1;
    uint16_t samplesPerPixel = 1;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    uint16_t inkSet = INKSET_CMYK;
    uint16_t extraSampleCount = 0;
    uint16_t firstExtraSample = EXTRASAMPLE_UNSPECIFIED;
    bool tiled = false;
    uint32_t tileWidth = 0;
    uint32_t tileHeight = 0;
    uint32_t rowsPerStrip = 0;
};

// The pixel arrangement our own decoder turns into a native QImage; anything
// else goes through libtiff's RGBA reader. Ranged pages (floating point,
// integers of 24, 32 or 64 bits, signed integers, pages with a no-data value)
// take their own path (TiffDeepDecoder.h) so that the common layouts never pay
// for them.
enum class PixelKind {
    Bilevel,
    Gray,
    GrayAlpha,
    Palette,
    WidePalette, // 9..16-bit indices into the 16-bit colour map
    Rgb,
    RgbAlpha,
    Cmyk,
    Lab, // CIE L*a*b*, 16-bit or with alpha
    Ranged,
    ViaRgbaReader
};

struct DecodePlan {
    PixelKind kind = PixelKind::ViaRgbaReader;
    QImage::Format format = QImage::Format_RGBA8888;
    bool minIsWhite = false;
    bool associatedAlpha = false;
    int alphaSample = -1; // index of the alpha sample within a pixel, -1: none
    // Rows can be copied byte for byte into the QImage (same packing).
    bool copiesRows = false;
    // Two's complement samples.
    bool signedSamples = false;
    bool floatSamples = false;
    // Ranged: gray (1), RGB (3), or ink amounts (3 for CMY, 4 for CMYK).
    int colourSamples = 1;
    bool inks = false;
    // Cmyk: the stored inks are inverted (JPEG marked with an Adobe segment).
    bool invertedInks = false;
    // The GDAL_NODATA value of the page, if it has one.
    std::optional<double> noData;
    // Lab: the chromaticity of the page's white (D65 unless the WhitePoint tag
    // says otherwise).
    double labWhite[2] = {0.3127, 0.3290};
    // WidePalette: the colour map (1 << bits entries each), owned by the TIFF
    // handle; some writers store 8-bit values in it.
    const uint16_t* colourMap[3] = {nullptr, nullptr, nullptr};
    bool colourMapIsEightBit = false;
};

// Reads the tags of the current directory and rejects values no decoder can
// work with (zero or absurd sizes, sample counts, bit depths).
Result<TiffPageLayout> readPageLayout(TIFF* tif, int pageNumber);

// A page-sized image of `format`, every byte zero, or the reason there is none.
Result<QImage> allocatePage(const TiffPageLayout& l, QImage::Format format);

// Chooses the decoder and output form. May set JPEGCOLORMODE on `tif` so that
// libtiff hands out RGB for JPEG-compressed YCbCr.
DecodePlan choosePlan(TIFF* tif, const TiffPageLayout& layout);

// Refuses a page whose output in `format` would exceed the limits, before
// anything is allocated for it.
Status checkPageLimits(const TiffPageLayout& layout, QImage::Format format,
                       const DecodeLimits& limits);
// The same check for a working buffer of `bytes`.
Status checkBufferLimit(const TiffPageLayout& layout, qint64 bytes, const DecodeLimits& limits);

// Some writers store 8-bit values in the 16-bit colour map; libtiff's own
// reader takes a map whose entries are all below 256 to be one of those.
bool colourMapIsEightBit(const uint16_t* const map[3], size_t entries);

// Zeroes the bits of every row past its pixels. Images Qt makes (conversions,
// turns) leave them as allocated, and writers may pass whole bytes on.
void clearRowPadding(QImage& image);

// Bytes per row of `format` at `width`, as QImage lays it out (32-bit aligned).
qint64 qImageBytesPerLine(QImage::Format format, uint32_t width);
