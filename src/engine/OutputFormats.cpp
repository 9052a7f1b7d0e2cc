#include "engine/OutputFormats.h"

#include "engine/BmpWriter.h"
#include "engine/GifWriter.h"
#include "engine/JpegWriter.h"
#include "engine/PagePixels.h"
#include "engine/PdfWriter.h"
#include "engine/PngWriter.h"
#include "engine/TiffWriter.h"
#include "platform/AtomicFile.h"

#include <array>
#include <cstdio> // before jpeglib.h, which uses FILE

#include <jpeglib.h>
#include <tiffio.h>

namespace {

// Where single-page files appear under their names (TIFF files go through
// TiffPageEncoder, which does the same for any number of pages).
Status writeThrough(const PageWriter& writer, const QImage& image, const QString& path,
                    const WriteOptions& options) {
    AtomicFile file(path);
    if (Status created = file.create(); !created) {
        return created;
    }
    if (Status encoded = writer.encode(image, file.temporaryPath(), options); !encoded) {
        return file.inFinalTerms(std::move(encoded));
    }
    return file.commit();
}

template <typename Writer>
Status writeWith(const QImage& image, const QString& path, const WriteOptions& options) {
    return writeThrough(Writer(), image, path, options);
}

Status writeTiff(const QImage& image, const QString& path, const WriteOptions& options) {
    TiffPageEncoder encoder(path);
    if (Status appended = encoder.appendPage(image, options.tiffCompressionIndex); !appended) {
        return appended;
    }
    return encoder.finish();
}

constexpr OutputOptions kQuality{true, false, false};
constexpr OutputOptions kTiff{false, true, true};
constexpr OutputOptions kGathered{false, true, false};
constexpr OutputOptions kNone{};

const std::array<OutputFormat, 6> kFormats{{
    {OutputJpeg, ".jpg", "jpg", "JPEG", kQuality, JPEG_MAX_DIMENSION, "saveAsJpegWithName",
     writeWith<JpegWriter>},
    {OutputPng, ".png", "png", "PNG", kNone, 0, "saveAsPngWithName", writeWith<PngWriter>},
    {OutputTiff, ".tiff", "tiff", "TIFF", kTiff, 0, "saveAsTiffWithName", writeTiff},
    {OutputBmp, ".bmp", "bmp", "BMP", kNone, 0, "saveAsBmpWithName", writeWith<BmpWriter>},
    {OutputGif, ".gif", "gif", "GIF", kNone, 65535, "saveAsGifWithName", writeWith<GifWriter>},
    {OutputPdf, ".pdf", "pdf", "PDF", kGathered, 0, "saveAsPdfWithName", writePdfFile},
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

Status writePageFile(const OutputFormat& format, const QImage& image, const QString& path,
                     const WriteOptions& options) {
    if (Status notEmpty = PagePixels::checkNotEmpty(image); !notEmpty) {
        return notEmpty;
    }
    if (format.maxSide > 0 && (image.width() > format.maxSide || image.height() > format.maxSide)) {
        return Status::failure(
            QStringLiteral("%1 holds at most %2 x %2 pixels; the page has %3 x %4")
                .arg(QLatin1String(format.label))
                .arg(format.maxSide)
                .arg(image.width())
                .arg(image.height()));
    }
    return format.write(image, path, options);
}

QString writeFailureLine(const OutputFormat& format, const QString& reason) {
    return QStringLiteral("Erorr in (%1:) : %2").arg(QLatin1String(format.writerName), reason);
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
