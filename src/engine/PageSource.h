#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>

class TiffHandle;

// Bounds that protect against hostile files: nothing is allocated for a page
// before its dimensions are checked against them.
struct DecodeLimits {
    qint64 maxPixels = qint64(1) << 29; // per page; ~536 megapixels
    qint64 maxBytes = qint64(1) << 31;  // decoded bytes of one page
    int maxPages = 100000;              // directories counted before giving up
};

// How many threads may decode one large page, each through a TIFF handle of
// its own.
struct DecodeThreads {
    int threads = 0; // 0: the page's share of the cores (CoreShare.h)
    // Decoded bytes a thread must have to pay for starting it and its handle.
    qint64 minBytesPerThread = qint64(4) << 20;
};

// The pages of one source file, opened once and decoded one page at a time.
//
// A page comes back as a QImage in its native form: Format_Mono (bilevel; the
// colour table says which index is white), Format_Grayscale8/16,
// Format_Indexed8 (palette), Format_RGB888, Format_RGBA8888 (unassociated
// alpha), Format_RGBX64 / Format_RGBA64 (16-bit). CMYK becomes RGB888. The
// page's resolution is in dotsPerMeterX/Y and its ICC profile, when Qt can
// read it, in colorSpace(). QImage cannot hold a resolution of 0, so a TIFF
// page without one is marked with markWithoutResolution() (PageResolution.h).
//
// Threads: one object is used by one thread at a time.
class PageSource {
public:
    virtual ~PageSource() = default;

    // A TIFF through libtiff; any other image through QImageReader. The error
    // text says what is wrong with the file.
    static Result<std::unique_ptr<PageSource>> open(const QString& path,
                                                    const DecodeLimits& limits = {});
    // A TIFF held in memory (for fuzzing and tests).
    static Result<std::unique_ptr<PageSource>> openTiffData(QByteArray data,
                                                            const DecodeLimits& limits = {});

    virtual int pageCount() const = 0;
    // Why pages after the last of pageCount() cannot be read, when the file
    // goes on past it (a TIFF's chain of directories breaks off), naming the
    // page where reading stopped; "" when the file ends there.
    virtual QString unreadablePages() const;
    // Page `index`, from 0.
    virtual Result<QImage> readPage(int index) = 0;
    // An upper bound of page `index`'s decoded bytes, read from its header
    // without decoding it; -1 when the header cannot tell.
    virtual qint64 pageByteSize(int index);
    // For writers that copy a TIFF page's compressed data rather than decode
    // it: the handle, set on page `index`, and in `attributes` a 1 x 1 image
    // of the page's decoded format carrying the resolution and colour space
    // readPage() gives it. nullptr when the source holds no TIFF or the page
    // cannot be read.
    virtual TiffHandle* tiffDirectory(int index, QImage& attributes);
    // Another source over the same file and pages, for another thread to
    // read beside this one; nullptr when there is none.
    virtual std::unique_ptr<PageSource> twin() const;
    // Sources whose pages are decoded in parts may take more threads.
    virtual void setDecodeThreads(const DecodeThreads& threads);
};
