#include "engine/PngFilter.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace PngFilter {
namespace {

inline std::uint8_t paethPredictor(int left, int above, int aboveLeft) {
    const int estimate = left + above - aboveLeft;
    const int toLeft = std::abs(estimate - left);
    const int toAbove = std::abs(estimate - above);
    const int toAboveLeft = std::abs(estimate - aboveLeft);
    if (toLeft <= toAbove && toLeft <= toAboveLeft) {
        return static_cast<std::uint8_t>(left);
    }
    return static_cast<std::uint8_t>(toAbove <= toAboveLeft ? above : aboveLeft);
}

void sub(const std::uint8_t* row, std::size_t length, std::size_t step, std::uint8_t* out) {
    const std::size_t lead = step < length ? step : length;
    std::memcpy(out, row, lead);
    for (std::size_t i = lead; i < length; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - row[i - step]);
    }
}

void up(const std::uint8_t* previous, const std::uint8_t* row, std::size_t length,
        std::uint8_t* out) {
    for (std::size_t i = 0; i < length; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - previous[i]);
    }
}

void average(const std::uint8_t* previous, const std::uint8_t* row, std::size_t length,
             std::size_t step, std::uint8_t* out) {
    const std::size_t lead = step < length ? step : length;
    for (std::size_t i = 0; i < lead; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - (previous[i] >> 1));
    }
    for (std::size_t i = lead; i < length; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - ((row[i - step] + previous[i]) >> 1));
    }
}

void paeth(const std::uint8_t* previous, const std::uint8_t* row, std::size_t length,
           std::size_t step, std::uint8_t* out) {
    const std::size_t lead = step < length ? step : length;
    for (std::size_t i = 0; i < lead; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - previous[i]);
    }
    for (std::size_t i = lead; i < length; ++i) {
        out[i] = static_cast<std::uint8_t>(
            row[i] - paethPredictor(row[i - step], previous[i], previous[i - step]));
    }
}

// Bytes as signed magnitudes: 0 and 255 both cost little.
std::size_t cost(const std::uint8_t* bytes, std::size_t length) {
    std::size_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const int value = bytes[i];
        sum += static_cast<std::size_t>(value < 128 ? value : 256 - value);
    }
    return sum;
}

} // namespace

void apply(Type type, const std::uint8_t* previous, const std::uint8_t* row, std::size_t length,
           int step, std::uint8_t* out) {
    const auto pixelStep = static_cast<std::size_t>(step);
    out[0] = type;
    std::uint8_t* body = out + 1;
    if (previous == nullptr) {
        // Above the first row everything is zero: Up is None, Average halves
        // only the left, Paeth predicts from the left.
        switch (type) {
        case Sub:
        case Paeth:
            sub(row, length, pixelStep, body);
            return;
        case Average: {
            const std::size_t lead = pixelStep < length ? pixelStep : length;
            std::memcpy(body, row, lead);
            for (std::size_t i = lead; i < length; ++i) {
                body[i] = static_cast<std::uint8_t>(row[i] - (row[i - pixelStep] >> 1));
            }
            return;
        }
        default:
            std::memcpy(body, row, length);
            return;
        }
    }
    switch (type) {
    case Sub:
        sub(row, length, pixelStep, body);
        return;
    case Up:
        up(previous, row, length, body);
        return;
    case Average:
        average(previous, row, length, pixelStep, body);
        return;
    case Paeth:
        paeth(previous, row, length, pixelStep, body);
        return;
    default:
        std::memcpy(body, row, length);
        return;
    }
}

void adaptive(const std::uint8_t* previous, const std::uint8_t* row, std::size_t length, int step,
              std::uint8_t* out, std::uint8_t* scratch) {
    constexpr std::array<Type, 4> kTried{Sub, Up, Average, Paeth};
    std::size_t best = cost(row, length);
    const std::uint8_t* chosen = nullptr;
    for (std::size_t i = 0; i < kTried.size(); ++i) {
        std::uint8_t* candidate = scratch + i * (length + 1);
        apply(kTried[i], previous, row, length, step, candidate);
        const std::size_t c = cost(candidate + 1, length);
        if (c < best) {
            best = c;
            chosen = candidate;
        }
    }
    if (chosen == nullptr) {
        apply(None, previous, row, length, step, out);
    } else {
        std::memcpy(out, chosen, length + 1);
    }
}

} // namespace PngFilter
