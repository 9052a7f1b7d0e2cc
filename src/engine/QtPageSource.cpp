#include "engine/QtPageSource.h"

#include "platform/NativePath.h"

#include <algorithm>

namespace {

void configure(QImageReader& reader, const DecodeLimits& limits) {
    constexpr qint64 kMegabyte = qint64(1) << 20;
    const qint64 megabytes = std::max<qint64>(1, (limits.maxBytes + kMegabyte - 1) / kMegabyte);
    reader.setAllocationLimit(static_cast<int>(std::min<qint64>(megabytes, INT_MAX)));
    reader.setAutoTransform(true); // upright, as TIFF pages are
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
    configure(reader, limits);
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
    configure(*m_reader, m_limits);
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
