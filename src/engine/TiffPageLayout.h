#pragma once

#include "engine/PageSource.h"
#include "platform/Result.h"

#include <QImage>
#include <QString>

#include <cstdint>

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
// else goes through libtiff's RGBA reader.
enum class PixelKind { Bilevel, Gray, GrayAlpha, Palette, Rgb, RgbAlpha, Cmyk, ViaRgbaReader };

struct DecodePlan {
    PixelKind kind = PixelKind::ViaRgbaReader;
    QImage::Format format = QImage::Format_RGBA8888;
    bool minIsWhite = false;
    bool associatedAlpha = false;
    int alphaSample = -1; // index of the alpha sample within a pixel, -1: none
    // Rows can be copied byte for byte into the QImage (same packing).
    bool copiesRows = false;
};

// Reads the tags of the current directory and rejects values no decoder can
// work with (zero or absurd sizes, sample counts, bit depths).
Result<TiffPageLayout> readPageLayout(TIFF* tif, int pageNumber);

// Chooses the decoder and output form. May set JPEGCOLORMODE on `tif` so that
// libtiff hands out RGB for JPEG-compressed YCbCr.
DecodePlan choosePlan(TIFF* tif, const TiffPageLayout& layout);

// Refuses a page whose output in `format` would exceed the limits, before
// anything is allocated for it.
Status checkPageLimits(const TiffPageLayout& layout, QImage::Format format,
                       const DecodeLimits& limits);
// The same check for a working buffer of `bytes`.
Status checkBufferLimit(const TiffPageLayout& layout, qint64 bytes, const DecodeLimits& limits);

// Bytes per row of `format` at `width`, as QImage lays it out (32-bit aligned).
qint64 qImageBytesPerLine(QImage::Format format, uint32_t width);
