#include "engine/Process.h"

#include "JobFixture.h"
#include "engine/OutputNames.h"
#include "engine/Settings.h"
#include "platform/DateFormat.h"
#include "platform/Workspace.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <gtest/gtest.h>

#include <tiffio.h>

namespace {

// Records the waiting calls the job makes to whoever started it.
class RecordingDelegate : public ProcessDelegate {
public:
    void updateTimeTakenLabel(const QString& text) override { texts.append(text); }
    QStringList texts;
};

class ProcessTest : public ::testing::Test {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));
    QString logs = makeTestFolder(QStringLiteral("logs"));
    Settings settings;
    RecordingWorkspace workspace;
    RecordingDelegate delegate;
    Process process;

    void SetUp() override {
        settings.setIsOpenFolderAfterConversion(false);
        process.setSettings(&settings);
        process.setWorkspace(&workspace);
        process.setDelegate(&delegate);
        process.setLogsFolder(logs);
        process.setOutputFolder(out);
    }

    QString makeTiff(const QString& name, int pages, const QString& folder = {}) {
        std::vector<TestTiffPage> layout;
        for (int i = 0; i < pages; ++i) {
            layout.push_back(rgbPage(9 + i, 7, 8));
        }
        const QString path = QDir(folder.isEmpty() ? in : folder).filePath(name);
        EXPECT_TRUE(writeTestTiff(path, layout));
        return path;
    }

    void addSource(const QString& path) { addListedSource(process, path); }

    // The job takes its options as they stand when it is handed the record.
    void run() {
        process.setSettings(&settings);
        runJob(process);
    }

    // Cancels from the worker, as the Cancel button would, once `pages` are done.
    void cancelAfterPages(int pages) {
        QObject::connect(
            &process, &Process::totalPagesProcessedChanged, &process,
            [this, pages](int done) {
                if (done == pages) {
                    process.stop();
                }
            },
            Qt::DirectConnection);
    }

    QStringList outputs() const {
        return QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

struct NameCase {
    const char* name;
    const char* base;
    const char* separator;
    int leadingZeros;
    int outputType;
    int page;
    const char* expected;
};

class PageNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(PageNameTest, BuildsOnePathComponent) {
    const NameCase& c = GetParam();
    EXPECT_EQ(pageFileName(QString::fromUtf8(c.base), QString::fromUtf8(c.separator),
                           c.leadingZeros, c.outputType, c.page)
                  .toStdString(),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PageNameTest,
    ::testing::Values(
        NameCase{"Padded", "invoice", "_", 3, OutputPng, 2, "invoice_002.png"},
        NameCase{"NoPadding", "scan", "", 0, OutputJpeg, 7, "scan7.jpg"},
        NameCase{"OneDigitMeansNone", "scan", "-", 1, OutputBmp, 7, "scan-7.bmp"},
        NameCase{"LongerThanPadding", "scan", "-", 3, OutputGif, 1234, "scan-1234.gif"},
        NameCase{"ColonSeparator", "scan", ":", 2, OutputTiff, 3, "scan-03.tiff"},
        NameCase{"ColonInBase", "a:b", "", 0, OutputJpeg, 1, "a-b1.jpg"},
        NameCase{"SlashSeparator", "scan", "/../", 0, OutputJpeg, 1, "scan-..-1.jpg"},
        NameCase{"DotsInBase", "report.final", ".", 2, OutputJpeg, 1, "report.final.01.jpg"}),
    ByName());

TEST(OutputNamesTest, BaseNameDropsOnlyTheLastExtension) {
    EXPECT_EQ(baseNameOf(QStringLiteral("report.final.tif")), QStringLiteral("report.final"));
    EXPECT_EQ(baseNameOf(QStringLiteral("scan")), QStringLiteral("scan"));
    EXPECT_EQ(multiPageTiffFileName(QStringLiteral("a:b")), QStringLiteral("a:b.tiff"));
}

TEST(TimeTakenTest, MinutesAndSecondsUntilAnHour) {
    const QDateTime start(QDate(2026, 3, 7), QTime(10, 0, 0));
    EXPECT_EQ(timeTakenString(start, start.addSecs(75)), QStringLiteral("01:15"));
    EXPECT_EQ(timeTakenString(start, start.addSecs(3725)), QStringLiteral("01:02:05"));
    EXPECT_EQ(timeTakenString(start, start), QStringLiteral("00:00"));
    EXPECT_EQ(timeTakenString(QDateTime(), start), QString());
}

TEST_F(ProcessTest, ThreePagesGiveThreeFilesAndTheTotalMessage) {
    settings.setSeparator(QStringLiteral("-"));
    settings.setLeadingZeros(2);
    addSource(makeTiff(QStringLiteral("scan.tif"), 3));
    run();
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("scan-01.jpg"), QStringLiteral("scan-02.jpg"),
                                      QStringLiteral("scan-03.jpg")}));
    EXPECT_EQ(process.totalFileCreated(), 3);
    EXPECT_EQ(process.totalFileProcessed(), 1);
    EXPECT_EQ(process.message(), QStringLiteral("Total 3 files converted successfully."));
    EXPECT_TRUE(process.isCompleted());
    EXPECT_FALSE(process.isCombining());
    EXPECT_TRUE(process.fileInProcess().isEmpty());
    EXPECT_TRUE(process.outputFileInProcess().isEmpty());
    const LogFiles& entry = process.log().files.at(0);
    EXPECT_EQ(entry.pages, 3);
    EXPECT_EQ(entry.status, QString());
    EXPECT_EQ(entry.logFiles.at(2).targetFile, QStringLiteral("scan-03.jpg"));
    EXPECT_EQ(entry.logFiles.at(2).status, QStringLiteral("Completed"));
    QImageReader reader(QDir(out).filePath(QStringLiteral("scan-02.jpg")));
    EXPECT_EQ(reader.size(), QSize(10, 7));
}

