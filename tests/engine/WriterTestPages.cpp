#include "WriterTestPages.h"

#include <QColor>

#include <algorithm>
#include <array>

namespace {

constexpr int kLevels = 16;

// 16-bit levels with a low byte that is not the high byte.
quint16 level16(int i) {
    return static_cast<quint16>(i * 4099 + 123);
}
quint8 level8(int i) {
    return static_cast<quint8>(i * 17);
}

constexpr std::array<int, 6> kAlphas{0, 60, 127, 128, 200, 255};

int colourIndex(int x, int y) {
    return (x + 3 * y) % kLevels;
}
int alphaOf(int x, int y) {
    return kAlphas[static_cast<size_t>((x + y) % 6)];
}

QRgb colour8(int k, int alpha) {
    return qRgba(level8(k), level8((k * 5 + 3) % kLevels), level8((k * 7 + 1) % kLevels), alpha);
}

QImage monoPage(int width, int height, QList<QRgb> table) {
    QImage page(width, height, QImage::Format_Mono);
    page.setColorTable(table);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            page.setPixel(x, y, (x * x + y) % 3 == 0 ? 1U : 0U);
        }
    }
    return page;
}

QImage indexedPage(int width, int height, bool alpha) {
    QImage page(width, height, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int k = 0; k < kLevels; ++k) {
        table.append(colour8(k, alpha ? kAlphas[static_cast<size_t>(k % 6)] : 255));
    }
    page.setColorTable(table);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            page.setPixel(x, y, static_cast<uint>(colourIndex(x, y)));
        }
    }
    return page;
}

QImage grayPage(int width, int height, bool deep) {
    QImage page(width, height, deep ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int k = colourIndex(x, y);
            if (deep) {
                reinterpret_cast<quint16*>(page.scanLine(y))[x] = level16(k);
            } else {
                page.scanLine(y)[x] = level8(k);
            }
        }
    }
    return page;
}

QImage colourPage(int width, int height, QImage::Format format, bool alpha, bool deep) {
    QImage page(width, height, format);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int k = colourIndex(x, y);
            const int a = alpha ? alphaOf(x, y) : 255;
            if (deep) {
                page.setPixelColor(x, y,
                                   QColor::fromRgba64(level16(k), level16((k * 5 + 3) % kLevels),
                                                      level16((k * 7 + 1) % kLevels),
                                                      static_cast<quint16>(a * 257)));
            } else {
                page.setPixelColor(x, y, QColor::fromRgba(colour8(k, a)));
            }
        }
    }
    return page;
}

} // namespace

QImage makePage(PageKind kind, int width, int height) {
    const QRgb black = qRgb(0, 0, 0);
    const QRgb white = qRgb(255, 255, 255);
    switch (kind) {
    case PageKind::MonoZeroBlack:
        return monoPage(width, height, {black, white});
    case PageKind::MonoZeroWhite:
        return monoPage(width, height, {white, black});
    case PageKind::MonoColoured:
        return monoPage(width, height, {qRgb(200, 30, 40), qRgb(10, 20, 250)});
    case PageKind::Gray8:
        return grayPage(width, height, false);
    case PageKind::Gray16:
        return grayPage(width, height, true);
    case PageKind::Indexed8:
        return indexedPage(width, height, false);
    case PageKind::Indexed8Alpha:
        return indexedPage(width, height, true);
    case PageKind::Rgb888:
        return colourPage(width, height, QImage::Format_RGB888, false, false);
    case PageKind::Rgbx64:
        return colourPage(width, height, QImage::Format_RGBX64, false, true);
    case PageKind::Rgba8888:
        return colourPage(width, height, QImage::Format_RGBA8888, true, false);
    case PageKind::Rgba64:
        return colourPage(width, height, QImage::Format_RGBA64, true, true);
    case PageKind::Rgb32:
        return colourPage(width, height, QImage::Format_RGB32, false, false);
    case PageKind::Argb32Premultiplied:
        // Opaque, so premultiplication loses nothing the tests could see.
        return colourPage(width, height, QImage::Format_ARGB32_Premultiplied, false, false);
    }
    return {};
}

QImage photoLikePage(int width, int height) {
    QImage page(width, height, QImage::Format_RGB888);
    quint32 noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245U + 12345U;
            const int jitter = static_cast<int>((noise >> 16) % 9) - 4;
            const auto clamp = [](int v) { return std::clamp(v, 0, 255); };
            page.setPixel(x, y,
                          qRgb(clamp(x * 255 / width + jitter), clamp(y * 255 / height - jitter),
                               clamp((x + y) * 127 / (width + height) + 64 + jitter)));
        }
    }
    return page;
}

QImage reducedTo8Bits(const QImage& page) {
    QImage out(page.size(), QImage::Format_RGBA8888);
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QRgb c = page.pixelColor(x, y).rgba64().toArgb32();
            out.setPixelColor(x, y, QColor::fromRgba(c));
        }
    }
    return out;
}

QImage flattenedOverWhite(const QImage& page) {
    const QImage eight = reducedTo8Bits(page);
    QImage out(page.size(), QImage::Format_RGB888);
    const auto blend = [](int c, int a) { return (c * a + 255 * (255 - a) + 127) / 255; };
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = eight.pixelColor(x, y);
            out.setPixelColor(x, y,
                              QColor(blend(c.red(), c.alpha()), blend(c.green(), c.alpha()),
                                     blend(c.blue(), c.alpha())));
        }
    }
    return out;
}

const std::vector<KindName>& pageKinds() {
    static const std::vector<KindName> kinds = {
        {PageKind::MonoZeroBlack, "MonoZeroBlack"},
        {PageKind::MonoZeroWhite, "MonoZeroWhite"},
        {PageKind::MonoColoured, "MonoColoured"},
        {PageKind::Gray8, "Gray8"},
        {PageKind::Gray16, "Gray16"},
        {PageKind::Indexed8, "Indexed8"},
        {PageKind::Indexed8Alpha, "Indexed8Alpha"},
        {PageKind::Rgb888, "Rgb888"},
        {PageKind::Rgbx64, "Rgbx64"},
        {PageKind::Rgba8888, "Rgba8888"},
        {PageKind::Rgba64, "Rgba64"},
        {PageKind::Rgb32, "Rgb32"},
        {PageKind::Argb32Premultiplied, "Argb32Premultiplied"},
    };
    return kinds;
}
