#pragma once

#include "engine/PageSource.h"
#include "engine/PageWriter.h"
#include "platform/Result.h"

#include <QImage>
#include <QString>

#include <optional>

class PdfDocument;
struct PdfPage;

// Adds page `index` of `source` to `document` from the data its TIFF stores
// (see storedPdfPage()). True: the page was added. False: the page must be
// decoded; nothing was added and the document is still usable. A failure
// spends the document.
Result<bool> addStoredPdfPage(PdfDocument& document, PageSource& source, int index,
                              const DecodeLimits& limits);
// The same for a page made ahead (see PdfPagePrefetch): true when added,
// false when it must be decoded.
Result<bool> addPreparedPdfPage(PdfDocument& document, std::optional<PdfPage> page);
// Adds a decoded page.
Status addDecodedPdfPage(PdfDocument& document, const QImage& page);

// One page as a PDF of its own, titled with the file's name; the file
// appears only when complete.
Status writePdfFile(const QImage& page, const QString& path, const WriteOptions& options);
