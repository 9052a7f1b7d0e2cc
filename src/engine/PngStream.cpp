#include "engine/PngStream.h"

#include "engine/PngFilter.h"

#include <QString>

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <libdeflate.h>
#include <zlib.h>

namespace PngStream {
namespace {

constexpr std::uint8_t kZlibMethod = 0x78; // deflate, 32 KiB window

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

struct Part {
    int firstRow = 0;
    int endRow = 0;
    bool first = false;
    bool last = false;
    std::vector<std::uint8_t> filtered;
    std::vector<std::uint8_t> compressed;
    std::uint32_t adler = 0;
    Status status;
};

void filterRows(const Rows& rows, Part& part) {
    const std::size_t length = rows.rowBytes;
    part.filtered.resize((length + 1) * static_cast<std::size_t>(part.endRow - part.firstRow));
    std::vector<std::uint8_t> previous(length);
    std::vector<std::uint8_t> current(length);
    std::vector<std::uint8_t> scratch(rows.adaptive ? 4 * (length + 1) : 0);
    bool havePrevious = false;
    if (part.firstRow > 0 && rows.adaptive) {
        rows.fill(part.firstRow - 1, previous.data());
        havePrevious = true;
    }
    std::uint8_t* out = part.filtered.data();
    for (int y = part.firstRow; y < part.endRow; ++y, out += length + 1) {
        rows.fill(y, current.data());
        if (rows.adaptive) {
            PngFilter::adaptive(havePrevious ? previous.data() : nullptr, current.data(), length,
                                rows.filterStep, out, scratch.data());
        } else {
            PngFilter::apply(PngFilter::None, nullptr, current.data(), length, rows.filterStep,
                             out);
        }
        std::swap(previous, current);
        havePrevious = true;
    }
}

// libdeflate closes every stream it makes. Walking the part's blocks with
// zlib finds the last one's header; with its final bit cleared and an empty
// stored block after it, the part ends on a byte boundary mid-stream.
Status leaveOpen(std::vector<std::uint8_t>& deflated, std::size_t expectedSize) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        return Status::failure(QStringLiteral("PNG: not enough memory"));
    }
    std::array<std::uint8_t, 1U << 16> sink{};
    stream.next_in = deflated.data();
    stream.avail_in = static_cast<uInt>(deflated.size());
    std::size_t headerByte = 0;
    std::uint8_t headerBit = 1;
    int unused = -1; // bits after the last block's end in its last byte
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = sink.data();
        stream.avail_out = static_cast<uInt>(sink.size());
        result = inflate(&stream, Z_BLOCK);
        if (result != Z_OK || (stream.data_type & 128) == 0) {
            continue;
        }
        const int bits = stream.data_type & 7;
        if ((stream.data_type & 64) != 0) {
            unused = bits; // the last block has ended
        } else {
            headerByte = stream.total_in - (bits != 0 ? 1 : 0);
            headerBit = static_cast<std::uint8_t>(bits != 0 ? 0x100 >> bits : 1);
        }
    }
    const bool whole = result == Z_STREAM_END && stream.total_in == deflated.size() &&
                       stream.total_out == expectedSize && headerByte < deflated.size() &&
                       (deflated[headerByte] & headerBit) != 0;
    inflateEnd(&stream);
    if (!whole) {
        return Status::failure(QStringLiteral("PNG: the compressor's output does not read back"));
    }
    deflated[headerByte] = static_cast<std::uint8_t>(deflated[headerByte] & ~headerBit);
    deflated.back() = static_cast<std::uint8_t>(deflated.back() & ((0x100 >> unused) - 1));
    if (unused < 3) {
        deflated.push_back(0); // the stored block's three header bits do not fit
    }
    for (const std::uint8_t b : {0x00, 0x00, 0xFF, 0xFF}) {
        deflated.push_back(b);
    }
    return {};
}

std::array<std::uint8_t, 2> zlibHeader(int level) {
    const int speed = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    int flags = speed << 6;
    flags += 31 - ((kZlibMethod * 256 + flags) % 31);
    return {kZlibMethod, static_cast<std::uint8_t>(flags)};
}

void appendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressorFor(int level) {
    return std::unique_ptr<libdeflate_compressor, CompressorDeleter>(
        libdeflate_alloc_compressor(level));
}

// Raw deflate of `in` appended to `out`; false when out of memory.
bool deflateWithMatches(libdeflate_compressor* compressor, const std::uint8_t* in, std::size_t size,
                        std::vector<std::uint8_t>& out) {
    const std::size_t at = out.size();
    out.resize(at + libdeflate_deflate_compress_bound(compressor, size));
    const std::size_t written =
        libdeflate_deflate_compress(compressor, in, size, out.data() + at, out.size() - at);
    out.resize(at + written);
    return written != 0;
}

// Huffman codes alone, no matches: on photographs with grain the filtered
// rows are noise, where matches cost more than they save (a tenth smaller
// than any level of libdeflate on the benchmark's photographs, and faster).
// zlib ends a part that is not the last on a byte boundary itself.
bool deflateHuffmanOnly(const std::uint8_t* in, std::size_t size, bool last,
                        std::vector<std::uint8_t>& out) {
    z_stream stream{};
    if (deflateInit2(&stream, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_HUFFMAN_ONLY) != Z_OK) {
        return false;
    }
    const std::size_t at = out.size();
    out.resize(at + deflateBound(&stream, static_cast<uLong>(size)) + 16);
    stream.next_in = const_cast<std::uint8_t*>(in); // zlib does not write through it
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = out.data() + at;
    stream.avail_out = static_cast<uInt>(out.size() - at);
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool done = last ? result == Z_STREAM_END : result == Z_OK && stream.avail_in == 0;
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    return done;
}

