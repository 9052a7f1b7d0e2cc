#pragma once

// Decoders the writer tests use to look into the files they wrote, each
// through the format's own library so that what a reader sees is checked.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

struct PngFacts {
    bool valid = false;
    int bitDepth = 0;
    int colorType = -1;
    bool hasTransparency = false;
    bool hasPhys = false;
    uint32_t physX = 0;
    uint32_t physY = 0;
    int physUnit = -1;
    QByteArray icc;
};
PngFacts readPngFacts(const QString& path);

struct JpegFacts {
    bool valid = false;
    int components = 0;
    int lumaHorizontalSampling = 0;
    int lumaVerticalSampling = 0;
    int firstLumaQuantizer = 0;
    int densityUnit = -1;
    int densityX = 0;
    int densityY = 0;
    QByteArray icc;
    QImage pixels; // RGB888 or Grayscale8
};
JpegFacts readJpegFacts(const QString& path);

struct GifContent {
    bool valid = false;
    int width = 0;
    int height = 0;
    int paletteSize = 0;
    QList<QRgb> palette;
    std::vector<uint8_t> indices;
    int transparentIndex = -1;
    // Palette colours, alpha 0 at the transparent index.
    QImage pixels() const;
};
GifContent readGif(const QString& path);

struct TiffPageFacts {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bitsPerSample = 0;
    uint16_t samplesPerPixel = 0;
    uint16_t photometric = 0;
    uint16_t compression = 0;
    uint16_t predictor = 1;
    uint32_t strips = 0;
    uint32_t rowsPerStrip = 0;
    std::vector<uint16_t> extraSamples;
    bool hasResolution = false;
    float xResolution = 0;
    float yResolution = 0;
    uint16_t resolutionUnit = 0;
    QByteArray icc;
    QImage pixels; // RGBA64, decoded from the raw samples
};
// Every directory in order; empty when the file cannot be read.
std::vector<TiffPageFacts> readTiff(const QString& path);

struct BmpHeader {
    bool valid = false;
    int bitsPerPixel = 0;
    int32_t xPixelsPerMetre = 0;
    int32_t yPixelsPerMetre = 0;
    int64_t fileSize = 0;
    int64_t dataOffset = 0;
    int coloursUsed = 0;
};
BmpHeader readBmpHeader(const QString& path);

// Peak signal-to-noise ratio over the RGB channels of two same-size pages.
double psnr(const QImage& expected, const QImage& actual);

// Where two pages differ after both went through RGBA64 ("" when they do
// not). A pixel transparent in both counts as equal whatever its colour.
std::string firstDifference(const QImage& expected, const QImage& actual);

// The names of the files in a folder, hidden ones included.
QStringList filesIn(const QString& folder);
