#pragma once

#include <cstddef>
#include <cstdint>

namespace PngFilter {

// PNG's per-row filter types.
enum Type : std::uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

// Writes `row` (`length` bytes, `step` bytes per pixel, 1 when samples are
// smaller than a byte) filtered as `type` into out[1..length], the type into
// out[0]. `previous` is the unfiltered row above, or nullptr for the first.
void apply(Type type, const std::uint8_t* previous, const std::uint8_t* row, std::size_t length,
           int step, std::uint8_t* out);

// The filter whose output has the smallest sum of bytes read as signed:
// the heuristic that keeps photographs smallest for its cost. `scratch` holds
// 4 x (length + 1) bytes; the chosen row goes to out[0..length].
void adaptive(const std::uint8_t* previous, const std::uint8_t* row, std::size_t length, int step,
              std::uint8_t* out, std::uint8_t* scratch);

} // namespace PngFilter
