#pragma once

#include "engine/PageSource.h"
#include "support/TestTiff.h"

#include <QImage>
#include <QRgba64>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// What a page made with TestTiff must look like once decoded: the colour of
// stored pixel (x, y), worked out from the page's own sample function.
QRgba64 expectedStoredColour(const TestTiffPage& page, uint32_t x, uint32_t y);
QImage::Format expectedFormat(const TestTiffPage& page);

// Largest difference of any channel, in 16-bit units.
int channelDistance(QRgba64 a, QRgba64 b);
// "pixel x,y: got r/g/b/a, want r/g/b/a", in 16-bit units.
std::string pixelMismatch(int x, int y, QRgba64 got, QRgba64 want);

// Opens the file and decodes its first page; the reason when either fails.
Result<QImage> decodeFirstPage(const QString& path);

// Writes the pages to a fresh file and opens it.
Result<std::unique_ptr<PageSource>> openTestPages(const std::vector<TestTiffPage>& pages,
                                                  const DecodeLimits& limits = {});

// Every stored pixel of `image` (no orientation) against the page; returns
// the first mismatch as text, "" when all match within `tolerance8` (8-bit
// units).
std::string compareWithPage(const QImage& image, const TestTiffPage& page, int tolerance8 = 0);
