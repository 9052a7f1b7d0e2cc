#pragma once

#include <QLatin1StringView>
#include <QString>

#include <cstdint>
#include <span>

class QImage;
struct WriteOptions;

// Output type codes of `outputType`; they are stored in the preferences.
enum OutputType : int {
    OutputJpeg = 0,
    OutputPng = 1,
    OutputTiff = 2,
    OutputBmp = 3,
    OutputGif = 4
};

// The settings that mean something for an output type.
struct OutputOptions {
    bool jpegQuality = false;
    bool tiffSplit = false; // one file per page, or one file for all
    bool tiffCompression = false;
};

struct OutputFormat {
    OutputType id{};
    const char* extension = nullptr; // with its dot
    const char* cliName = nullptr;   // the value of --type
    const char* label = nullptr;     // the settings panel's popup
    OutputOptions options;
    // Writes one page; the path ends in `extension`.
    bool (*save)(const QImage& image, const QString& path, const WriteOptions& options) = nullptr;

    QLatin1StringView extensionText() const { return QLatin1StringView(extension); }
};

struct TiffCompression {
    int index; // stored as `tiffCompressionIndex`
    const char* label;
    const char* cliName; // the value of --compression
    uint16_t tag;        // libtiff's Compression tag
    bool bilevelOnly;    // any other page is stored uncompressed
};

// Indexed by the stored code: outputFormats()[t].id == t.
std::span<const OutputFormat> outputFormats();
// Nothing for a code outside the table.
const OutputFormat* outputFormat(int outputType);
// By extension without its dot, exactly ("tiff", not "TIFF" or "tif").
const OutputFormat* outputFormatWithExtension(QStringView extension);

// Indexed by the stored index.
std::span<const TiffCompression> tiffCompressions();
// An index outside the table stores uncompressed.
const TiffCompression& tiffCompression(int index);
