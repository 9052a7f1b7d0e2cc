// A decoded page as one TIFF directory: its layout, tags and rows.
#include "engine/TiffDirectoryWriter.h"

#include "engine/OutputFormats.h"
#include "engine/PagePixels.h"
#include "engine/PageResolution.h"
#include "engine/TiffHandle.h"
#include "engine/TiffWriter.h"
#include "platform/AtomicFile.h"
#include "platform/NativePath.h"

#include <QColorSpace>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr tmsize_t kStripBytes = tmsize_t{64} * 1024;

// How the page's rows go into the directory.
struct TiffLayout {
    QImage pixels;
    uint16_t bitsPerSample = 8;
    uint16_t samplesPerPixel = 3;
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t compression = COMPRESSION_NONE;
    bool unassociatedAlpha = false;
    bool dropFourthSample = false;  // RGBX64 rows carry an unused sample
    std::vector<uint16_t> colormap; // red, green, blue; 1 << bitsPerSample each
};

// The fax codecs are the ones for black-and-white pages only.
bool isFax(uint16_t compression) {
    const auto schemes = tiffCompressions();
    return std::any_of(schemes.begin(), schemes.end(), [compression](const TiffCompression& c) {
        return c.tag == compression && c.bilevelOnly;
    });
}

void setColormap(TiffLayout& layout, const QList<QRgb>& table) {
    const size_t entries = size_t(1) << layout.bitsPerSample;
    layout.colormap.assign(entries * 3, 0);
    for (size_t i = 0; i < entries && i < static_cast<size_t>(table.size()); ++i) {
        const QRgb c = table[static_cast<qsizetype>(i)];
        // 8-bit levels spread over the 16-bit range: 255 -> 65535.
        layout.colormap[i] = static_cast<uint16_t>(qRed(c) * 257);
        layout.colormap[entries + i] = static_cast<uint16_t>(qGreen(c) * 257);
        layout.colormap[2 * entries + i] = static_cast<uint16_t>(qBlue(c) * 257);
    }
}

TiffLayout monoLayout(const QImage& page) {
    TiffLayout layout;
    layout.pixels = page.convertToFormat(QImage::Format_Mono);
    layout.bitsPerSample = 1;
    layout.samplesPerPixel = 1;
    switch (PagePixels::monoTable(page)) {
    case PagePixels::MonoTable::ZeroIsBlack:
        layout.photometric = PHOTOMETRIC_MINISBLACK;
        break;
    case PagePixels::MonoTable::ZeroIsWhite:
        layout.photometric = PHOTOMETRIC_MINISWHITE;
        break;
    case PagePixels::MonoTable::Coloured:
        layout.photometric = PHOTOMETRIC_PALETTE;
        setColormap(layout, PagePixels::completeTable(page));
        break;
    }
    return layout;
}

TiffLayout paletteLayout(const QImage& page) {
    TiffLayout layout;
    layout.pixels = page;
    layout.samplesPerPixel = 1;
    layout.photometric = PHOTOMETRIC_PALETTE;
    setColormap(layout, PagePixels::completeTable(page));
    return layout;
}

TiffLayout directLayout(const QImage& page, QImage::Format format) {
    TiffLayout layout;
    const Result<QImage> pixels = PagePixels::converted(page, format);
    if (pixels) {
        layout.pixels = pixels.value();
    }
    switch (format) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        layout.samplesPerPixel = 1;
        layout.photometric = PHOTOMETRIC_MINISBLACK;
        break;
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA64:
        layout.samplesPerPixel = 4;
        layout.unassociatedAlpha = true;
        break;
    case QImage::Format_RGBX64:
        layout.dropFourthSample = true;
        break;
    default:
        break;
    }
    layout.bitsPerSample =
        PagePixels::isDeep(layout.pixels) || format == QImage::Format_Grayscale16 ? 16 : 8;
    return layout;
}

