#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

// A full-colour page brought down to a palette for GIF: an octree picks the
// palette, Floyd-Steinberg error diffusion maps every pixel to it.
//
// Both work on plain RGB distances, the measure a page is judged by. The
// octree gives up its finest cubes first, those whose pixels lie closest to
// their centres, so the palette spreads over every part of colour space the
// page reaches instead of crowding where most pixels are: what error
// diffusion needs to reproduce a region's average colour from its
// neighbours.
namespace ColourReduction {

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

// `rgba` is Format_RGBA8888 with alpha 0 or 255; hidden pixels are left out.
// At most `maxColours` (1..256) colours, none twice; empty when every pixel
// is hidden. Throws std::bad_alloc.
std::vector<Colour> choosePalette(const QImage& rgba, int maxColours);

// Writes one index into `palette` per pixel, row after row, into `indices`
// (width x height bytes); hidden pixels get `hiddenIndex`, and the error of
// their neighbours does not flow through them. `palette` holds 1..256
// colours. Throws std::bad_alloc.
void diffuse(const QImage& rgba, const std::vector<Colour>& palette, std::uint8_t hiddenIndex,
             std::uint8_t* indices);

} // namespace ColourReduction
