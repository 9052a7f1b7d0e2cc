#include "WriterReadBack.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

FilePointer openForReading(const QString& path) {
    return FilePointer(std::fopen(QFile::encodeName(path).constData(), "rb"));
}

void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

bool readPngHeader(png_structp png, png_infop info, std::FILE* file, PngFacts& facts) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    facts.bitDepth = png_get_bit_depth(png, info);
    facts.colorType = png_get_color_type(png, info);
    facts.hasTransparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_uint_32 x = 0;
    png_uint_32 y = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit) != 0) {
        facts.hasPhys = true;
        facts.physX = x;
        facts.physY = y;
        facts.physUnit = unit;
    }
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) != 0) {
        facts.icc =
            QByteArray(reinterpret_cast<const char*>(profile), static_cast<qsizetype>(length));
    }
    return true;
}

struct JpegTestError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void jpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegTestError*>(info->err)->jump, 1);
}
void jpegMessage(j_common_ptr, int) {}

bool decodeJpeg(jpeg_decompress_struct& info, std::FILE* file, JpegFacts& facts) {
    if (setjmp(reinterpret_cast<JpegTestError*>(info.err)->jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    facts.components = info.num_components;
    facts.lumaHorizontalSampling = info.comp_info[0].h_samp_factor;
    facts.lumaVerticalSampling = info.comp_info[0].v_samp_factor;
    facts.firstLumaQuantizer = info.quant_tbl_ptrs[0]->quantval[0];
    facts.densityUnit = info.density_unit;
    facts.densityX = info.X_density;
    facts.densityY = info.Y_density;
    JOCTET* icc = nullptr;
    unsigned int iccLength = 0;
    if (jpeg_read_icc_profile(&info, &icc, &iccLength)) {
        facts.icc =
            QByteArray(reinterpret_cast<const char*>(icc), static_cast<qsizetype>(iccLength));
        std::free(icc);
    }
    jpeg_start_decompress(&info);
    facts.pixels =
        QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
               info.output_components == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = facts.pixels.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

QRgba64 tiffSample(const TiffPageFacts& f, const std::vector<uint8_t>& row, uint32_t x,
                   const uint16_t* red, const uint16_t* green, const uint16_t* blue) {
    const auto sample = [&](uint32_t s) -> uint16_t {
        const size_t i = static_cast<size_t>(x) * f.samplesPerPixel + s;
        if (f.bitsPerSample == 16) {
            return reinterpret_cast<const uint16_t*>(row.data())[i];
        }
        return static_cast<uint16_t>(row[i] * 257);
    };
    if (f.bitsPerSample == 1) {
        const bool bit = ((row[x >> 3] >> (7 - (x & 7))) & 1) != 0;
        if (f.photometric == PHOTOMETRIC_PALETTE) {
            return qRgba64(red[bit], green[bit], blue[bit], 65535);
        }
        const bool white = f.photometric == PHOTOMETRIC_MINISBLACK ? bit : !bit;
        const uint16_t level = white ? 65535 : 0;
        return qRgba64(level, level, level, 65535);
    }
    if (f.photometric == PHOTOMETRIC_PALETTE) {
        const uint8_t index = row[x];
        return qRgba64(red[index], green[index], blue[index], 65535);
    }
    if (f.samplesPerPixel == 1) {
        const uint16_t level = sample(0);
        return qRgba64(level, level, level, 65535);
    }
    return qRgba64(sample(0), sample(1), sample(2), f.samplesPerPixel == 4 ? sample(3) : 65535);
}

TiffPageFacts readDirectory(TIFF* tif) {
    TiffPageFacts f;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &f.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &f.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &f.bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &f.samplesPerPixel);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &f.photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &f.compression);
    if (TIFFGetField(tif, TIFFTAG_PREDICTOR, &f.predictor) == 0) {
        f.predictor = PREDICTOR_NONE;
    }
    f.strips = TIFFNumberOfStrips(tif);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &f.rowsPerStrip);
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) != 0) {
        f.extraSamples.assign(extra, extra + extraCount);
    }
    f.hasResolution = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &f.xResolution) != 0 &&
                      TIFFGetField(tif, TIFFTAG_YRESOLUTION, &f.yResolution) != 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &f.resolutionUnit);
    uint32_t iccLength = 0;
    void* icc = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccLength, &icc) != 0) {
        f.icc = QByteArray(static_cast<const char*>(icc), static_cast<qsizetype>(iccLength));
    }
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (f.photometric == PHOTOMETRIC_PALETTE) {
        TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue);
    }
    f.pixels = QImage(static_cast<int>(f.width), static_cast<int>(f.height), QImage::Format_RGBA64);
    std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif)));
    for (uint32_t y = 0; y < f.height; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) < 0) {
            f.pixels = QImage();
            return f;
        }
        auto* out = reinterpret_cast<QRgba64*>(f.pixels.scanLine(static_cast<int>(y)));
        for (uint32_t x = 0; x < f.width; ++x) {
            out[x] = tiffSample(f, row, x, red, green, blue);
        }
    }
    return f;
}

