#pragma once

#include "engine/PageResolution.h"
#include "platform/Result.h"

#include <QImage>
#include <QString>

// What the page writers need from the conversion options.
struct WriteOptions {
    int jpegQuality = 10;         // 0..10; 10 is the best
    int tiffCompressionIndex = 0; // see tiffCompressionTag()
};

// Encodes one page into one file of its format. The path is a temporary file
// that the caller renames into place only when encode() succeeds, so a writer
// may leave it half written on failure.
//
// A page may come in any QImage format; each writer converts only what its
// format needs and carries resolution (dotsPerMeterX/Y, see hasResolution()) and the ICC
// profile (colorSpace().iccProfile()) where the format can hold them. A page
// past its format's largest side never reaches a writer: writePageFile()
// refuses it first.
//
// Threads: writers hold no state; one writer may encode on several threads at
// once.
class PageWriter {
public:
    virtual ~PageWriter();
    virtual Status encode(const QImage& page, const QString& path,
                          const WriteOptions& options) const = 0;
};
