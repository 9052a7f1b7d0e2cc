#include "engine/PagePixels.h"

#include "engine/PageMapping.h"

#include <QColorSpace>

#include <algorithm>
#include <array>

namespace PagePixels {

namespace {

constexpr QRgb kOpaqueBlack = 0xff000000U;
constexpr QRgb kOpaqueWhite = 0xffffffffU;

bool isOneBit(const QImage& page) {
    return page.format() == QImage::Format_Mono || page.format() == QImage::Format_MonoLSB;
}

int blendOver(int channel, int alpha, int background) {
    return (channel * alpha + background * (255 - alpha) + 127) / 255;
}

int blendOverWhite(int channel, int alpha) {
    return blendOver(channel, alpha, 255);
}

Status outOfMemory(const QImage& page) {
    return Status::failure(QStringLiteral("Not enough memory to convert a %1 x %2 page")
                               .arg(page.width())
                               .arg(page.height()));
}

// Indexed pages map through a table of 256 gray levels.
Result<QImage> indexedToGray8(const QImage& page) {
    const QImage indexed = page.format() == QImage::Format_Indexed8
                               ? page
                               : page.convertToFormat(QImage::Format_Indexed8);
    QImage gray(page.size(), QImage::Format_Grayscale8);
    if (indexed.isNull() || gray.isNull()) {
        return Result<QImage>::failure(outOfMemory(page).error());
    }
    const QList<QRgb> table = completeTable(indexed);
    std::array<uchar, 256> level{};
    for (qsizetype i = 0; i < table.size() && i < 256; ++i) {
        level[static_cast<size_t>(i)] = static_cast<uchar>(qRed(overWhite(table[i])));
    }
    for (int y = 0; y < page.height(); ++y) {
        const uchar* in = indexed.constScanLine(y);
        uchar* out = gray.scanLine(y);
        for (int x = 0; x < page.width(); ++x) {
            out[x] = level[in[x]];
        }
    }
    gray.setDotsPerMeterX(page.dotsPerMeterX());
    gray.setDotsPerMeterY(page.dotsPerMeterY());
    gray.setColorSpace(page.colorSpace());
    return gray;
}

} // namespace

Status checkNotEmpty(const QImage& page) {
    return page.isNull() ? Status::failure(QStringLiteral("The image is empty")) : Status();
}

MonoTable monoTable(const QImage& page) {
    const QList<QRgb> table = page.colorTable();
    if (table.isEmpty()) {
        return MonoTable::ZeroIsBlack; // QImage's own default for 1-bit pages
    }
    const QRgb zero = table.value(0, kOpaqueBlack);
    const QRgb one = table.value(1, kOpaqueBlack);
    if (zero == kOpaqueBlack && one == kOpaqueWhite) {
        return MonoTable::ZeroIsBlack;
    }
    if (zero == kOpaqueWhite && one == kOpaqueBlack) {
        return MonoTable::ZeroIsWhite;
    }
    return MonoTable::Coloured;
}

bool isGrayTable(const QList<QRgb>& table) {
    return std::all_of(table.begin(), table.end(),
                       [](QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); });
}

bool tableHasAlpha(const QList<QRgb>& table) {
    return std::any_of(table.begin(), table.end(), [](QRgb c) { return qAlpha(c) != 255; });
}

bool isGrayPage(const QImage& page) {
    switch (page.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return true;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        return isGrayTable(page.colorTable());
    default:
        return false;
    }
}

bool isDeep(const QImage& page) {
    return page.pixelFormat().redSize() > 8;
}

QImage::Format directRgbFormat(const QImage& page) {
    const bool deep = isDeep(page);
    if (page.hasAlphaChannel()) {
        return deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
    }
    return deep ? QImage::Format_RGBX64 : QImage::Format_RGB888;
}

QRgb overWhite(QRgb argb) {
    const int a = qAlpha(argb);
    if (a == 255) {
        return argb;
    }
    return qRgb(blendOverWhite(qRed(argb), a), blendOverWhite(qGreen(argb), a),
                blendOverWhite(qBlue(argb), a));
}

Result<QImage> converted(const QImage& page, QImage::Format format) {
    if (page.format() == format) {
        return page;
    }
    QImage result = page.convertToFormat(format);
    if (result.isNull()) {
        return Result<QImage>::failure(outOfMemory(page).error());
    }
    return result;
}

