#pragma once

#include <QByteArray>

#include <cstdint>
#include <map>
#include <vector>

// Appends `v` in little-endian order, as a classic TIFF of "II" stores it.
void putShort(QByteArray& out, uint16_t v);
void putLong(QByteArray& out, uint32_t v);

// A classic little-endian TIFF of one directory, put together field by field,
// so that a test can store what libtiff's writer would refuse: offsets into
// the header, arrays of the wrong length, strips that overlap. Data comes
// right after the header, in the order it was added; then the directory, then
// the arrays that do not fit in it.
class RawTiff {
public:
    static constexpr uint16_t kShort = 3;
    static constexpr uint16_t kLong = 4;

    // Appends `bytes` (unpadded) and returns where they start.
    uint32_t addData(const QByteArray& bytes);
    void set(uint16_t tag, uint16_t type, std::vector<uint32_t> values);
    // Where the directory will be.
    uint32_t directoryOffset() const;
    QByteArray bytes() const;

private:
    struct Field {
        uint16_t type = kLong;
        std::vector<uint32_t> values;
    };
    QByteArray m_data;
    std::map<uint16_t, Field> m_fields; // tags in ascending order, as TIFF wants
};

// An 8-bit page of `samples` per pixel stored uncompressed in strips of
// `rowsPerStrip` rows, or in square tiles of `tileSide` pixels (one set per
// sample when planar), pixel (x, y) holding sample s = sampleAt(x, y, s).
struct RawStrips {
    uint32_t width = 8;
    uint32_t height = 8;
    uint16_t samples = 1;
    bool planar = false;
    uint32_t rowsPerStrip = 2;
    uint8_t (*sampleAt)(uint32_t x, uint32_t y, uint16_t s) = nullptr; // nullptr: a pattern
    uint32_t tileSide = 0;                                             // 0: strips

    uint8_t sample(uint32_t x, uint32_t y, uint16_t s) const;
    // The strips' or tiles' bytes: all of plane 0 first when planar; tiles
    // row by row, padded with zeros past the page's edges.
    std::vector<QByteArray> strips() const;
};

// A page's strips on their way into a RawTiff: rawStripsFile() gives the
// tags and the strips' bytes, which a test may change; layOut() stores them
// and fills in their offsets and byte counts, which it may change too;
// finish() puts the file together.
struct RawStripsFile {
    RawTiff tiff;
    bool tiled = false;
    std::vector<QByteArray> strips;
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> counts;
};
RawStripsFile rawStripsFile(const RawStrips& page);
void layOut(RawStripsFile& file);
QByteArray finish(RawStripsFile& file);
