#include "engine/BmpWriter.h"

#include "engine/PagePixels.h"
#include "engine/WriterFile.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr int kMaxNibblePalette = 16;

// The page in the layout the file gets: its rows and, for palette layouts,
// the table (alpha already shown over white).
struct BmpLayout {
    QImage pixels; // Format_Mono, Indexed8, Grayscale8 or RGB888
    int bitsPerPixel = 24;
    QList<QRgb> palette;
};

QList<QRgb> tableOverWhite(const QImage& page) {
    QList<QRgb> table = PagePixels::completeTable(page);
    for (QRgb& entry : table) {
        entry = PagePixels::overWhite(entry);
    }
    return table;
}

QList<QRgb> grayRamp() {
    QList<QRgb> table;
    table.reserve(256);
    for (int level = 0; level < 256; ++level) {
        table.append(qRgb(level, level, level));
    }
    return table;
}

Result<BmpLayout> layoutFor(const QImage& page) {
    BmpLayout layout;
    Result<QImage> pixels = page;
    switch (page.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        pixels = PagePixels::converted(page, QImage::Format_Mono);
        layout.bitsPerPixel = 1;
        layout.palette = tableOverWhite(page);
        break;
    case QImage::Format_Indexed8:
        layout.palette = tableOverWhite(page);
        // Small palettes pack two pixels a byte.
        layout.bitsPerPixel = layout.palette.size() <= kMaxNibblePalette ? 4 : 8;
        break;
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        pixels = PagePixels::converted(page, QImage::Format_Grayscale8);
        layout.bitsPerPixel = 8;
        layout.palette = grayRamp();
        break;
    default:
        pixels = PagePixels::toRgb888Flattened(page);
        break;
    }
    if (!pixels) {
        return Result<BmpLayout>::failure(pixels.error());
    }
    layout.pixels = std::move(pixels).value();
    return layout;
}

// Rows are padded to whole 32-bit words.
uint32_t strideOf(const BmpLayout& layout) {
    const uint64_t bits = uint64_t(layout.pixels.width()) * uint64_t(layout.bitsPerPixel);
    return static_cast<uint32_t>((bits + 31) / 32 * 4);
}

class LittleEndianBytes {
public:
    void add16(uint32_t value) { add(value, 2); }
    void add32(uint32_t value) { add(value, 4); }
    void addByte(uint8_t value) { m_bytes.push_back(value); }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }

private:
    void add(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    }
    std::vector<uint8_t> m_bytes;
};

std::vector<uint8_t> headers(const BmpLayout& layout, const QImage& page) {
    const auto colours = static_cast<uint32_t>(layout.palette.size());
    const uint32_t dataOffset = kFileHeaderBytes + kInfoHeaderBytes + 4 * colours;
    const uint64_t imageBytes = uint64_t(strideOf(layout)) * uint64_t(layout.pixels.height());
    const bool resolution = hasResolution(page);
    LittleEndianBytes out;
    out.addByte('B');
    out.addByte('M');
    out.add32(static_cast<uint32_t>(std::min<uint64_t>(dataOffset + imageBytes, UINT32_MAX)));
    out.add32(0); // reserved
    out.add32(dataOffset);
    out.add32(kInfoHeaderBytes);
    out.add32(static_cast<uint32_t>(layout.pixels.width()));
    out.add32(static_cast<uint32_t>(layout.pixels.height())); // positive: bottom row first
    out.add16(1);                                             // planes
    out.add16(static_cast<uint32_t>(layout.bitsPerPixel));
    out.add32(0); // no compression
    out.add32(static_cast<uint32_t>(std::min<uint64_t>(imageBytes, UINT32_MAX)));
    // 0 means "none".
    out.add32(resolution ? static_cast<uint32_t>(page.dotsPerMeterX()) : 0);
    out.add32(resolution ? static_cast<uint32_t>(page.dotsPerMeterY()) : 0);
    out.add32(colours); // used
    out.add32(colours); // important
    for (const QRgb c : layout.palette) {
        out.addByte(static_cast<uint8_t>(qBlue(c)));
        out.addByte(static_cast<uint8_t>(qGreen(c)));
        out.addByte(static_cast<uint8_t>(qRed(c)));
        out.addByte(0);
    }
    return out.bytes();
}

// One file row from one page row; the padding stays zero.
void fillRow(const BmpLayout& layout, const uchar* in, std::vector<uint8_t>& row) {
    const int width = layout.pixels.width();
    switch (layout.bitsPerPixel) {
    case 1:
        std::copy_n(in, (width + 7) / 8, row.begin());
        PagePixels::clearBitsPastLastPixel(row.data(), width);
        break;
    case 4:
        for (int x = 0; x + 1 < width; x += 2) {
            row[static_cast<size_t>(x / 2)] =
                static_cast<uint8_t>((in[x] << 4) | (in[x + 1] & 0xf));
        }
        if (width % 2 != 0) {
            row[static_cast<size_t>(width / 2)] = static_cast<uint8_t>(in[width - 1] << 4);
        }
        break;
    case 8:
        std::copy_n(in, width, row.begin());
        break;
    default: {
        uint8_t* out = row.data();
        for (int x = 0; x < width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
        break;
    }
    }
}

Status writeBmp(const BmpLayout& layout, const QImage& page, std::FILE* file, const QString& path) {
    const std::vector<uint8_t> head = headers(layout, page);
    std::vector<uint8_t> row(strideOf(layout), 0);
    bool written = std::fwrite(head.data(), 1, head.size(), file) == head.size();
    for (int y = layout.pixels.height() - 1; written && y >= 0; --y) {
        fillRow(layout, layout.pixels.constScanLine(y), row);
        written = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    if (!written) {
        return Status::failure(QStringLiteral("Cannot write “%1”: %2").arg(path, errnoText(errno)));
    }
    return {};
}

} // namespace

Status BmpWriter::encode(const QImage& page, const QString& path, const WriteOptions&) const {
    if (Status notEmpty = PagePixels::checkNotEmpty(page); !notEmpty) {
        return notEmpty;
    }
    const Result<BmpLayout> layout = layoutFor(page);
    if (!layout) {
        return Status::failure(layout.error());
    }
    Result<FilePointer> file = openForWriting(path);
    if (!file) {
        return Status::failure(file.error());
    }
    if (Status s = writeBmp(layout.value(), page, file->get(), path); !s) {
        return s;
    }
    return closeAfterWriting(std::move(file).value(), path);
}
