#pragma once

#include "engine/PageSource.h"
#include "engine/TiffPageLayout.h"
#include "platform/Result.h"

#include <cstdint>
#include <functional>
#include <vector>

class TiffHandle;

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

// Reads every band of the page in order and hands it to `consume`. Buffers
// are sized from the validated layout and checked against the limits first.
// Threads: as the handle.
Status readBands(TiffHandle& tiff, const TiffPageLayout& layout, const DecodeLimits& limits,
                 const std::function<void(const TiffBand&)>& consume);

// Decodes contiguous strips straight into `destination`, whose rows are
// packed (`rowBytes` apart, the layout's own row size) and hold the page.
Status readStripsInto(TiffHandle& tiff, const TiffPageLayout& layout, uint8_t* destination,
                      qint64 destinationBytes);

// Packed bytes of one row of one plane.
qint64 planeRowBytes(const TiffPageLayout& layout, uint32_t pixels);
