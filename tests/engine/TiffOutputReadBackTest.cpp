// TIFF output of sources whose strips are not what their rows need, one file
// per page and one per source: every file written reads back through libtiff
// without an error or a warning and holds the pages the source decodes to; a
// page the source cannot give is not written, copied or otherwise.
#include "JobFixture.h"
#include "RawTiff.h"
#include "WriterReadBack.h"
#include "engine/PageSource.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "platform/Workspace.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>

#include <cstdarg>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <tiffio.h>

namespace {

// Indices into tiffCompressions().
constexpr int kNone = 0;
constexpr int kG4 = 2;
constexpr int kLzw = 3;
constexpr int kPackBits = 4;

struct SourceCase {
    std::string name;
    QByteArray (*make)(); // called in the test, which has its folders
    int compressionIndex; // the source's own, so that its strips could be copied
    bool converts;
};

QByteArray writtenBy(const TestTiffPage& page) {
    const QString path = makeTestFolder() + QStringLiteral("/made.tif");
    return writeTestTiff(path, {page}) ? readFileBytes(path) : QByteArray();
}

QByteArray patched(QByteArray bytes, uint16_t tag, const std::function<uint32_t(uint32_t)>& to) {
    return patchFirstDirectoryValue(bytes, tag, to) ? bytes : QByteArray();
}

// Rows the file holds in full, under a byte count 10 short of them.
QByteArray shortCountOverCompleteRows() {
    RawStripsFile file = rawStripsFile(RawStrips{16, 40, 1, false, 8, nullptr});
    layOut(file);
    file.counts[2] -= 10;
    return finish(file);
}

// A PackBits strip whose last run reaches past the page: libtiff drops what
// is too much and warns.
QByteArray packBitsRunPastTheStrip() {
    QByteArray strip;
    strip.append(char(99)); // 100 bytes as they are
    for (int i = 0; i < 100; ++i) {
        strip.append(static_cast<char>(i * 7));
    }
    strip.append(static_cast<char>(-49)); // then one byte 50 times, 22 more than fit
    strip.append('\x55');
    RawStripsFile file = rawStripsFile(RawStrips{16, 8, 1, false, 8, nullptr});
    file.strips = {strip};
    layOut(file);
    file.tiff.set(TIFFTAG_COMPRESSION, RawTiff::kShort, {COMPRESSION_PACKBITS});
    return finish(file);
}

QByteArray lzwCutShort() {
    TestTiffPage page = grayPage(64, 64);
    page.compression = COMPRESSION_LZW;
    page.rowsPerStrip = 64;
    return patched(writtenBy(page), TIFFTAG_STRIPBYTECOUNTS, [](uint32_t n) { return n / 2; });
}

QByteArray group4WithBadCodes() {
    TestTiffPage page = bilevelPage(61, 40, true, COMPRESSION_CCITTFAX4);
    page.rowsPerStrip = page.height;
    QByteArray bytes = writtenBy(page);
    uint32_t count = 0;
    static_cast<void>(patchFirstDirectoryValue(bytes, TIFFTAG_STRIPBYTECOUNTS, [&](uint32_t n) {
        count = n;
        return n;
    }));
    for (uint32_t i = 0; i < 6 && count > 0; ++i) {
        bytes[qsizetype(8 + count / 3 + i)] = (i % 2 == 0) ? '\x00' : '\xFF';
    }
    return bytes;
}

QByteArray cleanLzw() {
    TestTiffPage page = grayPage(29, 31);
    page.compression = COMPRESSION_LZW;
    page.rowsPerStrip = 4;
    return writtenBy(page);
}

QByteArray cleanGroup4() {
    return writtenBy(bilevelPage(37, 23, true, COMPRESSION_CCITTFAX4));
}

const SourceCase kSources[] = {
    {"UncompressedCountShortOfCompleteRows", shortCountOverCompleteRows, kNone, true},
    {"PackBitsRunPastTheStrip", packBitsRunPastTheStrip, kPackBits, true},
    {"CleanLzw", cleanLzw, kLzw, true},
    {"CleanGroup4", cleanGroup4, kG4, true},
    {"LzwCutShort", lzwCutShort, kLzw, false},
    {"Group4WithBadCodes", group4WithBadCodes, kG4, false},
};

__attribute__((format(printf, 4, 0))) int collect(TIFF*, void* messages, const char* module,
                                                  const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    static_cast<QStringList*>(messages)->append(QString::fromUtf8(module) + QStringLiteral(": ") +
                                                QString::fromUtf8(text));
    return 1;
}

struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};
struct TiffClose {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

// What libtiff says, errors and warnings alike, while reading every strip of
// every directory of the file the way most readers do (memory-mapped).
QStringList libtiffComplaints(const QString& path) {
    QStringList messages;
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), collect, &messages);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), collect, &messages);
    const std::unique_ptr<TIFF, TiffClose> tif(
        TIFFOpenExt(QFile::encodeName(path).constData(), "r", options.get()));
    if (!tif) {
        return messages.isEmpty() ? QStringList{QStringLiteral("cannot open")} : messages;
    }
    do {
        std::vector<uint8_t> strip(static_cast<size_t>(TIFFStripSize(tif.get())));
        for (uint32_t s = 0; s < TIFFNumberOfStrips(tif.get()); ++s) {
            if (TIFFReadEncodedStrip(tif.get(), s, strip.data(), TIFFStripSize(tif.get())) < 0 &&
                messages.isEmpty()) {
                messages.append(QStringLiteral("strip %1 cannot be read").arg(s));
            }
        }
    } while (TIFFReadDirectory(tif.get()) == 1);
    return messages;
}

