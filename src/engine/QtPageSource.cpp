#include "engine/QtPageSource.h"

#include "platform/NativePath.h"

#include <algorithm>

namespace {

// QImageReader's allocation limit is one value for the whole process, read by
// every decoding thread: it is set once, before the first reader, to what the
// default limits allow. A source's own limits are checked in checkSize().
void setAllocationLimitOnce() {
    static const bool set = [] {
        constexpr qint64 kMegabyte = qint64(1) << 20;
        const qint64 megabytes = (DecodeLimits{}.maxBytes + kMegabyte - 1) / kMegabyte;
        QImageReader::setAllocationLimit(static_cast<int>(std::min<qint64>(megabytes, INT_MAX)));
        return true;
    }();
    (void)set;
}

void configure(QImageReader& reader) {
    setAllocationLimitOnce();
    reader.setAutoTransform(true); // upright, as TIFF pages are
}

// Readers that cannot tell the size or format before decoding are held by Qt's
// limit only.
Status checkSize(const QImageReader& reader, const DecodeLimits& limits, int index) {
    const QSize size = reader.size();
    if (!size.isValid()) {
        return {};
    }
    const qint64 pixels = qint64(size.width()) * size.height();
    const QImage::Format format = reader.imageFormat();
    const qint64 bits =
        format == QImage::Format_Invalid ? 0 : QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytes = (qint64(size.width()) * bits + 31) / 32 * 4 * size.height();
    if (pixels > limits.maxPixels || bytes > limits.maxBytes) {
        return Status::failure(
            QStringLiteral(
                "Page %1 is %2 x %3 pixels, more than the limit of %4 pixels or %5 bytes")
                .arg(index + 1)
                .arg(size.width())
                .arg(size.height())
                .arg(limits.maxPixels)
                .arg(limits.maxBytes));
    }
    return {};
}

QString readerFailure(const QImageReader& reader, int index) {
    return QStringLiteral("Page %1 cannot be read: %2").arg(index + 1).arg(reader.errorString());
}

} // namespace

QImage toPageForm(const QImage& image) {
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
    case QImage::Format_Indexed8:
    case QImage::Format_RGB888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
        return image;
    case QImage::Format_MonoLSB:
        return image.convertToFormat(QImage::Format_Mono);
    default:
        break;
    }
    if (image.depth() > 32) {
        return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_RGBA64
                                                             : QImage::Format_RGBX64);
    }
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_RGBA8888
                                                         : QImage::Format_RGB888);
}

Result<std::unique_ptr<PageSource>> QtPageSource::create(const QString& path,
                                                         const DecodeLimits& limits) {
    using R = Result<std::unique_ptr<PageSource>>;
    const std::unique_ptr<QFile> file = NativePath::openForReading(path);
    QImageReader reader(file.get());
    configure(reader);
    if (!reader.canRead()) {
        return R::failure(QStringLiteral("Not a TIFF file and no image reader for it"));
    }
    // Formats without several images report 0 or 1.
    const int count = std::clamp(reader.imageCount(), 1, std::max(1, limits.maxPages));
    return R(std::make_unique<QtPageSource>(path, count, limits));
}

QtPageSource::QtPageSource(QString path, int pageCount, const DecodeLimits& limits)
    : m_path(std::move(path)), m_pageCount(pageCount), m_limits(limits) {}

int QtPageSource::pageCount() const {
    return m_pageCount;
}

void QtPageSource::restartReader() {
    m_reader.reset();
    m_file = NativePath::openForReading(m_path);
    m_reader = std::make_unique<QImageReader>(m_file.get());
    configure(*m_reader);
    m_nextIndex = 0;
}

// Readers of sequential formats cannot jump back; start again and skip.
Status QtPageSource::moveTo(int index) {
    if (!m_reader || index < m_nextIndex) {
        restartReader();
    }
    if (index == m_nextIndex) {
        return {};
    }
    if (m_reader->jumpToImage(index)) {
        m_nextIndex = index;
        return {};
    }
    while (m_nextIndex < index) {
        if (m_reader->read().isNull()) {
            const QString text = readerFailure(*m_reader, m_nextIndex);
            m_reader.reset();
            return Status::failure(text);
        }
        ++m_nextIndex;
    }
    return {};
}

Result<QImage> QtPageSource::readPage(int index) {
    if (index < 0 || index >= m_pageCount) {
        return Result<QImage>::failure(QStringLiteral("Page %1 does not exist; the file has %2")
                                           .arg(index + 1)
                                           .arg(m_pageCount == 1
                                                    ? QStringLiteral("1 page")
                                                    : QStringLiteral("%1 pages").arg(m_pageCount)));
    }
    if (Status moved = moveTo(index); !moved) {
        return Result<QImage>::failure(moved.error());
    }
    if (Status fits = checkSize(*m_reader, m_limits, index); !fits) {
        return Result<QImage>::failure(fits.error());
    }
    QImage image = m_reader->read();
    if (image.isNull()) {
        const QString text = readerFailure(*m_reader, index);
        m_reader.reset();
        return Result<QImage>::failure(text);
    }
    ++m_nextIndex;
    QImage page = toPageForm(image);
    if (page.isNull()) {
        return Result<QImage>::failure(
            QStringLiteral("Not enough memory for page %1").arg(index + 1));
    }
    return page;
}
