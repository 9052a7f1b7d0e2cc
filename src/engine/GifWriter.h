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
    // The speed the colours are counted at. On pages 1 and 6 of the
    // benchmark's photographs, 8 here took 3.11 s of CPU against 6.50 s at 6,
    // for 43.64 / 45.55 dB blurred against 43.20 / 45.29 dB; sampling every
    // fourth row instead took 4.13 s for 43.21 / 45.37 dB.
    static constexpr int kHistogramSpeed = 8;
    static constexpr float kDitheringLevel = 1.0F;
};
