#pragma once

#include "engine/PageWriter.h"

// GIF through giflib. A page of at most 256 distinct colours keeps them
// exactly; a full-colour page is quantised by libimagequant with dithering.
// Pixels with alpha below 128 become the one transparent index. GIF holds
// neither resolution nor a profile.
class GifWriter final : public PageWriter {
public:
    Status encode(const QImage& page, const QString& path,
                  const WriteOptions& options) const override;

    // libimagequant's speed 1 (slowest, best) .. 10: 5 spends about half the
    // time of the default 4 for a palette that is hard to tell apart.
    static constexpr int kQuantizerSpeed = 5;
};
