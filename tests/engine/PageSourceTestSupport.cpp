#include "PageSourceTestSupport.h"

#include "support/TestEnvironment.h"

#include <QColor>

#include <algorithm>
#include <cstdlib>

namespace {

uint32_t sampleOf(const TestTiffPage& p, uint32_t x, uint32_t y, uint16_t s) {
    return p.sample ? p.sample(x, y, s) : patternSample(x, y, s, p.bitsPerSample);
}

uint16_t scaled16(uint32_t v, uint16_t bits) {
    const uint64_t max = (uint64_t(1) << bits) - 1;
    return static_cast<uint16_t>(uint64_t(v) * 65535U / max);
}

uint8_t scaled8(uint32_t v, uint16_t bits) {
    const uint64_t max = (uint64_t(1) << bits) - 1;
    return static_cast<uint8_t>(uint64_t(v) * 255U / max);
}

// In the output's precision: 8-bit values widened the way QColor does.
uint16_t channel(uint32_t v, uint16_t bits) {
    return bits > 8 ? scaled16(v, bits) : static_cast<uint16_t>(scaled8(v, bits) * 257U);
}

uint32_t unpremultiplied(uint32_t c, uint32_t a, uint16_t bits) {
    const uint32_t max = (1U << bits) - 1U;
    return a == 0 ? 0
                  : std::min<uint32_t>(max, static_cast<uint32_t>((uint64_t(c) * max + a / 2) / a));
}

bool hasAlpha(const TestTiffPage& p) {
    return !p.extraSamples.empty() && (p.extraSamples[0] == EXTRASAMPLE_ASSOCALPHA ||
                                       p.extraSamples[0] == EXTRASAMPLE_UNASSALPHA);
}

QRgba64 cmykColour(const TestTiffPage& p, uint32_t x, uint32_t y) {
    const uint32_t max = (1U << p.bitsPerSample) - 1U;
    const uint64_t white = max - sampleOf(p, x, y, 3);
    uint16_t rgb[3];
    for (uint16_t c = 0; c < 3; ++c) {
        const auto v = static_cast<uint32_t>((max - sampleOf(p, x, y, c)) * white / max);
        rgb[c] = static_cast<uint16_t>(scaled8(v, p.bitsPerSample) * 257U);
    }
    return qRgba64(rgb[0], rgb[1], rgb[2], 0xFFFF);
}

QRgba64 paletteColour(const TestTiffPage& p, uint32_t x, uint32_t y) {
    const size_t n = p.colormap.size() / 3;
    const uint32_t i = sampleOf(p, x, y, 0);
    const auto eight = [](uint16_t v) { return static_cast<uint16_t>((v >> 8) * 257U); };
    return qRgba64(eight(p.colormap[i]), eight(p.colormap[n + i]), eight(p.colormap[2 * n + i]),
                   0xFFFF);
}

QRgba64 grayColour(const TestTiffPage& p, uint32_t x, uint32_t y) {
    const uint32_t max = (1U << p.bitsPerSample) - 1U;
    uint32_t v = sampleOf(p, x, y, 0);
    uint32_t a = max;
    if (hasAlpha(p)) {
        a = sampleOf(p, x, y, 1);
        if (p.extraSamples[0] == EXTRASAMPLE_ASSOCALPHA) {
            v = unpremultiplied(v, a, p.bitsPerSample);
        }
    }
    if (p.photometric == PHOTOMETRIC_MINISWHITE) {
        v = max - v;
    }
    const uint16_t g = channel(v, p.bitsPerSample);
    return qRgba64(g, g, g, channel(a, p.bitsPerSample));
}

QRgba64 rgbColour(const TestTiffPage& p, uint32_t x, uint32_t y) {
    const uint32_t max = (1U << p.bitsPerSample) - 1U;
    uint32_t a = hasAlpha(p) ? sampleOf(p, x, y, 3) : max;
    uint16_t rgb[3];
    for (uint16_t c = 0; c < 3; ++c) {
        uint32_t v = sampleOf(p, x, y, c);
        if (hasAlpha(p) && p.extraSamples[0] == EXTRASAMPLE_ASSOCALPHA) {
            v = unpremultiplied(v, a, p.bitsPerSample);
        }
        rgb[c] = channel(v, p.bitsPerSample);
    }
    return qRgba64(rgb[0], rgb[1], rgb[2], channel(a, p.bitsPerSample));
}

} // namespace

QRgba64 expectedStoredColour(const TestTiffPage& p, uint32_t x, uint32_t y) {
    switch (p.photometric) {
    case PHOTOMETRIC_SEPARATED:
        return cmykColour(p, x, y);
    case PHOTOMETRIC_PALETTE:
        return paletteColour(p, x, y);
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        return grayColour(p, x, y);
    default:
        return rgbColour(p, x, y);
    }
}

QImage::Format expectedFormat(const TestTiffPage& p) {
    const bool wide = p.bitsPerSample > 8;
    switch (p.photometric) {
    case PHOTOMETRIC_SEPARATED:
        return QImage::Format_RGB888;
    case PHOTOMETRIC_PALETTE:
        return QImage::Format_Indexed8;
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        if (hasAlpha(p)) {
            return wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
        }
        if (p.bitsPerSample == 1) {
            return QImage::Format_Mono;
        }
        return wide ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
    default:
        if (hasAlpha(p)) {
            return wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
        }
        return wide ? QImage::Format_RGBX64 : QImage::Format_RGB888;
    }
}

Result<QImage> decodeFirstPage(const QString& path) {
    auto source = PageSource::open(path);
    if (!source) {
        return Result<QImage>::failure(source.error());
    }
    return (*source)->readPage(0);
}

int channelDistance(QRgba64 a, QRgba64 b) {
    return std::max(
        {std::abs(int(a.red()) - int(b.red())), std::abs(int(a.green()) - int(b.green())),
         std::abs(int(a.blue()) - int(b.blue())), std::abs(int(a.alpha()) - int(b.alpha()))});
}

std::string pixelMismatch(int x, int y, QRgba64 got, QRgba64 want) {
    const auto levels = [](QRgba64 c) {
        return std::to_string(c.red()) + "/" + std::to_string(c.green()) + "/" +
               std::to_string(c.blue()) + "/" + std::to_string(c.alpha());
    };
    return "pixel " + std::to_string(x) + "," + std::to_string(y) + ": got " + levels(got) +
           ", want " + levels(want);
}

Result<std::unique_ptr<PageSource>> openTestPages(const std::vector<TestTiffPage>& pages,
                                                  const DecodeLimits& limits) {
    const QString path = makeTestFolder() + QStringLiteral("/pages.tif");
    QString error;
    if (!writeTestTiff(path, pages, &error)) {
        return Result<std::unique_ptr<PageSource>>::failure(QStringLiteral("test file: ") + error);
    }
    return PageSource::open(path, limits);
}

std::string compareWithPage(const QImage& image, const TestTiffPage& page, int tolerance8) {
    if (image.width() != int(page.width) || image.height() != int(page.height)) {
        return "size differs";
    }
    for (uint32_t y = 0; y < page.height; ++y) {
        for (uint32_t x = 0; x < page.width; ++x) {
            const QRgba64 want = expectedStoredColour(page, x, y);
            const QRgba64 got = image.pixelColor(int(x), int(y)).rgba64();
            if (channelDistance(want, got) > tolerance8 * 257) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
                       QColor(got).name(QColor::HexArgb).toStdString() + ", expected " +
                       QColor(want).name(QColor::HexArgb).toStdString();
            }
        }
    }
    return {};
}
