#pragma once

#include "engine/PageSource.h"

#include <QFile>
#include <QImageReader>

// The images of a non-TIFF file (PNG, JPEG, BMP, GIF...) read through
// QImageReader, each normalised to one of the page source's native forms.
//
// Threads: one object is used by one thread at a time.
class QtPageSource final : public PageSource {
public:
    static Result<std::unique_ptr<PageSource>> create(const QString& path,
                                                      const DecodeLimits& limits);

    // Use create(): it checks that the file can be read.
    QtPageSource(QString path, int pageCount, const DecodeLimits& limits);

    int pageCount() const override;
    Result<QImage> readPage(int index) override;

private:
    void restartReader();
    Status moveTo(int index);

    QString m_path;
    int m_pageCount = 0;
    DecodeLimits m_limits;
    // Declared before the reader, which reads from it.
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QImageReader> m_reader;
    int m_nextIndex = 0; // image the reader delivers on its next read()
};

// The documented in-memory forms for an image QImageReader delivered in any
// other format (RGB32 -> RGB888, ARGB32 -> RGBA8888, premultiplied -> not).
QImage toPageForm(const QImage& image);
