// Writes each source TIFF into one multi-page TIFF the way a conversion does,
// copying the compressed strips of every page that allows it and decoding the
// rest, so that the strip copy can be timed before the job calls it.
//
//   pictavo_bench_tiff_copy [--decode] COMPRESSION OUTPUT_DIR SOURCE.tif...
//
// COMPRESSION is a --compression value (none, g3, g4, lzw, packbits);
// --decode decodes every page, as the job does today.
#include "engine/OutputFormats.h"
#include "engine/PageSource.h"
#include "engine/TiffWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

int compressionIndexOf(const char* name) {
    for (const TiffCompression& c : tiffCompressions()) {
        if (std::strcmp(c.cliName, name) == 0) {
            return c.index;
        }
    }
    return -1;
}

// Pages copied, or -1 on failure.
int convert(const QString& sourcePath, const QString& outputPath, int compression, bool decode) {
    Result<std::unique_ptr<PageSource>> source = PageSource::open(sourcePath);
    if (!source) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(sourcePath), qPrintable(source.error()));
        return -1;
    }
    TiffPageEncoder encoder(outputPath);
    int copied = 0;
    for (int index = 0; index < source.value()->pageCount(); ++index) {
        if (!decode) {
            const Result<bool> copy = encoder.appendCopiedPage(*source.value(), index, compression);
            if (!copy) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(outputPath), qPrintable(copy.error()));
                return -1;
            }
            if (copy.value()) {
                ++copied;
                continue;
            }
        }
        const Result<QImage> page = source.value()->readPage(index);
        const Status appended =
            page ? encoder.appendPage(page.value(), compression) : Status::failure(page.error());
        if (!appended) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(outputPath), qPrintable(appended.error()));
            return -1;
        }
    }
    if (const Status finished = encoder.finish(); !finished) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(outputPath), qPrintable(finished.error()));
        return -1;
    }
    return copied;
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    int first = 1;
    const bool decode = argc > 1 && std::strcmp(argv[1], "--decode") == 0;
    first += decode ? 1 : 0;
    if (argc - first < 3 || compressionIndexOf(argv[first]) < 0) {
        std::fprintf(stderr, "usage: %s [--decode] COMPRESSION OUTPUT_DIR SOURCE.tif...\n",
                     argv[0]);
        return 2;
    }
    const int compression = compressionIndexOf(argv[first]);
    const QDir output(QString::fromLocal8Bit(argv[first + 1]));
    for (int i = first + 2; i < argc; ++i) {
        const QString sourcePath = QString::fromLocal8Bit(argv[i]);
        const QString outputPath =
            output.filePath(QFileInfo(sourcePath).completeBaseName() + QStringLiteral(".tiff"));
        const int copied = convert(sourcePath, outputPath, compression, decode);
        if (copied < 0) {
            return 1;
        }
        std::printf("%s: %d pages copied\n", qPrintable(outputPath), copied);
    }
    return 0;
}
