#include "engine/JpegWriter.h"

#include "engine/PagePixels.h"
#include "engine/WriterFile.h"

#include <QColorSpace>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include <jpeglib.h>

namespace {

struct JpegError {
    jpeg_error_mgr manager; // first, so libjpeg's pointer is also ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onFatalError(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1); // NOLINT(cert-err52-cpp): libjpeg errors must not return
}

// Warnings and trace messages would go to stderr.
void onMessage(j_common_ptr, int) {}

struct CompressorGuard {
    jpeg_compress_struct* info;
    ~CompressorGuard() { jpeg_destroy_compress(info); }
};

// The rows libjpeg takes, read straight from the page where its layout
// allows: a 1-bit page is expanded a byte (8 pixels) at a time through a
// table of gray levels, so no 8-bit copy of the page is made.
class JpegRows {
public:
    static Result<JpegRows> forPage(const QImage& page) {
        JpegRows rows;
        if (isGrayMono(page)) {
            rows.m_pixels = page.convertToFormat(QImage::Format_Mono);
            if (rows.m_pixels.isNull()) {
                return Result<JpegRows>::failure(
                    QStringLiteral("Not enough memory to convert a %1 x %2 page")
                        .arg(page.width())
                        .arg(page.height()));
            }
            rows.fillExpansion(PagePixels::completeTable(page));
            // Room for a whole last byte of pixels.
            rows.m_row.resize(static_cast<size_t>(page.width() + 7) / 8 * 8);
            return rows;
        }
        const Result<QImage> pixels = PagePixels::isGrayPage(page)
                                          ? PagePixels::toGray8OverWhite(page)
                                          : PagePixels::toRgb888Flattened(page);
        if (!pixels) {
            return Result<JpegRows>::failure(pixels.error());
        }
        rows.m_pixels = pixels.value();
        return rows;
    }

    int components() const { return m_pixels.format() == QImage::Format_RGB888 ? 3 : 1; }
    int width() const { return m_pixels.width(); }
    int height() const { return m_pixels.height(); }

    // Valid until the next call.
    const uchar* row(int y) {
        const uchar* line = m_pixels.constScanLine(y);
        if (m_row.empty()) {
            return line;
        }
        uchar* out = m_row.data();
        const int whole = m_pixels.width() / 8;
        for (int i = 0; i < whole; ++i, out += 8) {
            std::memcpy(out, m_expansion[line[i]].data(), 8);
        }
        // QImage leaves the bits past the last pixel undefined.
        if (const int rest = m_pixels.width() % 8; rest != 0) {
            std::memcpy(out, m_expansion[line[whole] & (0xFF00U >> rest)].data(), 8);
        }
        return m_row.data();
    }

private:
    static bool isGrayMono(const QImage& page) {
        return (page.format() == QImage::Format_Mono || page.format() == QImage::Format_MonoLSB) &&
               PagePixels::isGrayPage(page);
    }

    void fillExpansion(const QList<QRgb>& table) {
        const std::array<uchar, 2> level{static_cast<uchar>(qRed(PagePixels::overWhite(table[0]))),
                                         static_cast<uchar>(qRed(PagePixels::overWhite(table[1])))};
        for (size_t byte = 0; byte < m_expansion.size(); ++byte) {
            for (size_t bit = 0; bit < 8; ++bit) {
                m_expansion[byte][bit] = level[(byte >> (7 - bit)) & 1U];
            }
        }
    }

    QImage m_pixels; // Grayscale8, RGB888, or Format_Mono expanded row by row
    std::array<std::array<uchar, 8>, 256> m_expansion{};
    std::vector<uchar> m_row;
};

// Everything the compressor needs, prepared before setjmp so that a longjmp
// skips no destructor.
struct JpegJob {
    JpegRows* rows;
    int quality;
    bool fullChroma;
    int densityUnit; // 0: no resolution, 1: per inch, 2: per centimetre
    int densityX;
    int densityY;
    const QByteArray* icc;
    std::FILE* file;
};

int density(double value) {
    return std::clamp(static_cast<int>(std::lround(value)), 1, 65535);
}

// JFIF holds whole dots per inch or per centimetre: the unit the page states.
void setDensity(const QImage& page, JpegJob& job) {
    if (!hasResolution(page)) {
        job.densityUnit = 0;
        return;
    }
    const StatedResolution r = statedResolution(page);
    job.densityUnit = r.perCentimetre ? 2 : 1;
    job.densityX = density(r.x);
    job.densityY = density(r.y);
}

void setSampling(jpeg_compress_struct& info, bool fullChroma) {
    if (info.num_components != 3) {
        return;
    }
    const int luma = fullChroma ? 1 : 2;
    info.comp_info[0].h_samp_factor = luma;
    info.comp_info[0].v_samp_factor = luma;
    for (int c = 1; c < 3; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
}

// No object with a destructor lives in this frame: libjpeg may longjmp here.
bool compress(jpeg_compress_struct& info, JpegError& error, const JpegJob& job) {
    if (setjmp(error.jump) != 0) { // NOLINT(cert-err52-cpp): libjpeg's only error path
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, job.file);
    info.image_width = static_cast<JDIMENSION>(job.rows->width());
    info.image_height = static_cast<JDIMENSION>(job.rows->height());
    info.input_components = job.rows->components();
    info.in_color_space = job.rows->components() == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, job.quality, TRUE);
    setSampling(info, job.fullChroma);
    if (job.densityUnit != 0) {
        info.density_unit = static_cast<UINT8>(job.densityUnit);
        info.X_density = static_cast<UINT16>(job.densityX);
        info.Y_density = static_cast<UINT16>(job.densityY);
    }
    jpeg_start_compress(&info, TRUE);
    if (!job.icc->isEmpty()) {
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(job.icc->constData()),
                               static_cast<unsigned int>(job.icc->size()));
    }
    while (info.next_scanline < info.image_height) {
        // libjpeg reads the row only; the API just lacks const.
        JSAMPROW row = const_cast<uchar*>(job.rows->row(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

} // namespace

int jpegLibraryQuality(int quality) {
    const float factor = static_cast<float>(quality) / 10.0F;
    // Clamped before narrowing: a stored quality far out of range would wrap.
    return static_cast<int>(std::clamp(std::lround(factor * 100.0F), 1L, 100L));
}

bool jpegKeepsFullChroma(int quality) {
    return static_cast<float>(quality) / 10.0F >= 0.9F;
}

Status JpegWriter::encode(const QImage& page, const QString& path,
                          const WriteOptions& options) const {
    if (Status usable = PagePixels::checkNotEmpty(page); !usable) {
        return usable;
    }
    Result<JpegRows> rows = JpegRows::forPage(page);
    if (!rows) {
        return Status::failure(rows.error());
    }
    const QByteArray icc = page.colorSpace().iccProfile();
    Result<FilePointer> file = openForWriting(path);
    if (!file) {
        return Status::failure(file.error());
    }
    JpegJob job{&rows.value(),
                jpegLibraryQuality(options.jpegQuality),
                jpegKeepsFullChroma(options.jpegQuality),
                0,
                0,
                0,
                &icc,
                file->get()};
    setDensity(page, job);
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onFatalError;
    error.manager.emit_message = onMessage;
    const CompressorGuard guard{&info};
    if (!compress(info, error, job)) {
        return encoderFailure(
            file->get(), path,
            QStringLiteral("JPEG: %1").arg(QString::fromLocal8Bit(error.message)));
    }
    return closeAfterWriting(std::move(file).value(), path);
}
