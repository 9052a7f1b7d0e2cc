#include "engine/PdfPages.h"
#include "engine/TiffHandle.h"
#include "engine/TiffPageCopy.h"
#include "engine/TiffPageLayout.h"

#include <QSysInfo>

#include <algorithm>

namespace {

// The bits of the fax options tags.
constexpr uint32_t kTwoDimensional = 1;
constexpr uint32_t kUncompressedMode = 2;
constexpr uint32_t kFillBits = 4;

uint16_t fillOrder(TIFF* tif) {
    uint16_t order = FILLORDER_MSB2LSB;
    TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &order);
    return order;
}

uint16_t predictorOf(TIFF* tif) {
    uint16_t predictor = PREDICTOR_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_PREDICTOR, &predictor);
    return predictor;
}

uint32_t rowsPerStrip(const TiffPageLayout& l) {
    return std::clamp<uint32_t>(l.rowsPerStrip, 1, l.height);
}

// The strips as stored, each checked to decode to its rows.
std::optional<std::vector<std::vector<uint8_t>>> wholeStrips(TiffHandle& handle,
                                                             const TiffPageLayout& l) {
    const StripGeometry geometry{l.width,         l.height,          rowsPerStrip(l),
                                 l.bitsPerSample, l.samplesPerPixel, l.compression};
    std::vector<std::vector<uint8_t>> strips;
    if (!readWholeStrips(handle, geometry, strips)) {
        return std::nullopt;
    }
    return strips;
}

PdfPiece stripPiece(const TiffPageLayout& l, const PdfColourForm& form, uint32_t strip,
                    uint32_t rows, std::vector<uint8_t>&& data) {
    PdfPiece piece;
    describeColour(form, l.bitsPerSample, piece.image);
    piece.image.width = l.width;
    piece.image.height = rows;
    piece.image.data = std::move(data);
    piece.y = strip * rowsPerStrip(l);
    return piece;
}

// The fax strips decoded into one raster as libtiff's fax codec holds it
// (white 0); nothing when a strip does not decode cleanly to its rows.
std::optional<std::vector<uint8_t>> decodedFaxRows(TiffHandle& handle, const TiffPageLayout& l) {
    TIFF* tif = handle.get();
    const size_t rowBytes = (size_t(l.width) + 7) / 8;
    const uint32_t perStrip = rowsPerStrip(l);
    const uint32_t count = TIFFNumberOfStrips(tif);
    if (count != (uint64_t(l.height) + perStrip - 1) / perStrip) {
        return std::nullopt;
    }
    std::vector<uint8_t> rows(rowBytes * l.height);
    for (uint32_t s = 0; s < count; ++s) {
        const auto needed =
            static_cast<tmsize_t>(rowBytes * std::min(perStrip, l.height - s * perStrip));
        handle.clearError();
        if (TIFFReadEncodedStrip(tif, s, rows.data() + size_t(s) * perStrip * rowBytes, needed) !=
                needed ||
            !handle.lastError().isEmpty() || !handle.warnings().isEmpty()) {
            return std::nullopt;
        }
    }
    return rows;
}

// Rows of white 0 as one Group 4 image.
std::optional<std::vector<uint8_t>> group4Coded(const std::vector<uint8_t>& rows, uint32_t width,
                                                uint32_t height) {
    Result<TiffHandle> coder = TiffHandle::createInMemory();
    if (!coder) {
        return std::nullopt;
    }
    TIFF* tif = coder->get();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    if (TIFFWriteEncodedStrip(tif, 0, const_cast<uint8_t*>(rows.data()), // NOLINT: libtiff reads
                              static_cast<tmsize_t>(rows.size())) < 0) {
        return std::nullopt;
    }
    const uint64_t offset = TIFFGetStrileOffset(tif, 0);
    const uint64_t size = TIFFGetStrileByteCount(tif, 0);
    const QByteArray data = coder->memoryData();
    if (size == 0 || offset + size > static_cast<uint64_t>(data.size())) {
        return std::nullopt;
    }
    const auto* begin = reinterpret_cast<const uint8_t*>(data.constData()) + offset;
    return std::vector<uint8_t>(begin, begin + size);
}

