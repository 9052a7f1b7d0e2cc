#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The colour space of an image of a PDF page.
enum class PdfColour { Gray, Rgb, Cmyk, Indexed };

// One entry of a filter's DecodeParms.
struct PdfParameter {
    const char* key = nullptr; // with its slash
    int value = 0;
    bool isBoolean = false;
};

// The samples of one image, already in the form its filter names.
struct PdfImageData {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitsPerComponent = 8;
    PdfColour colour = PdfColour::Gray;
    // Indexed: 3 bytes of RGB per entry, at most 1 << bitsPerComponent entries.
    std::vector<uint8_t> palette;
    // An ICC profile for the colour (the palette's base when indexed); empty: none.
    QByteArray iccProfile;
    // The Decode array; empty: the colour space's own.
    std::vector<double> decode;
    const char* filter = "/FlateDecode";
    std::vector<PdfParameter> parameters;
    std::vector<uint8_t> data;
};

// One image placed on the page: its pixels cover columns x.. and rows y.. of
// the page's stored raster (row 0 first, as the source stores it).
struct PdfPiece {
    PdfImageData image;
    // A gray image of the same size whose samples are the image's opacity.
    std::unique_ptr<PdfImageData> softMask;
    uint32_t x = 0;
    uint32_t y = 0;
};

// A page as the source stores it: its raster, how that raster is turned to
// stand upright (a TIFF Orientation value), and the upright page's resolution.
struct PdfPage {
    uint32_t width = 0; // of the stored raster
    uint32_t height = 0;
    uint16_t orientation = 1;
    // Dots per inch across and down the upright page; 0: none stated (72).
    double xDpi = 0;
    double yDpi = 0;
    std::vector<PdfPiece> pieces; // drawn in order, clipped to the raster
};

// The upright page's size in points: pixels / dpi x 72, each direction on its own.
struct PdfPageSize {
    double width = 0;
    double height = 0;
};
PdfPageSize pdfPageSize(const PdfPage& page);

// The matrix [a b c d e f] that maps the unit square of the stored raster
// (row 0 at the top) onto the upright page of `size`.
std::vector<double> pdfOrientationMatrix(uint16_t orientation, const PdfPageSize& size);

// A PDF being written page by page. The image data of each page goes into a
// scratch file beside the output as it is added, so only one page is ever
// held in memory; the document appears under its final name at finish(), and
// destroying it before that (or after any failure) leaves nothing.
//
// Threads: one document is used by one thread.
class PdfDocument {
public:
    PdfDocument(QString finalPath, QString title);
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // After a failure the document is spent: later calls fail too.
    Status addPage(const PdfPage& page);
    Status finish();
    int pageCount() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Whether the file reads as a PDF without repair and holds exactly `pages`
// pages: one cut short has lost the cross-reference data at its end.
bool isCompletePdfFile(const QString& path, int pages);
