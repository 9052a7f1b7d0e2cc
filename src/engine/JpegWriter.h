#pragma once

#include "engine/PageWriter.h"

// Baseline JPEG through libjpeg. Gray pages (1-bit, gray, gray palettes)
// become one-component files, everything else YCbCr; alpha is shown over
// white. Resolution goes into the JFIF density (dots per inch), the ICC
// profile into APP2 markers.
class JpegWriter final : public PageWriter {
public:
    Status encode(const QImage& page, const QString& path,
                  const WriteOptions& options) const override;
};

// The user's quality 0..10 as libjpeg's 1..100: the compression factor is
// quality / 10.
int jpegLibraryQuality(int quality);
// Chroma is kept at full resolution from a factor of 0.9 up.
bool jpegKeepsFullChroma(int quality);
