#include "engine/TiffDeepDecoder.h"

#include "engine/PageMapping.h"
#include "engine/TiffBandReader.h"
#include "engine/TiffHandle.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double kOutMax = 65535.0;

// 64-bit samples times 65535 need more than 64 bits.
__extension__ typedef unsigned __int128 Wide;

// Where sample `s` of pixel `x` in row `r` of a band starts.
const uint8_t* sampleAt(const TiffBand& band, const TiffPageLayout& l, uint32_t r, uint32_t x,
                        int s) {
    const size_t bytes = l.bitsPerSample / 8;
    if (band.planes > 1) {
        return band.row(s, r) + x * bytes;
    }
    return band.row(0, r) + (size_t(x) * l.samplesPerPixel + size_t(s)) * bytes;
}

// libtiff hands 24-bit samples out as three bytes in native order.
uint32_t native24(const uint8_t* p) {
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    } else {
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
    }
}

// A sample in the machine's byte order (libtiff has swapped it), read from
// storage that need not be aligned for T.
template <typename T> T loadAs(const uint8_t* p) {
    T v{};
    std::memcpy(&v, p, sizeof v);
    return v;
}

double floatAt(const uint8_t* p, uint16_t bits) {
    switch (bits) {
    case 16:
        return halfToDouble(loadAs<uint16_t>(p));
    case 24:
        return float24ToDouble(native24(p));
    case 32:
        return loadAs<float>(p);
    default:
        return loadAs<double>(p);
    }
}

uint64_t integerAt(const uint8_t* p, uint16_t bits) {
    switch (bits) {
    case 24:
        return native24(p);
    case 32:
        return loadAs<uint32_t>(p);
    default:
        return loadAs<uint64_t>(p);
    }
}

uint16_t to16(double unit) {
    return static_cast<uint16_t>(std::lround(std::clamp(unit, 0.0, 1.0) * kOutMax));
}

struct Pixel {
    uint16_t c[3] = {0, 0, 0};
    uint16_t alpha = 0xFFFF;
};

void putPixel(QImage& image, uint32_t y, uint32_t x, const Pixel& p) {
    auto* line = reinterpret_cast<uint16_t*>(image.scanLine(static_cast<int>(y)));
    if (image.format() == QImage::Format_Grayscale16) {
        line[x] = p.c[0];
        return;
    }
    uint16_t* o = line + size_t(x) * 4;
    o[0] = p.c[0];
    o[1] = p.c[1];
    o[2] = p.c[2];
    o[3] = image.format() == QImage::Format_RGBA64 ? p.alpha : 0xFFFF;
}

Pixel grayOrColour(Pixel p, int colourSamples) {
    if (colourSamples == 1) {
        p.c[1] = p.c[0];
        p.c[2] = p.c[0];
    }
    return p;
}

// --- Floating point --------------------------------------------------------

class FloatPage {
public:
    FloatPage(const TiffPageLayout& l, const DecodePlan& plan) : m_l(l), m_plan(plan) {}

    // Colour sample c of a pixel, unpremultiplied; NaN when it has no value.
    double colour(const TiffBand& band, uint32_t r, uint32_t x, int c) const {
        double v = floatAt(sampleAt(band, m_l, r, x, c), m_l.bitsPerSample);
        if (m_plan.associatedAlpha) {
            const double a = alpha(band, r, x);
            v = a > 0 ? v / a : 0.0;
        }
        return std::isfinite(v) ? v : std::numeric_limits<double>::quiet_NaN();
    }
    double alpha(const TiffBand& band, uint32_t r, uint32_t x) const {
        const double a = floatAt(sampleAt(band, m_l, r, x, m_plan.alphaSample), m_l.bitsPerSample);
        return std::isfinite(a) ? std::clamp(a, 0.0, 1.0) : 0.0;
    }

    void scan(const TiffBand& band) {
        for (uint32_t r = 0; r < band.rowCount; ++r) {
            for (uint32_t x = 0; x < m_l.width; ++x) {
                bool hole = false;
                for (int c = 0; c < m_plan.colourSamples; ++c) {
                    const double v = colour(band, r, x, c);
                    if (std::isnan(v)) {
                        hole = true;
                        continue;
                    }
                    m_min = std::min(m_min, v);
                    m_max = std::max(m_max, v);
                }
                m_holes += hole ? 1 : 0;
            }
        }
    }

