#include "engine/TiffStoredData.h"

#include <algorithm>
#include <vector>

namespace {

struct Block {
    uint32_t index = 0;
    uint64_t offset = 0;
    uint64_t bytes = 0;  // as the file states them
    uint64_t needed = 0; // what reading it uncompressed takes; 0 when compressed
};

uint64_t howMany(uint64_t total, uint64_t part) {
    return (total + part - 1) / part;
}

QString blockName(const TiffPageLayout& l, uint64_t index) {
    return (l.tiled ? QStringLiteral("tile %1") : QStringLiteral("strip %1")).arg(index);
}

Status refused(const TiffPageLayout& l, const QString& why) {
    return Status::failure(
        QStringLiteral("Page %1 cannot be decoded: %2").arg(l.pageNumber).arg(why));
}

uint64_t planesOf(const TiffPageLayout& l) {
    return l.planar == PLANARCONFIG_SEPARATE ? l.samplesPerPixel : 1;
}

uint32_t rowsPerStrip(TIFF* tif) {
    uint32_t rows = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
    return std::max<uint32_t>(rows, 1);
}

uint64_t blocksPerPlane(TIFF* tif, const TiffPageLayout& l) {
    if (l.tiled) {
        return howMany(l.width, l.tileWidth) * howMany(l.height, l.tileHeight);
    }
    return howMany(l.height, rowsPerStrip(tif));
}

// Bytes libtiff reads for uncompressed block `index`: whole tiles, and the
// rows a strip holds, the last strip of each plane being shorter.
uint64_t uncompressedBytes(TIFF* tif, const TiffPageLayout& l, uint64_t index, uint64_t perPlane) {
    if (l.tiled) {
        return static_cast<uint64_t>(TIFFTileSize64(tif));
    }
    const uint64_t rows = rowsPerStrip(tif);
    const uint64_t firstRow = (index % perPlane) * rows;
    const auto count = static_cast<uint32_t>(std::min<uint64_t>(rows, l.height - firstRow));
    return static_cast<uint64_t>(TIFFVStripSize64(tif, count));
}

Status checkCount(TIFF* tif, const TiffPageLayout& l, uint64_t count, uint64_t perPlane) {
    if (count == perPlane * planesOf(l)) {
        return {};
    }
    const QString kind = l.tiled ? QStringLiteral("tiles") : QStringLiteral("strips");
    return refused(
        l,
        QStringLiteral("it has %1 %2, where %3 x %4 pixels in %5 planes need %6")
                .arg(count)
                .arg(kind)
                .arg(l.width)
                .arg(l.height)
                .arg(planesOf(l))
                .arg(perPlane * planesOf(l)) +
            (l.tiled ? QString() : QStringLiteral(" (%1 rows per strip)").arg(rowsPerStrip(tif))));
}

Status checkPlacement(const TiffPageLayout& l, const Block& b, uint64_t header,
                      uint64_t fileBytes) {
    if (b.bytes == 0) {
        return refused(l, QStringLiteral("%1 has no data (0 bytes at offset %2)")
                              .arg(blockName(l, b.index))
                              .arg(b.offset));
    }
    if (b.offset < header) {
        return refused(l, QStringLiteral("%1 starts at offset %2, inside the file's header")
                              .arg(blockName(l, b.index))
                              .arg(b.offset));
    }
    // Uncompressed data is read at the size its rows need; compressed data at
    // its byte count.
    const uint64_t read = b.needed > 0 ? b.needed : b.bytes;
    if (b.offset > fileBytes || read > fileBytes - b.offset) {
        return refused(
            l, QStringLiteral("%1 (%2 bytes at offset %3) runs past the end of the file (%4 bytes)")
                   .arg(blockName(l, b.index))
                   .arg(read)
                   .arg(b.offset)
                   .arg(fileBytes));
    }
    return {};
}

QString startName(TIFF* tif, const TiffPageLayout& l, uint64_t offset, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (TIFFGetStrileOffset(tif, i) == offset) {
            return blockName(l, i);
        }
    }
    return QStringLiteral("the page's directory");
}

// An uncompressed block read at its size must not take in the next one or
// the directory; blocks that share one offset hold the same data. Only the
// offsets are kept, since a page may have millions of strips.
Status checkOverlaps(TIFF* tif, const TiffPageLayout& l, uint32_t count, uint64_t perPlane) {
    std::vector<uint64_t> starts;
    starts.reserve(size_t(count) + 1);
    for (uint32_t i = 0; i < count; ++i) {
        starts.push_back(TIFFGetStrileOffset(tif, i));
    }
    starts.push_back(TIFFCurrentDirOffset(tif));
    std::sort(starts.begin(), starts.end());
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t offset = TIFFGetStrileOffset(tif, i);
        const uint64_t needed = uncompressedBytes(tif, l, i, perPlane);
        const auto next = std::upper_bound(starts.cbegin(), starts.cend(), offset);
        if (next == starts.cend() || offset + needed <= *next) {
            continue;
        }
        return refused(l, QStringLiteral("%1 needs %2 bytes from offset %3 and runs into %4 at "
                                         "offset %5")
                              .arg(blockName(l, i))
                              .arg(needed)
                              .arg(offset)
                              .arg(startName(tif, l, *next, count))
                              .arg(*next));
    }
    return {};
}

} // namespace

Status checkStoredData(TIFF* tif, const TiffPageLayout& l) {
    const uint64_t count = l.tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    const uint64_t perPlane = blocksPerPlane(tif, l);
    if (Status counted = checkCount(tif, l, count, perPlane); !counted) {
        return counted;
    }
    const uint64_t header = TIFFIsBigTIFF(tif) != 0 ? 16 : 8;
    const uint64_t fileBytes = TIFFGetSizeProc(tif)(TIFFClientdata(tif));
    const bool uncompressed = l.compression == COMPRESSION_NONE;
    for (uint32_t i = 0; i < count; ++i) {
        const Block b{i, TIFFGetStrileOffset(tif, i), TIFFGetStrileByteCount(tif, i),
                      uncompressed ? uncompressedBytes(tif, l, i, perPlane) : 0};
        if (Status placed = checkPlacement(l, b, header, fileBytes); !placed) {
            return placed;
        }
    }
    return uncompressed ? checkOverlaps(tif, l, static_cast<uint32_t>(count), perPlane) : Status();
}
