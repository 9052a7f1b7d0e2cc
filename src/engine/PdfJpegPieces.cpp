#include "engine/JpegHeader.h"
#include "engine/JpegStreamCheck.h"
#include "engine/JpegStripJoin.h"
#include "engine/PdfPages.h"
#include "engine/TiffHandle.h"
#include "engine/TiffPageCopy.h"
#include "engine/TiffPageLayout.h"

#include <algorithm>

namespace {

bool jpegLayoutFits(const TiffPageLayout& l, const PdfColourForm& form) {
    return l.bitsPerSample == 8 && l.extraSampleCount == 0 &&
           (l.planar == PLANARCONFIG_CONTIG || l.samplesPerPixel == 1) &&
           form.colour != PdfColour::Indexed;
}

void setColourTransform(const TiffPageLayout& l, const JpegHeader& header, PdfImageData& image) {
    if (header.components == 3) {
        // The tags, not the stream's habits, say whether it holds YCbCr.
        image.parameters = {{"/ColorTransform", l.photometric == PHOTOMETRIC_YCBCR ? 1 : 0}};
    }
    if (header.components == 4 && header.adobe) {
        // Writers that mark CMYK JPEG as theirs store the inks inverted.
        image.decode = {1, 0, 1, 0, 1, 0, 1, 0};
    }
}

// The stored strips or tiles of the page, and where each one's image goes.
struct JpegBlocks {
    std::vector<std::vector<uint8_t>> data;
    uint32_t width = 0; // of each block's image
    uint32_t height = 0;
    uint32_t across = 1; // blocks per row of blocks
};

std::optional<JpegBlocks> readBlocks(TiffHandle& handle, const TiffPageLayout& l) {
    JpegBlocks blocks;
    if (l.tiled) {
        blocks.width = l.tileWidth;
        blocks.height = l.tileHeight;
        blocks.across = blocks.width == 0 ? 1 : (l.width + blocks.width - 1) / blocks.width;
        const TileGeometry geometry{l.width,         l.height,          l.tileWidth, l.tileHeight,
                                    l.bitsPerSample, l.samplesPerPixel, false};
        if (!readWholeTiles(handle, geometry, blocks.data)) {
            return std::nullopt;
        }
        return blocks;
    }
    blocks.width = l.width;
    blocks.height = std::clamp<uint32_t>(l.rowsPerStrip, 1, l.height);
    const StripGeometry geometry{l.width,           l.height,      blocks.height, l.bitsPerSample,
                                 l.samplesPerPixel, l.compression, false};
    if (!readWholeStrips(handle, geometry, blocks.data)) {
        return std::nullopt;
    }
    return blocks;
}

// The rows a block's image must cover: a whole tile, or the strip's rows (a
// strip's image may hold more, which the page's edge clips).
uint32_t rowsOfBlock(const TiffPageLayout& l, const JpegBlocks& blocks, uint32_t b) {
    return l.tiled ? blocks.height : std::min(blocks.height, l.height - b * blocks.height);
}

} // namespace

std::optional<std::vector<PdfPiece>> jpegPieces(TiffHandle& handle, const TiffPageLayout& l,
                                                const PdfColourForm& form) {
    if (!jpegLayoutFits(l, form)) {
        return std::nullopt;
    }
    std::optional<JpegBlocks> blocks = readBlocks(handle, l);
    if (!blocks) {
        return std::nullopt;
    }
    const std::vector<uint8_t> tables = jpegTables(handle.get());
    std::vector<JpegHeader> headers;
    for (uint32_t b = 0; b < blocks->data.size(); ++b) {
        std::optional<std::vector<uint8_t>> stream = mergedJpegStream(tables, blocks->data[b]);
        const std::optional<JpegHeader> header =
            stream ? readJpegHeader(*stream) : std::optional<JpegHeader>();
        if (!header || header->precision != 8 || header->width != blocks->width ||
            header->height < rowsOfBlock(l, *blocks, b) || header->components != form.components) {
            return std::nullopt;
        }
        blocks->data[b] = std::move(*stream);
        headers.push_back(*header);
    }
    // One image per page where the strips join exactly: an image each would
    // repeat the tables and cost the reader an image per strip.
    if (!l.tiled) {
        if (std::optional<std::vector<uint8_t>> whole =
                joinJpegStrips(blocks->data, l.width, l.height, blocks->height)) {
            blocks->data.resize(1);
            blocks->data.front() = std::move(*whole);
            headers.resize(1);
            headers.front().height = l.height;
        }
    }
    // What goes into the PDF is checked, rather than the strips libtiff
    // would decode in full: reading the coded blocks is enough.
    for (uint32_t b = 0; b < blocks->data.size(); ++b) {
        if (!jpegStreamReadsCleanly(blocks->data[b], headers[b].width, headers[b].height,
                                    headers[b].components)) {
            return std::nullopt;
        }
    }
    std::vector<PdfPiece> pieces;
    for (uint32_t b = 0; b < blocks->data.size(); ++b) {
        PdfPiece& piece = pieces.emplace_back();
        describeColour(form, 8, piece.image);
        piece.image.width = headers[b].width;
        piece.image.height = headers[b].height;
        piece.image.filter = "/DCTDecode";
        piece.image.data = std::move(blocks->data[b]);
        setColourTransform(l, headers[b], piece.image);
        piece.x = (b % blocks->across) * blocks->width;
        piece.y = (b / blocks->across) * blocks->height;
    }
    return pieces;
}
