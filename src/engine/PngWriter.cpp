#include "engine/PngWriter.h"

#include "engine/CoreShare.h"
#include "engine/PagePixels.h"
#include "engine/PngStream.h"
#include "engine/WriterFile.h"

#include <QColorSpace>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include <png.h>

namespace {

// How the page's rows go into the file.
struct PngLayout {
    QImage pixels;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool stripFiller = false; // RGBX64 carries an unused fourth sample
    bool invertMono = false;  // 1-bit pages whose bit 0 is white
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
};

struct PngJob {
    const PngLayout* layout;
    int dotsPerMeterX;
    int dotsPerMeterY;
    const QByteArray* icc;
    std::FILE* file;
};

struct PngMessages {
    QString error;
};

void onPngError(png_structp png, png_const_charp message) {
    static_cast<PngMessages*>(png_get_error_ptr(png))->error = QString::fromUtf8(message);
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

struct WriteStructGuard {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteStructGuard() { png_destroy_write_struct(&png, &info); }
};

void setPalette(PngLayout& layout, QList<QRgb> table) {
    table.resize(std::min<qsizetype>(table.size(), 256));
    qsizetype lastTranslucent = -1;
    for (qsizetype i = 0; i < table.size(); ++i) {
        const QRgb c = table[i];
        layout.palette.push_back(png_color{static_cast<png_byte>(qRed(c)),
                                           static_cast<png_byte>(qGreen(c)),
                                           static_cast<png_byte>(qBlue(c))});
        if (qAlpha(c) != 255) {
            lastTranslucent = i;
        }
    }
    for (qsizetype i = 0; i <= lastTranslucent; ++i) {
        layout.paletteAlpha.push_back(static_cast<png_byte>(qAlpha(table[i])));
    }
}

PngLayout monoLayout(const QImage& page) {
    PngLayout layout;
    layout.pixels = page.convertToFormat(QImage::Format_Mono);
    layout.bitDepth = 1;
    const PagePixels::MonoTable table = PagePixels::monoTable(page);
    if (table == PagePixels::MonoTable::Coloured) {
        layout.colorType = PNG_COLOR_TYPE_PALETTE;
        setPalette(layout, PagePixels::completeTable(page));
    } else {
        layout.colorType = PNG_COLOR_TYPE_GRAY;
        layout.invertMono = table == PagePixels::MonoTable::ZeroIsWhite;
    }
    return layout;
}

PngLayout indexedLayout(const QImage& page) {
    PngLayout layout;
    layout.pixels = page;
    layout.colorType = PNG_COLOR_TYPE_PALETTE;
    setPalette(layout, PagePixels::completeTable(page));
    return layout;
}

PngLayout directLayout(const QImage& page, QImage::Format format) {
    PngLayout layout;
    const Result<QImage> pixels = PagePixels::converted(page, format);
    if (pixels) {
        layout.pixels = pixels.value();
    }
    switch (format) {
    case QImage::Format_Grayscale8:
        layout.colorType = PNG_COLOR_TYPE_GRAY;
        break;
    case QImage::Format_Grayscale16:
        layout.colorType = PNG_COLOR_TYPE_GRAY;
        layout.bitDepth = 16;
        break;
    case QImage::Format_RGBX64:
        layout.bitDepth = 16;
        layout.stripFiller = true;
        break;
    case QImage::Format_RGBA64:
        layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        layout.bitDepth = 16;
        break;
    case QImage::Format_RGBA8888:
        layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        break;
    default:
        break;
    }
    return layout;
}

PngLayout layoutFor(const QImage& page) {
    switch (page.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return monoLayout(page);
    case QImage::Format_Indexed8:
        return indexedLayout(page);
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return directLayout(page, page.format());
    default:
        return directLayout(page, PagePixels::directRgbFormat(page));
    }
}

void writeHeader(png_structp png, png_infop info, const PngJob& job) {
    const PngLayout& layout = *job.layout;
    png_set_IHDR(png, info, static_cast<png_uint_32>(layout.pixels.width()),
                 static_cast<png_uint_32>(layout.pixels.height()), layout.bitDepth,
                 layout.colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    if (!layout.palette.empty()) {
        png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
    }
    if (!layout.paletteAlpha.empty()) {
        png_set_tRNS(png, info, layout.paletteAlpha.data(),
                     static_cast<int>(layout.paletteAlpha.size()), nullptr);
    }
    if (job.dotsPerMeterX > 0 && job.dotsPerMeterY > 0) {
        png_set_pHYs(png, info, static_cast<png_uint_32>(job.dotsPerMeterX),
                     static_cast<png_uint_32>(job.dotsPerMeterY), PNG_RESOLUTION_METER);
    }
    if (!job.icc->isEmpty()) {
        // A profile libpng finds unfit for the page is dropped with a warning
        // (benign errors are on), not a failed write.
        png_set_iCCP(png, info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(job.icc->constData()),
                     static_cast<png_uint_32>(job.icc->size()));
    }
    png_write_info(png, info);
}

// Each function below that calls libpng holds no object with a destructor:
// libpng may longjmp back into it.
bool writeHead(png_structp png, png_infop info, const PngJob& job) {
    if (setjmp(png_jmpbuf(png)) != 0) { // NOLINT(cert-err52-cpp): libpng's only error path
        return false;
    }
    png_init_io(png, job.file);
    png_set_benign_errors(png, 1);
    writeHeader(png, info, job);
    return true;
}

bool writeChunk(png_structp png, const char* name, const std::uint8_t* data, size_t size) {
    if (setjmp(png_jmpbuf(png)) != 0) { // NOLINT(cert-err52-cpp): libpng's only error path
        return false;
    }
    png_write_chunk(png, reinterpret_cast<png_const_bytep>(name), data, size);
    return true;
}

bool writeImageData(png_structp png, const std::uint8_t* data, size_t size) {
    constexpr size_t kChunkBytes = size_t{1} << 20;
    for (size_t at = 0; at < size; at += kChunkBytes) {
        if (!writeChunk(png, "IDAT", data + at, std::min(kChunkBytes, size - at))) {
            return false;
        }
    }
    return true;
}

int channelsOf(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

// Row y's bytes as the file holds them: 16-bit samples big-endian, RGBX64's
// filler dropped, 1-bit pages whose bit 0 is white inverted.
void fillRow(const PngLayout& layout, size_t rowBytes, int y, std::uint8_t* out) {
    const uchar* in = layout.pixels.constScanLine(y);
    if (layout.bitDepth == 16) {
        const auto* samples = reinterpret_cast<const quint16*>(in);
        const size_t count = rowBytes / 2;
        if (layout.stripFiller) {
            for (size_t pixel = 0; pixel < count / 3; ++pixel) {
                for (size_t c = 0; c < 3; ++c) {
                    qToBigEndian(samples[pixel * 4 + c], out + 6 * pixel + 2 * c);
                }
            }
        } else {
            for (size_t i = 0; i < count; ++i) {
                qToBigEndian(samples[i], out + 2 * i);
            }
        }
        return;
    }
    if (layout.invertMono) {
        for (size_t i = 0; i < rowBytes; ++i) {
            out[i] = static_cast<std::uint8_t>(~in[i]);
        }
        return;
    }
    std::memcpy(out, in, rowBytes);
}

PngStream::Rows rowsOf(const PngLayout& layout) {
    const int channels = channelsOf(layout.colorType);
    const size_t bitsPerPixel =
        static_cast<size_t>(channels) * static_cast<size_t>(layout.bitDepth);
    const size_t rowBytes = (static_cast<size_t>(layout.pixels.width()) * bitsPerPixel + 7) / 8;
    PngStream::Rows rows;
    rows.height = layout.pixels.height();
    rows.rowBytes = rowBytes;
    rows.filterStep = std::max<int>(1, static_cast<int>(bitsPerPixel / 8));
    // Filters do not pay on palette indices or packed bits.
    rows.adaptive = layout.colorType != PNG_COLOR_TYPE_PALETTE && layout.bitDepth >= 8;
    rows.fill = [&layout, rowBytes](int y, std::uint8_t* out) {
        fillRow(layout, rowBytes, y, out);
    };
    return rows;
}

} // namespace

Status PngWriter::encode(const QImage& page, const QString& path, const WriteOptions&) const {
    if (Status notEmpty = PagePixels::checkNotEmpty(page); !notEmpty) {
        return notEmpty;
    }
    const PngLayout layout = layoutFor(page);
    if (layout.pixels.isNull()) {
        return Status::failure(QStringLiteral("Not enough memory to convert a %1 x %2 page")
                                   .arg(page.width())
                                   .arg(page.height()));
    }
    const QByteArray icc = page.colorSpace().iccProfile();
    Result<FilePointer> file = openForWriting(path);
    if (!file) {
        return Status::failure(file.error());
    }
    PngMessages messages;
    WriteStructGuard guard;
    guard.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &messages, onPngError, onPngWarning);
    if (guard.png != nullptr) {
        guard.info = png_create_info_struct(guard.png);
    }
    if (guard.info == nullptr) {
        return Status::failure(QStringLiteral("PNG: not enough memory"));
    }
    const bool resolution = hasResolution(page);
    const PngJob job{&layout, resolution ? page.dotsPerMeterX() : 0,
                     resolution ? page.dotsPerMeterY() : 0, &icc, file->get()};
    const auto libpngFailure = [&] {
        return encoderFailure(file->get(), path, QStringLiteral("PNG: %1").arg(messages.error));
    };
    if (!writeHead(guard.png, guard.info, job)) {
        return libpngFailure();
    }
    const CoreShare share;
    PngStream::Partition partition = m_partition;
    if (partition.threads <= 0) {
        partition.threads = share.threads();
    }
    bool written = true;
    const Status stream = PngStream::write(rowsOf(layout), compressionLevel(layout.bitDepth),
                                           partition, [&](const std::uint8_t* data, size_t size) {
                                               written = writeImageData(guard.png, data, size);
                                               return written;
                                           });
    if (!written) {
        return libpngFailure();
    }
    if (!stream) {
        return encoderFailure(file->get(), path, stream.error());
    }
    if (!writeChunk(guard.png, "IEND", nullptr, 0)) {
        return libpngFailure();
    }
    return closeAfterWriting(std::move(file).value(), path);
}