    // After scan(): [0, 1] when every finite value lies there.
    void chooseRange() {
        m_stretched = m_min < 0.0 || m_max > 1.0;
        if (!m_stretched) {
            m_min = 0.0;
            m_max = 1.0;
        }
    }
    qint64 holes() const { return m_holes; }

    void write(const TiffBand& band, QImage& image) const {
        const double span = m_max - m_min;
        for (uint32_t r = 0; r < band.rowCount; ++r) {
            for (uint32_t x = 0; x < m_l.width; ++x) {
                putPixel(image, band.firstRow + r, x, pixel(band, r, x, span));
            }
        }
    }

    QString mapping() const {
        const QString bits = QString::number(m_l.bitsPerSample);
        QString text =
            m_stretched
                ? QStringLiteral("%1-bit floating-point samples stretched from the page's range "
                                 "%2..%3 to the output range")
                      .arg(bits, QString::number(m_min, 'g', 9), QString::number(m_max, 'g', 9))
                : QStringLiteral("%1-bit floating-point samples mapped from 0..1 to the output "
                                 "range")
                      .arg(bits);
        if (m_holes > 0) {
            text += QStringLiteral("; %1 with NaN or infinite samples made transparent (black "
                                   "where the output has no alpha)")
                        .arg(m_holes == 1 ? QStringLiteral("1 pixel")
                                          : QStringLiteral("%1 pixels").arg(m_holes));
        }
        return text;
    }

private:
    Pixel pixel(const TiffBand& band, uint32_t r, uint32_t x, double span) const {
        Pixel p;
        for (int c = 0; c < m_plan.colourSamples; ++c) {
            const double v = colour(band, r, x, c);
            if (std::isnan(v)) {
                return Pixel{{0, 0, 0}, 0};
            }
            const uint16_t out = to16(span > 0 ? (v - m_min) / span : 0.0);
            p.c[c] = m_plan.minIsWhite ? static_cast<uint16_t>(0xFFFF - out) : out;
        }
        if (m_plan.alphaSample >= 0) {
            p.alpha = to16(alpha(band, r, x));
        }
        return grayOrColour(p, m_plan.colourSamples);
    }

    const TiffPageLayout& m_l;
    const DecodePlan& m_plan;
    double m_min = std::numeric_limits<double>::infinity();
    double m_max = -std::numeric_limits<double>::infinity();
    qint64 m_holes = 0;
    bool m_stretched = false;
};

QImage::Format floatFormat(const DecodePlan& plan, qint64 holes) {
    return holes > 0 ? QImage::Format_RGBA64 : plan.format;
}

Result<QImage> decodeFloatPage(TiffHandle& tiff, const TiffPageLayout& l, const DecodePlan& plan,
                               const DecodeLimits& limits) {
    FloatPage page(l, plan);
    // The range must be known before any pixel is written, so the page is
    // decoded twice rather than held as samples.
    if (Status scanned = readBands(tiff, l, limits, [&](const TiffBand& b) { page.scan(b); });
        !scanned) {
        return Result<QImage>::failure(scanned.error());
    }
    page.chooseRange();
    Result<QImage> image = allocatePage(l, floatFormat(plan, page.holes()));
    if (!image) {
        return image;
    }
    if (Status written =
            readBands(tiff, l, limits, [&](const TiffBand& b) { page.write(b, *image); });
        !written) {
        return Result<QImage>::failure(written.error());
    }
    if (page.holes() > 0) {
        markHoles(*image);
    }
    setPageMapping(*image, page.mapping());
    return image;
}

// --- Wide and signed integers ------------------------------------------------

struct IntegerRange {
    uint64_t max;
    uint64_t signBit; // 0 for unsigned samples

    uint64_t value(const uint8_t* p, uint16_t bits) const { return integerAt(p, bits) ^ signBit; }
    uint16_t to16(uint64_t v) const {
        return static_cast<uint16_t>((static_cast<Wide>(v) * 65535U) / max);
    }
    uint64_t unpremultiply(uint64_t colour, uint64_t alpha) const {
        if (alpha == 0) {
            return 0;
        }
        const auto v = static_cast<Wide>(colour) * max / alpha;
        return static_cast<uint64_t>(std::min<Wide>(v, max));
    }
};

