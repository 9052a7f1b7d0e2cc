#pragma once

#include "engine/TiffHandle.h"

#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

#include <tiffio.h>

// What reading a page's strips whole needs to know of it.
struct StripGeometry {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rowsPerStrip = 0; // 1..height
    uint16_t bitsPerSample = 0;
    uint16_t samplesPerPixel = 0;
    uint16_t compression = 0;
    // False: compressed strips are only read, for a caller that checks the
    // data in its own way.
    bool checkByDecoding = true;
};

// The stored bytes of every strip of the current directory into `strips`,
// when each holds exactly what its rows need and, when compressed, decodes
// cleanly to them; false when any does not, or when the page has more
// compressed bytes than its samples could need.
bool readWholeStrips(TiffHandle& source, const StripGeometry& geometry,
                     std::vector<std::vector<uint8_t>>& strips);

// What reading a page's tiles whole needs to know of it.
struct TileGeometry {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t tileWidth = 0;
    uint32_t tileHeight = 0;
    uint16_t bitsPerSample = 0;
    uint16_t samplesPerPixel = 0;
    bool checkByDecoding = true; // as for strips
};

// The stored bytes of every tile of the current directory (one plane) into
// `tiles`, each decoding cleanly to a whole tile; false when any does not.
bool readWholeTiles(TiffHandle& source, const TileGeometry& geometry,
                    std::vector<std::vector<uint8_t>>& tiles);

// A TIFF page whose compressed strips can go into another TIFF unchanged,
// because decoding and writing it again would give the same samples under the
// same tags. Strip layout, predictor and fax options stay the source's: they
// describe the data, not the pixels.
struct CopiablePage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rowsPerStrip = 0;
    uint16_t bitsPerSample = 0;
    uint16_t samplesPerPixel = 0;
    uint16_t photometric = 0;
    uint16_t compression = 0;
    uint16_t predictor = PREDICTOR_NONE;
    std::optional<uint32_t> group4Options;
    std::vector<std::vector<uint8_t>> strips;
};

// The page the source handle is set on, read for copying into a file written
// with `compression`; nothing when the writer would store it differently
// (another compression, photometric, depth or sample layout, an orientation
// to apply, tiles, bit order) or its strips cannot all be read whole: each
// must hold exactly what its rows need and, when compressed, decode cleanly to
// them, so that the file written reads back without complaint.
std::optional<CopiablePage> readCopiablePage(TiffHandle& source, uint16_t compression);
