#include "engine/PageSource.h"

#include "engine/QtPageSource.h"
#include "engine/TiffHandle.h"
#include "engine/TiffPageSource.h"
#include "platform/NativePath.h"

#include <unistd.h>

Result<std::unique_ptr<PageSource>> PageSource::open(const QString& path,
                                                     const DecodeLimits& limits) {
    using R = Result<std::unique_ptr<PageSource>>;
    if (!NativePath::exists(path)) {
        return R::failure(QStringLiteral("The file does not exist"));
    }
    // Checked before anything opens it: opening a named pipe waits for a
    // writer that may never come.
    if (NativePath::isSpecialFile(path)) {
        return R::failure(
            QStringLiteral("The file is %1, not a regular file").arg(NativePath::fileKind(path)));
    }
    if (!NativePath::isFile(path) || !NativePath::isAccessible(path, R_OK)) {
        return R::failure(QStringLiteral("The file cannot be read"));
    }
    if (NativePath::fileSize(path) == 0) {
        return R::failure(QStringLiteral("The file is empty"));
    }
    if (fileHasTiffSignature(path)) {
        // Read, not mapped: a long document would otherwise stay resident as it
        // is read, so memory would grow with the file rather than the page.
        const tmsize_t allocation = maxTiffAllocation(limits);
        return TiffPageSource::create(
            [path, allocation] { return TiffHandle::openFile(path, "rm", allocation); }, limits);
    }
    return QtPageSource::create(path, limits);
}

Result<std::unique_ptr<PageSource>> PageSource::openTiffData(QByteArray data,
                                                             const DecodeLimits& limits) {
    using R = Result<std::unique_ptr<PageSource>>;
    if (data.isEmpty()) {
        return R::failure(QStringLiteral("The data is empty"));
    }
    const tmsize_t allocation = maxTiffAllocation(limits);
    return TiffPageSource::create(
        [data = std::move(data), allocation] { return TiffHandle::openData(data, allocation); },
        limits);
}

QString PageSource::unreadablePages() const {
    return {};
}

std::unique_ptr<PageSource> PageSource::twin() const {
    return nullptr;
}

qint64 PageSource::pageByteSize(int /*index*/) {
    return -1;
}

TiffHandle* PageSource::tiffDirectory(int /*index*/, QImage& /*attributes*/) {
    return nullptr;
}

void PageSource::setDecodeThreads(const DecodeThreads& /*threads*/) {}
