#include "engine/CoreShare.h"
#include "engine/PdfPages.h"
#include "engine/PngStream.h"
#include "engine/PngWriter.h"
#include "engine/TiffHandle.h"
#include "engine/TiffPageLayout.h"

#include <QSysInfo>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <libdeflate.h>

namespace {

constexpr int kDeflateLevel = 6;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

bool plainSamples(const TiffPageLayout& l, const PdfColourForm& form) {
    const bool depthFits = l.bitsPerSample == 1 || l.bitsPerSample == 2 || l.bitsPerSample == 4 ||
                           l.bitsPerSample == 8 ||
                           (l.bitsPerSample == 16 && form.colour != PdfColour::Indexed);
    const bool alpha = l.extraSampleCount == 1 && l.firstExtraSample == EXTRASAMPLE_UNASSALPHA &&
                       l.bitsPerSample >= 8 && form.colour != PdfColour::Indexed;
    return depthFits && !l.tiled && l.sampleFormat == SAMPLEFORMAT_UINT &&
           l.photometric != PHOTOMETRIC_YCBCR && l.compression != COMPRESSION_JPEG &&
           l.compression != COMPRESSION_OJPEG &&
           (l.planar == PLANARCONFIG_CONTIG || l.samplesPerPixel == 1) &&
           (l.extraSampleCount == 0 || alpha);
}

// Every strip decoded into one buffer, or nothing when any falls short or
// libtiff has a word to say about it.
std::optional<std::vector<uint8_t>> decodedStrips(TiffHandle& handle, const TiffPageLayout& l,
                                                  const DecodeLimits& limits) {
    TIFF* tif = handle.get();
    const auto rowBytes = static_cast<qint64>(TIFFScanlineSize64(tif));
    const qint64 total = rowBytes * l.height;
    if (rowBytes <= 0 || !checkBufferLimit(l, total, limits)) {
        return std::nullopt;
    }
    std::vector<uint8_t> samples(static_cast<size_t>(total));
    const uint32_t perStrip = std::clamp<uint32_t>(l.rowsPerStrip, 1, l.height);
    const uint32_t count = TIFFNumberOfStrips(tif);
    if (uint64_t(count) * perStrip < l.height) {
        return std::nullopt;
    }
    handle.clearError();
    for (uint32_t s = 0; s * uint64_t(perStrip) < l.height; ++s) {
        const uint32_t rows = std::min(perStrip, l.height - s * perStrip);
        const qint64 wanted = rowBytes * rows;
        uint8_t* at = samples.data() + rowBytes * qint64(s) * perStrip;
        if (TIFFReadEncodedStrip(tif, s, at, static_cast<tmsize_t>(wanted)) != wanted ||
            !handle.lastError().isEmpty() || !handle.warnings().isEmpty()) {
            return std::nullopt;
        }
    }
    return samples;
}

void toBigEndian16(std::vector<uint8_t>& samples) {
    if (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
        return;
    }
    for (size_t i = 0; i + 1 < samples.size(); i += 2) {
        std::swap(samples[i], samples[i + 1]);
    }
}

// Moves the last sample of each pixel into a buffer of its own.
std::vector<uint8_t> splitOffAlpha(std::vector<uint8_t>& samples, int samplesPerPixel,
                                   int sampleBytes) {
    const size_t pixelBytes = size_t(samplesPerPixel) * size_t(sampleBytes);
    const size_t colourBytes = pixelBytes - size_t(sampleBytes);
    const size_t pixels = samples.size() / pixelBytes;
    std::vector<uint8_t> alpha(pixels * size_t(sampleBytes));
    for (size_t p = 0; p < pixels; ++p) {
        const uint8_t* pixel = samples.data() + p * pixelBytes;
        std::copy(pixel, pixel + colourBytes, samples.data() + p * colourBytes);
        std::copy(pixel + colourBytes, pixel + pixelBytes, alpha.data() + p * size_t(sampleBytes));
    }
    samples.resize(pixels * colourBytes);
    return alpha;
}

} // namespace

std::vector<uint8_t> pdfDeflate(const uint8_t* data, size_t size) {
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kDeflateLevel));
    if (!compressor) {
        return {};
    }
    std::vector<uint8_t> out(libdeflate_zlib_compress_bound(compressor.get(), size));
    const size_t written =
        libdeflate_zlib_compress(compressor.get(), data, size, out.data(), out.size());
    out.resize(written);
    return out;
}

bool deflateSamples(PdfImageData& image, const std::vector<uint8_t>& samples, int components) {
    const size_t rowBytes =
        (size_t(image.width) * size_t(components) * size_t(image.bitsPerComponent) + 7) / 8;
    if (image.bitsPerComponent < 8 || rowBytes == 0 || samples.size() % rowBytes != 0) {
        image.data = pdfDeflate(samples.data(), samples.size());
        return !image.data.empty();
    }
    // PNG's rows, filters and coding are what FlateDecode reads behind
    // predictor 15: the PNG writer's stream, on the cores it may take.
    PngStream::Rows rows;
    rows.height = static_cast<int>(samples.size() / rowBytes);
    rows.rowBytes = rowBytes;
    rows.filterStep = components * image.bitsPerComponent / 8;
    rows.fill = [&](int y, uint8_t* out) {
        std::memcpy(out, samples.data() + size_t(y) * rowBytes, rowBytes);
    };
    const CoreShare share;
    PngStream::Partition partition;
    partition.threads = share.threads();
    image.data.clear();
    const Status deflated = PngStream::write(
        rows, PngWriter::kCompressionLevel, partition, [&](const uint8_t* data, size_t size) {
            image.data.insert(image.data.end(), data, data + size);
            return true;
        });
    image.parameters = {{"/Predictor", 15},
                        {"/Colors", components},
                        {"/BitsPerComponent", image.bitsPerComponent},
                        {"/Columns", static_cast<int>(image.width)}};
    return deflated.ok() && !image.data.empty();
}

std::optional<std::vector<PdfPiece>> samplePieces(TiffHandle& handle, const TiffPageLayout& l,
                                                  const PdfColourForm& form,
                                                  const DecodeLimits& limits) {
    if (!plainSamples(l, form)) {
        return std::nullopt;
    }
    std::optional<std::vector<uint8_t>> samples = decodedStrips(handle, l, limits);
    if (!samples) {
        return std::nullopt;
    }
    if (l.bitsPerSample == 16) {
        toBigEndian16(*samples);
    }
    std::vector<PdfPiece> pieces(1);
    PdfPiece& piece = pieces.front();
    if (l.extraSampleCount == 1) {
        std::vector<uint8_t> alpha =
            splitOffAlpha(*samples, l.samplesPerPixel, l.bitsPerSample / 8);
        piece.softMask = std::make_unique<PdfImageData>();
        piece.softMask->width = l.width;
        piece.softMask->height = l.height;
        piece.softMask->bitsPerComponent = l.bitsPerSample;
        if (!deflateSamples(*piece.softMask, alpha, 1)) {
            return std::nullopt;
        }
    }
    describeColour(form, l.bitsPerSample, piece.image);
    piece.image.width = l.width;
    piece.image.height = l.height;
    if (!deflateSamples(piece.image, *samples, form.components)) {
        return std::nullopt;
    }
    return pieces;
}
