#pragma once

#include "engine/TiffPageLayout.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// Unpacks `count` samples of `bits` each (1..16, MSB first, 16-bit in native
// order as libtiff returns them) into dst[0], dst[stride], dst[2 * stride]...
void unpackSamples(const uint8_t* packed, uint32_t count, uint16_t bits, uint16_t* dst,
                   uint32_t stride);

// Turns one row of unpacked samples (`samplesPerPixel` per pixel, each
// 0..2^bits-1) into one scanline of the plan's QImage format.
void convertSampleRow(const DecodePlan& plan, const uint16_t* samples, uint32_t width,
                      uint16_t samplesPerPixel, uint16_t bits, uchar* scanline);
