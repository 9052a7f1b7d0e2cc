#pragma once

#include "engine/PageWriter.h"

// PNG through libpng, keeping the page's bit depth: 1-bit pages as 1-bit gray
// (or a 2-entry palette when their colours are not black and white), gray
// 8/16, palettes with tRNS for alpha entries, RGB and RGBA in 8 or 16 bits.
// Resolution goes into pHYs, the ICC profile into iCCP.
class PngWriter final : public PageWriter {
public:
    Status encode(const QImage& page, const QString& path,
                  const WriteOptions& options) const override;

    // zlib level 4 with libpng's adaptive filters: files within a few per
    // cent of level 6 at a clearly lower cost on photographic pages.
    static constexpr int kCompressionLevel = 4;
};
