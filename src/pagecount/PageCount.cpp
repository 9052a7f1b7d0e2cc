#include "pagecount/PageCount.h"

#include "engine/TiffHandle.h"
#include "engine/TiffPageSource.h"
#include "platform/NativePath.h"

#include <QFile>
#include <QImageReader>

int getTiffPageCount(const QUrl& url) {
    return tallyPages(url).readable;
}

PageTally tallyPages(const QUrl& url) {
    if (!url.isValid() || !url.isLocalFile()) {
        return {};
    }
    const QString path = url.toLocalFile();
    // Opening a named pipe waits for a writer that may never come; a device
    // reads what is not a file.
    if (!NativePath::isFile(path)) {
        return {};
    }
    if (fileHasTiffSignature(path)) {
        // Opened as a conversion opens it, under the same allocation limit.
        const DecodeLimits limits;
        auto tiff = TiffHandle::openFile(path, "rm", maxTiffAllocation(limits));
        if (!tiff) {
            return {};
        }
        // Counted as a conversion reads the file, so the two always agree.
        const PageChain chain = walkPageChain(*tiff, limits.maxPages);
        return {static_cast<int>(chain.offsets.size()), !chain.broken.isEmpty()};
    }
    const std::unique_ptr<QFile> file = NativePath::openForReading(path);
    if (!file) {
        return {};
    }
    QImageReader reader(file.get());
    return {reader.canRead() ? qMax(0, reader.imageCount()) : 0, false};
}
