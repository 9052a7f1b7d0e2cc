#pragma once

#include "engine/PageSource.h"
#include "engine/TiffHandle.h"
#include "engine/TiffPageLayout.h"

// The pages of a TIFF, each one directory, decoded on demand. Only the page
// being decoded is held in memory.
//
// Threads: one object is used by one thread at a time.
class TiffPageSource final : public PageSource {
public:
    static Result<std::unique_ptr<PageSource>> create(Result<TiffHandle> handle,
                                                      const DecodeLimits& limits);

    // Use create(): it counts the pages.
    TiffPageSource(TiffHandle handle, int pageCount, const DecodeLimits& limits);

    int pageCount() const override;
    Result<QImage> readPage(int index) override;
    qint64 pageByteSize(int index) override;
    TiffHandle* tiffDirectory(int index, QImage& attributes) override;

private:
    Result<QImage> decodeCurrentPage(int index);
    Result<QImage> decodeWithPlan(const TiffPageLayout& layout, const DecodePlan& plan);
    Result<QImage> decodeChecked(const TiffPageLayout& layout, const DecodePlan& plan);
    Result<QImage> decodeFaxVariant(int index, const TiffPageLayout& layout,
                                    const DecodePlan& plan);

    TiffHandle m_tiff;
    int m_pageCount = 0;
    DecodeLimits m_limits;
};

// libtiff refuses any single allocation above this while reading a source
// with these limits.
tmsize_t maxTiffAllocation(const DecodeLimits& limits);

// The pages of a TIFF that can be read: its directories from the first up to
// (not including) the first one libtiff cannot read, the end of the chain, a
// loop, or `maxPages`. The file list counts pages with this too, so that its
// count is what a conversion goes through. Leaves the handle on an
// unspecified directory.
int countReadablePages(TiffHandle& tiff, int maxPages);
