// What a conversion says about pages that are not exact copies, and about
// pages whose data ends early.
#include "JobFixture.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>

#include <bit>
#include <gtest/gtest.h>

namespace {

TestTiffPage stretchedFloatPage() {
    TestTiffPage p = grayPage(6, 4, 32);
    p.sampleFormat = SAMPLEFORMAT_IEEEFP;
    p.bitsOf = [](uint32_t x, uint32_t y, uint16_t) {
        return std::bit_cast<uint32_t>(static_cast<float>(x) * 10.0F - static_cast<float>(y));
    };
    return p;
}

// A job that writes PNG files into `out`, logs kept in a test folder.
struct PngJob {
    Settings settings;
    RecordingWorkspace workspace;
    Process process;

    explicit PngJob(const QString& out) {
        settings.setIsOpenFolderAfterConversion(false);
        settings.setOutputType(OutputPng);
        process.setSettings(&settings);
        process.setWorkspace(&workspace);
        process.setLogsFolder(makeTestFolder(QStringLiteral("logs")));
        process.setOutputFolder(out);
    }

    // Runs the job; the system log's lines, joined.
    QString run() {
        QStringList lines;
        {
            const SystemLogRedirect capture([&lines](const QString& line) { lines.append(line); });
            runJob(process);
        }
        return lines.join(QLatin1Char('\n'));
    }
};

TEST(ProcessPageMappingTest, LogNamesMappingsAndRefusesPagesThatEndEarly) {
    const QString in = makeTestFolder(QStringLiteral("in"));
    const QString out = makeTestFolder(QStringLiteral("out"));
    const QString path = QDir(in).filePath(QStringLiteral("mixed.tif"));
    TestTiffPage fax = bilevelPage(61, 40, true, COMPRESSION_CCITTFAX4);
    fax.rowsPerStrip = fax.height;
    // The fax page comes first so that its strip count is in the first
    // directory, where the test can halve it.
    ASSERT_TRUE(writeTestTiff(path, {fax, stretchedFloatPage(), grayPage(5, 3)}));
    QByteArray bytes = readFileBytes(path);
    ASSERT_TRUE(
        patchFirstDirectoryValue(bytes, TIFFTAG_STRIPBYTECOUNTS, [](uint32_t n) { return n / 2; }));
    ASSERT_TRUE(writeFileBytes(path, bytes));

    PngJob job(out);
    const SourceFile listed = listedSource(path);
    ASSERT_EQ(listed.pages, 3);
    job.process.outputFiles().push_back({path, {listed}});

    const QString joined = job.run();
    const LogFiles& entry = job.process.log().files.at(0);
    ASSERT_EQ(entry.logFiles.size(), 3U);
    EXPECT_EQ(entry.logFiles.at(0).status, QStringLiteral("Unable to save page!"));
    EXPECT_EQ(entry.logFiles.at(1).status, QStringLiteral("Completed"));
    EXPECT_EQ(entry.logFiles.at(2).status, QStringLiteral("Completed"));
    EXPECT_TRUE(joined.contains(QStringLiteral("Cannot read page 1 of “mixed.tif”: Page 1 cannot "
                                               "be decoded: the data ends early")))
        << joined.toStdString();
    EXPECT_TRUE(joined.contains(
        QStringLiteral("Page 2 of “mixed.tif” is not an exact copy: 32-bit floating-point samples "
                       "stretched from the page's range -3..50 to the output range")))
        << joined.toStdString();
    EXPECT_FALSE(joined.contains(QStringLiteral("Page 3 of")));
}

// Elevation as GIS tools write it: signed 16-bit, -9999 where there is no
// data; a 64-bit gradient beyond 16 bits; a signed page that fits.
TEST(ProcessPageMappingTest, LogNamesTheCaseAndRangeOfEveryPage) {
    TestTiffPage elevation = grayPage(8, 4, 16);
    elevation.sampleFormat = SAMPLEFORMAT_INT;
    elevation.noData = "-9999";
    elevation.bitsOf = [](uint32_t x, uint32_t y, uint16_t) {
        const int v = y == 1 && x < 3 ? -9999 : -5000 + int(x + 8 * y) * 10000 / 31;
        return uint64_t(static_cast<uint16_t>(v));
    };
    TestTiffPage gradient = grayPage(9, 2, 64);
    gradient.bitsOf = [](uint32_t x, uint32_t, uint16_t) { return (uint64_t(1) << 32) / 8 * x; };
    TestTiffPage small = grayPage(5, 2, 8);
    small.sampleFormat = SAMPLEFORMAT_INT;
    small.bitsOf = [](uint32_t x, uint32_t, uint16_t) { return uint64_t(x % 5); };

    const QString in = makeTestFolder(QStringLiteral("in"));
    const QString path = QDir(in).filePath(QStringLiteral("dem.tif"));
    ASSERT_TRUE(writeTestTiff(path, {elevation, gradient, small}));
    PngJob job(makeTestFolder(QStringLiteral("out")));
    addListedSource(job.process, path);
    const QString joined = job.run();
    const char* const expected[] = {
        "Page 1 of “dem.tif” is not an exact copy: signed 16-bit integer samples stretched from "
        "the page's range -5000..5000 to the output range; 3 pixels with the no-data value -9999 "
        "made transparent (black where the output has no alpha)",
        "Page 2 of “dem.tif” is not an exact copy: 64-bit integer samples stretched from the "
        "page's range 0..4294967296 to the output range",
    };
    for (const char* line : expected) {
        EXPECT_TRUE(joined.contains(QString::fromUtf8(line))) << line << "\n"
                                                              << joined.toStdString();
    }
    EXPECT_FALSE(joined.contains(QStringLiteral("Page 3 of"))) << joined.toStdString();
}

} // namespace
