#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The JPEG markers and segment fields the PDF writer reads in a stream.
namespace JpegMarkers {

inline constexpr uint8_t kMarker = 0xFF;
inline constexpr uint8_t kStartOfImage = 0xD8;
inline constexpr uint8_t kEndOfImage = 0xD9;
inline constexpr uint8_t kStartOfScan = 0xDA;
inline constexpr uint8_t kRestartInterval = 0xDD;
inline constexpr uint8_t kFirstRestart = 0xD0;
inline constexpr uint8_t kLastRestart = 0xD7;
inline constexpr uint8_t kAdobe = 0xEE;
inline constexpr uint8_t kBaseline = 0xC0;
inline constexpr uint8_t kExtendedHuffman = 0xC1;

// Start-of-frame markers: C0-CF but for the table and extension markers
// among them.
constexpr bool isStartOfFrame(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

inline unsigned bigEndian16(const std::vector<uint8_t>& d, size_t at) {
    return (unsigned(d[at]) << 8) | d[at + 1];
}

} // namespace JpegMarkers
