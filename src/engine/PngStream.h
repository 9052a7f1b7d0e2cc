#pragma once

#include "platform/Result.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// The data of a PNG's IDAT chunks: its rows filtered and deflated (libdeflate)
// into one zlib stream. A large page is cut into parts of whole rows that are
// filtered and compressed on several threads at once; each part but the last
// is made to end on a byte boundary without closing the stream, so that the
// parts join into the one stream a reader expects.
namespace PngStream {

struct Rows {
    int height = 0;
    std::size_t rowBytes = 0;
    int filterStep = 1;   // bytes per pixel the filters look back; 1 below 8 bits
    bool adaptive = true; // false: every row unfiltered (palettes, depths below 8)
    // Writes row y as the file holds it; called from several threads at once.
    std::function<void(int y, std::uint8_t* out)> fill;
};

struct Partition {
    int threads = 1; // the caller's included; a writer takes 0 as its share of the cores
    std::size_t minPartBytes = 1U << 20;  // smaller parts do not pay for a thread
    std::size_t maxPartBytes = 32U << 20; // bounds the memory a part holds
};

// Receives the stream in order; false stops the work (the sink keeps why).
using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

Status write(const Rows& rows, int level, const Partition& partition, const Sink& sink);

} // namespace PngStream
