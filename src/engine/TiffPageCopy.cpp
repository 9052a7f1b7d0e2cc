#include "engine/TiffPageCopy.h"

#include "engine/TiffPageLayout.h"
#include "engine/TiffStoredData.h"

#include <QSysInfo>

#include <algorithm>

namespace {

// Compressed data this much larger than the samples it holds is no data worth
// copying; the decoder gets to say what is wrong with it.
constexpr uint64_t kMaxExpansion = 2;
constexpr uint64_t kSlackBytes = uint64_t(1) << 20;

struct WrittenForm {
    uint16_t photometric;
    uint16_t bitsPerSample;
    uint16_t samplesPerPixel;
};

// The photometric, depth and samples TiffWriter gives the page the decoder
// makes of this layout; nothing for layouts it writes in another form or
// whose decoding changes the samples.
std::optional<WrittenForm> writtenForm(const TiffPageLayout& l, const DecodePlan& plan,
                                       uint16_t compression) {
    if (plan.signedSamples || plan.alphaSample >= 0 || l.extraSampleCount != 0) {
        return std::nullopt;
    }
    const bool fax = compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4;
    switch (plan.format) {
    case QImage::Format_Mono:
        // Fax pages are always written white-is-zero.
        if (fax && !plan.minIsWhite) {
            return std::nullopt;
        }
        return WrittenForm{plan.minIsWhite ? uint16_t(PHOTOMETRIC_MINISWHITE)
                                           : uint16_t(PHOTOMETRIC_MINISBLACK),
                           1, 1};
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        if (fax || plan.kind != PixelKind::Gray || plan.minIsWhite) {
            return std::nullopt;
        }
        return WrittenForm{PHOTOMETRIC_MINISBLACK,
                           plan.format == QImage::Format_Grayscale16 ? uint16_t(16) : uint16_t(8),
                           1};
    case QImage::Format_RGB888:
    case QImage::Format_RGBX64:
        if (fax || plan.kind != PixelKind::Rgb) {
            return std::nullopt;
        }
        return WrittenForm{PHOTOMETRIC_RGB,
                           plan.format == QImage::Format_RGBX64 ? uint16_t(16) : uint16_t(8), 3};
    default:
        return std::nullopt;
    }
}

bool sameByteOrderAsOutput(TIFF* tif) {
    // Our files are written in host order; samples wider than a byte are
    // stored in the file's order.
    const bool hostBigEndian = QSysInfo::ByteOrder == QSysInfo::BigEndian;
    return (TIFFIsBigEndian(tif) != 0) == hostBigEndian;
}

bool layoutIsCopiable(TIFF* tif, const TiffPageLayout& l, uint16_t compression) {
    uint16_t fillOrder = FILLORDER_MSB2LSB;
    TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fillOrder);
    // Group 3 pages may be one of several codings; only decoding tells which.
    return l.compression == compression && compression != COMPRESSION_CCITTFAX3 && !l.tiled &&
           l.planar == PLANARCONFIG_CONTIG && l.orientation == ORIENTATION_TOPLEFT &&
           l.sampleFormat == SAMPLEFORMAT_UINT && fillOrder == FILLORDER_MSB2LSB &&
           (l.bitsPerSample <= 8 || sameByteOrderAsOutput(tif));
}

std::optional<uint16_t> copiablePredictor(TIFF* tif, const TiffPageLayout& l) {
    if (l.compression != COMPRESSION_LZW) {
        return PREDICTOR_NONE;
    }
    uint16_t predictor = PREDICTOR_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_PREDICTOR, &predictor);
    if (predictor == PREDICTOR_NONE ||
        (predictor == PREDICTOR_HORIZONTAL && l.bitsPerSample >= 8)) {
        return predictor;
    }
    return std::nullopt;
}

std::optional<uint32_t> group4Options(TIFF* tif, uint16_t compression) {
    uint32_t options = 0;
    if (compression != COMPRESSION_CCITTFAX4 ||
        TIFFGetField(tif, TIFFTAG_GROUP4OPTIONS, &options) != 1) {
        return std::nullopt;
    }
    return options;
}

uint32_t rowsOfStrip(const StripGeometry& page, uint32_t strip) {
    return std::min(page.rowsPerStrip, page.height - strip * page.rowsPerStrip);
}

// A strip goes into another file as is only when its bytes are what its rows
// need: uncompressed, exactly as many; compressed, data that decodes to the
// whole strip with nothing for libtiff to complain about. Otherwise the copy
// would carry the fault into a file of ours, where readers refuse it.
bool stripAgreesWithItsRows(TiffHandle& source, const StripGeometry& page, uint32_t strip,
                            std::vector<uint8_t>& scratch) {
    TIFF* tif = source.get();
    const auto needed = static_cast<uint64_t>(TIFFVStripSize64(tif, rowsOfStrip(page, strip)));
    if (page.compression == COMPRESSION_NONE) {
        return TIFFGetStrileByteCount(tif, strip) == needed;
    }
    scratch.resize(static_cast<size_t>(needed));
    source.clearError();
    const tmsize_t decoded =
        TIFFReadEncodedStrip(tif, strip, scratch.data(), static_cast<tmsize_t>(scratch.size()));
    return decoded == static_cast<tmsize_t>(needed) && source.lastError().isEmpty() &&
           source.warnings().isEmpty();
}

} // namespace

