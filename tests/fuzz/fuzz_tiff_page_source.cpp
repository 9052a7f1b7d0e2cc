// libFuzzer target: a TIFF from memory, every page decoded under low limits.
// Built with the "fuzz" preset (clang, PICTAVO_FUZZ) and run by
// scripts/fuzz.sh on the files the tests make; CI runs it after the tests.
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
