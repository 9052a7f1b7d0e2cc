#pragma once

#include "engine/TiffBandReader.h"
#include "engine/TiffPageLayout.h"

#include <cstdint>
#include <functional>
#include <optional>

// Decodes the stripes of the current directory (the strips of every plane
// that hold the same rows) on several threads, each through a handle of its
// own on the same directory: libtiff handles are not thread-safe.
struct StripeJob {
    uint32_t stripes = 0;
    qint64 scratchBytes = 0; // a buffer of this size for each thread, 0: none
    // Decodes one stripe into place through `handle`; the strip that could
    // not be decoded, if any. Called on several threads at once.
    std::function<std::optional<tstrip_t>(TiffHandle& handle, uint32_t stripe, uint8_t* scratch)>
        read;
};

struct StripesRead {
    bool ran = false; // false: the directory could not be opened again; nothing was read
    std::optional<tstrip_t> failedStrip;
};

// Every stripe up to the first that fails is read, through handles `open`
// makes. `tiff` is left with the errors and warnings it would have had
// reading those stripes in order.
StripesRead readStripesOnThreads(TiffHandle& tiff, const TiffOpener& open, int threads,
                                 const StripeJob& job);

// Whether the page's strips can be decoded apart: codecs that keep state from
// one strip to the next (old-style JPEG) cannot.
bool decodesStripsApart(const TiffPageLayout& layout);
