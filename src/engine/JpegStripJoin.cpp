#include "engine/JpegStripJoin.h"

#include "engine/JpegMarkers.h"

#include <algorithm>
#include <cstring>

namespace {

using namespace JpegMarkers;

constexpr uint32_t kMaxDimension = 0xFFFF;
constexpr uint32_t kBlock = 8;

// Where a strip's pieces lie in its stream.
struct StripParts {
    size_t heightAt = 0;     // the frame header's two bytes of height
    size_t scanAt = 0;       // the start-of-scan marker
    size_t entropyStart = 0; // just past the scan header
    size_t entropyEnd = 0;   // the end-of-image marker
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t mcuWidth = kBlock;
    uint32_t mcuHeight = kBlock;
};

bool readFrame(const std::vector<uint8_t>& d, size_t at, size_t length, StripParts& parts) {
    if (length < 8 || d[at + 4] != kBlock) {
        return false;
    }
    parts.heightAt = at + 5;
    parts.height = bigEndian16(d, at + 5);
    parts.width = bigEndian16(d, at + 7);
    const unsigned components = d[at + 9];
    if (components == 0 || length != 8 + 3 * components) {
        return false;
    }
    if (components > 1) {
        unsigned most[2] = {1, 1};
        for (unsigned c = 0; c < components; ++c) {
            const uint8_t factors = d[at + 11 + 3 * size_t(c)];
            most[0] = std::max(most[0], unsigned(factors >> 4));
            most[1] = std::max(most[1], unsigned(factors & 0x0F));
        }
        parts.mcuWidth = kBlock * most[0];
        parts.mcuHeight = kBlock * most[1];
    }
    return true;
}

// The headers up to the scan: one frame of sequential Huffman coding and a
// scan that holds every component, without a restart interval of its own.
bool readHeaders(const std::vector<uint8_t>& d, StripParts& parts) {
    size_t at = 2;
    bool framed = false;
    unsigned frameComponents = 0;
    while (at + 4 <= d.size() && d[at] == kMarker) {
        const uint8_t marker = d[at + 1];
        const size_t length = bigEndian16(d, at + 2);
        if (marker == kMarker || length < 2 || at + 2 + length > d.size() ||
            marker == kRestartInterval || marker == kEndOfImage ||
            (marker >= kFirstRestart && marker <= kLastRestart)) {
            return false;
        }
        if (marker == kStartOfScan) {
            parts.scanAt = at;
            parts.entropyStart = at + 2 + length;
            return framed && length >= 3 && d[at + 4] == frameComponents;
        }
        if (isStartOfFrame(marker)) {
            if (framed || (marker != kBaseline && marker != kExtendedHuffman) ||
                !readFrame(d, at, length, parts)) {
                return false;
            }
            framed = true;
            frameComponents = d[at + 9];
        }
        at += 2 + length;
    }
    return false;
}

// The coded data runs to the end-of-image marker that closes the stream,
// with no marker but stuffed bytes on the way: one scan, no restarts.
bool readEntropy(const std::vector<uint8_t>& d, StripParts& parts) {
    if (d.size() < parts.entropyStart + 2 || d[d.size() - 2] != kMarker ||
        d.back() != kEndOfImage) {
        return false;
    }
    parts.entropyEnd = d.size() - 2;
    const uint8_t* p = d.data() + parts.entropyStart;
    const uint8_t* const end = d.data() + parts.entropyEnd;
    while (p < end) {
        const auto* found = static_cast<const uint8_t*>(std::memchr(p, kMarker, size_t(end - p)));
        if (found == nullptr) {
            return true;
        }
        p = found + 1;
        while (p < end && *p == kMarker) {
            ++p; // fill bytes
        }
        if (p < end && *p != 0) {
            return false;
        }
        ++p;
    }
    return true;
}

std::optional<StripParts> readStrip(const std::vector<uint8_t>& d) {
    StripParts parts;
    if (d.size() < 4 || d[0] != kMarker || d[1] != kStartOfImage || !readHeaders(d, parts) ||
        !readEntropy(d, parts)) {
        return std::nullopt;
    }
    return parts;
}

bool sameHeaders(const std::vector<uint8_t>& a, const StripParts& pa, const std::vector<uint8_t>& b,
                 const StripParts& pb) {
    if (pa.entropyStart != pb.entropyStart || pa.heightAt != pb.heightAt) {
        return false;
    }
    const auto* x = a.data();
    const auto* y = b.data();
    return std::memcmp(x, y, pa.heightAt) == 0 &&
           std::memcmp(x + pa.heightAt + 2, y + pa.heightAt + 2,
                       pa.entropyStart - pa.heightAt - 2) == 0;
}

std::vector<uint8_t> joined(const std::vector<std::vector<uint8_t>>& strips,
                            const std::vector<StripParts>& parts, uint32_t height,
                            uint32_t restartInterval) {
    const std::vector<uint8_t>& first = strips.front();
    const StripParts& head = parts.front();
    size_t total = head.entropyStart + 6;
    for (size_t s = 0; s < strips.size(); ++s) {
        total += parts[s].entropyEnd - parts[s].entropyStart + 2;
    }
    std::vector<uint8_t> out;
    out.reserve(total);
    out.insert(out.end(), first.begin(), first.begin() + std::ptrdiff_t(head.scanAt));
    out[head.heightAt] = uint8_t(height >> 8);
    out[head.heightAt + 1] = uint8_t(height);
    const uint8_t interval[] = {
        kMarker, kRestartInterval, 0, 4, uint8_t(restartInterval >> 8), uint8_t(restartInterval)};
    out.insert(out.end(), std::begin(interval), std::end(interval));
    out.insert(out.end(), first.begin() + std::ptrdiff_t(head.scanAt),
               first.begin() + std::ptrdiff_t(head.entropyStart));
    for (size_t s = 0; s < strips.size(); ++s) {
        if (s > 0) {
            out.push_back(kMarker);
            out.push_back(uint8_t(kFirstRestart + (s - 1) % 8));
        }
        out.insert(out.end(), strips[s].begin() + std::ptrdiff_t(parts[s].entropyStart),
                   strips[s].begin() + std::ptrdiff_t(parts[s].entropyEnd));
    }
    out.push_back(kMarker);
    out.push_back(kEndOfImage);
    return out;
}

} // namespace

