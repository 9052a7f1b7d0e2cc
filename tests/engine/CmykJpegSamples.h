#pragma once

// CMYK pages for the ink tests: smooth inks, written losslessly by the test
// TIFF writer, or as one JPEG strip with or without the Adobe segment.
#include "support/TestTiff.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <tiffio.h>

namespace cmykjpeg {

inline constexpr uint32_t kWidth = 48;
inline constexpr uint32_t kHeight = 32;

// Smooth, so that JPEG keeps it close.
inline uint32_t inkSample(uint32_t x, uint32_t y, uint16_t s) {
    return (x * 3 + y * 2 + s * 50U) & 0xFFU;
}

inline TestTiffPage plainCmyk() {
    TestTiffPage page = cmykPage(kWidth, kHeight);
    page.sample = [](uint32_t x, uint32_t y, uint16_t s) { return inkSample(x, y, s); };
    return page;
}

enum class InkStore {
    AdobeInverted, // as writers that mark it with an Adobe segment: every ink inverted
    Plain,         // no Adobe segment, the inks as they are
};

// The inks of plainCmyk() as one CMYK JPEG stream.
inline std::vector<uint8_t> cmykJpeg(InkStore store) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    info.write_Adobe_marker = store == InkStore::AdobeInverted ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(kWidth * 4);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            for (uint16_t s = 0; s < 4; ++s) {
                const uint32_t ink = inkSample(x, y, s);
                row[x * 4 + s] =
                    static_cast<JSAMPLE>(store == InkStore::AdobeInverted ? 255 - ink : ink);
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> stream(out, out + size);
    std::free(out); // NOLINT(cppcoreguidelines-no-malloc): libjpeg's buffer
    return stream;
}

inline bool writeJpegStripTiff(const QString& path, const std::vector<uint8_t>& stream) {
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (tif == nullptr) {
        return false;
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kHeight);
    const bool written =
        TIFFWriteRawStrip(tif, 0, const_cast<uint8_t*>(stream.data()),
                          static_cast<tmsize_t>(stream.size())) == tmsize_t(stream.size());
    TIFFClose(tif);
    return written;
}

} // namespace cmykjpeg
