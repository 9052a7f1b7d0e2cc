#pragma once

#include "engine/PageSource.h"
#include "engine/TiffPageLayout.h"
#include "platform/Result.h"

#include <QImage>

#include <cstdint>

class TiffHandle;

// Decodes a Ranged page (see choosePlan) in stored row order, its levels
// chosen by the page's own samples (SampleRule.h). The form is the plan's,
// with alpha added when some pixels have no value; the page carries the
// mapping in words (PageMapping.h).
Result<QImage> decodeDeepPage(TiffHandle& tiff, const TiffPageLayout& layout,
                              const DecodePlan& plan, const DecodeLimits& limits);

// The largest form a Ranged page can take.
QImage::Format widestRangedFormat(const DecodePlan& plan);

// IEEE half precision and the 24-bit float (1 sign, 7 exponent, 16 mantissa
// bits) as stored in TIFF, to double.
double halfToDouble(uint16_t bits);
double float24ToDouble(uint32_t bits);
