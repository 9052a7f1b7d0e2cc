#pragma once

#include <QImage>

// QImage ignores a resolution of 0 and gives every new image the screen's, so
// a page whose source has no resolution says so with this text key (any
// non-empty value); writers then store none.
inline constexpr char kNoResolutionTextKey[] = "pictavo-no-resolution";
// QImage keeps whole dots per metre, which turns 300 dpi into 299.9994; the
// resolution as the source states it travels under this key.
inline constexpr char kStatedResolutionTextKey[] = "pictavo-resolution";

void markWithoutResolution(QImage& page);
// True when the page's dotsPerMeterX/Y are its own.
bool hasResolution(const QImage& page);

struct StatedResolution {
    double x = 0;
    double y = 0;
    bool perCentimetre = false; // else per inch
};

// Sets the page's dots per metre (nearest whole) and keeps the exact values.
void setStatedResolution(QImage& page, const StatedResolution& resolution);
// The resolution as stated while it still agrees with the page's dots per
// metre; otherwise (never stated, or changed since) those in dots per inch.
// Meaningful only when hasResolution(page).
StatedResolution statedResolution(const QImage& page);
// Nearest whole dots per metre of a stated value.
int dotsPerMetre(double value, bool perCentimetre);