Result<QImage> toGray8OverWhite(const QImage& page) {
    switch (page.format()) {
    case QImage::Format_Grayscale8:
        return page;
    case QImage::Format_Grayscale16:
        return converted(page, QImage::Format_Grayscale8);
    default:
        return indexedToGray8(page);
    }
}

Result<QImage> toRgb888Flattened(const QImage& page) {
    if (!page.hasAlphaChannel()) {
        return converted(page, QImage::Format_RGB888);
    }
    Result<QImage> rgba = converted(page, QImage::Format_RGBA8888);
    if (!rgba) {
        return rgba;
    }
    QImage rgb(page.size(), QImage::Format_RGB888);
    if (rgb.isNull()) {
        return Result<QImage>::failure(outOfMemory(page).error());
    }
    const int background = hasHoles(page) ? 0 : 255;
    for (int y = 0; y < page.height(); ++y) {
        const uchar* in = rgba->constScanLine(y);
        uchar* out = rgb.scanLine(y);
        for (int x = 0; x < page.width(); ++x, in += 4, out += 3) {
            const int alpha = in[3];
            out[0] = static_cast<uchar>(blendOver(in[0], alpha, background));
            out[1] = static_cast<uchar>(blendOver(in[1], alpha, background));
            out[2] = static_cast<uchar>(blendOver(in[2], alpha, background));
        }
    }
    rgb.setDotsPerMeterX(page.dotsPerMeterX());
    rgb.setDotsPerMeterY(page.dotsPerMeterY());
    rgb.setColorSpace(page.colorSpace());
    return rgb;
}

QImage toBlackIsOne(const QImage& page) {
    if (isOneBit(page) && monoTable(page) != MonoTable::Coloured) {
        QImage mono = page.convertToFormat(QImage::Format_Mono);
        if (monoTable(page) == MonoTable::ZeroIsBlack) {
            mono.invertPixels();
        }
        mono.setColorTable({kOpaqueWhite, kOpaqueBlack});
        return mono;
    }
    if (isOneBit(page)) {
        return {};
    }
    // Other layouts qualify only when they really hold two colours; the scan
    // stops at the first pixel that is neither.
    const QImage argb = page.convertToFormat(QImage::Format_ARGB32);
    QImage mono(page.size(), QImage::Format_Mono);
    if (argb.isNull() || mono.isNull()) {
        return {};
    }
    mono.setColorTable({kOpaqueWhite, kOpaqueBlack});
    mono.fill(0);
    for (int y = 0; y < page.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* out = mono.scanLine(y);
        for (int x = 0; x < page.width(); ++x) {
            if (in[x] == kOpaqueBlack) {
                out[x >> 3] = static_cast<uchar>(out[x >> 3] | (0x80U >> (x & 7)));
            } else if (in[x] != kOpaqueWhite) {
                return {};
            }
        }
    }
    mono.setDotsPerMeterX(page.dotsPerMeterX());
    mono.setDotsPerMeterY(page.dotsPerMeterY());
    mono.setColorSpace(page.colorSpace());
    return mono;
}

int highestIndex(const QImage& indexed8) {
    int highest = -1;
    if (indexed8.width() <= 0) {
        return highest;
    }
    for (int y = 0; y < indexed8.height() && highest < 255; ++y) {
        const uchar* row = indexed8.constScanLine(y);
        highest = std::max<int>(highest, *std::max_element(row, row + indexed8.width()));
    }
    return highest;
}

QList<QRgb> completeTable(const QImage& page) {
    QList<QRgb> table = page.colorTable();
    const int needed = isOneBit(page) ? 2 : highestIndex(page) + 1;
    if (isOneBit(page) && table.isEmpty()) {
        table = {kOpaqueBlack, kOpaqueWhite};
    }
    while (table.size() < needed) {
        table.append(kOpaqueBlack);
    }
    return table;
}

void clearBitsPastLastPixel(uchar* row, int width) {
    if (width > 0 && width % 8 != 0) {
        row[width / 8] &= static_cast<uchar>(0xFF00U >> (width % 8));
    }
}

} // namespace PagePixels