int tiffQuietError(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

} // namespace

PngFacts readPngFacts(const QString& path) {
    PngFacts facts;
    FilePointer file = openForReading(path);
    if (!file) {
        return facts;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    png_infop info = png_create_info_struct(png);
    facts.valid = readPngHeader(png, info, file.get(), facts);
    png_destroy_read_struct(&png, &info, nullptr);
    return facts;
}

JpegFacts readJpegFacts(const QString& path) {
    JpegFacts facts;
    FilePointer file = openForReading(path);
    if (!file) {
        return facts;
    }
    jpeg_decompress_struct info{};
    JpegTestError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegError;
    error.manager.emit_message = jpegMessage;
    facts.valid = decodeJpeg(info, file.get(), facts);
    jpeg_destroy_decompress(&info);
    return facts;
}

QImage GifContent::pixels() const {
    QImage image(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int index = indices[static_cast<size_t>(y * width + x)];
            const QRgb c = palette.value(index);
            image.setPixel(x, y,
                           index == transparentIndex ? qRgba(qRed(c), qGreen(c), qBlue(c), 0) : c);
        }
    }
    return image;
}

GifContent readGif(const QString& path) {
    GifContent content;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(QFile::encodeName(path).constData(), &error);
    if (gif == nullptr) {
        return content;
    }
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount >= 1 && gif->SColorMap != nullptr) {
        content.valid = true;
        content.width = gif->SWidth;
        content.height = gif->SHeight;
        content.paletteSize = gif->SColorMap->ColorCount;
        for (int i = 0; i < content.paletteSize; ++i) {
            const GifColorType& c = gif->SColorMap->Colors[i];
            content.palette.append(qRgb(c.Red, c.Green, c.Blue));
        }
        const SavedImage& image = gif->SavedImages[0];
        content.indices.assign(image.RasterBits,
                               image.RasterBits + static_cast<size_t>(content.width) *
                                                      static_cast<size_t>(content.height));
        GraphicsControlBlock control{};
        if (DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK) {
            content.transparentIndex = control.TransparentColor;
        }
    }
    DGifCloseFile(gif, &error);
    return content;
}

std::vector<TiffPageFacts> readTiff(const QString& path) {
    std::vector<TiffPageFacts> pages;
    std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), tiffQuietError, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), tiffQuietError, nullptr);
    const std::unique_ptr<TIFF, TiffCloser> tif(
        TIFFOpenExt(QFile::encodeName(path).constData(), "r", options.get()));
    if (!tif) {
        return pages;
    }
    do {
        pages.push_back(readDirectory(tif.get()));
    } while (TIFFReadDirectory(tif.get()) != 0);
    return pages;
}

BmpHeader readBmpHeader(const QString& path) {
    BmpHeader header;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return header;
    }
    const QByteArray bytes = file.read(50);
    if (bytes.size() < 50 || !bytes.startsWith("BM")) {
        return header;
    }
    const auto littleEndian = [&](int offset, int size) {
        uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i) {
            value = (value << 8) | static_cast<uchar>(bytes[offset + i]);
        }
        return value;
    };
    header.valid = true;
    header.bitsPerPixel = static_cast<int>(littleEndian(28, 2));
    header.xPixelsPerMetre = static_cast<int32_t>(littleEndian(38, 4));
    header.yPixelsPerMetre = static_cast<int32_t>(littleEndian(42, 4));
    header.fileSize = littleEndian(2, 4);
    header.dataOffset = littleEndian(10, 4);
    header.coloursUsed = static_cast<int>(littleEndian(46, 4));
    return header;
}

double psnr(const QImage& expected, const QImage& actual) {
    const QImage a = expected.convertToFormat(QImage::Format_RGB888);
    const QImage b = actual.convertToFormat(QImage::Format_RGB888);
    if (a.size() != b.size()) {
        return 0;
    }
    double squares = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int i = 0; i < a.width() * 3; ++i) {
            const double d = p[i] - q[i];
            squares += d * d;
        }
    }
    const double mse = squares / (3.0 * a.width() * a.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::string firstDifference(const QImage& expected, const QImage& actual) {
    if (expected.size() != actual.size()) {
        return "size " + std::to_string(actual.width()) + "x" + std::to_string(actual.height());
    }
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QRgba64 e = expected.pixelColor(x, y).rgba64();
            const QRgba64 a = actual.pixelColor(x, y).rgba64();
            if (e.alpha() == 0 && a.alpha() == 0) {
                continue;
            }
            if (e != a) {
                return QStringLiteral("(%1,%2): expected %3 got %4")
                    .arg(x)
                    .arg(y)
                    .arg(quint64(e), 16, 16, QLatin1Char('0'))
                    .arg(quint64(a), 16, 16, QLatin1Char('0'))
                    .toStdString();
            }
        }
    }
    return {};
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}
