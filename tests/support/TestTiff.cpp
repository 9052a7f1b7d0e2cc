#include "support/TestTiff.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <memory>

namespace {

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

// Packs samples MSB-first at `bits` each, as TIFF stores them.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : m_out(out) {}
    void put(uint64_t value, uint16_t bits) {
        if (bits > 16) {
            flush();
            // Native order: the low `bits` of the value, as libtiff expects.
            for (uint16_t b = 0; b < bits / 8; ++b) {
                const uint16_t byte = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? b : bits / 8 - 1 - b;
                m_out.push_back(static_cast<uint8_t>(value >> (8 * byte)));
            }
            return;
        }
        if (bits == 16) {
            flush();
            const auto v = static_cast<uint16_t>(value);
            // libtiff expects native-order 16-bit samples in its buffers.
            const auto* bytes = reinterpret_cast<const uint8_t*>(&v);
            m_out.push_back(bytes[0]);
            m_out.push_back(bytes[1]);
            return;
        }
        if (bits == 8) {
            flush();
            m_out.push_back(static_cast<uint8_t>(value));
            return;
        }
        // Any width below 16: whole bytes leave as soon as they are complete.
        m_acc = static_cast<uint32_t>((m_acc << bits) | (value & ((1U << bits) - 1U)));
        m_used = static_cast<uint16_t>(m_used + bits);
        while (m_used >= 8) {
            m_used = static_cast<uint16_t>(m_used - 8);
            m_out.push_back(static_cast<uint8_t>(m_acc >> m_used));
        }
        m_acc &= (1U << m_used) - 1U;
    }
    // Pads the last byte of a row with zero bits.
    void flush() {
        if (m_used > 0) {
            m_out.push_back(static_cast<uint8_t>(m_acc << (8 - m_used)));
            m_acc = 0;
            m_used = 0;
        }
    }

private:
    std::vector<uint8_t>& m_out;
    uint32_t m_acc = 0;
    uint16_t m_used = 0;
};

uint64_t sampleBits(const TestTiffPage& p, uint32_t x, uint32_t y, uint16_t s) {
    return p.bitsOf ? p.bitsOf(x, y, s) : p.sample(x, y, s);
}

// Rows y0..y1-1 and columns x0..x1-1 of one plane (or all samples when
// `plane` < 0), padded to `rowWidth` pixels.
std::vector<uint8_t> packRegion(const TestTiffPage& p, uint32_t x0, uint32_t y0, uint32_t w,
                                uint32_t h, int plane) {
    std::vector<uint8_t> out;
    BitWriter writer(out);
    for (uint32_t y = y0; y < y0 + h; ++y) {
        for (uint32_t x = x0; x < x0 + w; ++x) {
            const bool inside = x < p.width && y < p.height;
            if (plane >= 0) {
                writer.put(inside ? sampleBits(p, x, y, static_cast<uint16_t>(plane)) : 0,
                           p.bitsPerSample);
            } else {
                for (uint16_t s = 0; s < p.samplesPerPixel; ++s) {
                    writer.put(inside ? sampleBits(p, x, y, s) : 0, p.bitsPerSample);
                }
            }
        }
        writer.flush();
    }
    return out;
}

bool fail(QString* error, const QString& text) {
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

// libtiff does not know the GDAL_NODATA tag; a writer registers it.
constexpr ttag_t kGdalNoData = 42113;

void setNoData(TIFF* tif, const QByteArray& text) {
    static const TIFFFieldInfo info[] = {{kGdalNoData, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0,
                                          const_cast<char*>("GDALNoDataValue")}};
    if (TIFFFindField(tif, kGdalNoData, TIFF_ASCII) == nullptr) {
        TIFFMergeFieldInfo(tif, info, 1);
    }
    TIFFSetField(tif, kGdalNoData, text.constData());
}

bool setTags(TIFF* tif, const TestTiffPage& p) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.samplesPerPixel);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, p.bitsPerSample);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, p.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, p.planar);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, p.compression);
    if (p.compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, p.jpegQuality);
        if (p.photometric == PHOTOMETRIC_YCBCR) {
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        }
    }
    if (p.orientation != 0) {
        TIFFSetField(tif, TIFFTAG_ORIENTATION, p.orientation);
    }
    if (p.faxMode >= 0) {
        TIFFSetField(tif, TIFFTAG_FAXMODE, p.faxMode);
    }
    if (p.group3Options != 0 && p.compression == COMPRESSION_CCITTFAX3) {
        TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, p.group3Options);
    }
    if (p.sampleFormat != 0) {
        TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, p.sampleFormat);
    }
    if (p.predictor != 0) {
        TIFFSetField(tif, TIFFTAG_PREDICTOR, p.predictor);
    }
    if (!p.extraSamples.empty()) {
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(p.extraSamples.size()),
                     p.extraSamples.data());
    }
    if (!p.colormap.empty()) {
        const size_t n = p.colormap.size() / 3;
        std::vector<uint16_t> map(p.colormap);
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + n, map.data() + 2 * n);
    }
    if (p.inkSet != 0) {
        TIFFSetField(tif, TIFFTAG_INKSET, p.inkSet);
    }
    if (p.xResolution > 0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, p.xResolution);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, p.yResolution > 0 ? p.yResolution : p.xResolution);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, p.resolutionUnit);
    }
    if (!p.noData.isEmpty()) {
        setNoData(tif, p.noData);
    }
    if (p.whitePoint.size() == 2) {
        TIFFSetField(tif, TIFFTAG_WHITEPOINT, p.whitePoint.data());
    }
    if (!p.iccProfile.isEmpty()) {
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(p.iccProfile.size()),
                     p.iccProfile.constData());
    }
    if (p.tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, p.tileWidth);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, p.tileHeight);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                     p.rowsPerStrip != 0 ? p.rowsPerStrip : TIFFDefaultStripSize(tif, 0));
    }
    return true;
}

