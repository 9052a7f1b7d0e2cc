#pragma once

#include <QImage>

// QImage ignores a resolution of 0 and gives every new image the screen's, so
// a page whose source has no resolution says so with this text key (any
// non-empty value); writers then store none.
inline constexpr char kNoResolutionTextKey[] = "pictavo-no-resolution";

void markWithoutResolution(QImage& page);
// True when the page's dotsPerMeterX/Y are its own.
bool hasResolution(const QImage& page);
