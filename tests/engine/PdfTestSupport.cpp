#include "PdfTestSupport.h"

#include "engine/PagePixels.h"
#include "engine/PageResolution.h"
#include "support/TestEnvironment.h"

#include <QDir>

GatheredPdf gatherTiffFile(const QString& tiffPath, int stopAfter) {
    GatheredPdf gathered;
    gathered.tiffPath = tiffPath;
    gathered.folder = QFileInfo(tiffPath).absolutePath();
    gathered.pdfPath = QDir(gathered.folder).filePath(QStringLiteral("source.pdf"));
    auto opened = PageSource::open(tiffPath);
    if (!opened) {
        ADD_FAILURE() << opened.error().toStdString();
        return gathered;
    }
    gathered.source = std::move(*opened);
    QList<int> range;
    for (int n = 1; n <= gathered.source->pageCount(); ++n) {
        range.append(n);
    }
    CollectingChannel channel(stopAfter);
    gathered.ending = gatherIntoPdf(gathered.pdfPath, range, *gathered.source, DecodeLimits{},
                                    QStringLiteral("source.tif"), channel);
    gathered.pages = std::move(channel.pages);
    return gathered;
}

GatheredPdf gatherTestPages(const std::vector<TestTiffPage>& pages, int stopAfter) {
    const QString folder = makeTestFolder(QStringLiteral("pdf"));
    const QString tiff = QDir(folder).filePath(QStringLiteral("source.tif"));
    QString error;
    if (!writeTestTiff(tiff, pages, &error)) {
        ADD_FAILURE() << error.toStdString();
        return {};
    }
    return gatherTiffFile(tiff, stopAfter);
}

QImage decodedOverWhite(PageSource& source, int index) {
    const Result<QImage> page = source.readPage(index);
    if (!page) {
        ADD_FAILURE() << page.error().toStdString();
        return {};
    }
    const Result<QImage> flat = PagePixels::toRgb888Flattened(*page);
    return flat ? *flat : QImage();
}

Dpi decodedDpi(PageSource& source, int index) {
    const Result<QImage> page = source.readPage(index);
    if (!page || !hasResolution(*page)) {
        return {};
    }
    const StatedResolution r = statedResolution(*page);
    const double toInch = r.perCentimetre ? 2.54 : 1.0;
    return {r.x * toInch, r.y * toInch};
}