// A fax page as CCITT images: one strip as it is stored; several strips,
// whose codes each start afresh from a white line and so cannot be joined,
// decoded and coded again as one Group 4 image, which costs less than an
// image per strip.
std::optional<std::vector<PdfPiece>> faxPieces(TiffHandle& handle, const TiffPageLayout& l,
                                               const PdfColourForm& form) {
    TIFF* tif = handle.get();
    if (l.bitsPerSample != 1 || l.samplesPerPixel != 1 || l.tiled ||
        fillOrder(tif) != FILLORDER_MSB2LSB || form.colour != PdfColour::Gray) {
        return std::nullopt;
    }
    uint32_t options = 0;
    bool group4 = l.compression == COMPRESSION_CCITTFAX4;
    TIFFGetField(tif, group4 ? TIFFTAG_GROUP4OPTIONS : TIFFTAG_GROUP3OPTIONS, &options);
    if ((options & kUncompressedMode) != 0) {
        return std::nullopt;
    }
    std::vector<uint8_t> data;
    if (TIFFNumberOfStrips(tif) == 1) {
        std::optional<std::vector<std::vector<uint8_t>>> strips = wholeStrips(handle, l);
        if (!strips) {
            return std::nullopt;
        }
        data = std::move(strips->front());
    } else {
        std::optional<std::vector<uint8_t>> rows = decodedFaxRows(handle, l);
        std::optional<std::vector<uint8_t>> coded =
            rows ? group4Coded(*rows, l.width, l.height) : std::nullopt;
        if (!coded) {
            return std::nullopt;
        }
        data = std::move(*coded);
        group4 = true;
    }
    std::vector<PdfPiece> pieces;
    PdfPiece piece = stripPiece(l, form, 0, l.height, std::move(data));
    // The code's runs are white or black; a MinIsBlack page shows its white
    // runs black, which BlackIs1 gives without a Decode.
    piece.image.decode.clear();
    piece.image.filter = "/CCITTFaxDecode";
    const int k = group4 ? -1 : (options & kTwoDimensional) != 0 ? 1 : 0;
    piece.image.parameters = {
        {"/K", k}, {"/Columns", static_cast<int>(l.width)}, {"/Rows", static_cast<int>(l.height)}};
    if (!form.minIsWhite) {
        piece.image.parameters.push_back({"/BlackIs1", 1, true});
    }
    if (!group4 && (options & kFillBits) != 0) {
        piece.image.parameters.push_back({"/EncodedByteAlign", 1, true});
    }
    pieces.push_back(std::move(piece));
    return pieces;
}

bool isOldStyleLzw(const std::vector<uint8_t>& data) {
    return data.size() >= 2 && data[0] == 0 && (data[1] & 1) != 0;
}

// A single strip of Deflate or LZW data is a FlateDecode or LZWDecode stream
// as it is, with TIFF's horizontal predictor for 8-bit samples; wider
// samples pass only in the big-endian order PDF reads them in.
std::optional<std::vector<PdfPiece>> deflatedPieces(TiffHandle& handle, const TiffPageLayout& l,
                                                    const PdfColourForm& form) {
    TIFF* tif = handle.get();
    const uint16_t predictor = predictorOf(tif);
    const bool bigEndian = TIFFIsBigEndian(tif) != 0;
    const bool depthFits = l.bitsPerSample <= 8 ? (l.bitsPerSample & (l.bitsPerSample - 1)) == 0
                                                : l.bitsPerSample == 16 && bigEndian;
    if (l.tiled || TIFFNumberOfStrips(tif) != 1 || l.extraSampleCount != 0 ||
        (l.planar != PLANARCONFIG_CONTIG && l.samplesPerPixel > 1) ||
        fillOrder(tif) != FILLORDER_MSB2LSB || !depthFits ||
        !(predictor == PREDICTOR_NONE ||
          (predictor == PREDICTOR_HORIZONTAL && l.bitsPerSample == 8))) {
        return std::nullopt;
    }
    std::optional<std::vector<std::vector<uint8_t>>> strips = wholeStrips(handle, l);
    if (!strips || (l.compression == COMPRESSION_LZW && isOldStyleLzw(strips->front()))) {
        return std::nullopt;
    }
    std::vector<PdfPiece> pieces;
    pieces.push_back(stripPiece(l, form, 0, l.height, std::move(strips->front())));
    PdfImageData& image = pieces.front().image;
    image.filter = l.compression == COMPRESSION_LZW ? "/LZWDecode" : "/FlateDecode";
    if (predictor == PREDICTOR_HORIZONTAL) {
        image.parameters = {{"/Predictor", 2},
                            {"/Colors", form.components},
                            {"/BitsPerComponent", l.bitsPerSample},
                            {"/Columns", static_cast<int>(l.width)}};
    }
    return pieces;
}

} // namespace

std::optional<std::vector<PdfPiece>>
passedThroughPieces(TiffHandle& handle, const TiffPageLayout& l, const PdfColourForm& form) {
    // Outside JPEG data, YCbCr samples would need converting.
    if (l.photometric == PHOTOMETRIC_YCBCR && l.compression != COMPRESSION_JPEG) {
        return std::nullopt;
    }
    switch (l.compression) {
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
        return faxPieces(handle, l, form);
    case COMPRESSION_JPEG:
        return jpegPieces(handle, l, form);
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
    case COMPRESSION_LZW:
        return deflatedPieces(handle, l, form);
    default:
        return std::nullopt;
    }
}
