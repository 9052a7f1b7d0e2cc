#include "RawTiff.h"

#include <QtEndian>

#include <algorithm>

#include <tiffio.h>

namespace {

constexpr uint32_t kHeaderBytes = 8;
constexpr uint32_t kEntryBytes = 12;

} // namespace

void putShort(QByteArray& out, uint16_t v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void putLong(QByteArray& out, uint32_t v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

uint32_t RawTiff::addData(const QByteArray& bytes) {
    const auto at = static_cast<uint32_t>(kHeaderBytes + m_data.size());
    m_data += bytes;
    return at;
}

void RawTiff::set(uint16_t tag, uint16_t type, std::vector<uint32_t> values) {
    m_fields[tag] = Field{type, std::move(values)};
}

uint32_t RawTiff::directoryOffset() const {
    return static_cast<uint32_t>(kHeaderBytes + m_data.size());
}

QByteArray RawTiff::bytes() const {
    QByteArray out("II*\0", 4);
    putLong(out, directoryOffset());
    out += m_data;
    const auto entries = static_cast<uint32_t>(m_fields.size());
    uint32_t arrays = directoryOffset() + 2 + entries * kEntryBytes + 4;
    QByteArray spilled;
    putShort(out, static_cast<uint16_t>(entries));
    for (const auto& [tag, field] : m_fields) {
        QByteArray values;
        for (const uint32_t v : field.values) {
            field.type == kShort ? putShort(values, static_cast<uint16_t>(v)) : putLong(values, v);
        }
        putShort(out, tag);
        putShort(out, field.type);
        putLong(out, static_cast<uint32_t>(field.values.size()));
        if (values.size() <= 4) {
            out += values.leftJustified(4, '\0');
        } else {
            putLong(out, arrays + static_cast<uint32_t>(spilled.size()));
            spilled += values;
        }
    }
    putLong(out, 0);
    return out + spilled;
}

uint8_t RawStrips::sample(uint32_t x, uint32_t y, uint16_t s) const {
    return sampleAt != nullptr ? sampleAt(x, y, s)
                               : static_cast<uint8_t>((x * 37U + y * 11U + s * 80U) % 256U);
}

std::vector<QByteArray> RawStrips::strips() const {
    std::vector<QByteArray> out;
    const uint16_t planes = planar ? samples : 1;
    const uint32_t blockWidth = tileSide > 0 ? tileSide : width;
    const uint32_t blockHeight = tileSide > 0 ? tileSide : rowsPerStrip;
    for (uint16_t plane = 0; plane < planes; ++plane) {
        for (uint32_t y0 = 0; y0 < height; y0 += blockHeight) {
            for (uint32_t x0 = 0; x0 < width; x0 += blockWidth) {
                QByteArray block;
                const uint32_t rows =
                    tileSide > 0 ? blockHeight : std::min(height - y0, blockHeight);
                for (uint32_t y = y0; y < y0 + rows; ++y) {
                    for (uint32_t x = x0; x < x0 + blockWidth; ++x) {
                        for (uint16_t s = 0; s < samples; ++s) {
                            if (!planar || s == plane) {
                                const bool inside = x < width && y < height;
                                block.append(static_cast<char>(inside ? sample(x, y, s) : 0));
                            }
                        }
                    }
                }
                out.push_back(block);
            }
        }
    }
    return out;
}

RawStripsFile rawStripsFile(const RawStrips& page) {
    RawStripsFile file;
    file.strips = page.strips();
    RawTiff& t = file.tiff;
    t.set(TIFFTAG_IMAGEWIDTH, RawTiff::kLong, {page.width});
    t.set(TIFFTAG_IMAGELENGTH, RawTiff::kLong, {page.height});
    t.set(TIFFTAG_BITSPERSAMPLE, RawTiff::kShort, std::vector<uint32_t>(page.samples, 8));
    t.set(TIFFTAG_COMPRESSION, RawTiff::kShort, {COMPRESSION_NONE});
    t.set(TIFFTAG_PHOTOMETRIC, RawTiff::kShort,
          {page.samples >= 3 ? uint32_t(PHOTOMETRIC_RGB) : uint32_t(PHOTOMETRIC_MINISBLACK)});
    t.set(TIFFTAG_SAMPLESPERPIXEL, RawTiff::kShort, {page.samples});
    file.tiled = page.tileSide > 0;
    if (file.tiled) {
        t.set(TIFFTAG_TILEWIDTH, RawTiff::kLong, {page.tileSide});
        t.set(TIFFTAG_TILELENGTH, RawTiff::kLong, {page.tileSide});
    } else {
        t.set(TIFFTAG_ROWSPERSTRIP, RawTiff::kLong, {page.rowsPerStrip});
    }
    t.set(TIFFTAG_PLANARCONFIG, RawTiff::kShort,
          {page.planar ? uint32_t(PLANARCONFIG_SEPARATE) : uint32_t(PLANARCONFIG_CONTIG)});
    return file;
}

void layOut(RawStripsFile& file) {
    for (const QByteArray& strip : file.strips) {
        file.offsets.push_back(file.tiff.addData(strip));
        file.counts.push_back(static_cast<uint32_t>(strip.size()));
    }
}

QByteArray finish(RawStripsFile& file) {
    file.tiff.set(file.tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, RawTiff::kLong,
                  file.offsets);
    file.tiff.set(file.tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, RawTiff::kLong,
                  file.counts);
    return file.tiff.bytes();
}
