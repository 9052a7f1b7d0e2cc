#include "engine/PdfWriter.h"

#include "engine/OutputNames.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPages.h"

#include <QFileInfo>

Result<bool> addStoredPdfPage(PdfDocument& document, PageSource& source, int index,
                              const DecodeLimits& limits) {
    return addPreparedPdfPage(document, storedPdfPage(source, index, limits));
}

Result<bool> addPreparedPdfPage(PdfDocument& document, std::optional<PdfPage> page) {
    if (!page) {
        return false;
    }
    if (Status added = document.addPage(*page); !added) {
        return Result<bool>::failure(added.error());
    }
    return true;
}

Status addDecodedPdfPage(PdfDocument& document, const QImage& page) {
    Result<PdfPage> converted = decodedPdfPage(page);
    if (!converted) {
        return Status::failure(converted.error());
    }
    return document.addPage(*converted);
}

Status writePdfFile(const QImage& page, const QString& path, const WriteOptions& /*options*/) {
    PdfDocument document(path, baseNameOf(QFileInfo(path).fileName()));
    if (Status added = addDecodedPdfPage(document, page); !added) {
        return added;
    }
    return document.finish();
}