TEST_F(ProcessTest, SinglePageSourcesAllConverted) {
    for (const char* name : {"a.tif", "b.tif", "c.tif"}) {
        addSource(makeTiff(QString::fromUtf8(name), 1));
    }
    run();
    EXPECT_EQ(process.message(), QStringLiteral("All files converted successfully."));
    EXPECT_EQ(delegate.texts.size(), 4); // after each source, and at the end
    EXPECT_EQ(delegate.texts.first(), QStringLiteral("Total Time Taken : In Process... 1/3"));
    EXPECT_TRUE(delegate.texts.last().startsWith(QStringLiteral("Total Time Taken : 00:")));
    EXPECT_TRUE(delegate.texts.last().endsWith(QStringLiteral(" 3/3")));
}

TEST_F(ProcessTest, UnreadableSourceIsLoggedWithoutFailingTheRun) {
    addSource(makeTiff(QStringLiteral("good.tif"), 1));
    const QString broken = QDir(in).filePath(QStringLiteral("broken.tif"));
    ASSERT_TRUE(writeFileBytes(broken, "not an image at all"));
    addSource(broken);
    run();
    EXPECT_EQ(process.message(), QStringLiteral("Total 1 files converted successfully."));
    EXPECT_EQ(process.log().files.at(1).status, QStringLiteral("Unable to Open File!"));
    EXPECT_TRUE(process.log().files.at(1).logFiles.empty());
    EXPECT_EQ(process.totalFileProcessed(), 2);
}

TEST_F(ProcessTest, PageMissingSinceTheItemWasMadeFailsThatSource) {
    const QString path = makeTiff(QStringLiteral("shrunk.tif"), 3);
    addSource(path);
    makeTiff(QStringLiteral("shrunk.tif"), 2); // the file changed after it was added
    addSource(makeTiff(QStringLiteral("next.tif"), 1));
    run();
    EXPECT_EQ(process.message(),
              QStringLiteral(
                  "Pictavo unable able to convert some of the files!\r\nPlease check log for more "
                  "information."));
    const LogFiles& shrunk = process.log().files.at(0);
    EXPECT_FALSE(shrunk.status.isEmpty());
    EXPECT_EQ(shrunk.pages, 2);
    EXPECT_EQ(process.log().files.at(1).pages, 1); // the run went on
}

TEST_F(ProcessTest, SourceWithoutPagesWritesNothing) {
    const QString empty = QDir(in).filePath(QStringLiteral("empty.tif"));
    ASSERT_TRUE(writeFileBytes(empty, QByteArray()));
    addSource(empty);
    run();
    EXPECT_TRUE(outputs().isEmpty());
    EXPECT_EQ(process.totalFileCreated(), 0);
}

TEST_F(ProcessTest, MultiPageTiffHoldsEveryPage) {
    settings.setOutputType(OutputTiff);
    settings.setTiffCompressionIndex(3);
    settings.setSeparator(QStringLiteral(":")); // not used for one TIFF per source
    addSource(makeTiff(QStringLiteral("scan.tif"), 3));
    run();
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("scan.tiff")});
    EXPECT_EQ(process.totalFileCreated(), 1);
    EXPECT_EQ(process.message(), QStringLiteral("All files converted successfully."));
    const LogFiles& entry = process.log().files.at(0);
    ASSERT_EQ(entry.logFiles.size(), 3U);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(entry.logFiles[n].targetFile, QStringLiteral("scan.tiff"));
        EXPECT_EQ(entry.logFiles[n].sourcePageNo, n + 1);
    }
    const TiffSummary written = summarizeTiff(QDir(out).filePath(QStringLiteral("scan.tiff")));
    EXPECT_EQ(written.pages, 3);
    EXPECT_EQ(written.compression, COMPRESSION_LZW);
}

