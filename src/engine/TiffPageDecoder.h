#pragma once

#include "engine/PageSource.h"
#include "engine/TiffBandReader.h"
#include "engine/TiffPageLayout.h"
#include "platform/Result.h"

#include <QImage>

class TiffHandle;

// Decodes the current directory into the plan's native QImage form, in the
// order the rows are stored (orientation is applied by the caller); a large
// page's strips on up to `threads.threads` threads.
Result<QImage> decodeNativePage(TiffHandle& tiff, const TiffPageLayout& layout,
                                const DecodePlan& plan, const DecodeLimits& limits,
                                const StripThreads& threads = {});

// Decodes the current directory with libtiff's RGBA reader, for what the
// native decoder does not cover (LogLuv, CIELab, float samples, YCbCr...):
// RGBA8888 when the page has alpha, RGB888 otherwise; stored row order.
Result<QImage> decodeViaRgbaReader(TiffHandle& tiff, const TiffPageLayout& layout,
                                   const DecodeLimits& limits);
