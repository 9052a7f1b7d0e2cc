#pragma once

#include "engine/PageWriter.h"

// BMP written row by row from the page: 1-bit and indexed pages keep their
// palette (4 bits a pixel for up to 16 entries), gray pages become an 8-bit
// gray palette, everything else 24-bit RGB.
// 16-bit pages are reduced to 8 bits; BMP as written here holds no alpha, so
// alpha is shown over white. The resolution goes into the header's pixels
// per metre; there is no room for a profile.
class BmpWriter final : public PageWriter {
public:
    Status encode(const QImage& page, const QString& path,
                  const WriteOptions& options) const override;
};