bool writeStrips(TIFF* tif, const TestTiffPage& p, int planes) {
    uint32_t rps = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rps);
    rps = std::min(rps, p.height);
    for (int plane = 0; plane < planes; ++plane) {
        for (uint32_t y = 0; y < p.height; y += rps) {
            const uint32_t rows = std::min(rps, p.height - y);
            auto data = packRegion(p, 0, y, p.width, rows, planes > 1 ? plane : -1);
            const tstrip_t strip = TIFFComputeStrip(tif, y, static_cast<uint16_t>(plane));
            if (TIFFWriteEncodedStrip(tif, strip, data.data(), static_cast<tmsize_t>(data.size())) <
                0) {
                return false;
            }
        }
    }
    return true;
}

bool writeTiles(TIFF* tif, const TestTiffPage& p, int planes) {
    for (int plane = 0; plane < planes; ++plane) {
        for (uint32_t y = 0; y < p.height; y += p.tileHeight) {
            for (uint32_t x = 0; x < p.width; x += p.tileWidth) {
                auto data = packRegion(p, x, y, p.tileWidth, p.tileHeight, planes > 1 ? plane : -1);
                const ttile_t tile = TIFFComputeTile(tif, x, y, 0, static_cast<uint16_t>(plane));
                if (TIFFWriteEncodedTile(tif, tile, data.data(),
                                         static_cast<tmsize_t>(data.size())) < 0) {
                    return false;
                }
            }
        }
    }
    return true;
}

} // namespace

bool writeTestTiff(const QString& path, const std::vector<TestTiffPage>& pages, QString* error) {
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(QFile::encodeName(path).constData(), "w"));
    if (!tif) {
        return fail(error, QStringLiteral("cannot create ") + path);
    }
    for (const TestTiffPage& page : pages) {
        TestTiffPage p = page;
        if (!p.sample) {
            p.sample = [bits = p.bitsPerSample](uint32_t x, uint32_t y, uint16_t s) {
                return patternSample(x, y, s, bits);
            };
        }
        if (!setTags(tif.get(), p)) {
            return fail(error, QStringLiteral("cannot set tags"));
        }
        const int planes = p.planar == PLANARCONFIG_SEPARATE ? p.samplesPerPixel : 1;
        const bool written =
            p.tiled ? writeTiles(tif.get(), p, planes) : writeStrips(tif.get(), p, planes);
        if (!written || !TIFFWriteDirectory(tif.get())) {
            return fail(error, QStringLiteral("cannot write page data"));
        }
    }
    tif.reset();
    keepAsFuzzSeed(readFileBytes(path));
    return true;
}

void keepAsFuzzSeed(const QByteArray& data) {
    const QString folder = qEnvironmentVariable("PICTAVO_FUZZ_SEEDS");
    if (folder.isEmpty() || data.isEmpty() || !QDir().mkpath(folder)) {
        return;
    }
    const QByteArray hash = QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex();
    writeFileBytes(folder + QLatin1Char('/') + QString::fromLatin1(hash), data);
}

uint32_t patternSample(uint32_t x, uint32_t y, uint16_t s, uint16_t bits) {
    const uint32_t max = bits >= 32 ? 0xFFFFFFFFU : ((1U << bits) - 1U);
    const uint32_t v = (x * 37U + y * 91U + s * 53U + (x * y) % 7U) % 256U;
    if (bits == 16) {
        return v * 257U ^ (x & 0xFU); // low bits vary too, so 16-bit paths are seen
    }
    if (bits == 8) {
        return v;
    }
    return v % (max + 1U);
}