TiffLayout layoutFor(const QImage& page, uint16_t compression) {
    if (isFax(compression)) {
        TiffLayout fax;
        fax.pixels = PagePixels::toBlackIsOne(page);
        if (!fax.pixels.isNull()) {
            fax.bitsPerSample = 1;
            fax.samplesPerPixel = 1;
            fax.photometric = PHOTOMETRIC_MINISWHITE;
            fax.compression = compression;
            return fax;
        }
        compression = COMPRESSION_NONE; // the fax codecs know black and white only
    }
    TiffLayout layout;
    const bool palette = page.format() == QImage::Format_Mono ||
                         page.format() == QImage::Format_MonoLSB ||
                         page.format() == QImage::Format_Indexed8;
    if (palette && PagePixels::tableHasAlpha(page.colorTable())) {
        layout = directLayout(page, QImage::Format_RGBA8888);
    } else if (page.format() == QImage::Format_Mono || page.format() == QImage::Format_MonoLSB) {
        layout = monoLayout(page);
    } else if (page.format() == QImage::Format_Indexed8) {
        layout = paletteLayout(page);
    } else if (page.format() == QImage::Format_Grayscale8 ||
               page.format() == QImage::Format_Grayscale16) {
        layout = directLayout(page, page.format());
    } else {
        layout = directLayout(page, PagePixels::directRgbFormat(page));
    }
    layout.compression = compression;
    return layout;
}

} // namespace

Status tiffWriteFailure(const TiffHandle& handle, int error, const QString& fallback) {
    if (error != 0) {
        return Status::failure(
            QStringLiteral("Cannot write “%1”: %2")
                .arg(NativePath::decode(TIFFFileName(handle.get())), errnoText(error)));
    }
    const QString reason = handle.lastError();
    return Status::failure(reason.isEmpty() ? fallback : QStringLiteral("TIFF: ") + reason);
}

bool setResolutionTags(TIFF* tif, const QImage& page) {
    if (!hasResolution(page)) {
        return true;
    }
    const StatedResolution r = statedResolution(page);
    return TIFFSetField(tif, TIFFTAG_XRESOLUTION, r.x) &&
           TIFFSetField(tif, TIFFTAG_YRESOLUTION, r.y) &&
           TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT,
                        r.perCentimetre ? RESUNIT_CENTIMETER : RESUNIT_INCH);
}

bool setProfileTag(TIFF* tif, const QImage& page) {
    const QByteArray icc = page.colorSpace().iccProfile();
    if (icc.isEmpty()) {
        return true;
    }
    return TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(icc.size()),
                        icc.constData()) != 0;
}

namespace {

class DirectoryWriter {
public:
    DirectoryWriter(TiffHandle& handle, const QImage& page, const TiffLayout& layout)
        : m_handle(handle), m_tif(handle.get()), m_page(page), m_layout(layout) {}

    Status write() {
        if (!setTags()) {
            return failure(QStringLiteral("Cannot describe the page"));
        }
        if (Status rows = writeRows(); !rows) {
            return rows;
        }
        errno = 0;
        if (TIFFWriteDirectory(m_tif) == 0) {
            return tiffWriteFailure(m_handle, errno, QStringLiteral("Cannot write the page"));
        }
        return {};
    }

private:
    Status failure(const QString& fallback) const {
        const QString reason = m_handle.lastError();
        return Status::failure(reason.isEmpty() ? fallback : QStringLiteral("TIFF: ") + reason);
    }

