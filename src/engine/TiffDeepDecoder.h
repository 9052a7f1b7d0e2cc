#pragma once

#include "engine/PageSource.h"
#include "engine/TiffPageLayout.h"
#include "platform/Result.h"

#include <QImage>

#include <cstdint>

class TiffHandle;

// Decodes a Float or WideInteger page (see choosePlan) into a 16-bit QImage
// in stored row order: Grayscale16 or RGBX64, RGBA64 when the page has alpha
// or samples without a value. Integers map linearly from their full range
// (signed ones offset first); floats map from [0, 1] when every finite value
// lies there and are otherwise stretched from the page's finite minimum to
// its maximum. The page carries the mapping in words (PageMapping.h).
Result<QImage> decodeDeepPage(TiffHandle& tiff, const TiffPageLayout& layout,
                              const DecodePlan& plan, const DecodeLimits& limits);

// IEEE half precision and the 24-bit float (1 sign, 7 exponent, 16 mantissa
// bits) as stored in TIFF, to double.
double halfToDouble(uint16_t bits);
double float24ToDouble(uint32_t bits);