enum class Coding { Matches, HuffmanOnly };

// A few slices of the part, compressed both ways, tell which way pays.
Coding chooseCoding(libdeflate_compressor* compressor, const std::vector<std::uint8_t>& in) {
    constexpr std::size_t kSlice = 64U << 10;
    constexpr std::size_t kSlices = 4;
    if (in.size() < 2 * kSlice * kSlices) {
        return Coding::Matches;
    }
    std::size_t withMatches = 0;
    std::size_t huffmanOnly = 0;
    std::vector<std::uint8_t> scratch;
    for (std::size_t i = 0; i < kSlices; ++i) {
        const std::uint8_t* slice = in.data() + (in.size() - kSlice) * i / (kSlices - 1);
        scratch.clear();
        if (!deflateWithMatches(compressor, slice, kSlice, scratch)) {
            return Coding::Matches;
        }
        withMatches += scratch.size();
        scratch.clear();
        if (!deflateHuffmanOnly(slice, kSlice, true, scratch)) {
            return Coding::Matches;
        }
        huffmanOnly += scratch.size();
    }
    return huffmanOnly < withMatches ? Coding::HuffmanOnly : Coding::Matches;
}

Status compress(Part& part, int level) {
    const auto compressor = compressorFor(level);
    if (!compressor) {
        return Status::failure(QStringLiteral("PNG: not enough memory"));
    }
    const std::vector<std::uint8_t>& in = part.filtered;
    part.adler = libdeflate_adler32(1, in.data(), in.size());
    if (part.first) {
        const std::array<std::uint8_t, 2> header = zlibHeader(level);
        part.compressed.assign(header.begin(), header.end());
    }
    if (chooseCoding(compressor.get(), in) == Coding::HuffmanOnly) {
        return deflateHuffmanOnly(in.data(), in.size(), part.last, part.compressed)
                   ? Status{}
                   : Status::failure(QStringLiteral("PNG: compression failed"));
    }
    std::vector<std::uint8_t> body;
    if (!deflateWithMatches(compressor.get(), in.data(), in.size(), body)) {
        return Status::failure(QStringLiteral("PNG: compression failed"));
    }
    if (!part.last) {
        if (Status s = leaveOpen(body, in.size()); !s) {
            return s;
        }
    }
    part.compressed.insert(part.compressed.end(), body.begin(), body.end());
    return {};
}

void makePart(const Rows& rows, int level, Part& part) {
    try {
        filterRows(rows, part);
        part.status = compress(part, level);
    } catch (const std::bad_alloc&) {
        part.status = Status::failure(QStringLiteral("PNG: not enough memory"));
    }
    std::vector<std::uint8_t>().swap(part.filtered);
}

// The same parts whatever the thread count, as long as the page needs only
// one per thread: a small page stays one part.
int partCount(const Rows& rows, const Partition& partition) {
    const std::size_t total = (rows.rowBytes + 1) * static_cast<std::size_t>(rows.height);
    const std::size_t bounded = (total + partition.maxPartBytes - 1) / partition.maxPartBytes;
    const std::size_t worthwhile = total / std::max<std::size_t>(partition.minPartBytes, 1);
    const std::size_t wanted =
        std::max(bounded, std::min(static_cast<std::size_t>(partition.threads), worthwhile));
    return static_cast<int>(
        std::clamp<std::size_t>(wanted, 1, static_cast<std::size_t>(rows.height)));
}

void runRound(const Rows& rows, int level, std::vector<Part>& round) {
    std::vector<std::jthread> helpers;
    std::size_t inlineFrom = 0;
    for (std::size_t i = 1; i < round.size(); ++i) {
        try {
            helpers.emplace_back([&rows, level, &part = round[i]] { makePart(rows, level, part); });
        } catch (const std::system_error&) {
            break; // no more threads: the rest is done here
        }
        inlineFrom = i;
    }
    makePart(rows, level, round[0]);
    for (std::size_t i = inlineFrom + 1; i < round.size(); ++i) {
        makePart(rows, level, round[i]);
    }
}

} // namespace

Status write(const Rows& rows, int level, const Partition& partition, const Sink& sink) {
    const int parts = partCount(rows, partition);
    const int rowsPerPart = (rows.height + parts - 1) / parts;
    const auto threads = static_cast<std::size_t>(std::max(1, partition.threads));
    std::uint32_t adler = 1;
    int nextRow = 0;
    while (nextRow < rows.height) {
        std::vector<Part> round;
        while (round.size() < threads && nextRow < rows.height) {
            Part part;
            part.firstRow = nextRow;
            part.endRow = std::min(rows.height, nextRow + rowsPerPart);
            part.first = nextRow == 0;
            part.last = part.endRow == rows.height;
            nextRow = part.endRow;
            round.push_back(std::move(part));
        }
        runRound(rows, level, round);
        for (Part& part : round) {
            if (!part.status) {
                return part.status;
            }
            const std::size_t length =
                (rows.rowBytes + 1) * static_cast<std::size_t>(part.endRow - part.firstRow);
            adler = static_cast<std::uint32_t>(
                adler32_combine(adler, part.adler, static_cast<z_off_t>(length)));
            if (part.last) {
                appendBigEndian(part.compressed, adler);
            }
            if (!sink(part.compressed.data(), part.compressed.size())) {
                return Status::failure(QString());
            }
        }
    }
    return {};
}

} // namespace PngStream
