#include "engine/TiffWriter.h"

#include "engine/DocumentFile.h"
#include "engine/OutputFormats.h"
#include "engine/PageSource.h"
#include "engine/TiffDirectoryWriter.h"
#include "engine/TiffHandle.h"
#include "engine/TiffPageCopy.h"
#include "platform/NativePath.h"

#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

namespace {

// The tags a decoded page would get from DirectoryWriter, around strips
// that are already compressed.
Status writeCopiedDirectory(TiffHandle& handle, const CopiablePage& page,
                            const QImage& attributes) {
    TIFF* tif = handle.get();
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.height) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, page.bitsPerSample) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, page.samplesPerPixel) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, page.photometric) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, page.compression) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, page.rowsPerStrip);
    if (ok && page.predictor != PREDICTOR_NONE) {
        ok = TIFFSetField(tif, TIFFTAG_PREDICTOR, page.predictor);
    }
    if (ok && page.group4Options) {
        ok = TIFFSetField(tif, TIFFTAG_GROUP4OPTIONS, *page.group4Options);
    }
    if (!ok || !setResolutionTags(tif, attributes) || !setProfileTag(tif, attributes)) {
        return Status::failure(QStringLiteral("TIFF: cannot describe the copied page"));
    }
    for (size_t s = 0; s < page.strips.size(); ++s) {
        const std::vector<uint8_t>& strip = page.strips[s];
        errno = 0;
        if (TIFFWriteRawStrip(tif, static_cast<uint32_t>(s), const_cast<uint8_t*>(strip.data()),
                              static_cast<tmsize_t>(strip.size())) < 0) {
            return tiffWriteFailure(handle, errno,
                                    QStringLiteral("TIFF: cannot write a copied strip"));
        }
    }
    errno = 0;
    if (TIFFWriteDirectory(tif) == 0) {
        return tiffWriteFailure(handle, errno,
                                QStringLiteral("TIFF: cannot write the copied page"));
    }
    return {};
}

// The page `index` of the source as it can be copied for `compressionIndex`,
// with the resolution and profile a decoded page would carry.
struct SourcePage {
    CopiablePage page;
    QImage attributes;
};

std::optional<SourcePage> copiableSourcePage(PageSource& source, int index, int compressionIndex) {
    QImage attributes;
    TiffHandle* handle = source.tiffDirectory(index, attributes);
    if (handle == nullptr) {
        return std::nullopt;
    }
    std::optional<CopiablePage> page =
        readCopiablePage(*handle, static_cast<uint16_t>(tiffCompressionTag(compressionIndex)));
    if (!page) {
        return std::nullopt;
    }
    return SourcePage{std::move(*page), std::move(attributes)};
}

// Closes the file, which writes what libtiff still holds of it.
Status closeWritten(TiffHandle& handle) {
    // The name is gone once closed.
    const QString path = NativePath::decode(TIFFFileName(handle.get()));
    errno = 0;
    if (handle.close()) {
        return {};
    }
    const int error = errno;
    if (error != 0) {
        return Status::failure(QStringLiteral("Cannot write “%1”: %2").arg(path, errnoText(error)));
    }
    return Status::failure(QStringLiteral("TIFF: %1")
                               .arg(handle.lastError().isEmpty()
                                        ? QStringLiteral("cannot finish the file")
                                        : handle.lastError()));
}

} // namespace

int tiffCompressionTag(int compressionIndex) {
    return tiffCompression(compressionIndex).tag;
}

Status TiffWriter::encode(const QImage& page, const QString& path,
                          const WriteOptions& options) const {
    Result<TiffHandle> handle = TiffHandle::openFile(path, "w");
    if (!handle) {
        return Status::failure(QStringLiteral("TIFF: %1").arg(handle.error()));
    }
    if (Status s = writeDirectory(handle.value(), page, options.tiffCompressionIndex); !s) {
        return s;
    }
    return closeWritten(handle.value());
}

struct TiffPageEncoder::Private {
    Private(QString path, Container kind) : document(std::move(path)), container(kind) {}

    Status open() {
        if (Status created = document.file().create(); !created) {
            return created;
        }
        Result<TiffHandle> opened = TiffHandle::openFile(
            document.file().temporaryPath(), container == Container::BigTiff ? "w8" : "w");
        if (!opened) {
            return Status::failure(QStringLiteral("TIFF: %1").arg(opened.error()));
        }
        handle.emplace(std::move(opened).value());
        return {};
    }

    // Opens the file before the first page; a spent or finished encoder
    // takes no more.
    Status readyForPage() {
        if (Status open = document.takesPages(); !open) {
            return open;
        }
        if (!handle) {
            if (Status opened = open(); !opened) {
                return fail(std::move(opened));
            }
        }
        return {};
    }

    Status fail(Status status) {
        handle.reset();
        return document.fail(std::move(status));
    }

    // Declared before the handle, so the handle closes before the temporary
    // file is removed.
    DocumentFile document;
    Container container;
    std::optional<TiffHandle> handle;
};

TiffPageEncoder::TiffPageEncoder(QString finalPath, Container container)
    : d(std::make_unique<Private>(std::move(finalPath), container)) {}

TiffPageEncoder::~TiffPageEncoder() = default;

int TiffPageEncoder::pageCount() const {
    return d->document.pages();
}

Status TiffPageEncoder::appendPage(const QImage& page, int compressionIndex) {
    if (Status ready = d->readyForPage(); !ready) {
        return ready;
    }
    if (Status written = writeDirectory(*d->handle, page, compressionIndex); !written) {
        return d->fail(std::move(written));
    }
    d->document.pageAdded();
    return {};
}

Result<bool> TiffPageEncoder::appendCopiedPage(PageSource& source, int index,
                                               int compressionIndex) {
    if (Status open = d->document.takesPages(); !open) {
        return Result<bool>::failure(open.error());
    }
    const std::optional<SourcePage> copiable = copiableSourcePage(source, index, compressionIndex);
    if (!copiable) {
        return false;
    }
    if (Status ready = d->readyForPage(); !ready) {
        return Result<bool>::failure(ready.error());
    }
    if (Status written = writeCopiedDirectory(*d->handle, copiable->page, copiable->attributes);
        !written) {
        return Result<bool>::failure(d->fail(std::move(written)).error());
    }
    d->document.pageAdded();
    return true;
}

Status TiffPageEncoder::finish() {
    if (Status ready = d->document.readyToFinish(); !ready) {
        d->handle.reset();
        return ready;
    }
    if (Status closed = closeWritten(*d->handle); !closed) {
        return d->fail(std::move(closed));
    }
    d->handle.reset();
    return d->document.commit();
}

Result<bool> copyTiffPageToFile(PageSource& source, int index, const QString& path,
                                int compressionIndex) {
    TiffPageEncoder encoder(path);
    Result<bool> copied = encoder.appendCopiedPage(source, index, compressionIndex);
    if (!copied || !*copied) {
        return copied;
    }
    if (Status finished = encoder.finish(); !finished) {
        return Result<bool>::failure(finished.error());
    }
    return true;
}
