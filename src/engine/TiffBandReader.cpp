#include "engine/TiffBandReader.h"

#include "engine/TiffHandle.h"
#include "engine/TiffStripWorkers.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

int planeCount(const TiffPageLayout& l) {
    return l.planar == PLANARCONFIG_SEPARATE ? l.samplesPerPixel : 1;
}

QString decodeFailure(const TiffHandle& tiff, const TiffPageLayout& l, const QString& what) {
    QString text = QStringLiteral("Page %1 cannot be decoded: %2").arg(l.pageNumber).arg(what);
    const QString reason = tiff.lastError();
    if (!reason.isEmpty()) {
        text += QStringLiteral(" (") + reason + QLatin1Char(')');
    }
    return text;
}

QString stripFailure(const TiffHandle& tiff, const TiffPageLayout& l, tstrip_t strip) {
    return decodeFailure(tiff, l, QStringLiteral("strip %1 is damaged").arg(strip));
}

// The buffer is cleared first: a decoder that stops early without saying so
// leaves zeros, not the previous strip. Returns the strip when it fails.
std::optional<tstrip_t> readStrip(TiffHandle& tiff, uint32_t y, int plane, uint8_t* out,
                                  qint64 bytes) {
    std::memset(out, 0, static_cast<size_t>(bytes));
    const tstrip_t strip = TIFFComputeStrip(tiff.get(), y, static_cast<uint16_t>(plane));
    const tmsize_t got = TIFFReadEncodedStrip(tiff.get(), strip, out, static_cast<tmsize_t>(bytes));
    if (got != static_cast<tmsize_t>(bytes)) {
        return strip;
    }
    return std::nullopt;
}

uint32_t stripeCount(const TiffPageLayout& l) {
    return (l.height + l.rowsPerStrip - 1) / l.rowsPerStrip;
}

// The threads a page's strips are decoded on; 1: in order on the caller's
// handle. Each thread holds `scratchBytes` of its own.
int stripThreads(const TiffPageLayout& l, const StripThreads& threads, qint64 pageBytes,
                 qint64 scratchBytes, qint64 maxBytes) {
    if (threads.threads < 2 || !threads.open || l.tiled || !decodesStripsApart(l)) {
        return 1;
    }
    qint64 count = std::min<qint64>(threads.threads, stripeCount(l));
    if (threads.minBytesPerThread > 0) {
        count = std::min(count, pageBytes / threads.minBytesPerThread);
    }
    if (scratchBytes > 0) {
        count = std::min(count, maxBytes / scratchBytes);
    }
    return static_cast<int>(std::max<qint64>(count, 1));
}

Status outcomeOf(const TiffHandle& tiff, const TiffPageLayout& l, const StripesRead& read) {
    return read.failedStrip ? Status::failure(stripFailure(tiff, l, *read.failedStrip)) : Status{};
}

// Decodes the strips of every plane for the band's rows into `buffer`.
std::optional<tstrip_t> readStripe(TiffHandle& tiff, TiffBand& band, uint8_t* buffer) {
    band.data = buffer;
    for (int plane = 0; plane < band.planes; ++plane) {
        uint8_t* out = buffer + size_t(plane) * band.rowCount * band.planeRowBytes;
        if (const std::optional<tstrip_t> failed =
                readStrip(tiff, band.firstRow, plane, out, band.rowCount * band.planeRowBytes)) {
            return failed;
        }
    }
    return std::nullopt;
}

TiffBand bandOfStripe(const TiffPageLayout& l, uint32_t stripe) {
    TiffBand band;
    band.planes = planeCount(l);
    band.planeRowBytes = planeRowBytes(l, l.width);
    band.firstRow = stripe * l.rowsPerStrip;
    band.rowCount = std::min(l.rowsPerStrip, l.height - band.firstRow);
    return band;
}

Status readStripBands(TiffHandle& tiff, const TiffPageLayout& l, const DecodeLimits& limits,
                      const std::function<void(const TiffBand&)>& consume,
                      const StripThreads& threads) {
    const TiffBand shape = bandOfStripe(l, 0);
    const qint64 bufferBytes = shape.planeRowBytes * l.rowsPerStrip * shape.planes;
    if (Status fits = checkBufferLimit(l, bufferBytes, limits); !fits) {
        return fits;
    }
    const qint64 pageBytes = shape.planeRowBytes * l.height * shape.planes;
    if (const int count = stripThreads(l, threads, pageBytes, bufferBytes, limits.maxBytes);
        count > 1) {
        StripeJob job;
        job.stripes = stripeCount(l);
        job.scratchBytes = bufferBytes;
        job.read = [&](TiffHandle& handle, uint32_t stripe, uint8_t* scratch) {
            TiffBand band = bandOfStripe(l, stripe);
            std::optional<tstrip_t> failed = readStripe(handle, band, scratch);
            if (!failed) {
                consume(band);
            }
            return failed;
        };
        if (const StripesRead read = readStripesOnThreads(tiff, threads.open, count, job);
            read.ran) {
            return outcomeOf(tiff, l, read);
        }
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(bufferBytes));
    for (uint32_t stripe = 0; stripe < stripeCount(l); ++stripe) {
        TiffBand band = bandOfStripe(l, stripe);
        if (const std::optional<tstrip_t> failed = readStripe(tiff, band, buffer.data())) {
            return Status::failure(stripFailure(tiff, l, *failed));
        }
        consume(band);
    }
    return {};
}

