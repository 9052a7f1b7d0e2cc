#include "engine/TiffPageSource.h"

#include "engine/CoreShare.h"
#include "engine/ImageOrientation.h"
#include "engine/PageResolution.h"
#include "engine/TiffDeepDecoder.h"
#include "engine/TiffPageDecoder.h"
#include "engine/TiffPageLayout.h"
#include "engine/TiffStoredData.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kMaxDotsPerMetre = 1e8; // far beyond any scanner or printer

QString pagesText(int count) {
    return count == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(count);
}

// False when the value is missing, not positive or absurd.
bool usable(float value, bool perCentimetre) {
    const double perMetre = perCentimetre ? double(value) * 100.0 : double(value) / 0.0254;
    return std::isfinite(perMetre) && perMetre > 0 && perMetre <= kMaxDotsPerMetre &&
           dotsPerMetre(value, perCentimetre) > 0;
}

// A missing ResolutionUnit means inch, as TIFF defines it; RESUNIT_NONE only
// gives the aspect ratio, which is no resolution. A page turned a quarter
// (`transposed`) swaps the horizontal and vertical resolution.
void setResolution(TIFF* tif, bool transposed, QImage& image) {
    float x = 0;
    float y = 0;
    uint16_t unit = RESUNIT_INCH;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) == 1) {
        if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) != 1) {
            y = x;
        }
        TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    }
    const bool perCm = unit == RESUNIT_CENTIMETER;
    if ((unit == RESUNIT_INCH || perCm) && usable(x, perCm) && usable(y, perCm)) {
        if (transposed) {
            std::swap(x, y);
        }
        setStatedResolution(image, {double(x), double(y), perCm});
    } else {
        markWithoutResolution(image);
    }
}

// A CMYK profile never describes the RGB pixels the page is turned into.
void setColourSpace(TIFF* tif, const TiffPageLayout& layout, QImage& image) {
    if (layout.photometric == PHOTOMETRIC_SEPARATED) {
        return;
    }
    uint32_t size = 0;
    const char* data = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &data) != 1 || data == nullptr || size == 0 ||
        size > uint32_t(std::numeric_limits<int>::max())) {
        return;
    }
    const QColorSpace space =
        QColorSpace::fromIccProfile(QByteArray(data, static_cast<qsizetype>(size)));
    if (space.isValid()) {
        image.setColorSpace(space);
    }
}

// The form whose size the plan's decoder checks against the limits.
QImage::Format widestFormat(const DecodePlan& plan) {
    switch (plan.kind) {
    case PixelKind::ViaRgbaReader:
        return QImage::Format_RGBA8888;
    case PixelKind::Ranged:
        return widestRangedFormat(plan);
    default:
        return plan.format;
    }
}

} // namespace

tmsize_t maxTiffAllocation(const DecodeLimits& limits) {
    // Tag arrays and compressed strips may need room of their own even when
    // the decoded page limit is small.
    constexpr qint64 kFloor = qint64(64) << 20;
    return static_cast<tmsize_t>(
        std::clamp<qint64>(limits.maxBytes, kFloor, TiffHandle::kDefaultMaxSingleAllocation));
}

namespace {

QString withReason(const QString& text, const QString& reason) {
    return reason.isEmpty() ? text : text + QStringLiteral(" (") + reason + QLatin1Char(')');
}

} // namespace

PageChain walkPageChain(TiffHandle& tiff, int maxPages) {
    PageChain chain;
    TIFF* tif = tiff.get();
    // A handle fresh from TIFFOpen is on the first directory already.
    if (maxPages <= 0 || (TIFFCurrentDirectory(tif) != 0 && TIFFSetDirectory(tif, 0) != 1)) {
        return chain;
    }
    chain.offsets.push_back(TIFFCurrentDirOffset(tif));
    // Reading each directory in full, not only following the chain of
    // offsets, finds the ones whose tags cannot be read.
    while (TIFFLastDirectory(tif) == 0) {
        const int next = static_cast<int>(chain.offsets.size()) + 1;
        if (static_cast<int>(chain.offsets.size()) >= maxPages) {
            chain.broken =
                QStringLiteral("page %1 is past the limit of %2 pages").arg(next).arg(maxPages);
            break;
        }
        tiff.clearError();
        if (TIFFReadDirectory(tif) != 1) {
            chain.broken =
                withReason(QStringLiteral("the directory of page %1 cannot be read").arg(next),
                           tiff.lastError());
            break;
        }
        chain.offsets.push_back(TIFFCurrentDirOffset(tif));
    }
    return chain;
}

int countReadablePages(TiffHandle& tiff, int maxPages) {
    return static_cast<int>(walkPageChain(tiff, maxPages).offsets.size());
}

