#include "engine/GifWriter.h"

#include "engine/ColourReduction.h"
#include "engine/PagePixels.h"
#include "engine/WriterFile.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include <gif_lib.h>

namespace {

constexpr int kMaxColors = 256;
constexpr int kOpaqueFrom = 128;
constexpr QRgb kTransparentKey = 0;

// The page as indices into a palette of at most 256 colours: all of them, or,
// for a 1-bit page, one row at a time made from its bits as it is asked for.
struct IndexedPage {
    int width = 0;
    int height = 0;
    std::vector<GifByteType> indices;
    std::vector<GifColorType> palette;
    int transparentIndex = -1;
    QImage oneBit;
    std::array<GifByteType, 2> bitIndex{};

    GifByteType* row(int y) {
        if (oneBit.isNull()) {
            return indices.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        }
        const uchar* in = oneBit.constScanLine(y);
        const bool mostSignificantFirst = oneBit.format() == QImage::Format_Mono;
        for (int x = 0; x < width; ++x) {
            const int shift = mostSignificantFirst ? 7 - (x & 7) : x & 7;
            indices[static_cast<size_t>(x)] =
                bitIndex[static_cast<size_t>((in[x >> 3] >> shift) & 1)];
        }
        return indices.data();
    }
};

IndexedPage emptyPage(const QImage& page) {
    IndexedPage out;
    out.width = page.width();
    out.height = page.height();
    out.indices.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    return out;
}

GifColorType gifColor(int red, int green, int blue) {
    return GifColorType{static_cast<GifByteType>(red), static_cast<GifByteType>(green),
                        static_cast<GifByteType>(blue)};
}

// Entries below the opacity threshold all share the first such entry.
std::array<GifByteType, kMaxColors> takePalette(IndexedPage& out, const QList<QRgb>& table) {
    std::array<GifByteType, kMaxColors> remap{};
    for (qsizetype i = 0; i < table.size() && i < kMaxColors; ++i) {
        const QRgb c = table[i];
        remap[static_cast<size_t>(i)] = static_cast<GifByteType>(i);
        if (qAlpha(c) < kOpaqueFrom) {
            if (out.transparentIndex < 0) {
                out.transparentIndex = static_cast<int>(i);
            }
            remap[static_cast<size_t>(i)] = static_cast<GifByteType>(out.transparentIndex);
        }
        out.palette.push_back(gifColor(qRed(c), qGreen(c), qBlue(c)));
    }
    return remap;
}

IndexedPage fromIndexed(const QImage& page) {
    const QImage indexed = page.format() == QImage::Format_Indexed8
                               ? page
                               : page.convertToFormat(QImage::Format_Indexed8);
    IndexedPage out = emptyPage(page);
    const std::array<GifByteType, kMaxColors> remap =
        takePalette(out, PagePixels::completeTable(indexed));
    for (int y = 0; y < out.height; ++y) {
        const uchar* in = indexed.constScanLine(y);
        GifByteType* row = out.row(y);
        for (int x = 0; x < out.width; ++x) {
            row[x] = remap[in[x]];
        }
    }
    return out;
}

// A 1-bit page keeps its bits until it is written: indices for all of it
// would be a byte per pixel, 0.5 GB for a page at the pixel limit.
IndexedPage fromOneBit(const QImage& page) {
    IndexedPage out;
    out.width = page.width();
    out.height = page.height();
    const std::array<GifByteType, kMaxColors> remap =
        takePalette(out, PagePixels::completeTable(page));
    out.bitIndex = {remap[0], remap[1]};
    out.oneBit = page;
    out.indices.resize(static_cast<size_t>(out.width));
    return out;
}

IndexedPage fromGray8(const QImage& gray) {
    IndexedPage out = emptyPage(gray);
    for (int level = 0; level < kMaxColors; ++level) {
        out.palette.push_back(gifColor(level, level, level));
    }
    for (int y = 0; y < out.height; ++y) {
        std::copy_n(gray.constScanLine(y), out.width, out.row(y));
    }
    return out;
}

// Alpha becomes all or nothing, and every hidden pixel the same colour, so
// that they count (and quantise) as one. True when any pixel is hidden.
bool binarizeAlpha(QImage& rgba) {
    bool anyHidden = false;
    for (int y = 0; y < rgba.height(); ++y) {
        auto* pixel = reinterpret_cast<quint32*>(rgba.scanLine(y));
        for (int x = 0; x < rgba.width(); ++x) {
            uchar* bytes = reinterpret_cast<uchar*>(pixel + x);
            if (bytes[3] < kOpaqueFrom) {
                pixel[x] = 0;
                anyHidden = true;
            } else {
                bytes[3] = 255;
            }
        }
    }
    return anyHidden;
}

QRgb keyOf(const uchar* rgba) {
    return rgba[3] == 0 ? kTransparentKey : qRgb(rgba[0], rgba[1], rgba[2]);
}

// The exact palette when the page has at most 256 colours; false as soon as
// a 257th shows up.
bool exactPalette(const QImage& rgba, IndexedPage& out) {
    std::unordered_map<QRgb, int> indexOf;
    indexOf.reserve(kMaxColors + 1);
    for (int y = 0; y < out.height; ++y) {
        const uchar* in = rgba.constScanLine(y);
        GifByteType* row = out.row(y);
        for (int x = 0; x < out.width; ++x, in += 4) {
            const QRgb key = keyOf(in);
            auto found = indexOf.find(key);
            if (found == indexOf.end()) {
                if (indexOf.size() == kMaxColors) {
                    return false;
                }
                found = indexOf.emplace(key, static_cast<int>(indexOf.size())).first;
                out.palette.push_back(gifColor(in[0], in[1], in[2]));
                if (key == kTransparentKey) {
                    out.transparentIndex = found->second;
                }
            }
            row[x] = static_cast<GifByteType>(found->second);
        }
    }
    return true;
}

// A page past the exact palette: more than 256 colours, so never all hidden.
// The opaque ones go through ColourReduction; hidden pixels take the entry
// after theirs.
Status quantize(const QImage& rgba, bool anyHidden, IndexedPage& out) {
    try {
        const std::vector<ColourReduction::Colour> colours =
            ColourReduction::choosePalette(rgba, anyHidden ? kMaxColors - 1 : kMaxColors);
        const auto hiddenIndex = static_cast<GifByteType>(anyHidden ? colours.size() : 0);
        ColourReduction::diffuse(rgba, colours, hiddenIndex, out.indices.data());
        for (const ColourReduction::Colour& c : colours) {
            out.palette.push_back(gifColor(c.red, c.green, c.blue));
        }
    } catch (const std::bad_alloc&) {
        return Status::failure(QStringLiteral("Not enough memory to reduce a %1 x %2 page to "
                                              "256 colours")
                                   .arg(out.width)
                                   .arg(out.height));
    }
    if (anyHidden) {
        out.transparentIndex = static_cast<int>(out.palette.size());
        out.palette.push_back(gifColor(0, 0, 0));
    }
    return {};
}

Result<IndexedPage> fromColour(const QImage& page) {
    Result<QImage> rgba = PagePixels::converted(page, QImage::Format_RGBA8888);
    if (!rgba) {
        return Result<IndexedPage>::failure(rgba.error());
    }
    const bool anyHidden = binarizeAlpha(rgba.value());
    IndexedPage out = emptyPage(page);
    if (exactPalette(rgba.value(), out)) {
        return out;
    }
    out.palette.clear();
    out.transparentIndex = -1;
    if (const Status s = quantize(rgba.value(), anyHidden, out); !s) {
        return Result<IndexedPage>::failure(s.error());
    }
    return out;
}

Result<IndexedPage> indexedPage(const QImage& page) {
    switch (page.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        // Qt's own conversion fills a short table its own way.
        return page.colorTable().size() == 2 ? fromOneBit(page) : fromIndexed(page);
    case QImage::Format_Indexed8:
        return fromIndexed(page);
    case QImage::Format_Grayscale8:
        return fromGray8(page);
    case QImage::Format_Grayscale16: {
        const Result<QImage> gray = PagePixels::converted(page, QImage::Format_Grayscale8);
        if (!gray) {
            return Result<IndexedPage>::failure(gray.error());
        }
        return fromGray8(gray.value());
    }
    default:
        return fromColour(page);
    }
}

int paddedPaletteSize(size_t colors) {
    int size = 2;
    while (static_cast<size_t>(size) < colors) {
        size *= 2;
    }
    return size;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        EGifCloseFile(gif, &ignored);
    }
};

