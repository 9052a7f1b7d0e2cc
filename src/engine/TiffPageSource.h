#pragma once

#include "engine/PageSource.h"
#include "engine/TiffBandReader.h"
#include "engine/TiffHandle.h"
#include "engine/TiffPageLayout.h"

#include <functional>
#include <vector>

// The pages of a TIFF that can be read, walked once along its chain of
// directories: from the first up to the end of the chain, or up to (not
// including) the first one libtiff cannot read, a loop, or `maxPages`.
struct PageChain {
    std::vector<toff_t> offsets; // of each readable directory, in order
    // Why the chain goes on past the last readable directory, naming the
    // page where reading stopped, e.g. "the directory of page 3 cannot be
    // read (...)"; "" when the chain ends there.
    QString broken;
};

// Leaves the handle on an unspecified directory.
PageChain walkPageChain(TiffHandle& tiff, int maxPages);

// The number of pages walkPageChain() reads. The file list counts pages with
// this too, so that its count is what a conversion goes through.
int countReadablePages(TiffHandle& tiff, int maxPages);

// The pages of a TIFF, each one directory, decoded on demand. Only the page
// being decoded is held in memory.
//
// Threads: one object is used by one thread at a time.
class TiffPageSource final : public PageSource {
public:
    // Opens the same file or data again for each twin().
    using Opener = std::function<Result<TiffHandle>()>;

    static Result<std::unique_ptr<PageSource>> create(Opener opener, const DecodeLimits& limits);

    // Use create(): it walks the pages.
    TiffPageSource(TiffHandle handle, PageChain&& chain, const DecodeLimits& limits, Opener opener);

    int pageCount() const override;
    QString unreadablePages() const override;
    Result<QImage> readPage(int index) override;
    qint64 pageByteSize(int index) override;
    TiffHandle* tiffDirectory(int index, QImage& attributes) override;
    std::unique_ptr<PageSource> twin() const override;
    void setDecodeThreads(const DecodeThreads& threads) override;

private:
    // Makes page `index` the handle's current directory, read afresh.
    bool goToPage(int index);
    Result<QImage> decodeCurrentPage(int index, const StripThreads& threads);
    Result<QImage> decodeWithPlan(const TiffPageLayout& layout, const DecodePlan& plan,
                                  const StripThreads& threads);
    Result<QImage> decodeChecked(const TiffPageLayout& layout, const DecodePlan& plan,
                                 const StripThreads& threads);
    Result<QImage> decodeFaxVariant(int index, const TiffPageLayout& layout,
                                    const DecodePlan& plan);

    TiffHandle m_tiff;
    // Where each page's directory starts: a page is reached straight from
    // it, not by following the chain from the first.
    std::vector<toff_t> m_offsets;
    QString m_unreadablePages;
    DecodeLimits m_limits;
    Opener m_opener;
    DecodeThreads m_threads;
};

// libtiff refuses any single allocation above this while reading a source
// with these limits.
tmsize_t maxTiffAllocation(const DecodeLimits& limits);
