#pragma once

#include "engine/PageWriter.h"
#include "platform/Result.h"

#include <QImage>
#include <QString>

#include <memory>

class PageSource;

// The TIFF Compression tag for the user's compression choice (see
// tiffCompressions()); an index outside the table is none.
int tiffCompressionTag(int compressionIndex);

// One page as a TIFF file, written straight into the given path.
//
// Pages keep their layout: 1-bit (MINISBLACK or MINISWHITE as the colour
// table says, a 2-entry palette for other colours), gray 8/16, 8-bit palettes
// with a 16-bit ColorMap, RGB and RGBA (unassociated) in 8 or 16 bits. A
// palette with alpha is written as RGBA, since a TIFF palette has none.
// CCITT G3/G4 apply to black-and-white pages only (written MINISWHITE, the fax
// convention); any other page is then stored uncompressed.
class TiffWriter final : public PageWriter {
public:
    Status encode(const QImage& page, const QString& path,
                  const WriteOptions& options) const override;
};

// A TIFF of many pages, written one directory per appendPage() so that only
// one page is ever held. The file appears under its final name at finish();
// destroying the encoder before that (or after any failure) leaves nothing.
//
// Threads: one encoder is used by one thread.
class TiffPageEncoder {
public:
    // BigTiff for files that may pass 4 GiB.
    enum class Container { Classic, BigTiff };

    explicit TiffPageEncoder(QString finalPath, Container container = Container::Classic);
    ~TiffPageEncoder();
    TiffPageEncoder(const TiffPageEncoder&) = delete;
    TiffPageEncoder& operator=(const TiffPageEncoder&) = delete;

    // After a failure the encoder is spent: later calls fail too.
    Status appendPage(const QImage& page, int compressionIndex);
    // Appends page `index` of a TIFF source by copying its compressed strips,
    // when writing its decoded page with appendPage() would give the same
    // samples under the same compression, photometric, depth, resolution and
    // profile (the strip layout and LZW predictor stay the source's). True:
    // the page was appended. False: the page cannot be copied; nothing was
    // appended and the encoder is still usable. A failure spends the encoder.
    Result<bool> appendCopiedPage(PageSource& source, int index, int compressionIndex);
    Status finish();

    int pageCount() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Page `index` of a TIFF source as a TIFF file of its own, by copying its
// compressed strips (see TiffPageEncoder::appendCopiedPage). The file appears
// at `path` only when complete. False: the page cannot be copied and nothing
// was written; the caller decodes it and saves it the usual way.
Result<bool> copyTiffPageToFile(PageSource& source, int index, const QString& path,
                                int compressionIndex);
