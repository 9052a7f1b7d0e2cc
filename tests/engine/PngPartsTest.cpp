#include "WriterReadBack.h"
#include "WriterTestPages.h"
#include "engine/PngWriter.h"
#include "support/TestEnvironment.h"

#include <QFile>

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <png.h>

namespace {

struct Decoded {
    bool valid = false;
    QString problems; // libpng's errors and warnings, one a line
    QImage pixels;    // RGBA8888 or RGBA64
};

void onError(png_structp png, png_const_charp message) {
    *static_cast<QString*>(png_get_error_ptr(png)) += QString::fromUtf8(message) + '\n';
    png_longjmp(png, 1);
}

void onWarning(png_structp png, png_const_charp message) {
    *static_cast<QString*>(png_get_error_ptr(png)) += QString::fromUtf8(message) + '\n';
}

struct ReadGuard {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::FILE* file = nullptr;
    ~ReadGuard() {
        png_destroy_read_struct(&png, &info, nullptr);
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

// Every layout widened to RGBA at its own depth by libpng itself, which also
// checks the stream's checksum and that it holds neither less nor more data
// than the rows.
bool readInto(ReadGuard& guard, Decoded& out, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(guard.png)) != 0) {
        return false;
    }
    png_init_io(guard.png, guard.file);
    png_read_info(guard.png, guard.info);
    png_set_expand(guard.png);
    png_set_gray_to_rgb(guard.png);
    png_set_add_alpha(guard.png, 0xFFFF, PNG_FILLER_AFTER);
    const bool deep = png_get_bit_depth(guard.png, guard.info) == 16;
    if (deep && QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        png_set_swap(guard.png);
    }
    png_read_update_info(guard.png, guard.info);
    out.pixels = QImage(static_cast<int>(png_get_image_width(guard.png, guard.info)),
                        static_cast<int>(png_get_image_height(guard.png, guard.info)),
                        deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    rows.resize(static_cast<size_t>(out.pixels.height()));
    for (int y = 0; y < out.pixels.height(); ++y) {
        rows[static_cast<size_t>(y)] = out.pixels.scanLine(y);
    }
    png_read_image(guard.png, rows.data());
    png_read_end(guard.png, nullptr);
    return true;
}

Decoded decodeWithLibpng(const QString& path) {
    Decoded out;
    ReadGuard guard;
    guard.file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (guard.file == nullptr) {
        return out;
    }
    guard.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &out.problems, onError, onWarning);
    guard.info = png_create_info_struct(guard.png);
    std::vector<png_bytep> rows;
    out.valid = readInto(guard, out, rows);
    return out;
}

struct PartsCase {
    std::string name;
    PageKind kind;
    int width;
    int height;
    PngStream::Partition partition;
};

std::vector<PartsCase> partsCases() {
    const std::vector<std::pair<int, int>> sizes = {{1, 1}, {5, 3}, {33, 17}, {301, 157}};
    // One part; a part per row on one thread; parts on more threads than
    // the machine may have; rounds of two threads over many small parts.
    const std::vector<std::pair<PngStream::Partition, const char*>> partitions = {
        {{.threads = 1, .minPartBytes = 1U << 20, .maxPartBytes = 32U << 20}, "OnePart"},
        {{.threads = 1, .minPartBytes = 1, .maxPartBytes = 1}, "PartPerRow"},
        {{.threads = 3, .minPartBytes = 1, .maxPartBytes = 32U << 20}, "ThreeThreads"},
        {{.threads = 2, .minPartBytes = 1, .maxPartBytes = 700}, "RoundsOfTwo"},
    };
    std::vector<PartsCase> cases;
    for (const auto& [kind, kindName] : pageKinds()) {
        if (kind == PageKind::Argb32Premultiplied) {
            continue; // its levels do not come back exactly; the writers' suite covers it
        }
        for (const auto& [w, h] : sizes) {
            for (const auto& [partition, partitionName] : partitions) {
                cases.push_back({std::string(kindName) + "_" + std::to_string(w) + "x" +
                                     std::to_string(h) + "_" + partitionName,
                                 kind, w, h, partition});
            }
        }
    }
    return cases;
}

class PngPartsTest : public ::testing::TestWithParam<PartsCase> {};

TEST_P(PngPartsTest, LibpngDecodesThePageExactly) {
    const PartsCase& c = GetParam();
    const QImage page = makePage(c.kind, c.width, c.height);
    const QString path = makeTestFolder() + QStringLiteral("/page.png");
    const Status written = PngWriter(c.partition).encode(page, path, WriteOptions{});
    ASSERT_TRUE(written.ok()) << written.error().toStdString();
    const Decoded decoded = decodeWithLibpng(path);
    EXPECT_EQ(decoded.problems.toStdString(), "");
    ASSERT_TRUE(decoded.valid);
    EXPECT_EQ(firstDifference(page, decoded.pixels), "");
}

INSTANTIATE_TEST_SUITE_P(EveryLayoutAndPartition, PngPartsTest, ::testing::ValuesIn(partsCases()),
                         ByName());

// A photograph-sized page on every partition, noisy so that the compressor
// makes many blocks and matches reach across part boundaries' 32 KiB window.
TEST(PngPartsTest, LargeNoisyPageDecodesExactlyInEveryPartition) {
    const QImage page = photoLikePage(1203, 811);
    for (const PngStream::Partition partition :
         {PngStream::Partition{.threads = 1}, PngStream::Partition{.threads = 2, .minPartBytes = 1},
          PngStream::Partition{.threads = 4, .minPartBytes = 1, .maxPartBytes = 100000}}) {
        const QString path = makeTestFolder() + QStringLiteral("/photo.png");
        ASSERT_TRUE(PngWriter(partition).encode(page, path, WriteOptions{}).ok());
        const Decoded decoded = decodeWithLibpng(path);
        EXPECT_EQ(decoded.problems.toStdString(), "") << partition.threads;
        EXPECT_EQ(firstDifference(page, decoded.pixels), "") << partition.threads;
    }
}

TEST(PngPartsTest, FullDiskIsReportedWhilePartsAreWritten) {
    const PngWriter writer({.threads = 2, .minPartBytes = 1, .maxPartBytes = 4096});
    const Status status =
        writer.encode(photoLikePage(256, 256), QStringLiteral("/dev/full"), WriteOptions{});
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.error().isEmpty());
}

} // namespace
