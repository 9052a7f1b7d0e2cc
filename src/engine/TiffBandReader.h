#pragma once

#include "engine/PageSource.h"
#include "engine/TiffHandle.h"
#include "engine/TiffPageLayout.h"
#include "platform/Result.h"

#include <cstdint>
#include <functional>
#include <vector>

// Opens the page's file or data again, for a thread of its own.
using TiffOpener = std::function<Result<TiffHandle>()>;

// How many threads may decode one page's strips, each through a handle of
// its own on the same directory.
struct StripThreads {
    int threads = 1;
    qint64 minBytesPerThread = 0; // see DecodeThreads
    TiffOpener open;              // empty: one thread
};

// Decoded rows of the current directory, one strip or one row of tiles at a
// time, in libtiff's packed form: one plane for contiguous samples, one per
// sample for planar-separate data.
struct TiffBand {
    uint32_t firstRow = 0;
    uint32_t rowCount = 0;
    int planes = 1;
    qint64 planeRowBytes = 0; // packed bytes of one row of one plane
    const uint8_t* data = nullptr;

    const uint8_t* row(int plane, uint32_t r) const {
        return data + (qint64(plane) * rowCount + r) * planeRowBytes;
    }
};

// Reads every band of the page and hands it to `consume`. Buffers are sized
// from the validated layout and checked against the limits first.
// Threads: as the handle. With `threads.threads` above 1 a large page's
// strips may be decoded on as many threads, each with a handle of its own:
// `consume` is then called on several threads at once, each time for other
// rows, and in no set order. The outcome, and what the handle reports, are
// those of reading in order.
Status readBands(TiffHandle& tiff, const TiffPageLayout& layout, const DecodeLimits& limits,
                 const std::function<void(const TiffBand&)>& consume,
                 const StripThreads& threads = {});

// Decodes contiguous strips straight into `destination`, whose rows are
// packed (`rowBytes` apart, the layout's own row size) and hold the page;
// threads as for readBands().
Status readStripsInto(TiffHandle& tiff, const TiffPageLayout& layout, uint8_t* destination,
                      qint64 destinationBytes, const StripThreads& threads = {});

// Packed bytes of one row of one plane.
qint64 planeRowBytes(const TiffPageLayout& layout, uint32_t pixels);