namespace {

// Reads every strip or tile of the current directory, each checked by
// `agrees`, when the file holds their bytes and they are not more than the
// samples could need.
template <typename ReadRaw, typename Agrees>
bool readWholeStriles(TIFF* tif, uint32_t count, uint64_t sampleBytes,
                      std::vector<std::vector<uint8_t>>& striles, ReadRaw readRaw, Agrees agrees) {
    const uint64_t fileBytes = TIFFGetSizeProc(tif)(TIFFClientdata(tif));
    uint64_t total = 0;
    striles.resize(count);
    for (uint32_t s = 0; s < count; ++s) {
        const uint64_t size = TIFFGetStrileByteCount(tif, s);
        const uint64_t offset = TIFFGetStrileOffset(tif, s);
        total += size;
        // Nothing is allocated for bytes the file does not hold.
        if (size == 0 || offset > fileBytes || size > fileBytes - offset ||
            total > sampleBytes * kMaxExpansion + kSlackBytes) {
            return false;
        }
        striles[s].resize(static_cast<size_t>(size));
        if (readRaw(tif, s, striles[s].data(), static_cast<tmsize_t>(size)) !=
                static_cast<tmsize_t>(size) ||
            !agrees(s)) {
            return false;
        }
    }
    return true;
}

uint64_t sampleBytesOf(uint32_t width, uint32_t height, uint16_t samplesPerPixel,
                       uint16_t bitsPerSample) {
    return (uint64_t(width) * samplesPerPixel * bitsPerSample + 7) / 8 * height;
}

} // namespace

bool readWholeStrips(TiffHandle& source, const StripGeometry& page,
                     std::vector<std::vector<uint8_t>>& strips) {
    TIFF* tif = source.get();
    const uint32_t count = TIFFNumberOfStrips(tif);
    const uint64_t expectedCount =
        (uint64_t(page.height) + page.rowsPerStrip - 1) / uint64_t(page.rowsPerStrip);
    if (count == 0 || count != expectedCount) {
        return false;
    }
    std::vector<uint8_t> scratch;
    return readWholeStriles(
        tif, count,
        sampleBytesOf(page.width, page.height, page.samplesPerPixel, page.bitsPerSample), strips,
        TIFFReadRawStrip, [&](uint32_t s) {
            return (!page.checkByDecoding && page.compression != COMPRESSION_NONE) ||
                   stripAgreesWithItsRows(source, page, s, scratch);
        });
}

bool readWholeTiles(TiffHandle& source, const TileGeometry& page,
                    std::vector<std::vector<uint8_t>>& tiles) {
    TIFF* tif = source.get();
    if (page.tileWidth == 0 || page.tileHeight == 0) {
        return false;
    }
    const uint64_t across = (uint64_t(page.width) + page.tileWidth - 1) / page.tileWidth;
    const uint64_t down = (uint64_t(page.height) + page.tileHeight - 1) / page.tileHeight;
    const uint32_t count = TIFFNumberOfTiles(tif);
    const auto needed = static_cast<uint64_t>(TIFFTileSize64(tif));
    if (count == 0 || count != across * down || needed == 0) {
        return false;
    }
    std::vector<uint8_t> scratch(static_cast<size_t>(needed));
    const uint64_t sampleBytes =
        sampleBytesOf(uint32_t(across * page.tileWidth), uint32_t(down * page.tileHeight),
                      page.samplesPerPixel, page.bitsPerSample);
    return readWholeStriles(tif, count, sampleBytes, tiles, TIFFReadRawTile, [&](uint32_t t) {
        if (!page.checkByDecoding) {
            return true;
        }
        source.clearError();
        return TIFFReadEncodedTile(tif, t, scratch.data(), static_cast<tmsize_t>(needed)) ==
                   static_cast<tmsize_t>(needed) &&
               source.lastError().isEmpty() && source.warnings().isEmpty();
    });
}

std::optional<CopiablePage> readCopiablePage(TiffHandle& source, uint16_t compression) {
    TIFF* tif = source.get();
    const Result<TiffPageLayout> layout =
        readPageLayout(tif, static_cast<int>(TIFFCurrentDirectory(tif)) + 1);
    if (!layout || !layoutIsCopiable(tif, *layout, compression) || !checkStoredData(tif, *layout)) {
        return std::nullopt;
    }
    const std::optional<WrittenForm> form =
        writtenForm(*layout, choosePlan(tif, *layout), compression);
    const std::optional<uint16_t> predictor = copiablePredictor(tif, *layout);
    if (!form || !predictor || form->photometric != layout->photometric ||
        form->bitsPerSample != layout->bitsPerSample ||
        form->samplesPerPixel != layout->samplesPerPixel) {
        return std::nullopt;
    }
    CopiablePage page;
    page.width = layout->width;
    page.height = layout->height;
    page.rowsPerStrip = std::clamp<uint32_t>(layout->rowsPerStrip, 1, layout->height);
    page.bitsPerSample = form->bitsPerSample;
    page.samplesPerPixel = form->samplesPerPixel;
    page.photometric = form->photometric;
    page.compression = compression;
    page.predictor = *predictor;
    page.group4Options = group4Options(tif, compression);
    const StripGeometry geometry{page.width,         page.height,          page.rowsPerStrip,
                                 page.bitsPerSample, page.samplesPerPixel, page.compression};
    if (!readWholeStrips(source, geometry, page.strips)) {
        return std::nullopt;
    }
    return page;
}
