// A source is logged as converted only when every page it has reached its
// file; otherwise its entry says how far the job came and why not further,
// and the closing message is no full success.
#include "JobFixture.h"
#include "engine/OutputFormats.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "engine/TiffHandle.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <gtest/gtest.h>

namespace {

const char* const kSomeFailed =
    "Pictavo unable able to convert some of the files!\r\nPlease check log for more information.";

using Spoil = std::function<bool(const QString& source, const QString& out)>;

// The third of three directories is cut off.
const Spoil kChainBroken = [](const QString& source, const QString&) {
    Result<TiffHandle> tiff = TiffHandle::openFile(source, "r");
    if (!tiff || TIFFSetDirectory(tiff->get(), 2) != 1) {
        return false;
    }
    const auto third = static_cast<qint64>(TIFFCurrentDirOffset(tiff->get()));
    return QFile(source).resize(third);
};
// The first page's strip lies past the end of the file.
const Spoil kFirstPageUnreadable = [](const QString& source, const QString&) {
    QByteArray bytes = readFileBytes(source);
    return patchFirstDirectoryValue(bytes, TIFFTAG_STRIPOFFSETS,
                                    [](uint32_t offset) { return offset + (1U << 24); }) &&
           writeFileBytes(source, bytes);
};
// A folder stands where the gathered file must go.
const Spoil kGatheredFileBlocked = [](const QString&, const QString& out) {
    return QDir(out).mkdir(QStringLiteral("src.tiff"));
};

struct StatusCase {
    const char* name;
    int outputType;
    Spoil spoil;
    int filesWritten;
    const char* status; // the entry's status starts so; "" for converted
    const char* message;
    const char* systemLine; // a line of the system log starts so; nullptr: none asked
};

class SourceStatusTest : public ::testing::TestWithParam<StatusCase> {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));
    QString logs = makeTestFolder(QStringLiteral("logs"));
};

TEST_P(SourceStatusTest, AnIncompleteSourceIsNeverLoggedAsConverted) {
    const StatusCase& c = GetParam();
    const QString source = QDir(in).filePath(QStringLiteral("src.tif"));
    ASSERT_TRUE(writeTestTiff(source, {rgbPage(9, 7), rgbPage(10, 7), rgbPage(11, 7)}));
    ASSERT_TRUE(c.spoil(source, out));
    const SourceFile listed = listedSource(source);

    Settings settings;
    settings.setOutputType(c.outputType);
    settings.setIsOpenFolderAfterConversion(false);
    SystemLogCapture lines;
    Process job;
    job.setSettings(&settings);
    job.setLogsFolder(logs);
    job.setOutputFolder(out);
    job.setWorkers(2);
    job.outputFiles().push_back({source, {listed}});
    runJob(job);

    ASSERT_EQ(job.log().files.size(), 1U);
    const LogFiles& entry = job.log().files.front();
    const QString status = QString::fromUtf8(c.status);
    EXPECT_TRUE(status.isEmpty() ? entry.status.isEmpty() : entry.status.startsWith(status))
        << entry.status.toStdString();
    EXPECT_EQ(entry.outcome == SourceOutcome::Converted, status.isEmpty());
    EXPECT_EQ(job.message(), QString::fromUtf8(c.message));
    EXPECT_EQ(job.totalFileCreated(), c.filesWritten);
    if (c.systemLine != nullptr) {
        QString wanted = QString::fromUtf8(c.systemLine);
        wanted.replace(QStringLiteral("%1"), source);
        const QStringList all = lines.lines();
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const QString& line) {
            return line.startsWith(wanted);
        })) << all.join(QLatin1Char('\n')).toStdString();
    }
    if (c.outputType == OutputTiff && c.filesWritten == 1) {
        EXPECT_EQ(summarizeTiff(QDir(out).filePath(QStringLiteral("src.tiff"))).pages, entry.pages);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SourceStatusTest,
    ::testing::Values(
        StatusCase{"ChainBrokenPerPage", OutputPng, kChainBroken, 2,
                   "Only 2 pages of the file could be read: the directory of page 3 cannot be "
                   "read",
                   kSomeFailed,
                   "Cannot read “%1” past page 2: the directory of page 3 cannot be read"},
        StatusCase{"ChainBrokenGathered", OutputTiff, kChainBroken, 1,
                   "Only 2 pages of the file could be read: the directory of page 3 cannot be "
                   "read",
                   kSomeFailed,
                   "Cannot read “%1” past page 2: the directory of page 3 cannot be read"},
        StatusCase{"GatheredWithoutAPage", OutputTiff, kFirstPageUnreadable, 1,
                   "Only 2 of 3 pages were written into “src.tiff”", kSomeFailed,
                   "Cannot read page 1 of “src.tif”"},
        StatusCase{"GatheredFileNotWritten", OutputTiff, kGatheredFileBlocked, 0, "Cannot write “",
                   kSomeFailed, "Cannot write “"},
        // Each page file stands for itself: the one missing is told by its own
        // entry, the source's stays as it was.
        StatusCase{"PerPageWithoutAPage", OutputPng, kFirstPageUnreadable, 2, "",
                   "Total 2 files converted successfully.", "Cannot read page 1 of “src.tif”"}),
    ByName());

} // namespace
