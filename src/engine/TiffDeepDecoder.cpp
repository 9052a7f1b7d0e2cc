#include "engine/TiffDeepDecoder.h"

#include "engine/PageMapping.h"
#include "engine/SampleRule.h"
#include "engine/TiffBandReader.h"
#include "engine/TiffHandle.h"
#include "engine/TiffSampleRows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

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

SampleType sampleTypeOf(const DecodePlan& plan) {
    if (plan.floatSamples) {
        return SampleType::Float;
    }
    return plan.signedSamples ? SampleType::Signed : SampleType::Unsigned;
}

// One row of a band as the values its samples store, decoded exactly (64-bit
// integers to the nearest double).
class RowSamples {
public:
    RowSamples(const TiffPageLayout& l, const DecodePlan& plan)
        : m_l(l), m_plan(plan), m_values(size_t(l.width) * l.samplesPerPixel),
          m_small(l.bitsPerSample <= 16 && !plan.floatSamples ? m_values.size() : 0) {}

    static qint64 bufferBytes(const TiffPageLayout& l) {
        return qint64(l.width) * l.samplesPerPixel * qint64(sizeof(double) + sizeof(uint16_t));
    }

    void load(const TiffBand& band, uint32_t r) {
        if (!m_small.empty()) {
            loadSmallIntegers(band, r);
            return;
        }
        for (uint32_t x = 0; x < m_l.width; ++x) {
            for (int s = 0; s < m_l.samplesPerPixel; ++s) {
                m_values[size_t(x) * m_l.samplesPerPixel + size_t(s)] =
                    decoded(sampleAt(band, m_l, r, x, s));
            }
        }
    }

    double at(uint32_t x, int s) const {
        return m_values[size_t(x) * m_l.samplesPerPixel + size_t(s)];
    }

private:
    void loadSmallIntegers(const TiffBand& band, uint32_t r) {
        const bool separate = band.planes > 1;
        const uint32_t perRow = separate ? m_l.width : m_l.width * m_l.samplesPerPixel;
        for (int plane = 0; plane < band.planes; ++plane) {
            unpackSamples(band.row(plane, r), perRow, m_l.bitsPerSample, m_small.data() + plane,
                          separate ? m_l.samplesPerPixel : 1);
        }
        const uint32_t signBit = 1U << (m_l.bitsPerSample - 1);
        for (size_t i = 0; i < m_small.size(); ++i) {
            const uint32_t v = m_small[i];
            m_values[i] = m_plan.signedSamples && (v & signBit) != 0
                              ? double(v) - double(uint64_t(signBit) * 2)
                              : double(v);
        }
    }

    double decoded(const uint8_t* p) const {
        const uint16_t bits = m_l.bitsPerSample;
        if (m_plan.floatSamples) {
            return floatAt(p, bits);
        }
        const uint64_t v = integerAt(p, bits);
        if (!m_plan.signedSamples) {
            return static_cast<double>(v);
        }
        const uint64_t signBit = uint64_t(1) << (bits - 1);
        if ((v & signBit) == 0) {
            return static_cast<double>(v);
        }
        // Two's complement of the width: -(2^bits - v), without overflow at 64.
        return -static_cast<double>(((~v) & (signBit | (signBit - 1))) + 1);
    }

    const TiffPageLayout& m_l;
    const DecodePlan& m_plan;
    std::vector<double> m_values;
    std::vector<uint16_t> m_small;
};

QImage::Format withAlpha(QImage::Format format) {
    switch (format) {
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB888:
    case QImage::Format_RGBA8888:
        return QImage::Format_RGBA8888;
    default:
        return QImage::Format_RGBA64;
    }
}

struct Levels {
    uint32_t c[3] = {0, 0, 0};
    uint32_t alpha = 0;
};

