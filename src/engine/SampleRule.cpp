#include "engine/SampleRule.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>

namespace {

// Levels of kept samples are worked out in whole numbers, as the decoders of
// the common layouts do, so that both give the same pixels.
__extension__ typedef unsigned __int128 Wide;

// The largest value of the unsigned range a kept sample is shown in: its own
// width up to 16 bits, 16 bits for wider integers.
double keptMax(uint16_t bits) {
    return bits <= 16 ? std::ldexp(1.0, bits) - 1 : 65535.0;
}

QString typeText(SampleType type, uint16_t bits) {
    switch (type) {
    case SampleType::Unsigned:
        return QStringLiteral("%1-bit integer samples").arg(bits);
    case SampleType::Signed:
        return QStringLiteral("signed %1-bit integer samples").arg(bits);
    case SampleType::Float:
        break;
    }
    return QStringLiteral("%1-bit floating-point samples").arg(bits);
}

QString valueText(double v, SampleType type) {
    return type == SampleType::Float ? QString::number(v, 'g', 9) : QString::number(v, 'f', 0);
}

// `v` rounded to a float of `significandBits` (the hidden bit included).
double roundedToSignificand(double v, int significandBits) {
    if (!std::isfinite(v) || v == 0) {
        return v;
    }
    int exponent = 0;
    const double mantissa = std::frexp(v, &exponent);
    return std::ldexp(std::nearbyint(std::ldexp(mantissa, significandBits)),
                      exponent - significandBits);
}

double atFloatPrecision(double v, uint16_t bits) {
    switch (bits) {
    case 16:
        return roundedToSignificand(v, 11);
    case 24:
        return roundedToSignificand(v, 17);
    case 32:
        return static_cast<double>(static_cast<float>(v));
    default:
        return v;
    }
}

bool holdsInteger(double v, SampleType type, uint16_t bits) {
    if (v != std::floor(v)) {
        return false;
    }
    if (type == SampleType::Unsigned) {
        return v >= 0 && v <= std::ldexp(1.0, bits) - 1;
    }
    const double half = std::ldexp(1.0, bits - 1);
    return v >= -half && v <= half - 1;
}

QByteArray noDataText(TIFF* tif, const TIFFField* field) {
    if (!TIFFFieldPassCount(field)) {
        const char* text = nullptr;
        if (TIFFGetField(tif, kNoDataTag, &text) != 1 || text == nullptr) {
            return {};
        }
        return QByteArray(text);
    }
    void* data = nullptr;
    qsizetype count = 0;
    if (TIFFFieldReadCount(field) == TIFF_VARIABLE2) {
        uint32_t n = 0;
        if (TIFFGetField(tif, kNoDataTag, &n, &data) != 1) {
            return {};
        }
        count = static_cast<qsizetype>(n);
    } else {
        uint16_t n = 0;
        if (TIFFGetField(tif, kNoDataTag, &n, &data) != 1) {
            return {};
        }
        count = n;
    }
    if (data == nullptr) {
        return {};
    }
    QByteArray text(static_cast<const char*>(data), count);
    const qsizetype end = text.indexOf('\0');
    return end >= 0 ? text.left(end) : text;
}

} // namespace

uint32_t SampleRule::level(double v) const {
    const uint32_t top = outputMax();
    if (rule == SampleCase::Kept) {
        const double clamped = std::clamp(v, 0.0, high);
        return static_cast<uint32_t>(static_cast<Wide>(clamped) * top / static_cast<Wide>(high));
    }
    const double span = high - low;
    if (!(span > 0)) {
        return 0;
    }
    const double unit = std::clamp((v - low) / span, 0.0, 1.0);
    return static_cast<uint32_t>(std::lround(unit * top));
}

SampleRule chooseSampleRule(SampleType type, uint16_t bits, const SampleStatistics& stats) {
    SampleRule rule;
    rule.outputBits = type != SampleType::Float && bits <= 8 ? 8 : 16;
    if (type == SampleType::Float) {
        if (stats.isEmpty() || (stats.lowest >= 0 && stats.highest <= 1)) {
            rule.rule = SampleCase::UnitFloat;
            return rule;
        }
    } else {
        const double top = keptMax(bits);
        if (stats.isEmpty() || (stats.lowest >= 0 && stats.highest <= top)) {
            rule.high = top;
            return rule;
        }
    }
    rule.rule = SampleCase::Stretched;
    rule.low = stats.lowest;
    rule.high = stats.highest;
    return rule;
}

QString describeSampleRule(const SampleRule& rule, SampleType type, uint16_t bits) {
    const QString samples = typeText(type, bits);
    switch (rule.rule) {
    case SampleCase::Kept:
        return QStringLiteral("%1 kept as they are").arg(samples);
    case SampleCase::UnitFloat:
        return QStringLiteral("%1 mapped from 0..1 to the output range").arg(samples);
    case SampleCase::Stretched:
        break;
    }
    return QStringLiteral("%1 stretched from the page's range %2..%3 to the output range")
        .arg(samples, valueText(rule.low, type), valueText(rule.high, type));
}

std::optional<double> readNoDataValue(TIFF* tif) {
    const TIFFField* field = TIFFFindField(tif, kNoDataTag, TIFF_ANY);
    if (field == nullptr || TIFFFieldDataType(field) != TIFF_ASCII) {
        return std::nullopt;
    }
    const QByteArray text = noDataText(tif, field).trimmed();
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return value;
}

NoDataValue::NoDataValue(std::optional<double> value, SampleType type, uint16_t bits) {
    if (!value || std::isnan(*value)) {
        return; // NaN samples have no value anyway
    }
    if (type == SampleType::Float) {
        m_value = atFloatPrecision(*value, bits);
        m_set = true;
        return;
    }
    if (holdsInteger(*value, type, bits)) {
        m_value = *value;
        m_set = true;
    }
}
