#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <tiffio.h>

// What the headers of a JPEG stream say before its first scan.
struct JpegHeader {
    int precision = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;
    bool adobe = false; // an Adobe segment: CMYK inks are stored inverted
};

// Nothing when the stream does not start with its image and reach a scan.
std::optional<JpegHeader> readJpegHeader(const std::vector<uint8_t>& stream);

// The current directory's JPEGTables: a stream of its own from its
// start-of-image to its end-of-image, or nothing.
std::vector<uint8_t> jpegTables(TIFF* tif);

// An abbreviated strip or tile made a whole stream with the tables in front;
// a strip without tables stays as it is.
std::optional<std::vector<uint8_t>> mergedJpegStream(const std::vector<uint8_t>& tables,
                                                     const std::vector<uint8_t>& strip);

// Whether the current directory, a JPEG-compressed CMYK page, stores its
// inks inverted, as writers that mark their CMYK JPEG with an Adobe segment
// do. Only the first strip or tile's headers are read.
bool storesInvertedJpegInks(TIFF* tif);
