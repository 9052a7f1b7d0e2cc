#include "engine/TiffSampleRows.h"

#include <algorithm>
#include <array>
#include <cmath>
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
        const uint32_t v = plan.minIsWhite ? r.max - s[size_t(x) * spp] : s[size_t(x) * spp];
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
void cmykRow(const DecodePlan& plan, const uint16_t* s, uint32_t width, uint16_t spp, Range r,
             uchar* out) {
    // An inverted ink is already what is left of the white.
    const auto left = [&](uint16_t ink) -> uint64_t {
        return plan.invertedInks ? ink : r.max - ink;
    };
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t* px = s + size_t(x) * spp;
        const uint64_t white = left(px[3]);
        for (int c = 0; c < 3; ++c) {
            out[x * 3 + c] = r.to8(static_cast<uint32_t>(left(px[c]) * white / r.max));
        }
    }
}

void paletteRow(const uint16_t* s, uint32_t width, uint16_t spp, uchar* out) {
    for (uint32_t x = 0; x < width; ++x) {
        out[x] = static_cast<uchar>(s[size_t(x) * spp]);
    }
}

void widePaletteRow(const DecodePlan& plan, const uint16_t* s, uint32_t width, uint16_t spp,
                    uchar* out) {
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t index = s[size_t(x) * spp];
        if (plan.colourMapIsEightBit) {
            for (int c = 0; c < 3; ++c) {
                out[x * 3 + c] = static_cast<uchar>(plan.colourMap[c][index]);
            }
        } else {
            uint16_t* o = words(out) + size_t(x) * 4;
            for (int c = 0; c < 3; ++c) {
                o[c] = plan.colourMap[c][index];
            }
            o[3] = 0xFFFF;
        }
    }
}

// CIE L*a*b* relative to the page's white to sRGB: XYZ adapted from that
// white to D65 (sRGB's own) with the Bradford transform.
struct Srgb {
    double r, g, b;
};

using Matrix = std::array<double, 9>;

Matrix multiplied(const Matrix& m, const Matrix& n) {
    Matrix out{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            for (int k = 0; k < 3; ++k) {
                out[r * 3 + c] += m[r * 3 + k] * n[k * 3 + c];
            }
        }
    }
    return out;
}

std::array<double, 3> applied(const Matrix& m, double x, double y, double z) {
    return {m[0] * x + m[1] * y + m[2] * z, m[3] * x + m[4] * y + m[5] * z,
            m[6] * x + m[7] * y + m[8] * z};
}

double labInverse(double t) {
    constexpr double kDelta = 6.0 / 29.0;
    return t > kDelta ? t * t * t : 3.0 * kDelta * kDelta * (t - 4.0 / 29.0);
}

double srgbEncoded(double linear) {
    const double c = std::clamp(linear, 0.0, 1.0);
    return c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
}

class LabToSrgb {
public:
    explicit LabToSrgb(const double white[2])
        : m_white{white[0] / white[1], 1.0, (1.0 - white[0] - white[1]) / white[1]} {
        constexpr Matrix kBradford = {0.8951, 0.2664, -0.1614, -0.7502, 1.7135,
                                      0.0367, 0.0389, -0.0685, 1.0296};
        constexpr Matrix kBradfordInverse = {0.9869929, -0.1470543, 0.1599627, 0.4323053, 0.5183603,
                                             0.0492912, -0.0085287, 0.0400428, 0.9684867};
        constexpr Matrix kXyzToLinearSrgb = {3.2404542,  -1.5371385, -0.4985314,
                                             -0.9692660, 1.8760108,  0.0415560,
                                             0.0556434,  -0.2040259, 1.0572252};
        const auto from = applied(kBradford, m_white[0], m_white[1], m_white[2]);
        const auto to = applied(kBradford, 0.3127 / 0.3290, 1.0, (1.0 - 0.3127 - 0.3290) / 0.3290);
        const Matrix scale = {to[0] / from[0], 0, 0, 0, to[1] / from[1], 0, 0, 0, to[2] / from[2]};
        m_toSrgb = multiplied(kXyzToLinearSrgb,
                              multiplied(kBradfordInverse, multiplied(scale, kBradford)));
    }

    Srgb operator()(double lightness, double a, double b) const {
        const double fy = (lightness + 16.0) / 116.0;
        const auto linear = applied(m_toSrgb, m_white[0] * labInverse(fy + a / 500.0),
                                    labInverse(fy), m_white[2] * labInverse(fy - b / 200.0));
        return {srgbEncoded(linear[0]), srgbEncoded(linear[1]), srgbEncoded(linear[2])};
    }

private:
    std::array<double, 3> m_white{};
    Matrix m_toSrgb{};
};

// 8-bit: L* 0..255 for 0..100, a* and b* signed bytes. 16-bit: L* 0..65535,
// a* and b* signed in 1/256 steps. Alpha is kept as stored.
void labRow(const DecodePlan& plan, const uint16_t* s, uint32_t width, uint16_t spp, uint16_t bits,
            uchar* out) {
    const bool wide = bits == 16;
    const double lightnessMax = wide ? 65535.0 : 255.0;
    const double step = wide ? 256.0 : 1.0;
    const bool alpha = plan.alphaSample >= 0;
    const LabToSrgb labToSrgb(plan.labWhite);
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t* px = s + size_t(x) * spp;
        const double a = wide ? static_cast<int16_t>(px[1]) : static_cast<int8_t>(px[1]);
        const double b = wide ? static_cast<int16_t>(px[2]) : static_cast<int8_t>(px[2]);
        const Srgb c = labToSrgb(px[0] * 100.0 / lightnessMax, a / step, b / step);
        const double channels[3] = {c.r, c.g, c.b};
        if (plan.format == QImage::Format_RGBA8888) {
            for (int i = 0; i < 3; ++i) {
                out[x * 4 + i] = static_cast<uchar>(std::lround(channels[i] * 255.0));
            }
            out[x * 4 + 3] = static_cast<uchar>(px[plan.alphaSample]);
        } else {
            uint16_t* o = words(out) + size_t(x) * 4;
            for (int i = 0; i < 3; ++i) {
                o[i] = static_cast<uint16_t>(std::lround(channels[i] * 65535.0));
            }
            o[3] = alpha ? px[plan.alphaSample] : 0xFFFF;
        }
    }
}

void bilevelRow(const uint16_t* s, uint32_t width, uint16_t spp, uchar* out) {
    std::memset(out, 0, (width + 7) / 8);
    for (uint32_t x = 0; x < width; ++x) {
        if (s[size_t(x) * spp] != 0) {
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
    case PixelKind::WidePalette:
        widePaletteRow(plan, samples, width, spp, scanline);
        break;
    case PixelKind::Lab:
        labRow(plan, samples, width, spp, bits, scanline);
        break;
    case PixelKind::Rgb:
        rgbRow(plan, samples, width, spp, range, scanline);
        break;
    case PixelKind::RgbAlpha:
        rgbaRow(plan, samples, width, spp, range, 3, scanline);
        break;
    case PixelKind::Cmyk:
        cmykRow(plan, samples, width, spp, range, scanline);
        break;
    case PixelKind::Ranged:
    case PixelKind::ViaRgbaReader:
        break;
    }
}
