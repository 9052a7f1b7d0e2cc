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

    // libimagequant's speed, 1 (slowest) .. 10, and dithering level. Over ten
    // 3508 x 2480 photographs (one thread, blurred PSNR as the eye sees
    // dithering) 6 took 19.7 s for 46.18 dB, against 21.8 s / 46.23 dB at 4,
    // 20.5 s / 46.10 dB at 5 and 12.2 s / 45.31 dB at 8; full dithering gives
    // the best blurred PSNR at every speed.
    static constexpr int kQuantizerSpeed = 6;
    static constexpr float kDitheringLevel = 1.0F;
};
