#include "engine/ColourReduction.h"

#include <algorithm>
#include <array>
#include <limits>

namespace ColourReduction {
namespace {

// The nearest palette colour of each cell of 4 x 4 x 4 levels, found for the
// cell's centre the first time a pixel falls in it. Choosing for the centre
// instead of the pixel costs nothing visible: the difference is diffused
// with the rest of the error.
class NearestColour {
public:
    explicit NearestColour(const std::vector<Colour>& palette)
        : m_palette(palette), m_cells(std::size_t{1} << (3 * kCellBits), kUnknown) {}

    std::uint8_t of(int red, int green, int blue) {
        constexpr int shift = 8 - kCellBits;
        const std::size_t cell = static_cast<std::size_t>(red >> shift) << (2 * kCellBits) |
                                 static_cast<std::size_t>(green >> shift) << kCellBits |
                                 static_cast<std::size_t>(blue >> shift);
        std::uint16_t& found = m_cells[cell];
        if (found == kUnknown) {
            constexpr int centre = 1 << (shift - 1);
            found = search((red >> shift << shift) + centre, (green >> shift << shift) + centre,
                           (blue >> shift << shift) + centre);
        }
        return static_cast<std::uint8_t>(found);
    }

private:
    static constexpr int kCellBits = 6;
    static constexpr std::uint16_t kUnknown = std::numeric_limits<std::uint16_t>::max();

    std::uint16_t search(int red, int green, int blue) const {
        int best = std::numeric_limits<int>::max();
        std::uint16_t chosen = 0;
        for (std::size_t i = 0; i < m_palette.size(); ++i) {
            const Colour& c = m_palette[i];
            const int dr = c.red - red;
            const int dg = c.green - green;
            const int db = c.blue - blue;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < best) {
                best = distance;
                chosen = static_cast<std::uint16_t>(i);
            }
        }
        return chosen;
    }

    const std::vector<Colour>& m_palette;
    std::vector<std::uint16_t> m_cells;
};

// Errors are kept in sixteenths of a level, for each channel of each pixel of
// a row and one pixel either side of it, so that no pixel needs a bounds test.
using ErrorRow = std::vector<int>;

constexpr int kMaxValue = 255 * 16;

// Floyd-Steinberg's 7, 3, 5 and 1 sixteenths, the last taking what rounding
// left, so that no error is lost or made up.
struct Shares {
    int ahead;
    int behindBelow;
    int below;
    int aheadBelow;
};

Shares sharesOf(int error) {
    const int ahead = (error * 7 + 8) >> 4;
    const int behindBelow = (error * 3 + 8) >> 4;
    const int below = (error * 5 + 8) >> 4;
    return {ahead, behindBelow, below, error - ahead - behindBelow - below};
}

struct RowJob {
    const uchar* pixels;
    int width;
    bool leftToRight; // rows alternate, so that errors do not all lean one way
    std::uint8_t hiddenIndex;
    std::uint8_t* indices;
};

void diffuseRow(const RowJob& row, const std::vector<Colour>& palette, NearestColour& nearest,
                ErrorRow& here, ErrorRow& below) {
    const int step = row.leftToRight ? 1 : -1;
    std::fill(below.begin(), below.end(), 0);
    for (int i = 0; i < row.width; ++i) {
        const int x = row.leftToRight ? i : row.width - 1 - i;
        const uchar* pixel = row.pixels + 4 * static_cast<std::size_t>(x);
        if (pixel[3] == 0) {
            row.indices[x] = row.hiddenIndex;
            continue;
        }
        const auto at = [x](int dx, std::size_t c) {
            return 3 * static_cast<std::size_t>(x + 1 + dx) + c;
        };
        std::array<int, 3> value{};
        for (std::size_t c = 0; c < 3; ++c) {
            value[c] = std::clamp(pixel[c] * 16 + here[at(0, c)], 0, kMaxValue);
        }
        const std::uint8_t chosen =
            nearest.of((value[0] + 8) >> 4, (value[1] + 8) >> 4, (value[2] + 8) >> 4);
        row.indices[x] = chosen;
        const Colour& colour = palette[chosen];
        const std::array<int, 3> target{colour.red, colour.green, colour.blue};
        for (std::size_t c = 0; c < 3; ++c) {
            const Shares shares = sharesOf(value[c] - target[c] * 16);
            here[at(step, c)] += shares.ahead;
            below[at(-step, c)] += shares.behindBelow;
            below[at(0, c)] += shares.below;
            below[at(step, c)] += shares.aheadBelow;
        }
    }
}

} // namespace

void diffuse(const QImage& rgba, const std::vector<Colour>& palette, std::uint8_t hiddenIndex,
             std::uint8_t* indices) {
    const int width = rgba.width();
    NearestColour nearest(palette);
    ErrorRow here(3 * (static_cast<std::size_t>(width) + 2));
    ErrorRow below(here.size());
    for (int y = 0; y < rgba.height(); ++y) {
        const RowJob row{rgba.constScanLine(y), width, y % 2 == 0, hiddenIndex,
                         indices + static_cast<std::size_t>(y) * static_cast<std::size_t>(width)};
        diffuseRow(row, palette, nearest, here, below);
        std::swap(here, below);
    }
}

} // namespace ColourReduction
