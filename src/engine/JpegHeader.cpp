#include "engine/JpegHeader.h"

#include "engine/JpegMarkers.h"

#include <algorithm>
#include <cstddef>

using namespace JpegMarkers;

namespace {

bool isStandalone(uint8_t marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= kStartOfImage);
}

void readSegment(const std::vector<uint8_t>& d, size_t at, uint8_t marker, JpegHeader& header) {
    const unsigned length = bigEndian16(d, at + 2);
    if (isStartOfFrame(marker) && length >= 8 && at + 10 <= d.size()) {
        header.precision = d[at + 4];
        header.height = bigEndian16(d, at + 5);
        header.width = bigEndian16(d, at + 7);
        header.components = d[at + 9];
    } else if (marker == kAdobe && length >= 12 && at + 9 <= d.size() &&
               std::equal(d.begin() + static_cast<std::ptrdiff_t>(at + 4),
                          d.begin() + static_cast<std::ptrdiff_t>(at + 9), "Adobe")) {
        header.adobe = true;
    }
}

} // namespace

std::optional<JpegHeader> readJpegHeader(const std::vector<uint8_t>& d) {
    if (d.size() < 4 || d[0] != kMarker || d[1] != kStartOfImage) {
        return std::nullopt;
    }
    JpegHeader header;
    size_t at = 2;
    while (at + 4 <= d.size()) {
        if (d[at] != kMarker) {
            return std::nullopt;
        }
        const uint8_t marker = d[at + 1];
        if (marker == kMarker) {
            ++at; // fill byte
            continue;
        }
        if (isStandalone(marker)) {
            at += 2;
            continue;
        }
        if (marker == kStartOfScan) {
            return header;
        }
        readSegment(d, at, marker, header);
        at += 2 + bigEndian16(d, at + 2);
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> mergedJpegStream(const std::vector<uint8_t>& tables,
                                                     const std::vector<uint8_t>& strip) {
    if (strip.size() < 2 || strip[0] != kMarker || strip[1] != kStartOfImage) {
        return std::nullopt;
    }
    if (tables.empty()) {
        return strip;
    }
    if (tables.size() < 4 || tables[0] != kMarker || tables[1] != kStartOfImage ||
        tables[tables.size() - 2] != kMarker || tables.back() != kEndOfImage) {
        return std::nullopt;
    }
    std::vector<uint8_t> merged(tables.begin(), tables.end() - 2);
    merged.insert(merged.end(), strip.begin() + 2, strip.end());
    return merged;
}

std::vector<uint8_t> jpegTables(TIFF* tif) {
    uint32_t size = 0;
    void* data = nullptr;
    if (TIFFGetField(tif, TIFFTAG_JPEGTABLES, &size, &data) != 1 || data == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    return {bytes, bytes + size};
}

bool storesInvertedJpegInks(TIFF* tif) {
    // The headers come first; 64 KiB of the first block hold them.
    constexpr tmsize_t kHeaderBytes = 64 << 10;
    std::vector<uint8_t> block(static_cast<size_t>(kHeaderBytes));
    const tmsize_t read = TIFFIsTiled(tif) != 0
                              ? TIFFReadRawTile(tif, 0, block.data(), kHeaderBytes)
                              : TIFFReadRawStrip(tif, 0, block.data(), kHeaderBytes);
    if (read <= 0) {
        return false;
    }
    block.resize(static_cast<size_t>(read));
    const std::optional<std::vector<uint8_t>> stream = mergedJpegStream(jpegTables(tif), block);
    const std::optional<JpegHeader> header =
        stream ? readJpegHeader(*stream) : std::optional<JpegHeader>();
    return header && header->components == 4 && header->adobe;
}