QString integerMapping(const TiffPageLayout& l, const IntegerRange& range) {
    const QString bits = QString::number(l.bitsPerSample);
    if (range.signBit == 0) {
        return QStringLiteral(
                   "%1-bit integer samples mapped linearly from 0..%2 to the output range")
            .arg(bits)
            .arg(range.max);
    }
    const auto high = static_cast<qint64>(range.signBit - 1);
    return QStringLiteral(
               "signed %1-bit integer samples mapped linearly from %2..%3 to the output range")
        .arg(bits)
        .arg(-high - 1)
        .arg(high);
}

Result<QImage> decodeIntegerPage(TiffHandle& tiff, const TiffPageLayout& l, const DecodePlan& plan,
                                 const DecodeLimits& limits) {
    Result<QImage> image = allocatePage(l, plan.format);
    if (!image) {
        return image;
    }
    const uint64_t max =
        l.bitsPerSample >= 64 ? ~uint64_t(0) : (uint64_t(1) << l.bitsPerSample) - 1U;
    const IntegerRange range{max, plan.signedSamples ? uint64_t(1) << (l.bitsPerSample - 1) : 0U};
    const auto consume = [&](const TiffBand& band) {
        for (uint32_t r = 0; r < band.rowCount; ++r) {
            for (uint32_t x = 0; x < l.width; ++x) {
                Pixel p;
                const uint64_t alpha =
                    plan.alphaSample >= 0
                        ? range.value(sampleAt(band, l, r, x, plan.alphaSample), l.bitsPerSample)
                        : max;
                for (int c = 0; c < plan.colourSamples; ++c) {
                    uint64_t v = range.value(sampleAt(band, l, r, x, c), l.bitsPerSample);
                    if (plan.associatedAlpha) {
                        v = range.unpremultiply(v, alpha);
                    }
                    p.c[c] = range.to16(plan.minIsWhite ? max - v : v);
                }
                p.alpha = range.to16(alpha);
                putPixel(*image, band.firstRow + r, x, grayOrColour(p, plan.colourSamples));
            }
        }
    };
    if (Status read = readBands(tiff, l, limits, consume); !read) {
        return Result<QImage>::failure(read.error());
    }
    setPageMapping(*image, integerMapping(l, range));
    return image;
}

} // namespace

double halfToDouble(uint16_t bits) {
    const int exponent = (bits >> 10) & 0x1F;
    const int mantissa = bits & 0x3FF;
    double magnitude = 0;
    if (exponent == 0x1F) {
        magnitude = mantissa != 0 ? std::numeric_limits<double>::quiet_NaN()
                                  : std::numeric_limits<double>::infinity();
    } else if (exponent == 0) {
        magnitude = std::ldexp(mantissa, -24);
    } else {
        magnitude = std::ldexp(mantissa + 0x400, exponent - 25);
    }
    return (bits & 0x8000) != 0 ? -magnitude : magnitude;
}

double float24ToDouble(uint32_t bits) {
    const int exponent = static_cast<int>((bits >> 16) & 0x7F);
    const int mantissa = static_cast<int>(bits & 0xFFFF);
    double magnitude = 0;
    if (exponent == 0x7F) {
        magnitude = mantissa != 0 ? std::numeric_limits<double>::quiet_NaN()
                                  : std::numeric_limits<double>::infinity();
    } else if (exponent == 0) {
        magnitude = std::ldexp(mantissa, -62 - 16);
    } else {
        magnitude = std::ldexp(mantissa + 0x10000, exponent - 63 - 16);
    }
    return (bits & 0x800000) != 0 ? -magnitude : magnitude;
}

Result<QImage> decodeDeepPage(TiffHandle& tiff, const TiffPageLayout& l, const DecodePlan& plan,
                              const DecodeLimits& limits) {
    // RGBA64 is the widest form the page can take.
    if (Status fits = checkPageLimits(l, QImage::Format_RGBA64, limits); !fits) {
        return Result<QImage>::failure(fits.error());
    }
    return plan.kind == PixelKind::Float ? decodeFloatPage(tiff, l, plan, limits)
                                         : decodeIntegerPage(tiff, l, plan, limits);
}
