#pragma once

#include "engine/PageSource.h"
#include "engine/PdfDocument.h"
#include "platform/Result.h"

#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

#include <tiffio.h>

class TiffHandle;
struct TiffPageLayout;

// How a TIFF page's colour samples read as a PDF colour space: gray (Decode
// inverted for MinIsWhite), RGB, CMYK inks, or a palette; with the page's ICC
// profile.
struct PdfColourForm {
    PdfColour colour = PdfColour::Gray;
    int components = 1; // samples per pixel, alpha aside
    bool minIsWhite = false;
    std::vector<uint8_t> palette;
    QByteArray iccProfile;
};

// Nothing for photometrics a PDF colour space cannot take as they are
// (YCbCr outside JPEG, L*a*b*, inks other than CMYK, ...).
std::optional<PdfColourForm> pdfColourForm(TIFF* tif, const TiffPageLayout& layout);
// The form's image fields (colour space, palette, profile, Decode) for
// images of `bitsPerComponent`.
void describeColour(const PdfColourForm& form, int bitsPerComponent, PdfImageData& image);

// Page `index` of a TIFF source as a PDF page from the data the file stores:
// its compressed strips as they are where PDF reads them exactly (CCITT fax,
// JPEG, single-strip Deflate or LZW), or its samples as libtiff decodes them,
// deflated. The orientation and resolution are the page's. Nothing when the
// page must be decoded as a picture (exotic samples, broken data, other
// sources), which then says what is wrong with it.
std::optional<PdfPage> storedPdfPage(PageSource& source, int index, const DecodeLimits& limits);

// The compressed strips of the current directory as images, when PDF can
// read them as they are; nothing otherwise.
std::optional<std::vector<PdfPiece>>
passedThroughPieces(TiffHandle& handle, const TiffPageLayout& layout, const PdfColourForm& form);
// The JPEG strips of the current directory, each with the tables of
// JPEGTables merged into it; nothing when they are not plain 8-bit JPEG
// images of their strips.
std::optional<std::vector<PdfPiece>> jpegPieces(TiffHandle& handle, const TiffPageLayout& layout,
                                                const PdfColourForm& form);
// The samples of the current directory as libtiff decodes them, one image
// (and its soft mask) deflated; nothing when they are not plain samples or
// cannot be read in full.
std::optional<std::vector<PdfPiece>> samplePieces(TiffHandle& handle, const TiffPageLayout& layout,
                                                  const PdfColourForm& form,
                                                  const DecodeLimits& limits);

// A decoded page (any QImage format, see PageSource.h) as one deflated
// image: 1-bit, gray, palette as Indexed, RGB with alpha as a soft mask, 8
// or 16 bits; upright, at the image's resolution.
Result<PdfPage> decodedPdfPage(const QImage& page);

// The page's dpi from the image's resolution (see PageResolution.h); none: 72.
void setPdfResolution(const QImage& image, PdfPage& page);

// Deflates an image's samples (rows of `components` samples, byte-aligned)
// into it, behind PNG's Paeth predictor when they are 8 or 16 bits; false
// when out of memory.
bool deflateSamples(PdfImageData& image, const std::vector<uint8_t>& samples, int components);

// zlib data for FlateDecode; empty when out of memory.
std::vector<uint8_t> pdfDeflate(const uint8_t* data, size_t size);