TiffPageSource::TiffPageSource(TiffHandle handle, PageChain&& chain, const DecodeLimits& limits,
                               Opener opener)
    : m_tiff(std::move(handle)), m_offsets(std::move(chain.offsets)),
      m_unreadablePages(std::move(chain.broken)), m_limits(limits), m_opener(std::move(opener)) {}

Result<std::unique_ptr<PageSource>> TiffPageSource::create(Opener opener,
                                                           const DecodeLimits& limits) {
    using R = Result<std::unique_ptr<PageSource>>;
    Result<TiffHandle> handle = opener();
    if (!handle) {
        return R::failure(handle.error());
    }
    PageChain chain = walkPageChain(*handle, limits.maxPages);
    if (chain.offsets.empty()) {
        QString text = QStringLiteral("The TIFF file has no pages");
        if (!handle->lastError().isEmpty()) {
            text += QStringLiteral(": ") + handle->lastError();
        }
        return R::failure(text);
    }
    return R(std::make_unique<TiffPageSource>(std::move(*handle), std::move(chain), limits,
                                              std::move(opener)));
}

std::unique_ptr<PageSource> TiffPageSource::twin() const {
    Result<TiffHandle> handle = m_opener();
    if (!handle || !readSameSource(m_tiff.get(), handle->get())) {
        return nullptr;
    }
    // The pages found when the source was opened, not walked again.
    PageChain chain{m_offsets, m_unreadablePages};
    return std::make_unique<TiffPageSource>(std::move(*handle), std::move(chain), m_limits,
                                            m_opener);
}

int TiffPageSource::pageCount() const {
    return static_cast<int>(m_offsets.size());
}

QString TiffPageSource::unreadablePages() const {
    return m_unreadablePages;
}

bool TiffPageSource::goToPage(int index) {
    if (index < 0 || index >= pageCount()) {
        return false;
    }
    TIFF* tif = m_tiff.get();
    const auto wanted = static_cast<tdir_t>(index);
    // Every offset was met on the walk, so libtiff knows its page number; the
    // walk from the first directory is left for the case it does not.
    if (TIFFSetSubDirectory(tif, m_offsets[static_cast<size_t>(index)]) == 1 &&
        TIFFCurrentDirectory(tif) == wanted) {
        return true;
    }
    return TIFFSetDirectory(tif, wanted) == 1;
}

Result<QImage> TiffPageSource::readPage(int index) {
    if (index < 0 || index >= pageCount()) {
        return Result<QImage>::failure(QStringLiteral("Page %1 does not exist; the file has %2")
                                           .arg(index + 1)
                                           .arg(pagesText(pageCount())));
    }
    m_tiff.clearError();
    if (!goToPage(index)) {
        QString text = QStringLiteral("Page %1 cannot be read").arg(index + 1);
        if (!m_tiff.lastError().isEmpty()) {
            text += QStringLiteral(": ") + m_tiff.lastError();
        }
        return Result<QImage>::failure(text);
    }
    // Counted as one with the page task around it, if any.
    const CoreShare share;
    const StripThreads threads{m_threads.threads > 0 ? m_threads.threads : share.threads(),
                               m_threads.minBytesPerThread, m_opener};
    return decodeCurrentPage(index, threads);
}

void TiffPageSource::setDecodeThreads(const DecodeThreads& threads) {
    m_threads = threads;
}

Result<QImage> TiffPageSource::decodeWithPlan(const TiffPageLayout& layout, const DecodePlan& plan,
                                              const StripThreads& threads) {
    switch (plan.kind) {
    case PixelKind::ViaRgbaReader:
        return decodeViaRgbaReader(m_tiff, layout, m_limits);
    case PixelKind::Ranged:
        return decodeDeepPage(m_tiff, layout, plan, m_limits);
    default:
        return decodeNativePage(m_tiff, layout, plan, m_limits, threads);
    }
}

Result<QImage> TiffPageSource::decodeChecked(const TiffPageLayout& layout, const DecodePlan& plan,
                                             const StripThreads& threads) {
    m_tiff.clearError();
    Result<QImage> image = decodeWithPlan(layout, plan, threads);
    if (!image) {
        return image;
    }
    // Some decoders report damage and go on, leaving the rest of the strip
    // as it was; such a page is not what the file holds.
    if (!m_tiff.lastError().isEmpty()) {
        return Result<QImage>::failure(
            QStringLiteral("Page %1 cannot be decoded: the data is damaged (%2)")
                .arg(layout.pageNumber)
                .arg(m_tiff.lastError()));
    }
    for (const QString& warning : m_tiff.warnings()) {
        if (saysDataEndsEarly(warning, layout.compression)) {
            return Result<QImage>::failure(
                QStringLiteral("Page %1 cannot be decoded: the data ends early (%2)")
                    .arg(layout.pageNumber)
                    .arg(warning));
        }
    }
    return image;
}

