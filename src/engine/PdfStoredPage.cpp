#include "engine/PdfPages.h"
#include "engine/TiffHandle.h"
#include "engine/TiffPageLayout.h"
#include "engine/TiffStoredData.h"

namespace {

std::vector<uint8_t> paletteOf(TIFF* tif, uint16_t bitsPerSample) {
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (bitsPerSample > 8 || TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) != 1 ||
        red == nullptr || green == nullptr || blue == nullptr) {
        return {};
    }
    const size_t entries = size_t(1) << bitsPerSample;
    const uint16_t* const map[3] = {red, green, blue};
    const int shift = colourMapIsEightBit(map, entries) ? 0 : 8;
    std::vector<uint8_t> palette(entries * 3);
    for (size_t i = 0; i < entries; ++i) {
        for (size_t c = 0; c < 3; ++c) {
            palette[i * 3 + c] = static_cast<uint8_t>(map[c][i] >> shift);
        }
    }
    return palette;
}

QByteArray iccProfileOf(TIFF* tif) {
    uint32_t size = 0;
    void* data = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &data) != 1 || data == nullptr) {
        return {};
    }
    return QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(size));
}

size_t dataBytes(const std::vector<PdfPiece>& pieces) {
    size_t bytes = 0;
    for (const PdfPiece& piece : pieces) {
        bytes += piece.image.data.size() + (piece.softMask ? piece.softMask->data.size() : 0);
    }
    return bytes;
}

} // namespace

std::optional<PdfColourForm> pdfColourForm(TIFF* tif, const TiffPageLayout& l) {
    PdfColourForm form;
    form.components = l.samplesPerPixel - l.extraSampleCount;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISWHITE:
        form.minIsWhite = true;
        [[fallthrough]];
    case PHOTOMETRIC_MINISBLACK:
        form.colour = PdfColour::Gray;
        break;
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_YCBCR: // only JPEG data keeps it; the JPEG stream turns it into RGB
        form.colour = PdfColour::Rgb;
        break;
    case PHOTOMETRIC_SEPARATED:
        if (l.inkSet != INKSET_CMYK || form.components != 4) {
            return std::nullopt;
        }
        form.colour = PdfColour::Cmyk;
        break;
    case PHOTOMETRIC_PALETTE:
        form.colour = PdfColour::Indexed;
        form.palette = paletteOf(tif, l.bitsPerSample);
        if (form.palette.empty() || form.components != 1) {
            return std::nullopt;
        }
        form.iccProfile = iccProfileOf(tif);
        return form;
    default:
        return std::nullopt;
    }
    const int expected = form.colour == PdfColour::Gray ? 1 : form.colour == PdfColour::Rgb ? 3 : 4;
    if (form.components != expected) {
        return std::nullopt;
    }
    form.iccProfile = iccProfileOf(tif);
    return form;
}

void describeColour(const PdfColourForm& form, int bitsPerComponent, PdfImageData& image) {
    image.colour = form.colour;
    image.bitsPerComponent = bitsPerComponent;
    image.palette = form.palette;
    image.iccProfile = form.iccProfile;
    if (form.colour == PdfColour::Indexed) {
        // Entries past those the index width reaches mean nothing.
        image.palette.resize(std::min(image.palette.size(), size_t(3) << bitsPerComponent));
    }
    if (form.minIsWhite) {
        image.decode = {1, 0};
    }
}

std::optional<PdfPage> storedPdfPage(PageSource& source, int index, const DecodeLimits& limits) {
    QImage attributes;
    TiffHandle* handle = source.tiffDirectory(index, attributes);
    if (handle == nullptr) {
        return std::nullopt;
    }
    TIFF* tif = handle->get();
    const Result<TiffPageLayout> layout = readPageLayout(tif, index + 1);
    if (!layout || !checkStoredData(tif, *layout) ||
        qint64(layout->width) * layout->height > limits.maxPixels) {
        return std::nullopt;
    }
    // Sets the form in which libtiff hands out JPEG samples, as for decoding.
    (void)choosePlan(tif, *layout);
    const std::optional<PdfColourForm> form = pdfColourForm(tif, *layout);
    if (!form) {
        return std::nullopt;
    }
    std::optional<std::vector<PdfPiece>> pieces = passedThroughPieces(*handle, *layout, *form);
    if (pieces && layout->compression == COMPRESSION_LZW) {
        // LZW codes far looser than deflate behind PNG's filters: its data
        // is carried over only where it is no larger.
        std::optional<std::vector<PdfPiece>> deflated =
            samplePieces(*handle, *layout, *form, limits);
        if (deflated && dataBytes(*deflated) < dataBytes(*pieces)) {
            pieces = std::move(deflated);
        }
    }
    if (!pieces) {
        pieces = samplePieces(*handle, *layout, *form, limits);
    }
    if (!pieces) {
        return std::nullopt;
    }
    PdfPage page;
    page.width = layout->width;
    page.height = layout->height;
    page.orientation = layout->orientation >= 1 && layout->orientation <= 8 ? layout->orientation
                                                                            : ORIENTATION_TOPLEFT;
    setPdfResolution(attributes, page);
    page.pieces = std::move(*pieces);
    return page;
}