TEST_F(ProcessTest, CancelBetweenPagesKeepsWrittenPages) {
    // One worker stops exactly where it is told; more keep the pages they
    // have under way (CancelUnderThePool).
    process.setWorkers(1);
    addSource(makeTiff(QStringLiteral("long.tif"), 5));
    addSource(makeTiff(QStringLiteral("never.tif"), 1));
    cancelAfterPages(2);
    run();
    EXPECT_EQ(process.message(), QStringLiteral("Process cancelled!"));
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("long1.jpg"), QStringLiteral("long2.jpg")}));
    EXPECT_EQ(process.totalFileProcessed(), 1);
    ASSERT_EQ(process.log().files.size(), 1U);
    EXPECT_EQ(process.log().files.at(0).outcome, SourceOutcome::Incomplete);
    EXPECT_EQ(process.log().files.at(0).status, QStringLiteral("Cancelled: 2 of 5 pages written"));
}

TEST_F(ProcessTest, CancelDuringMultiPageTiffWritesPagesGathered) {
    settings.setOutputType(OutputTiff);
    addSource(makeTiff(QStringLiteral("long.tif"), 5));
    cancelAfterPages(2);
    run();
    EXPECT_EQ(process.message(), QStringLiteral("Process cancelled!"));
    EXPECT_EQ(process.totalFileCreated(), 1);
    EXPECT_EQ(process.log().files.at(0).pages, 2);
    EXPECT_EQ(summarizeTiff(QDir(out).filePath(QStringLiteral("long.tiff"))).pages, 2);
    // Kept with the pages gathered, and never taken for the whole source.
    EXPECT_EQ(process.log().files.at(0).outcome, SourceOutcome::Incomplete);
    EXPECT_EQ(process.log().files.at(0).status, QStringLiteral("Cancelled: 2 of 5 pages written"));
}

TEST_F(ProcessTest, SameBaseNameFromTwoFoldersGetsANumber) {
    const QString a = makeTestFolder(QStringLiteral("a"));
    const QString b = makeTestFolder(QStringLiteral("b"));
    addSource(makeTiff(QStringLiteral("scan.tif"), 1, a));
    addSource(makeTiff(QStringLiteral("scan.tif"), 1, b));
    settings.setSeparator(QStringLiteral("-"));
    run();
    EXPECT_EQ(outputs(),
              (QStringList{QStringLiteral("scan (2)-1.jpg"), QStringLiteral("scan-1.jpg")}));
    EXPECT_EQ(process.log().files.at(1).logFiles.at(0).targetFile,
              QStringLiteral("scan (2)-1.jpg"));
}

TEST_F(ProcessTest, MultiPageTiffNeverOverwritesItsSource) {
    settings.setOutputType(OutputTiff);
    process.setOutputFolder(QString()); // each source's own folder
    const QString source = makeTiff(QStringLiteral("scan.tiff"), 2);
    const QByteArray before = readFileBytes(source);
    addSource(source);
    run();
    EXPECT_EQ(readFileBytes(source), before);
    EXPECT_TRUE(QFileInfo::exists(QDir(in).filePath(QStringLiteral("scan (2).tiff"))));
    EXPECT_EQ(process.log().files.at(0).logFiles.at(0).targetFile, QStringLiteral("scan (2).tiff"));
}

TEST_F(ProcessTest, FileFromAnEarlierRunIsReplaced) {
    const QString old = QDir(out).filePath(QStringLiteral("scan1.jpg"));
    ASSERT_TRUE(writeFileBytes(old, "old"));
    addSource(makeTiff(QStringLiteral("scan.tif"), 1));
    run();
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("scan1.jpg")});
    EXPECT_NE(readFileBytes(old), QByteArray("old"));
}

