#include "engine/OutputCompleteness.h"

#include "engine/OutputFormats.h"
#include "engine/PdfDocument.h"
#include "engine/TiffHandle.h"
#include "platform/NativePath.h"

#include <QFile>

#include <array>
#include <cstring>
#include <limits>

namespace {

constexpr std::array<char, 8> kPngSignature{'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
// A zero-length IEND chunk with its CRC.
constexpr std::array<char, 12> kPngEnd{0, 0, 0, 0, 'I', 'E', 'N', 'D', '\xae', 'B', '`', '\x82'};
constexpr qint64 kBmpHeaderBytes = 14 + 40;

// The first and the last bytes of a file, `count` of each at most.
struct FileEnds {
    qint64 size = 0;
    QByteArray head;
    QByteArray tail;
};

bool readEnds(const QString& path, qint64 count, FileEnds& ends) {
    const std::unique_ptr<QFile> file = NativePath::openForReading(path);
    if (!file) {
        return false;
    }
    ends.size = file->size();
    if (ends.size <= 0) {
        return false;
    }
    ends.head = file->read(count);
    const qint64 tailStart = qMax<qint64>(0, ends.size - count);
    if (!file->seek(tailStart)) {
        return false;
    }
    ends.tail = file->read(count);
    return ends.head.size() == qMin(count, ends.size) && ends.tail.size() == ends.head.size();
}

template <size_t N> bool startsWith(const QByteArray& bytes, const std::array<char, N>& prefix) {
    return bytes.size() >= qsizetype(N) && std::memcmp(bytes.constData(), prefix.data(), N) == 0;
}

template <size_t N> bool endsWith(const QByteArray& bytes, const std::array<char, N>& suffix) {
    return bytes.size() >= qsizetype(N) &&
           std::memcmp(bytes.constData() + bytes.size() - qsizetype(N), suffix.data(), N) == 0;
}

uint32_t littleEndian32(const QByteArray& bytes, qsizetype at) {
    uint32_t value = 0;
    for (qsizetype i = 3; i >= 0; --i) {
        value = value << 8 | uint8_t(bytes[at + i]);
    }
    return value;
}

bool isCompletePng(const QString& path) {
    FileEnds ends;
    return readEnds(path, kPngEnd.size(), ends) && ends.size >= 8 + 3 * 12 &&
           startsWith(ends.head, kPngSignature) && endsWith(ends.tail, kPngEnd);
}

bool isCompleteJpeg(const QString& path) {
    FileEnds ends;
    return readEnds(path, 2, ends) && ends.size >= 4 &&
           startsWith(ends.head, std::array<char, 2>{'\xff', '\xd8'}) &&
           endsWith(ends.tail, std::array<char, 2>{'\xff', '\xd9'});
}

bool isCompleteGif(const QString& path) {
    FileEnds ends;
    return readEnds(path, 6, ends) && ends.size > 13 &&
           (ends.head == QByteArrayLiteral("GIF87a") || ends.head == QByteArrayLiteral("GIF89a")) &&
           ends.tail.endsWith(';');
}

bool isCompleteBmp(const QString& path) {
    FileEnds ends;
    if (!readEnds(path, kBmpHeaderBytes, ends) || ends.size < kBmpHeaderBytes ||
        !ends.head.startsWith("BM")) {
        return false;
    }
    // The writer states the length up to what 32 bits hold.
    const qint64 stated = littleEndian32(ends.head, 2);
    const qint64 dataOffset = littleEndian32(ends.head, 10);
    const qint64 dataBytes = littleEndian32(ends.head, 34);
    const bool lengthMatches =
        stated == ends.size ||
        (stated == std::numeric_limits<uint32_t>::max() && ends.size > stated);
    return lengthMatches && dataOffset + dataBytes <= ends.size;
}

// Every strip or tile of the current directory lies inside the file.
bool dataInside(TIFF* tif, qint64 fileSize) {
    const uint32_t pieces =
        TIFFIsTiled(tif) != 0 ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (pieces == 0) {
        return false;
    }
    for (uint32_t i = 0; i < pieces; ++i) {
        const uint64_t offset = TIFFGetStrileOffset(tif, i);
        const uint64_t bytes = TIFFGetStrileByteCount(tif, i);
        if (offset == 0 || bytes == 0 || offset > uint64_t(fileSize) ||
            bytes > uint64_t(fileSize) - offset) {
            return false;
        }
    }
    return true;
}

bool isCompleteTiff(const QString& path, int pages) {
    const qint64 size = NativePath::fileSize(path);
    if (pages <= 0 || size <= 0 || !fileHasTiffSignature(path)) {
        return false;
    }
    Result<TiffHandle> tiff = TiffHandle::openFile(path, "rm");
    if (!tiff) {
        return false;
    }
    TIFF* tif = tiff->get();
    for (int read = 1;; ++read) {
        // What this program writes reads without a word from libtiff; a
        // warning means a change since, such as a strip's byte count that
        // libtiff guessed anew because the file ends before it.
        if (!tiff->warnings().isEmpty() || !dataInside(tif, size)) {
            return false;
        }
        if (TIFFLastDirectory(tif) != 0) {
            return read == pages;
        }
        if (read == pages || TIFFReadDirectory(tif) != 1) {
            return false;
        }
    }
}

} // namespace

bool isCompleteOutput(const QString& path, int outputType, int pages) {
    switch (outputType) {
    case OutputJpeg:
        return isCompleteJpeg(path);
    case OutputPng:
        return isCompletePng(path);
    case OutputTiff:
        return isCompleteTiff(path, pages);
    case OutputBmp:
        return isCompleteBmp(path);
    case OutputGif:
        return isCompleteGif(path);
    case OutputPdf:
        return isCompletePdfFile(path, pages);
    default:
        return false;
    }
}
