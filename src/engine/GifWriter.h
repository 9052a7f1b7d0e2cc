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

    // libimagequant's speed, 1 (slowest) .. 10. On a noisy 2400 x 1600 page
    // 5 took 2.1 s against 2.9 s at 4 for 0.1 dB less PSNR (28.0 dB); 8 would
    // take 0.9 s but lose another 0.9 dB.
    static constexpr int kQuantizerSpeed = 5;
};
