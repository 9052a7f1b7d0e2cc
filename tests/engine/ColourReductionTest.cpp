#include "engine/ColourReduction.h"

#include "WriterReadBack.h"
#include "WriterTestPages.h"
#include "engine/ImageUtilities.h"
#include "support/TestEnvironment.h"

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using ColourReduction::Colour;

// Opaque RGBA8888 pages, each pixel given by `colourAt`.
QImage makeRgba(int width, int height, const std::function<QRgb(int, int)>& colourAt) {
    QImage page(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y) {
        uchar* pixel = page.scanLine(y);
        for (int x = 0; x < width; ++x, pixel += 4) {
            const QRgb c = colourAt(x, y);
            pixel[0] = static_cast<uchar>(qRed(c));
            pixel[1] = static_cast<uchar>(qGreen(c));
            pixel[2] = static_cast<uchar>(qBlue(c));
            pixel[3] = static_cast<uchar>(qAlpha(c));
        }
    }
    return page;
}

QImage noisePage(int width, int height) {
    std::mt19937 random(7);
    return makeRgba(width, height, [&random](int, int) {
        return qRgb(static_cast<int>(random() & 255), static_cast<int>(random() & 255),
                    static_cast<int>(random() & 255));
    });
}

// Mostly a gray ramp, with a small saturated patch in one corner.
QImage rampWithPatch(int width, int height) {
    return makeRgba(width, height, [width](int x, int y) {
        if (x < 4 && y < 4) {
            return qRgb(250, 10, 20);
        }
        const int level = x * 255 / (width - 1);
        return qRgb(level, level, (level + y) & 255);
    });
}

int squaredDistance(const Colour& a, QRgb b) {
    const int dr = a.red - qRed(b);
    const int dg = a.green - qGreen(b);
    const int db = a.blue - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

int farthestFromPalette(const QImage& page, const std::vector<Colour>& palette) {
    int worst = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QRgb c = page.pixel(x, y);
            int nearest = 1 << 30;
            for (const Colour& p : palette) {
                nearest = std::min(nearest, squaredDistance(p, c));
            }
            worst = std::max(worst, nearest);
        }
    }
    return worst;
}

struct PaletteCase {
    std::string name;
    std::function<QImage()> page;
    int maxColours;
    // Every pixel's colour lies within this (squared) of a palette colour.
    int worstSquaredDistance;
};

class ChoosePaletteTest : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(ChoosePaletteTest, StaysWithinTheLimitAndReachesEveryColour) {
    const PaletteCase& c = GetParam();
    const QImage page = c.page();
    const std::vector<Colour> palette = ColourReduction::choosePalette(page, c.maxColours);
    ASSERT_FALSE(palette.empty());
    EXPECT_LE(static_cast<int>(palette.size()), c.maxColours);
    std::set<std::tuple<int, int, int>> distinct;
    for (const Colour& p : palette) {
        distinct.emplace(p.red, p.green, p.blue);
    }
    EXPECT_EQ(distinct.size(), palette.size()) << "a colour given twice";
    EXPECT_LE(farthestFromPalette(page, palette), c.worstSquaredDistance);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ChoosePaletteTest,
    ::testing::Values(
        // Colours 16 levels apart fall in cubes of their own: kept as they are.
        PaletteCase{
            "FewColoursKeptExactly",
            [] { return makeRgba(16, 16, [](int x, int y) { return qRgb(x * 16, y * 16, 128); }); },
            256, 0},
        PaletteCase{"OneColourLeft", [] { return noisePage(64, 64); }, 1, 3 * 255 * 255},
        // Spread over all of colour space: the palette must be too. A cube
        // of side 64 (4 x 4 x 4 of them) holds no pixel farther than
        // 3 * 64^2 from its mean.
        PaletteCase{"NoiseSpreadsThePalette", [] { return noisePage(256, 256); }, 64, 3 * 64 * 64},
        PaletteCase{"NoiseAtFullSize", [] { return noisePage(256, 256); }, 256, 3 * 40 * 40},
        // 16 pixels of 262,144: a palette for the most pixels would leave
        // them far from every entry.
        PaletteCase{"RarePatchKeepsAColourNearIt", [] { return rampWithPatch(512, 512); }, 255,
                    3 * 16 * 16}),
    ByName());

TEST(ChoosePaletteTest, HiddenPixelsAreLeftOut) {
    const QImage page = makeRgba(
        32, 32, [](int x, int) { return x % 2 == 0 ? qRgba(0, 0, 0, 0) : qRgb(200, 100, 50); });
    EXPECT_EQ(ColourReduction::choosePalette(page, 256),
              (std::vector<Colour>{Colour{200, 100, 50}}));
    const QImage hidden = makeRgba(8, 8, [](int, int) { return qRgba(0, 0, 0, 0); });
    EXPECT_TRUE(ColourReduction::choosePalette(hidden, 256).empty());
}

std::vector<std::uint8_t> diffused(const QImage& page, const std::vector<Colour>& palette,
                                   std::uint8_t hiddenIndex = 255) {
    std::vector<std::uint8_t> indices(static_cast<size_t>(page.width()) *
                                      static_cast<size_t>(page.height()));
    ColourReduction::diffuse(page, palette, hiddenIndex, indices.data());
    return indices;
}

const std::vector<Colour> kBlackAndWhite{Colour{0, 0, 0}, Colour{255, 255, 255}};

