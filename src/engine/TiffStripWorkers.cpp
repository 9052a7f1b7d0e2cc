#include "engine/TiffStripWorkers.h"

#include "engine/TiffHandle.h"

#include <QStringList>

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// What one stripe left on its handle, to be replayed in stripe order.
struct StripeReport {
    QString error;
    QStringList warnings;
    std::optional<tstrip_t> failedStrip;
};

struct Shared {
    explicit Shared(const StripeJob& j) : job(j), reports(j.stripes) {}
    const StripeJob& job;
    std::vector<StripeReport> reports;
    std::atomic<uint32_t> next{0};
    std::atomic<uint32_t> firstFailed{std::numeric_limits<uint32_t>::max()};
    std::exception_ptr exception;
    std::atomic_flag thrown = ATOMIC_FLAG_INIT;
};

// A fresh handle on the directory `tiff` is on, decoding as `tiff` does. The
// Group 3 variants override the compression on the handle itself; such a
// page is read in order.
std::optional<TiffHandle> openSameDirectory(const TiffHandle& tiff, const TiffOpener& open) {
    Result<TiffHandle> helper = open();
    if (!helper) {
        return std::nullopt;
    }
    TIFF* from = tiff.get();
    TIFF* to = helper->get();
    uint16_t compression = 0;
    uint16_t ours = 0;
    if (!readSameSource(from, to) || TIFFSetSubDirectory(to, TIFFCurrentDirOffset(from)) != 1 ||
        TIFFGetField(from, TIFFTAG_COMPRESSION, &compression) != 1 ||
        TIFFGetField(to, TIFFTAG_COMPRESSION, &ours) != 1 || compression != ours) {
        return std::nullopt;
    }
    int colourMode = JPEGCOLORMODE_RAW;
    if (compression == COMPRESSION_JPEG &&
        TIFFGetField(from, TIFFTAG_JPEGCOLORMODE, &colourMode) == 1 &&
        TIFFSetField(to, TIFFTAG_JPEGCOLORMODE, colourMode) != 1) {
        return std::nullopt;
    }
    if (TIFFNumberOfStrips(to) != TIFFNumberOfStrips(from) ||
        TIFFStripSize(to) != TIFFStripSize(from)) {
        return std::nullopt;
    }
    helper->clearError();
    return std::move(*helper);
}

void readStripes(Shared& shared, TiffHandle& handle, uint8_t* scratch) {
    try {
        for (;;) {
            const uint32_t stripe = shared.next.fetch_add(1, std::memory_order_relaxed);
            if (stripe >= shared.job.stripes ||
                stripe > shared.firstFailed.load(std::memory_order_relaxed)) {
                return;
            }
            handle.clearError();
            StripeReport& report = shared.reports[stripe];
            report.failedStrip = shared.job.read(handle, stripe, scratch);
            report.error = handle.lastError();
            report.warnings = handle.warnings();
            if (report.failedStrip) {
                uint32_t first = shared.firstFailed.load(std::memory_order_relaxed);
                while (stripe < first && !shared.firstFailed.compare_exchange_weak(first, stripe)) {
                }
                return;
            }
        }
    } catch (...) {
        if (!shared.thrown.test_and_set()) {
            shared.exception = std::current_exception();
        }
        shared.firstFailed.store(0); // the others stop; the exception is the outcome
    }
}

} // namespace

StripesRead readStripesOnThreads(TiffHandle& tiff, const TiffOpener& open, int threads,
                                 const StripeJob& job) {
    std::vector<TiffHandle> handles;
    for (int i = 0; i < threads; ++i) {
        std::optional<TiffHandle> helper = openSameDirectory(tiff, open);
        if (!helper) {
            break;
        }
        handles.push_back(std::move(*helper));
    }
    if (handles.size() < 2 || job.stripes == 0) {
        return {};
    }
    std::vector<std::vector<uint8_t>> scratch(handles.size(),
                                              std::vector<uint8_t>(size_t(job.scratchBytes)));
    Shared shared(job);
    {
        std::vector<std::jthread> helpers;
        for (size_t i = 1; i < handles.size(); ++i) {
            try {
                helpers.emplace_back(
                    [&, i] { readStripes(shared, handles[i], scratch[i].data()); });
            } catch (const std::system_error&) {
                break; // no more threads: those running share the rest
            }
        }
        readStripes(shared, handles[0], scratch[0].data());
    }
    if (shared.exception) {
        std::rethrow_exception(shared.exception);
    }
    StripesRead read;
    read.ran = true;
    const uint32_t failed = shared.firstFailed.load();
    const uint32_t last = std::min(job.stripes - 1, failed);
    for (uint32_t stripe = 0; stripe <= last; ++stripe) {
        tiff.absorb(shared.reports[stripe].error, shared.reports[stripe].warnings);
    }
    if (failed < job.stripes) {
        read.failedStrip = shared.reports[failed].failedStrip;
    }
    return read;
}

bool decodesStripsApart(const TiffPageLayout& layout) {
    switch (layout.compression) {
    case COMPRESSION_NONE:
    case COMPRESSION_LZW:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
    case COMPRESSION_PACKBITS:
    case COMPRESSION_JPEG:
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_ZSTD:
    case COMPRESSION_LZMA:
    case COMPRESSION_WEBP:
        return true;
    default:
        return false;
    }
}
