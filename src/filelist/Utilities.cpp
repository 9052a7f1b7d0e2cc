#include "filelist/Utilities.h"

#include "engine/TiffHandle.h"

#include <QImageReader>

#include <limits>

int getTiffPageCount(const QUrl& url) {
    if (!url.isValid() || !url.isLocalFile()) {
        return 0;
    }
    const QString path = url.toLocalFile();
    if (fileHasTiffSignature(path)) {
        auto tiff = TiffHandle::openFile(path, "r");
        if (!tiff) {
            return 0;
        }
        // libtiff stops at a directory loop or an unreadable offset and counts
        // what it could read.
        const tdir_t count = TIFFNumberOfDirectories(tiff->get());
        return static_cast<int>(std::min<tdir_t>(count, std::numeric_limits<int>::max()));
    }
    QImageReader reader(path);
    return reader.canRead() ? qMax(0, reader.imageCount()) : 0;
}