TestTiffPage bilevelPage(uint32_t width, uint32_t height, bool minIsWhite, uint16_t compression) {
    TestTiffPage p;
    p.width = width;
    p.height = height;
    p.bitsPerSample = 1;
    p.photometric = minIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
    p.compression = compression;
    p.sample = [](uint32_t x, uint32_t y, uint16_t) { return ((x / 3) + (y / 2)) % 2U; };
    return p;
}

TestTiffPage grayPage(uint32_t width, uint32_t height, uint16_t bits) {
    TestTiffPage p;
    p.width = width;
    p.height = height;
    p.bitsPerSample = bits;
    return p;
}

TestTiffPage rgbPage(uint32_t width, uint32_t height, uint16_t bits) {
    TestTiffPage p;
    p.width = width;
    p.height = height;
    p.bitsPerSample = bits;
    p.samplesPerPixel = 3;
    p.photometric = PHOTOMETRIC_RGB;
    return p;
}

TestTiffPage rgbaPage(uint32_t width, uint32_t height, bool associated, uint16_t bits) {
    TestTiffPage p = rgbPage(width, height, bits);
    p.samplesPerPixel = 4;
    p.extraSamples = {associated ? static_cast<uint16_t>(EXTRASAMPLE_ASSOCALPHA)
                                 : static_cast<uint16_t>(EXTRASAMPLE_UNASSALPHA)};
    if (associated) {
        // Premultiplied data must not exceed its alpha.
        p.sample = [bits](uint32_t x, uint32_t y, uint16_t s) {
            const uint32_t a = patternSample(x, y, 3, bits);
            return s == 3 ? a : std::min(a, patternSample(x, y, s, bits));
        };
    }
    return p;
}

TestTiffPage palettePage(uint32_t width, uint32_t height, uint16_t bits) {
    TestTiffPage p;
    p.width = width;
    p.height = height;
    p.bitsPerSample = bits;
    p.photometric = PHOTOMETRIC_PALETTE;
    const uint32_t n = 1U << bits;
    p.colormap.resize(3 * n);
    for (uint32_t i = 0; i < n; ++i) {
        p.colormap[i] = static_cast<uint16_t>((i * 97U % 256U) * 257U);
        p.colormap[n + i] = static_cast<uint16_t>((i * 31U % 256U) * 257U);
        p.colormap[2 * n + i] = static_cast<uint16_t>((255U - i % 256U) * 257U);
    }
    return p;
}

TestTiffPage cmykPage(uint32_t width, uint32_t height) {
    TestTiffPage p;
    p.width = width;
    p.height = height;
    p.samplesPerPixel = 4;
    p.photometric = PHOTOMETRIC_SEPARATED;
    p.inkSet = INKSET_CMYK;
    return p;
}

TiffSummary summarizeTiff(const QString& path) {
    TiffSummary summary;
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(QFile::encodeName(path).constData(), "r"));
    if (tif) {
        summary.pages = static_cast<int>(TIFFNumberOfDirectories(tif.get()));
        TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &summary.compression);
    }
    return summary;
}

bool patchFirstDirectoryValue(QByteArray& bytes, uint16_t tag,
                              const std::function<uint32_t(uint32_t)>& change) {
    const auto byteAt = [&](qsizetype at) { return uint32_t(uint8_t(bytes[at])); };
    const auto read16 = [&](qsizetype at) { return byteAt(at) | byteAt(at + 1) << 8; };
    const auto read32 = [&](qsizetype at) { return read16(at) | read16(at + 2) << 16; };
    if (!bytes.startsWith("II*") || bytes.size() < 8) {
        return false;
    }
    const qsizetype ifd = read32(4);
    const uint32_t entries = read16(ifd);
    for (uint32_t e = 0; e < entries; ++e) {
        const qsizetype at = ifd + 2 + 12 * qsizetype(e);
        const uint32_t type = read16(at + 2);
        if (read16(at) != tag || read32(at + 4) != 1 || (type != TIFF_SHORT && type != TIFF_LONG)) {
            continue;
        }
        const uint32_t value = change(type == TIFF_SHORT ? read16(at + 8) : read32(at + 8));
        for (int b = 0; b < (type == TIFF_SHORT ? 2 : 4); ++b) {
            bytes[at + 8 + b] = static_cast<char>(value >> (8 * b));
        }
        return true;
    }
    return false;
}

QByteArray readFileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFileBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
