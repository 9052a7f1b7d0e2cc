// libFuzzer target: a TIFF from memory, every page decoded under low limits
// and offered to the strip copier of TIFF output for every compression, then
// gathered into a PDF, which reads the stored strips (fax, JPEG markers,
// Deflate and LZW data) and the samples libtiff decodes.
// Built with the "fuzz" preset (clang, PICTAVO_FUZZ) and run by
// scripts/fuzz.sh on the files the tests make; CI runs it after the tests.
#include "engine/OutputFormats.h"
#include "engine/PageSource.h"
#include "engine/PageTask.h"
#include "engine/TiffWriter.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

class Channel final : public TaskChannel {
public:
    void publish(PageResult /*page*/) override {}
    bool mayContinue() override { return true; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QTemporaryDir folder;
    const QString copy = QDir(folder.path()).filePath(QStringLiteral("copy.tiff"));
    const QString pdf = QDir(folder.path()).filePath(QStringLiteral("pages.pdf"));
    DecodeLimits limits;
    limits.maxPixels = 1 << 20;
    limits.maxBytes = 16 << 20;
    limits.maxPages = 16;
    auto source = PageSource::openTiffData(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), limits);
    if (!source) {
        return 0;
    }
    for (int i = 0; i < (*source)->pageCount(); ++i) {
        const Result<QImage> page = (*source)->readPage(i);
        static_cast<void>(page);
        // Most compressions refuse at once; the one the page has reads its
        // strips, which is what this is for.
        for (const TiffCompression& compression : tiffCompressions()) {
            static_cast<void>(copyTiffPageToFile(**source, i, copy, compression.index));
        }
    }
    QList<int> pages;
    for (int n = 1; n <= (*source)->pageCount(); ++n) {
        pages.append(n);
    }
    Channel channel;
    static_cast<void>(gatherIntoPdf(pdf, pages, **source, limits, QStringLiteral("fuzz"), channel));
    return 0;
}
