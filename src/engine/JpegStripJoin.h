#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// The complete JPEG streams of a page's strips (tables merged in) as one
// stream of the whole page: the first strip's headers with the page's
// height and a restart interval of one strip, then each strip's scan behind
// a restart marker. Decoding it gives exactly the strips' samples, since
// every strip's coding starts afresh, as after a restart.
//
// Nothing when that would not hold: strips that are not single-scan
// baseline or extended Huffman images of their rows' full width, whose
// headers differ in anything but height, that already use restart markers,
// or whose strip height is not a whole number of MCU rows.
std::optional<std::vector<uint8_t>> joinJpegStrips(const std::vector<std::vector<uint8_t>>& strips,
                                                   uint32_t width, uint32_t height,
                                                   uint32_t rowsPerStrip);
