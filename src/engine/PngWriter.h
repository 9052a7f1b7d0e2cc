#pragma once

#include "engine/PageWriter.h"
#include "engine/PngStream.h"

// PNG through libpng, keeping the page's bit depth: 1-bit pages as 1-bit gray
// (or a 2-entry palette when their colours are not black and white), gray
// 8/16, palettes with tRNS for alpha entries, RGB and RGBA in 8 or 16 bits.
// Resolution goes into pHYs, the ICC profile into iCCP.
class PngWriter final : public PageWriter {
public:
    PngWriter() = default;
    // Fixed parts instead of the cores idle at the time of writing.
    explicit PngWriter(const PngStream::Partition& partition) : m_partition(partition) {}

    Status encode(const QImage& page, const QString& path,
                  const WriteOptions& options) const override;

    // libdeflate levels where matches pay (grainy photographs go Huffman
    // only, see PngStream). On two smooth 3508 x 2480 photographs, filtered:
    // 7.97 MB in 0.37 s at 5, 7.88 MB in 0.54 s at 6, 8.39 MB in 0.57 s for
    // zlib at 4 and 7.88 MB in 2.63 s at 7.
    static constexpr int kCompressionLevel = 5;
    // 1-bit pages are an eighth of the bytes and unfiltered: a higher level
    // costs little there.
    static constexpr int kBilevelCompressionLevel = 6;
    static int compressionLevel(int bitDepth) {
        return bitDepth < 8 ? kBilevelCompressionLevel : kCompressionLevel;
    }

private:
    PngStream::Partition m_partition{.threads = 0};
};