// A page tagged Group 3 may really be modified Huffman (rows byte-aligned) or
// one-dimensional Group 3 without end-of-line codes. libtiff's Group 3
// decoder needs those codes, so such a page fails or decodes with warnings;
// the variant that decodes cleanly is the page.
Result<QImage> TiffPageSource::decodeFaxVariant(int index, const TiffPageLayout& layout,
                                                const DecodePlan& plan) {
    TIFF* tif = m_tiff.get();
    for (const int alignment : {FAXMODE_BYTEALIGN, 0}) {
        if (!goToPage(index) || TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTRLE) != 1 ||
            TIFFSetField(tif, TIFFTAG_FAXMODE, FAXMODE_NORTC | FAXMODE_NOEOL | alignment) != 1) {
            break;
        }
        // The compression set here is the handle's alone: read in order.
        Result<QImage> image = decodeChecked(layout, plan, {});
        if (image && m_tiff.warnings().isEmpty()) {
            return image;
        }
    }
    return Result<QImage>::failure(QStringLiteral("no variant of Group 3 fits"));
}

Result<QImage> TiffPageSource::decodeCurrentPage(int index, const StripThreads& threads) {
    TIFF* tif = m_tiff.get();
    const Result<TiffPageLayout> layout = readPageLayout(tif, index + 1);
    if (!layout) {
        return Result<QImage>::failure(layout.error());
    }
    const DecodePlan plan = choosePlan(tif, *layout);
    // A page too large is told so before anything about its data.
    if (Status fits = checkPageLimits(*layout, widestFormat(plan), m_limits); !fits) {
        return Result<QImage>::failure(fits.error());
    }
    if (Status stored = checkStoredData(tif, *layout); !stored) {
        return Result<QImage>::failure(stored.error());
    }
    Result<QImage> image = decodeChecked(*layout, plan, threads);
    if (layout->compression == COMPRESSION_CCITTFAX3 && plan.kind == PixelKind::Bilevel &&
        (!image || !m_tiff.warnings().isEmpty())) {
        // Otherwise the first outcome stands: its error, or the page libtiff
        // read with warnings only.
        if (Result<QImage> variant = decodeFaxVariant(index, *layout, plan); variant) {
            image = std::move(variant);
        }
    }
    if (!image) {
        return image;
    }
    setColourSpace(tif, *layout, *image);
    QImage upright = applyTiffOrientation(std::move(*image), layout->orientation);
    if (upright.isNull()) {
        return Result<QImage>::failure(
            QStringLiteral("Not enough memory to turn page %1 upright").arg(index + 1));
    }
    clearRowPadding(upright);
    setResolution(tif, layout->orientation >= ORIENTATION_LEFTTOP, upright);
    return upright;
}

qint64 TiffPageSource::pageByteSize(int index) {
    if (!goToPage(index)) {
        return -1;
    }
    TIFF* tif = m_tiff.get();
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t samples = 1;
    uint16_t bits = 1;
    if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) != 1) {
        return -1;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    const qint64 pixels = qint64(width) * qint64(height);
    if (samples <= 1 && bits <= 1) {
        return (pixels + 7) / 8;
    }
    // Pages are held as gray, or as three or four samples, of at most 16 bits.
    const qint64 bytesPerSample = bits > 8 ? 2 : 1;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    // A palette page is held as the colours it indexes.
    const qint64 heldSamples = photometric == PHOTOMETRIC_PALETTE ? 4
                               : samples <= 1                     ? 1
                                              : std::min<qint64>(4, std::max<qint64>(3, samples));
    return pixels * heldSamples * bytesPerSample;
}

TiffHandle* TiffPageSource::tiffDirectory(int index, QImage& attributes) {
    m_tiff.clearError();
    if (!goToPage(index)) {
        return nullptr;
    }
    TIFF* tif = m_tiff.get();
    const Result<TiffPageLayout> layout = readPageLayout(tif, index + 1);
    if (!layout) {
        return nullptr;
    }
    // A page the decoder would refuse is not copied either.
    const QImage::Format format = choosePlan(tif, *layout).format;
    if (!checkPageLimits(*layout, format, m_limits)) {
        return nullptr;
    }
    QImage carrier(1, 1, format);
    if (carrier.isNull()) {
        return nullptr;
    }
    setColourSpace(tif, *layout, carrier);
    setResolution(tif, layout->orientation >= ORIENTATION_LEFTTOP, carrier);
    attributes = carrier;
    return &m_tiff;
}
