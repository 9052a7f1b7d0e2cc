#include "engine/OutputFormats.h"

#include "engine/ImageUtilities.h"
#include "engine/PageWriter.h"

#include <array>

#include <tiffio.h>

namespace {

bool saveJpeg(const QImage& image, const QString& path, const WriteOptions& options) {
    return ImageUtilities::saveAsJpegWithName(image, path, options.jpegQuality);
}

bool savePng(const QImage& image, const QString& path, const WriteOptions&) {
    return ImageUtilities::saveAsPngWithName(image, path);
}

bool saveTiff(const QImage& image, const QString& path, const WriteOptions& options) {
    return ImageUtilities::saveAsTiffWithName(image, path, options.tiffCompressionIndex);
}

bool saveBmp(const QImage& image, const QString& path, const WriteOptions&) {
    return ImageUtilities::saveAsBmpWithName(image, path);
}

bool saveGif(const QImage& image, const QString& path, const WriteOptions&) {
    return ImageUtilities::saveAsGifWithName(image, path);
}

constexpr OutputOptions kQuality{true, false, false};
constexpr OutputOptions kTiff{false, true, true};
constexpr OutputOptions kNone{};

const std::array<OutputFormat, 5> kFormats{{
    {OutputJpeg, ".jpg", "jpg", "JPEG", kQuality, saveJpeg},
    {OutputPng, ".png", "png", "PNG", kNone, savePng},
    {OutputTiff, ".tiff", "tiff", "TIFF", kTiff, saveTiff},
    {OutputBmp, ".bmp", "bmp", "BMP", kNone, saveBmp},
    {OutputGif, ".gif", "gif", "GIF", kNone, saveGif},
}};

const std::array<TiffCompression, 5> kCompressions{{
    {0, "None", "none", COMPRESSION_NONE, false},
    {1, "CCITT Group 3 Fax", "g3", COMPRESSION_CCITTFAX3, true},
    {2, "CCITT Group 4 Fax", "g4", COMPRESSION_CCITTFAX4, true},
    {3, "LZW", "lzw", COMPRESSION_LZW, false},
    {4, "PackBits", "packbits", COMPRESSION_PACKBITS, false},
}};

} // namespace

std::span<const OutputFormat> outputFormats() {
    return kFormats;
}

const OutputFormat* outputFormat(int outputType) {
    if (outputType < 0 || outputType >= static_cast<int>(kFormats.size())) {
        return nullptr;
    }
    return &kFormats[static_cast<size_t>(outputType)];
}

const OutputFormat* outputFormatWithExtension(QStringView extension) {
    for (const OutputFormat& format : kFormats) {
        if (extension == format.extensionText().sliced(1)) {
            return &format;
        }
    }
    return nullptr;
}

std::span<const TiffCompression> tiffCompressions() {
    return kCompressions;
}

const TiffCompression& tiffCompression(int index) {
    if (index < 0 || index >= static_cast<int>(kCompressions.size())) {
        return kCompressions[0];
    }
    return kCompressions[static_cast<size_t>(index)];
}
