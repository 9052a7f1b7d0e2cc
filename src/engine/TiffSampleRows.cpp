#include "engine/TiffSampleRows.h"

#include <algorithm>
#include <cstring>

namespace {

struct Range {
    uint32_t max; // largest sample value

    uint8_t to8(uint32_t v) const { return static_cast<uint8_t>(max == 255 ? v : v * 255U / max); }
    uint16_t to16(uint32_t v) const {
        return static_cast<uint16_t>(max == 65535 ? v : uint64_t(v) * 65535U / max);
    }
    // Colour of premultiplied data divided by its alpha; 0 where alpha is 0.
    uint32_t unpremultiply(uint32_t colour, uint32_t alpha) const {
        if (alpha == 0) {
            return 0;
        }
        return std::min<uint32_t>(
            max, static_cast<uint32_t>((uint64_t(colour) * max + alpha / 2) / alpha));
    }
};

uint16_t* words(uchar* scanline) {
    return reinterpret_cast<uint16_t*>(scanline);
}

void grayRow(const DecodePlan& plan, const uint16_t* s, uint32_t width, uint16_t spp, Range r,
             uchar* out) {
    const bool wide = plan.format == QImage::Format_Grayscale16;
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t v = plan.minIsWhite ? r.max - s[x * spp] : s[x * spp];
        if (wide) {
            words(out)[x] = r.to16(v);
        } else {
            out[x] = r.to8(v);
        }
    }
}

// Colour samples 0..colours-1 (gray repeated for one), then alpha.
void rgbaRow(const DecodePlan& plan, const uint16_t* s, uint32_t width, uint16_t spp, Range r,
             int colours, uchar* out) {
    const bool wide = plan.format == QImage::Format_RGBA64;
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t* px = s + size_t(x) * spp;
        const uint32_t alpha = px[plan.alphaSample];
        for (int c = 0; c < 3; ++c) {
            uint32_t v = px[colours == 1 ? 0 : c];
            if (plan.associatedAlpha) {
                v = r.unpremultiply(v, alpha);
            }
            if (plan.minIsWhite) {
                v = r.max - v;
            }
            if (wide) {
                words(out)[x * 4 + c] = r.to16(v);
            } else {
                out[x * 4 + c] = r.to8(v);
            }
        }
        if (wide) {
            words(out)[x * 4 + 3] = r.to16(alpha);
        } else {
            out[x * 4 + 3] = r.to8(alpha);
        }
    }
}

void rgbRow(const DecodePlan& plan, const uint16_t* s, uint32_t width, uint16_t spp, Range r,
            uchar* out) {
    const bool wide = plan.format == QImage::Format_RGBX64;
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t* px = s + size_t(x) * spp;
        if (wide) {
            uint16_t* o = words(out) + size_t(x) * 4;
            o[0] = r.to16(px[0]);
            o[1] = r.to16(px[1]);
            o[2] = r.to16(px[2]);
            o[3] = 0xFFFF;
        } else {
            uchar* o = out + size_t(x) * 3;
            o[0] = r.to8(px[0]);
            o[1] = r.to8(px[1]);
            o[2] = r.to8(px[2]);
        }
    }
}

// What libtiff's RGBA reader does with CMYK: each ink and black darken the
// colour multiplicatively.
void cmykRow(const uint16_t* s, uint32_t width, uint16_t spp, Range r, uchar* out) {
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t* px = s + size_t(x) * spp;
        const uint64_t white = r.max - px[3];
        for (int c = 0; c < 3; ++c) {
            out[x * 3 + c] = r.to8(static_cast<uint32_t>((r.max - px[c]) * white / r.max));
        }
    }
}

void paletteRow(const uint16_t* s, uint32_t width, uint16_t spp, uchar* out) {
    for (uint32_t x = 0; x < width; ++x) {
        out[x] = static_cast<uchar>(s[x * spp]);
    }
}

void bilevelRow(const uint16_t* s, uint32_t width, uint16_t spp, uchar* out) {
    std::memset(out, 0, (width + 7) / 8);
    for (uint32_t x = 0; x < width; ++x) {
        if (s[x * spp] != 0) {
            out[x / 8] = static_cast<uchar>(out[x / 8] | (0x80U >> (x % 8)));
        }
    }
}

} // namespace

void unpackSamples(const uint8_t* packed, uint32_t count, uint16_t bits, uint16_t* dst,
                   uint32_t stride) {
    if (bits == 8) {
        for (uint32_t i = 0; i < count; ++i) {
            dst[size_t(i) * stride] = packed[i];
        }
        return;
    }
    if (bits == 16) {
        for (uint32_t i = 0; i < count; ++i) {
            std::memcpy(dst + size_t(i) * stride, packed + size_t(i) * 2, 2);
        }
        return;
    }
    const uint32_t mask = (1U << bits) - 1U;
    uint64_t bitPos = 0;
    for (uint32_t i = 0; i < count; ++i, bitPos += bits) {
        // A sample of up to 16 bits spans at most three bytes.
        const size_t byte = bitPos / 8;
        const uint32_t shift = static_cast<uint32_t>(bitPos % 8);
        const uint32_t needed = (shift + bits + 7) / 8;
        uint32_t window = 0;
        for (uint32_t b = 0; b < 3; ++b) {
            window = (window << 8) | (b < needed ? packed[byte + b] : 0U);
        }
        dst[size_t(i) * stride] = static_cast<uint16_t>((window >> (24U - shift - bits)) & mask);
    }
}

void convertSampleRow(const DecodePlan& plan, const uint16_t* samples, uint32_t width, uint16_t spp,
                      uint16_t bits, uchar* scanline) {
    const Range range{(1U << bits) - 1U};
    switch (plan.kind) {
    case PixelKind::Bilevel:
        bilevelRow(samples, width, spp, scanline);
        break;
    case PixelKind::Gray:
        grayRow(plan, samples, width, spp, range, scanline);
        break;
    case PixelKind::GrayAlpha:
        rgbaRow(plan, samples, width, spp, range, 1, scanline);
        break;
    case PixelKind::Palette:
        paletteRow(samples, width, spp, scanline);
        break;
    case PixelKind::Rgb:
        rgbRow(plan, samples, width, spp, range, scanline);
        break;
    case PixelKind::RgbAlpha:
        rgbaRow(plan, samples, width, spp, range, 3, scanline);
        break;
    case PixelKind::Cmyk:
        cmykRow(samples, width, spp, range, scanline);
        break;
    case PixelKind::ViaRgbaReader:
        break;
    }
}
