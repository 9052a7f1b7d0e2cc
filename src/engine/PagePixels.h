#pragma once

#include "platform/Result.h"

#include <QImage>
#include <QList>

// Conversions the page writers share. The pages come in their native forms
// (see PageSource.h) or any other QImage format; alpha is unassociated.
namespace PagePixels {

// Fails for a null page, before anything is allocated for it.
Status checkNotEmpty(const QImage& page);

// How a 1-bit page's colour table maps its two bit values.
enum class MonoTable { ZeroIsBlack, ZeroIsWhite, Coloured };
MonoTable monoTable(const QImage& page);

bool isGrayTable(const QList<QRgb>& table);
bool tableHasAlpha(const QList<QRgb>& table);

// True for pages that hold gray levels only: 1-bit or indexed pages with a
// gray table, Grayscale8 and Grayscale16.
bool isGrayPage(const QImage& page);

// More than 8 bits per colour channel.
bool isDeep(const QImage& page);

// The RGB form that keeps a page's depth and alpha: RGB888, RGBA8888, RGBX64
// or RGBA64.
QImage::Format directRgbFormat(const QImage& page);

// The one colour that unassociated `argb` shows over a white background.
QRgb overWhite(QRgb argb);

// QImage::convertToFormat, with a failed allocation reported instead of a
// null image travelling on.
Result<QImage> converted(const QImage& page, QImage::Format format);

// A gray page (isGrayPage) as Grayscale8, alpha shown over white.
Result<QImage> toGray8OverWhite(const QImage& page);
// Any page as RGB888, alpha shown over white, or over black on a page whose
// transparent pixels are samples without a value (hasHoles()).
Result<QImage> toRgb888Flattened(const QImage& page);

// A page whose pixels are all opaque black or white as Format_Mono with bit 1
// = black (the fax convention); a null image when any pixel is another colour.
QImage toBlackIsOne(const QImage& page);

// The highest colour index an Indexed8 page uses (-1 for an empty page).
int highestIndex(const QImage& indexed8);

// The table of a 1-bit or indexed page, completed so that every index the
// page uses has an entry (missing entries are opaque black).
QList<QRgb> completeTable(const QImage& page);

// QImage leaves the bits past the last pixel of a 1-bit (MSB first) row
// undefined; a file must not carry them, or it differs from run to run.
void clearBitsPastLastPixel(uchar* row, int width);

} // namespace PagePixels
