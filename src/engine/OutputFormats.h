#pragma once

#include "platform/Result.h"

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
    OutputGif = 4,
    OutputPdf = 5
};

// The settings that mean something for an output type.
struct OutputOptions {
    bool jpegQuality = false;
    bool tiffSplit = false; // one file per page, or one file for all (TIFF, PDF)
    bool tiffCompression = false;
};

struct OutputFormat {
    OutputType id{};
    const char* extension = nullptr; // with its dot
    const char* cliName = nullptr;   // the value of --type
    const char* label = nullptr;     // the settings panel's popup
    OutputOptions options;
    // The largest width and height the format can hold; 0 for no limit of its own.
    int maxSide = 0;
    // Names the writer in the system log's failure line.
    const char* writerName = nullptr;
    // Writes one page under `path`, complete or not at all; the checks of
    // writePageFile() have passed.
    Status (*write)(const QImage& image, const QString& path,
                    const WriteOptions& options) = nullptr;

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

// Writes one page as a file of `format`: refuses an empty page or one past the
// format's largest side before any file exists. Any thread.
Status writePageFile(const OutputFormat& format, const QImage& image, const QString& path,
                     const WriteOptions& options);
// The system log's line for a page `format` could not write.
QString writeFailureLine(const OutputFormat& format, const QString& reason);

// Indexed by the stored index.
std::span<const TiffCompression> tiffCompressions();
// An index outside the table stores uncompressed.
const TiffCompression& tiffCompression(int index);