void putPixel(QImage& image, uint32_t y, uint32_t x, const Levels& p) {
    uchar* line = image.scanLine(static_cast<int>(y));
    auto* words = reinterpret_cast<uint16_t*>(line);
    switch (image.format()) {
    case QImage::Format_Grayscale8:
        line[x] = static_cast<uchar>(p.c[0]);
        return;
    case QImage::Format_Grayscale16:
        words[x] = static_cast<uint16_t>(p.c[0]);
        return;
    case QImage::Format_RGB888:
        for (int c = 0; c < 3; ++c) {
            line[size_t(x) * 3 + size_t(c)] = static_cast<uchar>(p.c[c]);
        }
        return;
    case QImage::Format_RGBA8888:
        for (int c = 0; c < 3; ++c) {
            line[size_t(x) * 4 + size_t(c)] = static_cast<uchar>(p.c[c]);
        }
        line[size_t(x) * 4 + 3] = static_cast<uchar>(p.alpha);
        return;
    default: // RGBX64, RGBA64
        for (int c = 0; c < 3; ++c) {
            words[size_t(x) * 4 + size_t(c)] = static_cast<uint16_t>(p.c[c]);
        }
        words[size_t(x) * 4 + 3] =
            image.format() == QImage::Format_RGBA64 ? static_cast<uint16_t>(p.alpha) : 0xFFFF;
        return;
    }
}

// A page whose levels follow from its own statistics (SampleRule.h): read
// once for the statistics, once for the pixels.
class RangedPage {
public:
    RangedPage(const TiffPageLayout& l, const DecodePlan& plan)
        : m_l(l), m_plan(plan), m_type(sampleTypeOf(plan)),
          m_noData(plan.noData, m_type, l.bitsPerSample), m_row(l, plan) {}

    void scan(const TiffBand& band) {
        for (uint32_t r = 0; r < band.rowCount; ++r) {
            m_row.load(band, r);
            for (uint32_t x = 0; x < m_l.width; ++x) {
                Colours colours;
                if (!coloursOf(x, colours)) {
                    ++m_holes;
                    continue;
                }
                for (int c = 0; c < m_plan.colourSamples; ++c) {
                    if (!colours.noData[c]) {
                        m_stats.add(colours.v[c]);
                    }
                }
            }
        }
    }

    void chooseRule() { m_rule = chooseSampleRule(m_type, m_l.bitsPerSample, m_stats); }
    qint64 holes() const { return m_holes; }

    void write(const TiffBand& band, QImage& image) {
        for (uint32_t r = 0; r < band.rowCount; ++r) {
            m_row.load(band, r);
            for (uint32_t x = 0; x < m_l.width; ++x) {
                putPixel(image, band.firstRow + r, x, levelsOf(x));
            }
        }
    }

    // "" for an exact copy.
    QString mapping() const {
        if (m_rule.rule == SampleCase::Kept && m_holes == 0) {
            return {};
        }
        QString text = describeSampleRule(m_rule, m_type, m_l.bitsPerSample);
        if (m_holes == 0) {
            return text;
        }
        QString reasons;
        if (m_noData.isSet()) {
            reasons =
                QStringLiteral("the no-data value %1")
                    .arg(m_type == SampleType::Float ? QString::number(m_noData.value(), 'g', 9)
                                                     : QString::number(m_noData.value(), 'f', 0));
        }
        if (m_type == SampleType::Float) {
            reasons += reasons.isEmpty() ? QStringLiteral("NaN or infinite samples")
                                         : QStringLiteral(", NaN or infinite samples");
        }
        return text + QStringLiteral("; %1 with %2 made transparent (black where the output "
                                     "has no alpha)")
                          .arg(m_holes == 1 ? QStringLiteral("1 pixel")
                                            : QStringLiteral("%1 pixels").arg(m_holes),
                               reasons);
    }

private:
    struct Colours {
        double v[4] = {0, 0, 0, 0};
        bool noData[4] = {false, false, false, false};
    };

    // The colour values of pixel x, unpremultiplied; false for a pixel
    // without a value (every colour sample the no-data value, or any NaN or
    // infinite).
    bool coloursOf(uint32_t x, Colours& out) const {
        const double alpha = m_plan.associatedAlpha ? alphaUnit(x) : 1.0;
        int noData = 0;
        for (int c = 0; c < m_plan.colourSamples; ++c) {
            const double stored = m_row.at(x, c);
            if (!std::isfinite(stored)) {
                return false;
            }
            out.noData[c] = m_noData.matches(stored);
            noData += out.noData[c] ? 1 : 0;
            out.v[c] = m_plan.associatedAlpha ? (alpha > 0 ? stored / alpha : 0.0) : stored;
        }
        return noData < m_plan.colourSamples;
    }