TEST_F(ProcessTest, OpensTheOutputFolderOnlyWhenSomethingWasCreated) {
    settings.setIsOpenFolderAfterConversion(true);
    const QString broken = QDir(in).filePath(QStringLiteral("broken.tif"));
    ASSERT_TRUE(writeFileBytes(broken, "x"));
    addSource(broken);
    run();
    EXPECT_TRUE(workspace.requests().isEmpty());

    Process second;
    second.setSettings(&settings);
    second.setWorkspace(&workspace);
    second.setLogsFolder(logs);
    second.setOutputFolder(out);
    const QString good = makeTiff(QStringLiteral("good.tif"), 1);
    addListedSource(second, good);
    runJob(second);
    ASSERT_EQ(workspace.requests().size(), 1);
    EXPECT_EQ(workspace.requests().at(0),
              (RecordingWorkspace::Request{QStringLiteral("open"), {out}}));
}

TEST_F(ProcessTest, NoGroupsFinishesAtOnceAndSavesTheLog) {
    run();
    EXPECT_EQ(process.message(), QStringLiteral("All files converted successfully."));
    EXPECT_TRUE(QFileInfo::exists(process.log().logFilePath()));
    EXPECT_TRUE(process.log().logFilePath().startsWith(logs));
    process.viewLog();
    EXPECT_EQ(workspace.requests().last().paths, QStringList{process.log().logFilePath()});
}

TEST_F(ProcessTest, CancelledBeforeStartWritesNothing) {
    addSource(makeTiff(QStringLiteral("scan.tif"), 1));
    process.stop(); // as a quit or a signal before the worker got going
    process.start();
    EXPECT_EQ(process.message(), QStringLiteral("Process cancelled!"));
    EXPECT_TRUE(outputs().isEmpty());
}

TEST_F(ProcessTest, StartIsRunningUntilTheEnd) {
    addSource(makeTiff(QStringLiteral("scan.tif"), 2));
    QList<bool> running;
    QObject::connect(
        &process, &Process::isCombiningChanged, &process,
        [&running](bool value) { running.append(value); }, Qt::DirectConnection);
    bool runningAtFirstPage = false;
    QObject::connect(
        &process, &Process::totalPagesProcessedChanged, &process,
        [&](int done) {
            runningAtFirstPage = runningAtFirstPage || (done == 1 && process.isCombining());
        },
        Qt::DirectConnection);
    run();
    EXPECT_TRUE(runningAtFirstPage);
    EXPECT_EQ(running, (QList<bool>{true, false}));
    EXPECT_EQ(outputs().size(), 2);
    EXPECT_FALSE(process.wasCancelled());
}

TEST_F(ProcessTest, UnwritableOutputMarksPagesUnsaved) {
    // A plain file where the output folder should be.
    const QString blocker = QDir(out).filePath(QStringLiteral("file"));
    ASSERT_TRUE(writeFileBytes(blocker, "x"));
    process.setOutputFolder(blocker);
    addSource(makeTiff(QStringLiteral("scan.tif"), 2));
    run();
    EXPECT_EQ(process.totalFileCreated(), 0);
    EXPECT_EQ(process.log().files.at(0).logFiles.at(1).status,
              QStringLiteral("Unable to save page!"));
    // Nothing written is no success.
    EXPECT_EQ(process.message(),
              QStringLiteral(
                  "Pictavo unable able to convert some of the files!\r\nPlease check log for more "
                  "information."));
}

// Sources by page count; -1 is a file that cannot be opened. Blocked outputs
// are folders standing where a page file must go, so that page fails.
struct MessageCase {
    std::string name;
    std::vector<int> sources;
    QStringList blocked;
    const char* message;
};

class FinalMessageTest : public ProcessTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(FinalMessageTest, SaysSuccessOnlyWhenEveryPageWasWritten) {
    int index = 0;
    for (const int pages : GetParam().sources) {
        const QString name = QStringLiteral("s%1.tif").arg(index++);
        if (pages < 0) {
            const QString broken = QDir(in).filePath(name);
            ASSERT_TRUE(writeFileBytes(broken, "not an image"));
            addSource(broken);
        } else {
            addSource(makeTiff(name, pages));
        }
    }
    for (const QString& name : GetParam().blocked) {
        ASSERT_TRUE(QDir(out).mkdir(name));
    }
    run();
    EXPECT_EQ(process.message(), QString::fromUtf8(GetParam().message));
}

const char* const kSomeFailed =
    "Pictavo unable able to convert some of the files!\r\nPlease check log for more information.";