std::optional<std::vector<uint8_t>> joinJpegStrips(const std::vector<std::vector<uint8_t>>& strips,
                                                   uint32_t width, uint32_t height,
                                                   uint32_t rowsPerStrip) {
    if (strips.size() < 2 || rowsPerStrip == 0 || height > kMaxDimension ||
        uint64_t(rowsPerStrip) * (strips.size() - 1) >= height) {
        return std::nullopt;
    }
    std::vector<StripParts> parts;
    parts.reserve(strips.size());
    for (size_t s = 0; s < strips.size(); ++s) {
        std::optional<StripParts> strip = readStrip(strips[s]);
        const uint32_t rows = std::min<uint32_t>(rowsPerStrip, height - uint32_t(s) * rowsPerStrip);
        if (!strip || strip->width != width || strip->height != rows ||
            (s > 0 && !sameHeaders(strips.front(), parts.front(), strips[s], *strip))) {
            return std::nullopt;
        }
        parts.push_back(*strip);
    }
    const StripParts& head = parts.front();
    if (rowsPerStrip % head.mcuHeight != 0) {
        return std::nullopt;
    }
    const uint64_t interval =
        uint64_t((width + head.mcuWidth - 1) / head.mcuWidth) * (rowsPerStrip / head.mcuHeight);
    if (interval == 0 || interval > kMaxDimension) {
        return std::nullopt;
    }
    return joined(strips, parts, height, uint32_t(interval));
}
