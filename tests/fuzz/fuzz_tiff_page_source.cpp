// libFuzzer target: a TIFF from memory, every page decoded under low limits.
// Not part of the default build; build by hand against pictavo_core with
// clang++ -fsanitize=fuzzer,address (see the comment at the end).
#include "engine/PageSource.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodeLimits limits;
    limits.maxPixels = 1 << 20;
    limits.maxBytes = 16 << 20;
    limits.maxPages = 16;
    auto source = PageSource::openTiffData(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), limits);
    if (!source) {
        return 0;
    }
    for (int i = 0; i < (*source)->pageCount(); ++i) {
        const Result<QImage> page = (*source)->readPage(i);
        static_cast<void>(page);
    }
    return 0;
}

// clang++ -std=c++20 -fsanitize=fuzzer -Isrc $(pkg-config --cflags Qt6Gui) \
//   tests/fuzz/fuzz_tiff_page_source.cpp build/dev/src/libpictavo_core.a \
//   $(pkg-config --libs Qt6Gui libtiff-4) -o fuzz_tiff_page_source