INSTANTIATE_TEST_SUITE_P(
    Runs, FinalMessageTest,
    ::testing::Values(
        MessageCase{"EveryPageOfSingles", {1, 1}, {}, "All files converted successfully."},
        MessageCase{"SecondPageFailed",
                    {2},
                    {QStringLiteral("s02.jpg")},
                    "Total 1 files converted successfully."},
        MessageCase{"UnopenedSourceHidesBehindEqualCounts",
                    {2, -1},
                    {},
                    "Total 2 files converted successfully."},
        MessageCase{"EveryPageFailed",
                    {1, 1},
                    {QStringLiteral("s01.jpg"), QStringLiteral("s11.jpg")},
                    kSomeFailed},
        MessageCase{"NothingCouldBeOpened", {-1}, {}, kSomeFailed},
        MessageCase{"NoSources", {}, {}, "All files converted successfully."}),
    ByName());

TEST_F(ProcessTest, OptionsAreTakenWhenTheJobIsHandedTheRecord) {
    addSource(makeTiff(QStringLiteral("scan.tif"), 2));
    settings.setSeparator(QStringLiteral("_"));
    process.setSettings(&settings);
    // Edits after that moment, as the settings sheet might make, reach no page.
    settings.setOutputType(OutputPng);
    settings.setSeparator(QStringLiteral("-"));
    settings.setLeadingZeros(3);
    runJob(process);
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("scan_1.jpg"), QStringLiteral("scan_2.jpg")}));
    EXPECT_EQ(process.log().files.at(0).logFiles.at(1).targetFile, QStringLiteral("scan_2.jpg"));
}

TEST_F(ProcessTest, UnwritableLogLeavesNoPathToView) {
    const QString blocker = QDir(logs).filePath(QStringLiteral("file"));
    ASSERT_TRUE(writeFileBytes(blocker, "x"));
    process.setLogsFolder(blocker); // a file, not a folder
    addSource(makeTiff(QStringLiteral("scan.tif"), 1));
    run();
    EXPECT_TRUE(process.log().logFilePath().isEmpty());
    EXPECT_FALSE(process.log().saveError().isEmpty());
    process.viewLog();
    EXPECT_TRUE(workspace.requests().isEmpty());
}

// Page sizes as their headers tell them, without decoding.
class SizedPages final : public PageSource {
public:
    explicit SizedPages(std::vector<qint64> sizes) : m_sizes(std::move(sizes)) {}
    int pageCount() const override { return static_cast<int>(m_sizes.size()); }
    Result<QImage> readPage(int) override {
        return Result<QImage>::failure(QStringLiteral("unused"));
    }
    qint64 pageByteSize(int index) override { return m_sizes.at(static_cast<size_t>(index)); }

private:
    std::vector<qint64> m_sizes;
};

TEST(BigTiffTest, DecidedFromEveryPageNotTheFirst) {
    constexpr qint64 kGiB = qint64(1) << 30;
    struct Case {
        std::vector<qint64> sizes;
        bool big;
    };
    const std::vector<Case> cases = {
        {{1000, 1000, 1000}, false},
        {{1000, 3 * kGiB}, true},                           // a small first page before a large one
        {{kGiB * 3 / 4, kGiB * 3 / 4, kGiB * 3 / 4}, true}, // compression may grow pages
        {{kGiB / 4, kGiB / 4}, false},
        {{-1, -1}, false}, // unknown pages fail on their own
    };
    for (const Case& c : cases) {
        SizedPages source(c.sizes);
        QList<int> range;
        for (int n = 1; n <= source.pageCount(); ++n) {
            range.append(n);
        }
        EXPECT_EQ(Process::needsBigTiff(source, range), c.big) << c.sizes.size() << " pages";
    }
}

} // namespace

namespace {

// What a page may weigh once decoded, read from its header alone.
TEST(PageByteSizeTest, CoversThePageAsItIsHeld) {
    const QString path =
        QDir(makeTestFolder(QStringLiteral("sizes"))).filePath(QStringLiteral("p.tif"));
    ASSERT_TRUE(
        writeTestTiff(path, {bilevelPage(80, 10, false), grayPage(10, 10, 16), rgbPage(10, 10, 8),
                             palettePage(10, 10, 8), palettePage(10, 10, 16)}));
    auto source = PageSource::open(path);
    ASSERT_TRUE(source);
    const std::vector<qint64> expected = {100, 200, 300, 400, 800};
    for (int i = 0; i < static_cast<int>(expected.size()); ++i) {
        EXPECT_GE((*source)->pageByteSize(i), expected[static_cast<size_t>(i)]) << "page " << i;
        const Result<QImage> page = (*source)->readPage(i);
        ASSERT_TRUE(page) << page.error().toStdString();
        const qint64 held = qint64(page->width()) * page->height() * page->depth() / 8;
        EXPECT_GE((*source)->pageByteSize(i), held) << "page " << i << " is held in " << held;
    }
    EXPECT_EQ((*source)->pageByteSize(5), -1);
}

} // namespace
