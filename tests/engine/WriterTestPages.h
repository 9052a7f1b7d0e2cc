#pragma once

#include <QImage>

#include <vector>

// The page layouts the writers are fed: the native forms of the TIFF page
// source plus a few other QImage formats.
enum class PageKind {
    MonoZeroBlack,
    MonoZeroWhite,
    MonoColoured,
    Gray8,
    Gray16,
    Indexed8,
    Indexed8Alpha,
    Rgb888,
    Rgbx64,
    Rgba8888,
    Rgba64,
    Rgb32,
    Argb32Premultiplied,
};

struct KindName {
    PageKind kind;
    const char* name; // as test names show it
};
// Every kind, in the enum's order.
const std::vector<KindName>& pageKinds();

// A page of that kind with at most 96 distinct colours, 16-bit levels that
// are no multiples of 257 (so a lost low byte shows) and alpha values on both
// sides of 128.
QImage makePage(PageKind kind, int width, int height);

// A smooth, noisy full-colour page of far more than 256 colours.
QImage photoLikePage(int width, int height);

// What a page looks like at 8 bits per channel (QRgba64 rounding).
QImage reducedTo8Bits(const QImage& page);
// The page's colours shown over white, alpha dropped.
QImage flattenedOverWhite(const QImage& page);