QImage firstPageOf(const QString& path) {
    auto source = PageSource::open(path);
    if (!source) {
        return {};
    }
    const Result<QImage> page = (*source)->readPage(0);
    return page ? *page : QImage();
}

class TiffOutputReadBackTest
    : public ::testing::TestWithParam<std::tuple<SourceCase, bool /* split */>> {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));
    Settings settings;
    RecordingWorkspace workspace;
    Process process;

    void convert(const QString& source, int compressionIndex, bool split) {
        settings.setIsOpenFolderAfterConversion(false);
        settings.setOutputType(OutputTiff);
        settings.setTiffCompressionIndex(compressionIndex);
        settings.setIsSplitTIFFIntoSinglePages(split);
        process.setSettings(&settings);
        process.setWorkspace(&workspace);
        process.setLogsFolder(makeTestFolder(QStringLiteral("logs")));
        process.setOutputFolder(out);
        addListedSource(process, source);
        runJob(process);
    }
};

TEST_P(TiffOutputReadBackTest, EveryFileWrittenReadsBackCleanly) {
    const auto& [c, split] = GetParam();
    const QByteArray bytes = c.make();
    ASSERT_FALSE(bytes.isEmpty());
    keepAsFuzzSeed(bytes);
    const QString source = QDir(in).filePath(QStringLiteral("source.tif"));
    ASSERT_TRUE(writeFileBytes(source, bytes));
    convert(source, c.compressionIndex, split);

    ASSERT_EQ(process.log().files.size(), 1U);
    const LogFiles& entry = process.log().files.at(0);
    ASSERT_EQ(entry.logFiles.size(), 1U);
    EXPECT_EQ(entry.logFiles.at(0).status == QStringLiteral("Completed"), c.converts)
        << entry.logFiles.at(0).status.toStdString();
    const QStringList written = filesIn(out);
    ASSERT_EQ(written.size(), c.converts ? 1 : 0) << written.join(u' ').toStdString();
    if (!c.converts) {
        return;
    }
    const QString path = QDir(out).filePath(written.at(0));
    EXPECT_EQ(libtiffComplaints(path).join(QStringLiteral("; ")).toStdString(), "");
    const QImage expected = firstPageOf(source);
    ASSERT_FALSE(expected.isNull());
    EXPECT_EQ(firstDifference(expected, firstPageOf(path)), "");
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<SourceCase, bool>>& param) {
    return std::get<0>(param.param).name + (std::get<1>(param.param) ? "OnePerPage" : "Gathered");
}

INSTANTIATE_TEST_SUITE_P(Sources, TiffOutputReadBackTest,
                         ::testing::Combine(::testing::ValuesIn(kSources), ::testing::Bool()),
                         caseName);

} // namespace