struct AverageCase {
    std::string name;
    int width;
    int height;
    int level; // a gray between the palette's black and white
};

class DiffuseAverageTest : public ::testing::TestWithParam<AverageCase> {};

// Error diffusion keeps a flat region's average: the share of white pixels
// is the gray's level, whatever the page's shape.
TEST_P(DiffuseAverageTest, FlatGrayKeepsItsAverage) {
    const AverageCase& c = GetParam();
    const QImage page =
        makeRgba(c.width, c.height, [&c](int, int) { return qRgb(c.level, c.level, c.level); });
    const std::vector<std::uint8_t> indices = diffused(page, kBlackAndWhite);
    const double white = static_cast<double>(std::count(indices.begin(), indices.end(), 1)) /
                         static_cast<double>(indices.size());
    EXPECT_NEAR(white * 255.0, c.level, 255.0 * 2.0 / c.width);
}

INSTANTIATE_TEST_SUITE_P(Shapes, DiffuseAverageTest,
                         ::testing::Values(AverageCase{"Dark", 200, 200, 30},
                                           AverageCase{"Middle", 200, 200, 128},
                                           AverageCase{"Light", 200, 200, 230},
                                           AverageCase{"Wide", 400, 12, 100},
                                           AverageCase{"Tall", 150, 400, 77}),
                         ByName());

TEST(DiffuseTest, ColoursInThePaletteAreTakenAsTheyAre) {
    const std::vector<Colour> palette{Colour{10, 20, 30}, Colour{200, 10, 90}, Colour{255, 255, 0}};
    const QImage page = makeRgba(37, 23, [](int x, int y) {
        return (x + y) % 3 == 0 ? qRgb(10, 20, 30)
                                : (x % 2 ? qRgb(200, 10, 90) : qRgb(255, 255, 0));
    });
    const std::vector<std::uint8_t> indices = diffused(page, palette);
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const Colour& c = palette[indices[static_cast<size_t>(y * page.width() + x)]];
            ASSERT_EQ(qRgb(c.red, c.green, c.blue), page.pixel(x, y)) << x << "," << y;
        }
    }
}

TEST(DiffuseTest, HiddenPixelsTakeTheirIndexAndPassNoError) {
    // Left half hidden, right half a gray the palette does not have.
    const QImage page = makeRgba(
        64, 64, [](int x, int) { return x < 32 ? qRgba(0, 0, 0, 0) : qRgb(128, 128, 128); });
    const std::vector<std::uint8_t> indices = diffused(page, kBlackAndWhite, 7);
    int white = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const std::uint8_t index = indices[static_cast<size_t>(y * 64 + x)];
            if (x < 32) {
                ASSERT_EQ(index, 7) << x << "," << y;
            } else {
                ASSERT_LE(index, 1) << x << "," << y;
                white += index;
            }
        }
    }
    EXPECT_NEAR(white, 32 * 64 / 2, 64);
}

// A page brought down and shown again stays close to what it was, colour
// for colour, once the dither is smoothed over a few pixels.
TEST(ColourReductionTest, SmoothPageSurvivesReduction) {
    const QImage page =
        makeRgba(256, 128, [](int x, int y) { return qRgb(x, (x + 2 * y) / 3, 255 - y); });
    const std::vector<Colour> palette = ColourReduction::choosePalette(page, 256);
    const std::vector<std::uint8_t> indices = diffused(page, palette);
    constexpr int kBlock = 8;
    double worst = 0;
    for (int by = 0; by < page.height(); by += kBlock) {
        for (int bx = 0; bx < page.width(); bx += kBlock) {
            double difference[3] = {0, 0, 0};
            for (int y = by; y < by + kBlock; ++y) {
                for (int x = bx; x < bx + kBlock; ++x) {
                    const Colour& c = palette[indices[static_cast<size_t>(y * page.width() + x)]];
                    const QRgb original = page.pixel(x, y);
                    difference[0] += c.red - qRed(original);
                    difference[1] += c.green - qGreen(original);
                    difference[2] += c.blue - qBlue(original);
                }
            }
            for (const double d : difference) {
                worst = std::max(worst, std::abs(d) / (kBlock * kBlock));
            }
        }
    }
    EXPECT_LT(worst, 8.0);
}

// Past 256 colours the transparent entry comes after the reduced ones: every
// pixel below the opacity threshold, and no other, must land on it.
TEST(ColourReductionTest, GifOfAFullColourPageKeepsItsHiddenPixels) {
    QImage page = photoLikePage(96, 64).convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < page.height(); ++y) {
        uchar* pixel = page.scanLine(y);
        for (int x = 0; x < page.width(); ++x, pixel += 4) {
            pixel[3] = (x / 8 + y / 8) % 2 == 0 ? 200 : 40;
        }
    }
    const QString path = makeTestFolder() + QStringLiteral("/page.gif");
    ASSERT_TRUE(ImageUtilities::saveAsGifWithName(page, path));
    const GifContent gif = readGif(path);
    ASSERT_TRUE(gif.valid);
    EXPECT_EQ(gif.paletteSize, 256);
    ASSERT_GE(gif.transparentIndex, 0);
    const QImage shown = gif.pixels();
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const bool hidden = qAlpha(page.pixel(x, y)) < 128;
            ASSERT_EQ(qAlpha(shown.pixel(x, y)) == 0, hidden) << x << "," << y;
        }
    }
}

} // namespace