int writeToFile(GifFileType* gif, const GifByteType* bytes, int length) {
    auto* file = static_cast<std::FILE*>(gif->UserData);
    return static_cast<int>(std::fwrite(bytes, 1, static_cast<size_t>(length), file));
}

Status gifFailure(int errorCode) {
    return Status::failure(
        QStringLiteral("GIF: %1").arg(QString::fromUtf8(GifErrorString(errorCode))));
}

Status writeGif(IndexedPage& page, std::FILE* file) {
    std::vector<GifColorType> colors = page.palette;
    colors.resize(static_cast<size_t>(paddedPaletteSize(colors.size())), gifColor(0, 0, 0));
    const std::unique_ptr<ColorMapObject, MapDeleter> map(
        GifMakeMapObject(static_cast<int>(colors.size()), colors.data()));
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(EGifOpen(file, writeToFile, &error));
    if (!map || !gif) {
        return gifFailure(gif ? E_GIF_ERR_NOT_ENOUGH_MEM : error);
    }
    if (page.transparentIndex >= 0) {
        EGifSetGifVersion(gif.get(), true);
    }
    if (EGifPutScreenDesc(gif.get(), page.width, page.height, 8, 0, map.get()) == GIF_ERROR) {
        return gifFailure(gif->Error);
    }
    if (page.transparentIndex >= 0) {
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, page.transparentIndex};
        std::array<GifByteType, 4> extension{};
        const size_t length = EGifGCBToExtension(&control, extension.data());
        if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length),
                             extension.data()) == GIF_ERROR) {
            return gifFailure(gif->Error);
        }
    }
    if (EGifPutImageDesc(gif.get(), 0, 0, page.width, page.height, false, nullptr) == GIF_ERROR) {
        return gifFailure(gif->Error);
    }
    for (int y = 0; y < page.height; ++y) {
        if (EGifPutLine(gif.get(), page.row(y), page.width) == GIF_ERROR) {
            return gifFailure(gif->Error);
        }
    }
    if (EGifCloseFile(gif.release(), &error) == GIF_ERROR) {
        return gifFailure(error);
    }
    return {};
}

} // namespace

Status GifWriter::encode(const QImage& page, const QString& path, const WriteOptions&) const {
    if (Status notEmpty = PagePixels::checkNotEmpty(page); !notEmpty) {
        return notEmpty;
    }
    Result<IndexedPage> indexed = indexedPage(page);
    if (!indexed) {
        return Status::failure(indexed.error());
    }
    Result<FilePointer> file = openForWriting(path);
    if (!file) {
        return Status::failure(file.error());
    }
    if (const Status s = writeGif(indexed.value(), file->get()); !s) {
        return encoderFailure(file->get(), path, s.error());
    }
    return closeAfterWriting(std::move(file).value(), path);
}
