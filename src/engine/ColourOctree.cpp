#include "engine/ColourReduction.h"

#include <queue>

#include <algorithm>
#include <array>
#include <functional>
#include <set>
#include <span>
#include <tuple>

namespace ColourReduction {
namespace {

// 32 steps a channel at the finest: a palette of 256 never gets that fine,
// and a page of more colours than that is dithered anyway.
constexpr int kDepth = 5;

struct Cube {
    std::uint64_t pixels = 0; // every pixel inside
    std::array<std::uint64_t, 3> sum{};
    std::uint64_t squares = 0; // of every channel of every pixel
    // The pixels this cube's colour stands for: its own, once the finer
    // cubes inside it have been merged into it.
    std::uint64_t ownPixels = 0;
    std::array<std::uint64_t, 3> ownSum{};
    int children = 0; // occupied ones not merged yet
};

// Cubes of level L (8^L of them, side 256 >> L) are numbered by the top L
// bits of red, green and blue, after those of the coarser levels.
class Octree {
public:
    Octree() : m_cubes(offset(kDepth + 1)) {}

    void count(const QImage& rgba) {
        constexpr int shift = 8 - kDepth;
        for (int y = 0; y < rgba.height(); ++y) {
            const uchar* pixel = rgba.constScanLine(y);
            for (int x = 0; x < rgba.width(); ++x, pixel += 4) {
                if (pixel[3] == 0) {
                    continue;
                }
                Cube& cube = at(
                    kDepth, key(kDepth, pixel[0] >> shift, pixel[1] >> shift, pixel[2] >> shift));
                ++cube.pixels;
                for (std::size_t c = 0; c < 3; ++c) {
                    cube.sum[c] += pixel[c];
                }
                cube.squares += static_cast<std::uint64_t>(
                    pixel[0] * pixel[0] + pixel[1] * pixel[1] + pixel[2] * pixel[2]);
            }
        }
        for (Cube& cube : level(kDepth)) {
            cube.ownPixels = cube.pixels;
            cube.ownSum = cube.sum;
        }
        for (int l = kDepth; l > 0; --l) {
            addToParents(l);
        }
    }

    std::vector<Colour> reduceTo(int maxColours) {
        // Smallest first: the cube whose pixels lie closest to its centre
        // loses least by standing for them with its parent's colour.
        using Entry = std::tuple<double, int, std::size_t>; // error, level, key
        std::priority_queue<Entry, std::vector<Entry>, std::greater<>> mergeable;
        std::size_t colours = 0;
        const std::span<Cube> finest = level(kDepth);
        for (std::size_t k = 0; k < finest.size(); ++k) {
            if (finest[k].pixels != 0) {
                mergeable.emplace(error(kDepth, k), kDepth, k);
                ++colours;
            }
        }
        while (colours > static_cast<std::size_t>(maxColours) && !mergeable.empty()) {
            const auto [ignored, l, k] = mergeable.top();
            mergeable.pop();
            Cube& cube = at(l, k);
            Cube& parent = at(l - 1, parentKey(l, k));
            if (parent.ownPixels != 0) {
                --colours;
            }
            parent.ownPixels += cube.ownPixels;
            for (std::size_t c = 0; c < 3; ++c) {
                parent.ownSum[c] += cube.ownSum[c];
            }
            cube.ownPixels = 0;
            if (--parent.children == 0 && l - 1 > 0) {
                mergeable.emplace(error(l - 1, parentKey(l, k)), l - 1, parentKey(l, k));
            }
        }
        return palette();
    }

private:
    static std::size_t cubesAt(int l) { return std::size_t{1} << (3 * l); }
    static std::size_t offset(int l) { return l == 0 ? 0 : offset(l - 1) + cubesAt(l - 1); }
    static std::size_t key(int l, int red, int green, int blue) {
        return static_cast<std::size_t>(red) << (2 * l) | static_cast<std::size_t>(green) << l |
               static_cast<std::size_t>(blue);
    }
    static std::array<int, 3> coordinates(int l, std::size_t k) {
        const std::size_t mask = (std::size_t{1} << l) - 1;
        return {static_cast<int>(k >> (2 * l)), static_cast<int>((k >> l) & mask),
                static_cast<int>(k & mask)};
    }
    static std::size_t parentKey(int l, std::size_t k) {
        const auto [r, g, b] = coordinates(l, k);
        return key(l - 1, r >> 1, g >> 1, b >> 1);
    }

    Cube& at(int l, std::size_t k) { return m_cubes[offset(l) + k]; }
    std::span<Cube> level(int l) { return {m_cubes.data() + offset(l), cubesAt(l)}; }

    void addToParents(int l) {
        for (std::size_t k = 0; k < cubesAt(l); ++k) {
            const Cube& cube = at(l, k);
            if (cube.pixels == 0) {
                continue;
            }
            Cube& parent = at(l - 1, parentKey(l, k));
            parent.pixels += cube.pixels;
            for (std::size_t c = 0; c < 3; ++c) {
                parent.sum[c] += cube.sum[c];
            }
            parent.squares += cube.squares;
            ++parent.children;
        }
    }

    // The summed squared distance of the cube's pixels from its centre.
    double error(int l, std::size_t k) {
        const Cube& cube = at(l, k);
        const double side = static_cast<double>(256 >> l);
        const std::array<int, 3> corner = coordinates(l, k);
        double result = static_cast<double>(cube.squares);
        for (std::size_t c = 0; c < 3; ++c) {
            const double centre = (corner[c] + 0.5) * side;
            result += centre * (static_cast<double>(cube.pixels) * centre -
                                2.0 * static_cast<double>(cube.sum[c]));
        }
        return result;
    }

    std::vector<Colour> palette() const {
        std::vector<Colour> colours;
        std::set<std::tuple<int, int, int>> seen;
        for (const Cube& cube : m_cubes) {
            if (cube.ownPixels == 0) {
                continue;
            }
            std::array<std::uint8_t, 3> mean{};
            for (std::size_t c = 0; c < 3; ++c) {
                mean[c] = static_cast<std::uint8_t>((cube.ownSum[c] + cube.ownPixels / 2) /
                                                    cube.ownPixels);
            }
            if (seen.emplace(mean[0], mean[1], mean[2]).second) {
                colours.push_back(Colour{mean[0], mean[1], mean[2]});
            }
        }
        return colours;
    }

    std::vector<Cube> m_cubes;
};

} // namespace

std::vector<Colour> choosePalette(const QImage& rgba, int maxColours) {
    Octree octree;
    octree.count(rgba);
    return octree.reduceTo(std::clamp(maxColours, 1, 256));
}

} // namespace ColourReduction