    // The alpha sample as a fraction: floats as stored, unsigned integers of
    // their full range, signed ones of their positive range.
    double alphaUnit(uint32_t x) const {
        const double a = m_row.at(x, m_plan.alphaSample);
        if (m_type == SampleType::Float) {
            return std::isfinite(a) ? std::clamp(a, 0.0, 1.0) : 0.0;
        }
        return std::clamp(a / alphaMax(), 0.0, 1.0);
    }
    double alphaMax() const {
        const int valueBits = m_l.bitsPerSample - (m_type == SampleType::Signed ? 1 : 0);
        return std::ldexp(1.0, valueBits) - 1;
    }
    uint32_t alphaLevel(uint32_t x) const {
        const uint32_t top = m_rule.outputMax();
        if (m_plan.alphaSample < 0) {
            return top;
        }
        if (m_type == SampleType::Float) {
            return static_cast<uint32_t>(std::lround(alphaUnit(x) * top));
        }
        const double a = std::clamp(m_row.at(x, m_plan.alphaSample), 0.0, alphaMax());
        return static_cast<uint32_t>(
            std::min<Wide>(static_cast<Wide>(a) * top / static_cast<Wide>(alphaMax()), Wide(top)));
    }

    Levels levelsOf(uint32_t x) const {
        Colours colours;
        if (!coloursOf(x, colours)) {
            return Levels{};
        }
        const uint32_t top = m_rule.outputMax();
        Levels p;
        uint32_t mapped[4] = {0, 0, 0, 0};
        for (int c = 0; c < m_plan.colourSamples; ++c) {
            mapped[c] = m_rule.level(colours.v[c]);
            if (m_plan.minIsWhite) {
                mapped[c] = top - mapped[c];
            }
        }
        if (m_plan.inks) {
            // Each ink, then black, takes its share of the light.
            const double white = m_plan.colourSamples == 4 ? 1.0 - double(mapped[3]) / top : 1.0;
            for (int c = 0; c < 3; ++c) {
                p.c[c] = static_cast<uint32_t>(
                    std::lround((1.0 - double(mapped[c]) / top) * white * top));
            }
        } else {
            for (int c = 0; c < 3; ++c) {
                p.c[c] = mapped[m_plan.colourSamples == 1 ? 0 : c];
            }
        }
        p.alpha = alphaLevel(x);
        return p;
    }

    const TiffPageLayout& m_l;
    const DecodePlan& m_plan;
    SampleType m_type;
    NoDataValue m_noData;
    RowSamples m_row;
    SampleStatistics m_stats;
    SampleRule m_rule;
    qint64 m_holes = 0;
};

Result<QImage> decodeRangedPage(TiffHandle& tiff, const TiffPageLayout& l, const DecodePlan& plan,
                                const DecodeLimits& limits) {
    if (Status fits = checkBufferLimit(l, RowSamples::bufferBytes(l), limits); !fits) {
        return Result<QImage>::failure(fits.error());
    }
    RangedPage page(l, plan);
    // The range must be known before any pixel is written, so the page is
    // decoded twice rather than held as samples.
    if (Status scanned = readBands(tiff, l, limits, [&](const TiffBand& b) { page.scan(b); });
        !scanned) {
        return Result<QImage>::failure(scanned.error());
    }
    page.chooseRule();
    Result<QImage> image = allocatePage(l, page.holes() > 0 ? withAlpha(plan.format) : plan.format);
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

QImage::Format widestRangedFormat(const DecodePlan& plan) {
    return withAlpha(plan.format);
}

Result<QImage> decodeDeepPage(TiffHandle& tiff, const TiffPageLayout& l, const DecodePlan& plan,
                              const DecodeLimits& limits) {
    if (Status fits = checkPageLimits(l, widestRangedFormat(plan), limits); !fits) {
        return Result<QImage>::failure(fits.error());
    }
    return decodeRangedPage(tiff, l, plan, limits);
}
