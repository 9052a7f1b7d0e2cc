#pragma once

#include <QImage>

#include <cstdint>

// Turns an image whose rows are in the order a TIFF Orientation value (1..8)
// describes into the upright image. Values 5..8 swap width and height (and
// the horizontal and vertical resolution). The format, colour table and
// colour space are kept. Any other value returns the image unchanged.
QImage applyTiffOrientation(QImage image, uint16_t orientation);

// Rows become columns: result(x, y) = image(y, x).
QImage transposed(const QImage& image);