// Copies the rows of one decoded tile into the band at column `x`.
void placeTile(const TiffPageLayout& l, const uint8_t* tile, qint64 tileRowBytes, uint32_t x,
               uint8_t* planeStart, const TiffBand& band) {
    const qint64 offset = planeRowBytes(l, x); // whole bytes: tile rows end on a byte
    const qint64 bytes = planeRowBytes(l, std::min(l.tileWidth, l.width - x));
    for (uint32_t r = 0; r < band.rowCount; ++r) {
        std::memcpy(planeStart + r * band.planeRowBytes + offset, tile + r * tileRowBytes,
                    static_cast<size_t>(bytes));
    }
}

Status readTileBands(TiffHandle& tiff, const TiffPageLayout& l, const DecodeLimits& limits,
                     const std::function<void(const TiffBand&)>& consume) {
    TiffBand band;
    band.planes = planeCount(l);
    band.planeRowBytes = planeRowBytes(l, l.width);
    const qint64 tileRowBytes = planeRowBytes(l, l.tileWidth);
    const qint64 tileBytes = tileRowBytes * l.tileHeight;
    const qint64 bandRows = std::min(l.tileHeight, l.height);
    const qint64 bandBytes = band.planeRowBytes * bandRows * band.planes;
    for (const qint64 bytes : {tileBytes, bandBytes}) {
        if (Status fits = checkBufferLimit(l, bytes, limits); !fits) {
            return fits;
        }
    }
    std::vector<uint8_t> tile(static_cast<size_t>(tileBytes));
    std::vector<uint8_t> buffer(static_cast<size_t>(bandBytes));
    band.data = buffer.data();
    for (uint32_t y = 0; y < l.height; y += l.tileHeight) {
        band.firstRow = y;
        band.rowCount = std::min(l.tileHeight, l.height - y);
        for (int plane = 0; plane < band.planes; ++plane) {
            uint8_t* planeStart =
                buffer.data() + size_t(plane) * band.rowCount * band.planeRowBytes;
            for (uint32_t x = 0; x < l.width; x += l.tileWidth) {
                const ttile_t index =
                    TIFFComputeTile(tiff.get(), x, y, 0, static_cast<uint16_t>(plane));
                std::fill(tile.begin(), tile.end(), uint8_t(0)); // as for strips
                if (TIFFReadEncodedTile(tiff.get(), index, tile.data(),
                                        static_cast<tmsize_t>(tileBytes)) != tileBytes) {
                    return Status::failure(
                        decodeFailure(tiff, l, QStringLiteral("tile %1 is damaged").arg(index)));
                }
                placeTile(l, tile.data(), tileRowBytes, x, planeStart, band);
            }
        }
        consume(band);
    }
    return {};
}

} // namespace

qint64 planeRowBytes(const TiffPageLayout& l, uint32_t pixels) {
    const qint64 samples = l.planar == PLANARCONFIG_SEPARATE ? 1 : l.samplesPerPixel;
    return (qint64(pixels) * samples * l.bitsPerSample + 7) / 8;
}

Status readBands(TiffHandle& tiff, const TiffPageLayout& layout, const DecodeLimits& limits,
                 const std::function<void(const TiffBand&)>& consume, const StripThreads& threads) {
    return layout.tiled ? readTileBands(tiff, layout, limits, consume)
                        : readStripBands(tiff, layout, limits, consume, threads);
}

Status readStripsInto(TiffHandle& tiff, const TiffPageLayout& l, uint8_t* destination,
                      qint64 destinationBytes, const StripThreads& threads) {
    const qint64 rowBytes = planeRowBytes(l, l.width);
    if (rowBytes * l.height > destinationBytes) {
        return Status::failure(decodeFailure(tiff, l, QStringLiteral("rows do not fit")));
    }
    const auto readInPlace = [&](TiffHandle& handle, uint32_t stripe) {
        const uint32_t y = stripe * l.rowsPerStrip;
        const uint32_t rows = std::min(l.rowsPerStrip, l.height - y);
        return readStrip(handle, y, 0, destination + y * rowBytes, rows * rowBytes);
    };
    if (const int count = stripThreads(l, threads, rowBytes * l.height, 0, 0); count > 1) {
        StripeJob job;
        job.stripes = stripeCount(l);
        job.read = [&](TiffHandle& handle, uint32_t stripe, uint8_t*) {
            return readInPlace(handle, stripe);
        };
        if (const StripesRead read = readStripesOnThreads(tiff, threads.open, count, job);
            read.ran) {
            return outcomeOf(tiff, l, read);
        }
    }
    for (uint32_t stripe = 0; stripe < stripeCount(l); ++stripe) {
        if (const std::optional<tstrip_t> failed = readInPlace(tiff, stripe)) {
            return Status::failure(stripFailure(tiff, l, *failed));
        }
    }
    return {};
}
