#include "engine/TiffBandReader.h"

#include "engine/TiffHandle.h"

#include <algorithm>
#include <cstring>

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

// The buffer is cleared first: a decoder that stops early without saying so
// leaves zeros, not the previous strip.
Status readStrip(TiffHandle& tiff, const TiffPageLayout& l, uint32_t y, int plane, uint8_t* out,
                 qint64 bytes) {
    std::memset(out, 0, static_cast<size_t>(bytes));
    const tstrip_t strip = TIFFComputeStrip(tiff.get(), y, static_cast<uint16_t>(plane));
    const tmsize_t got = TIFFReadEncodedStrip(tiff.get(), strip, out, static_cast<tmsize_t>(bytes));
    if (got != static_cast<tmsize_t>(bytes)) {
        return Status::failure(
            decodeFailure(tiff, l, QStringLiteral("strip %1 is damaged").arg(strip)));
    }
    return {};
}

Status readStripBands(TiffHandle& tiff, const TiffPageLayout& l, const DecodeLimits& limits,
                      const std::function<void(const TiffBand&)>& consume) {
    TiffBand band;
    band.planes = planeCount(l);
    band.planeRowBytes = planeRowBytes(l, l.width);
    const qint64 bufferBytes = band.planeRowBytes * l.rowsPerStrip * band.planes;
    if (Status fits = checkBufferLimit(l, bufferBytes, limits); !fits) {
        return fits;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(bufferBytes));
    band.data = buffer.data();
    for (uint32_t y = 0; y < l.height; y += l.rowsPerStrip) {
        band.firstRow = y;
        band.rowCount = std::min(l.rowsPerStrip, l.height - y);
        for (int plane = 0; plane < band.planes; ++plane) {
            uint8_t* out = buffer.data() + size_t(plane) * band.rowCount * band.planeRowBytes;
            if (Status read = readStrip(tiff, l, y, plane, out, band.rowCount * band.planeRowBytes);
                !read) {
                return read;
            }
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
                 const std::function<void(const TiffBand&)>& consume) {
    return layout.tiled ? readTileBands(tiff, layout, limits, consume)
                        : readStripBands(tiff, layout, limits, consume);
}

Status readStripsInto(TiffHandle& tiff, const TiffPageLayout& l, uint8_t* destination,
                      qint64 destinationBytes) {
    const qint64 rowBytes = planeRowBytes(l, l.width);
    if (rowBytes * l.height > destinationBytes) {
        return Status::failure(decodeFailure(tiff, l, QStringLiteral("rows do not fit")));
    }
    for (uint32_t y = 0; y < l.height; y += l.rowsPerStrip) {
        const uint32_t rows = std::min(l.rowsPerStrip, l.height - y);
        if (Status read = readStrip(tiff, l, y, 0, destination + y * rowBytes, rows * rowBytes);
            !read) {
            return read;
        }
    }
    return {};
}