    bool setTags() {
        const QImage& pixels = m_layout.pixels;
        bool ok =
            TIFFSetField(m_tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(pixels.width())) &&
            TIFFSetField(m_tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(pixels.height())) &&
            TIFFSetField(m_tif, TIFFTAG_BITSPERSAMPLE, m_layout.bitsPerSample) &&
            TIFFSetField(m_tif, TIFFTAG_SAMPLESPERPIXEL, m_layout.samplesPerPixel) &&
            TIFFSetField(m_tif, TIFFTAG_PHOTOMETRIC, m_layout.photometric) &&
            TIFFSetField(m_tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(m_tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(m_tif, TIFFTAG_COMPRESSION, m_layout.compression);
        if (ok && m_layout.unassociatedAlpha) {
            const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
            ok = TIFFSetField(m_tif, TIFFTAG_EXTRASAMPLES, uint16_t(1), &extra);
        }
        if (ok && !m_layout.colormap.empty()) {
            const size_t entries = m_layout.colormap.size() / 3;
            const uint16_t* red = m_layout.colormap.data();
            ok = TIFFSetField(m_tif, TIFFTAG_COLORMAP, red, red + entries, red + 2 * entries);
        }
        // The predictor helps sampled data; palette indices are no gradients.
        if (ok && m_layout.compression == COMPRESSION_LZW && m_layout.bitsPerSample >= 8 &&
            m_layout.photometric != PHOTOMETRIC_PALETTE) {
            ok = TIFFSetField(m_tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        }
        return ok && setRowsPerStrip() && setResolutionTags(m_tif, m_page) &&
               setProfileTag(m_tif, m_page);
    }

    bool setRowsPerStrip() {
        // A fax page is one strip; other strips are about 64 KiB.
        uint32_t rows = static_cast<uint32_t>(m_layout.pixels.height());
        if (!isFax(m_layout.compression)) {
            const tmsize_t rowBytes = std::max<tmsize_t>(1, TIFFScanlineSize(m_tif));
            rows = static_cast<uint32_t>(std::clamp<tmsize_t>(kStripBytes / rowBytes, 1, rows));
        }
        return TIFFSetField(m_tif, TIFFTAG_ROWSPERSTRIP, rows) != 0;
    }

    Status writeRows() {
        const QImage& pixels = m_layout.pixels;
        const tmsize_t rowBytes = TIFFScanlineSize(m_tif);
        if (rowBytes <= 0) {
            return failure(QStringLiteral("Cannot size the rows of the page"));
        }
        // The encoders (the predictor at least) change the row they are given.
        std::vector<uchar> row(static_cast<size_t>(rowBytes));
        for (int y = 0; y < pixels.height(); ++y) {
            fillRow(pixels.constScanLine(y), row);
            errno = 0;
            if (TIFFWriteScanline(m_tif, row.data(), static_cast<uint32_t>(y), 0) < 0) {
                return tiffWriteFailure(m_handle, errno,
                                        QStringLiteral("Cannot write row %1").arg(y));
            }
        }
        return {};
    }

    void fillRow(const uchar* source, std::vector<uchar>& row) const {
        if (!m_layout.dropFourthSample) {
            std::memcpy(row.data(), source, row.size());
            if (m_layout.pixels.depth() == 1) {
                PagePixels::clearBitsPastLastPixel(row.data(), m_layout.pixels.width());
            }
            return;
        }
        constexpr size_t kSampleBytes = sizeof(uint16_t);
        for (size_t x = 0; x < static_cast<size_t>(m_layout.pixels.width()); ++x) {
            std::memcpy(row.data() + x * 3 * kSampleBytes, source + x * 4 * kSampleBytes,
                        3 * kSampleBytes);
        }
    }

    TiffHandle& m_handle;
    TIFF* m_tif;
    const QImage& m_page;
    const TiffLayout& m_layout;
};

} // namespace

Status writeDirectory(TiffHandle& handle, const QImage& page, int compressionIndex) {
    if (Status notEmpty = PagePixels::checkNotEmpty(page); !notEmpty) {
        return notEmpty;
    }
    const TiffLayout layout =
        layoutFor(page, static_cast<uint16_t>(tiffCompressionTag(compressionIndex)));
    if (layout.pixels.isNull()) {
        return Status::failure(QStringLiteral("Not enough memory to convert a %1 x %2 page")
                                   .arg(page.width())
                                   .arg(page.height()));
    }
    return DirectoryWriter(handle, page, layout).write();
}
