#pragma once

#include "engine/PageWriter.h"

// GIF through giflib. A page of at most 256 distinct colours keeps them
// exactly; a full-colour page is reduced to 256 with dithering
// (ColourReduction). Pixels with alpha below 128 become the one transparent
// index. GIF holds neither resolution nor a profile.
class GifWriter final : public PageWriter {
public:
    Status encode(const QImage& page, const QString& path,
                  const WriteOptions& options) const override;
};
