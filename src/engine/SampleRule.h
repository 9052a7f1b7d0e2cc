#pragma once

#include <QString>

#include <cstdint>
#include <limits>
#include <optional>

#include <tiffio.h>

// How the colour samples of a page that is not stored in a display form
// (signed or wide integers, floating point, pages with a no-data value) become
// output levels. Everything that decides it is here; the decoders only
// gather the statistics and apply the answer.

enum class SampleType { Unsigned, Signed, Float };

// The values of a page's colour samples, without alpha, unspecified extra
// samples, the no-data value, NaN and infinity.
struct SampleStatistics {
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -std::numeric_limits<double>::infinity();

    void add(double v) {
        lowest = v < lowest ? v : lowest;
        highest = v > highest ? v : highest;
    }
    bool isEmpty() const { return lowest > highest; }
};

enum class SampleCase {
    Kept,      // the values fit an unsigned range of at most 16 bits
    UnitFloat, // floats mapped from 0..1
    Stretched  // the page's own range stretched to the output range
};

struct SampleRule {
    SampleCase rule = SampleCase::Kept;
    double low = 0;  // shown as 0
    double high = 1; // shown as the output's largest level
    int outputBits = 8;

    uint32_t outputMax() const { return outputBits == 8 ? 255U : 65535U; }
    // The output level of a sample value, clamped to the output range; a
    // stretched page whose range is one value shows it as 0.
    uint32_t level(double v) const;
};

SampleRule chooseSampleRule(SampleType type, uint16_t bits, const SampleStatistics& stats);

// The rule in words for the system log ("" for samples kept as they are).
QString describeSampleRule(const SampleRule& rule, SampleType type, uint16_t bits);

// The GDAL_NODATA tag: the value that marks cells without data, as ASCII.
inline constexpr ttag_t kNoDataTag = 42113;

// The current directory's no-data value; nothing when the tag is absent or
// does not hold one number.
std::optional<double> readNoDataValue(TIFF* tif);

// A no-data value as samples of one type and width can hold it: an integer
// value that is not whole or out of the type's range matches no sample, a
// float one is rounded to the width's precision first.
class NoDataValue {
public:
    NoDataValue() = default;
    NoDataValue(std::optional<double> value, SampleType type, uint16_t bits);

    bool isSet() const { return m_set; }
    double value() const { return m_value; }
    // `sample` is the stored value, decoded exactly.
    bool matches(double sample) const { return m_set && sample == m_value; }

private:
    bool m_set = false;
    double m_value = 0;
};
