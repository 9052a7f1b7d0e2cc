#include "JobFixture.h"
#include "engine/ConversionPlan.h"
#include "engine/ImageUtilities.h"
#include "engine/OutputCompleteness.h"
#include "engine/OutputFormats.h"
#include "engine/OutputNames.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "engine/TaskPool.h"
#include "platform/SystemLog.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

#include <condition_variable>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <utility>

#include <tiffio.h>

namespace {

// Everything a run leaves that a user or a script could tell apart.
struct RunRecord {
    QStringList files;             // names under the output folder, hidden ones too
    std::vector<QByteArray> bytes; // in the order of `files`
    QStringList log;               // one line per source and per page
    QStringList systemLines;
    QString message;
    int created = 0;
    int pages = 0;
    int processed = 0;
};

QStringList describe(const Log& log) {
    QStringList lines;
    for (const LogFiles& source : log.files) {
        lines.append(QStringLiteral("%1 [%2] %3 pages")
                         .arg(source.filename, source.status)
                         .arg(source.pages));
        for (const LogFile& page : source.logFiles) {
            lines.append(QStringLiteral("  %1 <- %2: %3")
                             .arg(page.targetFile)
                             .arg(page.sourcePageNo)
                             .arg(page.status));
        }
    }
    return lines;
}

struct Source {
    QString path;
    SourceFile listed; // as the list counted it when added
};

class ProcessPoolTest : public ::testing::Test {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString logs = makeTestFolder(QStringLiteral("logs"));
    Settings settings;

    void SetUp() override { settings.setIsOpenFolderAfterConversion(false); }

    QString makeTiff(const QString& relative, std::vector<TestTiffPage> pages) {
        const QString path = QDir(in).filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writeTestTiff(path, pages));
        return path;
    }

    static std::vector<TestTiffPage> mixedPages(int count) {
        std::vector<TestTiffPage> pages;
        for (int i = 0; i < count; ++i) {
            switch (i % 4) {
            case 0:
                pages.push_back(rgbPage(40 + i, 30));
                break;
            case 1:
                pages.push_back(grayPage(33, 20 + i));
                break;
            case 2:
                pages.push_back(bilevelPage(64 + i, 40, i % 2 == 0));
                break;
            default:
                pages.push_back(palettePage(25, 25 + i));
                break;
            }
        }
        return pages;
    }

    // Sources made once per test: a multi-page file of every layout, two
    // files of one base name in two folders, a file that is no TIFF, and one
    // that lost pages after it was added.
    Source source(const QString& relative, int pages) {
        const QString path = makeTiff(relative, mixedPages(pages));
        return {path, listedSource(path)};
    }

    std::vector<Source> typicalSources() {
        std::vector<Source> sources;
        sources.push_back(source(QStringLiteral("mixed.tif"), 7));
        sources.push_back(source(QStringLiteral("a/scan.tif"), 3));
        sources.push_back(source(QStringLiteral("b/scan.tif"), 2));
        // Broken after it was added.
        sources.push_back(source(QStringLiteral("broken.tif"), 3));
        EXPECT_TRUE(writeFileBytes(sources.back().path, QByteArray("II*\0garbage", 11)));
        // Lost pages after it was added.
        sources.push_back(source(QStringLiteral("shrunk.tif"), 4));
        makeTiff(QStringLiteral("shrunk.tif"), mixedPages(2));
        sources.push_back(source(QStringLiteral("last.tif"), 5));
        return sources;
    }

    static void addTo(Process& job, const std::vector<Source>& sources) {
        for (const Source& source : sources) {
            job.outputFiles().push_back({source.path, {source.listed}});
        }
    }

    RunRecord convert(const std::vector<Source>& sources, int workers, const QString& folderName,
                      int cancelAfterPages = 0) {
        const QString out = makeTestFolder(folderName);
        if (prepareOutput) {
            prepareOutput(out);
        }
        RunRecord record;
        SystemLogRedirect capture(
            [&record](const QString& line) { record.systemLines.append(line); });
        Process job;
        job.setSettings(&settings);
        job.setLogsFolder(logs);
        job.setOutputFolder(out);
        job.setWorkers(workers);
        addTo(job, sources);
        if (cancelAfterPages > 0) {
            QObject::connect(
                &job, &Process::totalPagesProcessedChanged, &job,
                [&job, cancelAfterPages](int done) {
                    if (done == cancelAfterPages) {
                        job.stop();
                    }
                },
                Qt::DirectConnection);
        }
        runJob(job);
        record.files = QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        for (const QString& name : record.files) {
            record.bytes.push_back(readFileBytes(QDir(out).filePath(name)));
        }
        record.log = describe(job.log());
        record.message = job.message();
        record.created = job.totalFileCreated();
        record.pages = job.totalPagesProcessed();
        record.processed = job.totalFileProcessed();
        lastLog = job.log();
        lastOut = out;
        return record;
    }

    Log lastLog;
    QString lastOut;
    std::function<void(const QString&)> prepareOutput;
};

struct OutputCase {
    const char* name;
    int outputType;
    bool split;
    int compression;
};

class OneOrManyWorkers : public ProcessPoolTest,
                         public ::testing::WithParamInterface<OutputCase> {};

TEST_P(OneOrManyWorkers, WriteTheSameFilesLogAndMessages) {
    const OutputCase& c = GetParam();
    settings.setOutputType(c.outputType);
    settings.setIsSplitTIFFIntoSinglePages(c.split);
    settings.setTiffCompressionIndex(c.compression);
    settings.setSeparator(QStringLiteral("-"));
    const std::vector<Source> sources = typicalSources();

    // A PDF states when it was made.
    qputenv("SOURCE_DATE_EPOCH", "1700000000");
    const RunRecord one = convert(sources, 1, QStringLiteral("one"));
    const RunRecord many = convert(sources, 4, QStringLiteral("many"));
    qunsetenv("SOURCE_DATE_EPOCH");

    ASSERT_FALSE(one.files.isEmpty());
    EXPECT_EQ(many.files, one.files);
    ASSERT_EQ(many.bytes.size(), one.bytes.size());
    for (size_t i = 0; i < one.bytes.size(); ++i) {
        EXPECT_TRUE(many.bytes[i] == one.bytes[i])
            << one.files.at(static_cast<qsizetype>(i)).toStdString();
    }
    EXPECT_EQ(many.log, one.log);
    EXPECT_EQ(many.systemLines, one.systemLines);
    EXPECT_EQ(many.message, one.message);
    EXPECT_EQ(many.created, one.created);
    EXPECT_EQ(many.pages, one.pages);
    EXPECT_EQ(many.processed, one.processed);
    // The clash got its own name, the missing source and pages are told.
    EXPECT_TRUE(one.log.join(QLatin1Char('\n')).contains(QStringLiteral("scan (2)")));
    EXPECT_TRUE(one.log.join(QLatin1Char('\n')).contains(QStringLiteral("Unable to Open File!")));
    if (c.split || !outputFormat(c.outputType)->options.tiffSplit) {
        EXPECT_TRUE(one.log.join(QLatin1Char('\n'))
                        .contains(QStringLiteral("Page 3 does not exist; the file has 2 pages")));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, OneOrManyWorkers,
                         ::testing::Values(OutputCase{"Jpeg", OutputJpeg, false, 0},
                                           OutputCase{"Png", OutputPng, false, 0},
                                           OutputCase{"Gif", OutputGif, false, 0},
                                           OutputCase{"Bmp", OutputBmp, false, 0},
                                           OutputCase{"TiffPerPage", OutputTiff, true, 1},
                                           OutputCase{"TiffPerSource", OutputTiff, false, 1},
                                           OutputCase{"PdfPerPage", OutputPdf, true, 0},
                                           OutputCase{"PdfPerSource", OutputPdf, false, 0}),
                         ByName());

// After a stop under the pool, what is on disk and what the log says are the
// same pages: whole files, in the order of the sources, nothing half written.
struct CancelCase {
    const char* name;
    int outputType;
    int afterPages;
};

class CancelUnderThePool : public ProcessPoolTest,
                           public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelUnderThePool, LeavesExactlyWhatTheLogRecords) {
    const CancelCase& c = GetParam();
    settings.setOutputType(c.outputType);
    settings.setTiffCompressionIndex(1);
    std::vector<Source> sources;
    for (const char* name : {"first.tif", "second.tif", "third.tif"}) {
        sources.push_back(source(QString::fromLatin1(name), 6));
    }
    const RunRecord run = convert(sources, 4, QStringLiteral("out"), c.afterPages);
    EXPECT_EQ(run.message, QStringLiteral("Process cancelled!"));
    EXPECT_GE(run.pages, c.afterPages);
    if (c.outputType != OutputTiff) {
        // Four workers keep at most five pages past the head under way; a
        // gathered file behind the head may be finished whole.
        EXPECT_LE(run.pages, c.afterPages + 5);
    }

    QStringList logged;
    int expectedPage = 1;
    int sourceIndex = 0;
    for (const LogFiles& source : lastLog.files) {
        // Every source the stop came into says how far it got.
        if (source.pages < 6) {
            EXPECT_EQ(source.outcome, SourceOutcome::Incomplete);
            EXPECT_EQ(source.status,
                      QStringLiteral("Cancelled: %1 of 6 pages written").arg(source.pages));
        } else {
            EXPECT_EQ(source.outcome, SourceOutcome::Converted);
            EXPECT_TRUE(source.status.isEmpty()) << source.status.toStdString();
        }
        int written = 0;
        for (const LogFile& page : source.logFiles) {
            // Pages are recorded in order, each source's from its first.
            EXPECT_EQ(page.sourcePageNo, expectedPage++);
            ASSERT_EQ(page.outcome, PageOutcome::Written) << page.targetFile.toStdString();
            ++written;
            if (!logged.contains(page.targetFile)) {
                logged.append(page.targetFile);
            }
        }
        EXPECT_EQ(source.pages, written);
        if (c.outputType == OutputTiff && written > 0) {
            EXPECT_EQ(
                summarizeTiff(QDir(lastOut).filePath(source.logFiles.front().targetFile)).pages,
                written);
        }
        expectedPage = 1;
        ++sourceIndex;
    }
    logged.sort();
    EXPECT_EQ(run.files, logged); // no temporary file, no page the log does not name
    for (const QString& name : run.files) {
        if (c.outputType != OutputTiff) {
            QImageReader reader(QDir(lastOut).filePath(name));
            EXPECT_TRUE(reader.canRead()) << name.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Points, CancelUnderThePool,
                         ::testing::Values(CancelCase{"FirstPage", OutputPng, 1},
                                           CancelCase{"MidSource", OutputPng, 4},
                                           CancelCase{"SourceBoundary", OutputJpeg, 6},
                                           CancelCase{"LateSource", OutputBmp, 13},
                                           CancelCase{"GatheredEarly", OutputTiff, 2},
                                           CancelCase{"GatheredSecondSource", OutputTiff, 8}),
                         ByName());

// A PDF stands for its whole source: the one a stop came into is not
// written, and its pages are not logged as written.
TEST_F(ProcessPoolTest, StopLeavesNoPdfForTheSourceUnderWay) {
    settings.setOutputType(OutputPdf);
    std::vector<Source> sources;
    for (const char* name : {"first.tif", "second.tif", "third.tif"}) {
        sources.push_back(source(QString::fromLatin1(name), 6));
    }
    const RunRecord run = convert(sources, 1, QStringLiteral("out"), 8);
    EXPECT_EQ(run.message, QStringLiteral("Process cancelled!"));
    EXPECT_EQ(run.files, QStringList{QStringLiteral("first.pdf")});
    EXPECT_EQ(run.created, 1);
    ASSERT_GE(lastLog.files.size(), 2U);
    EXPECT_EQ(lastLog.files.at(0).outcome, SourceOutcome::Converted);
    EXPECT_EQ(lastLog.files.at(1).outcome, SourceOutcome::Incomplete);
    EXPECT_EQ(lastLog.files.at(1).status, QStringLiteral("Cancelled: 0 of 6 pages written"));
    for (const LogFile& page : lastLog.files.at(1).logFiles) {
        EXPECT_EQ(page.outcome, PageOutcome::NotWritten);
    }
    EXPECT_TRUE(
        isCompleteOutput(QDir(lastOut).filePath(QStringLiteral("first.pdf")), OutputPdf, 6));
}

// A folder standing where a page's file should go makes that write fail; the
// writer's words reach the system log in the order of the pages, however
// many workers wrote them.
TEST_F(ProcessPoolTest, FailedWritesAreToldInPageOrder) {
    settings.setOutputType(OutputPng);
    settings.setSeparator(QStringLiteral("-"));
    std::vector<Source> sources;
    for (const char* name : {"first.tif", "second.tif", "third.tif"}) {
        sources.push_back(source(QString::fromLatin1(name), 6));
    }
    prepareOutput = [](const QString& out) {
        for (const char* blocked : {"first-2.png", "first-5.png", "second-3.png", "third-1.png"}) {
            ASSERT_TRUE(QDir(out).mkdir(QString::fromLatin1(blocked)));
        }
    };
    RunRecord one = convert(sources, 1, QStringLiteral("one"));
    RunRecord many = convert(sources, 4, QStringLiteral("many"));
    // The two runs write into folders of their own.
    const QRegularExpression folder(QStringLiteral("/(one|many)-[0-9a-f]{8}/"));
    one.systemLines.replaceInStrings(folder, QStringLiteral("/out/"));
    many.systemLines.replaceInStrings(folder, QStringLiteral("/out/"));
    const QStringList failures = one.systemLines.filter(QStringLiteral("Cannot write"));
    ASSERT_EQ(failures.size(), 4) << one.systemLines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(failures.first().contains(QStringLiteral("first-2.png")));
    EXPECT_TRUE(failures.last().contains(QStringLiteral("third-1.png")));
    EXPECT_EQ(many.systemLines, one.systemLines);
    EXPECT_EQ(many.log, one.log);
}

TEST(ConversionPlanTest, ClaimsNamesInSourceOrderAndSplitsPagesIntoTasks) {
    PlanRules rules;
    rules.separator = QStringLiteral("_");
    rules.outputType = OutputPng;
    const std::vector<PlanSource> sources{
        {QStringLiteral("/in/a/scan.tif"),
         QStringLiteral("/out"),
         {{QStringLiteral("/in/a/scan.tif"), 2}}},
        {QStringLiteral("/in/b/scan.tif"),
         QStringLiteral("/out"),
         {{QStringLiteral("/in/b/scan.tif"), 1}}},
        {QStringLiteral("/in/empty.tif"),
         QStringLiteral("/out"),
         {{QStringLiteral("/in/empty.tif"), 0}}},
    };
    const ConversionPlan plan = makeConversionPlan(sources, rules);
    ASSERT_EQ(plan.tasks.size(), 4U);
    EXPECT_EQ(plan.tasks[0].names, QStringList{QStringLiteral("scan_1.png")});
    EXPECT_EQ(plan.tasks[1].names, QStringList{QStringLiteral("scan_2.png")});
    EXPECT_EQ(plan.tasks[2].names, QStringList{QStringLiteral("scan (2)_1.png")});
    // A source of no pages is still opened, to say when it cannot be.
    EXPECT_TRUE(plan.tasks[3].pages.isEmpty());
    EXPECT_EQ(plan.groups[1].firstTask, 2);
    EXPECT_EQ(plan.groups[2].items[0].firstTask, 3);

    rules.gathersPages = true;
    for (const auto& [type, name] :
         {std::pair{OutputTiff, "scan (2).tiff"}, std::pair{OutputPdf, "scan (2).pdf"}}) {
        rules.outputType = type;
        const ConversionPlan gathered = makeConversionPlan(sources, rules);
        ASSERT_EQ(gathered.tasks.size(), 3U);
        EXPECT_EQ(gathered.tasks[0].pages, (QList<int>{1, 2}));
        EXPECT_EQ(gathered.tasks[1].names, QStringList{QString::fromLatin1(name)});
    }
}

TEST(ConversionPlanTest, SkipsOnlySourcesWhoseEveryOutputStands) {
    const QString out = makeTestFolder(QStringLiteral("out"));
    QImage page(5, 4, QImage::Format_RGB888);
    page.fill(Qt::darkCyan);
    for (const char* name : {"done1.jpg", "done2.jpg", "half1.jpg", "cut1.jpg", "cut2.jpg",
                             "unreadable1.jpg", "unreadable2.jpg"}) {
        ASSERT_TRUE(ImageUtilities::save(page, QDir(out).filePath(QString::fromLatin1(name)),
                                         WriteOptions{}));
    }
    // Cut short, as by a full disk: there, but not whole.
    QFile cut(QDir(out).filePath(QStringLiteral("cut2.jpg")));
    ASSERT_TRUE(cut.resize(cut.size() / 2));
    PlanRules rules;
    rules.outputType = OutputJpeg;
    rules.skipExisting = true;
    const std::vector<PlanSource> sources{
        {QStringLiteral("/in/done.tif"), out, {{QStringLiteral("/in/done.tif"), 2}}},
        {QStringLiteral("/in/half.tif"), out, {{QStringLiteral("/in/half.tif"), 2}}},
        {QStringLiteral("/in/none.tif"), out, {{QStringLiteral("/in/none.tif"), 0}}},
        {QStringLiteral("/in/cut.tif"), out, {{QStringLiteral("/in/cut.tif"), 2}}},
        // Its pages past the second cannot be read: never all there.
        {QStringLiteral("/in/unreadable.tif"),
         out,
         {{QStringLiteral("/in/unreadable.tif"), 2, true}}},
    };
    const ConversionPlan plan = makeConversionPlan(sources, rules);
    EXPECT_TRUE(plan.groups[0].items[0].skipped);
    EXPECT_EQ(plan.groups[0].items[0].taskCount, 0);
    EXPECT_FALSE(plan.groups[1].items[0].skipped);
    EXPECT_EQ(plan.groups[1].items[0].taskCount, 2);
    EXPECT_FALSE(plan.groups[2].items[0].skipped); // nothing to find is not "all there"
    EXPECT_FALSE(plan.groups[3].items[0].skipped);
    EXPECT_EQ(plan.groups[3].items[0].taskCount, 2);
    EXPECT_FALSE(plan.groups[4].items[0].skipped);
}

// Tasks that end out of order still come back in order, and no worker runs
// more than a few tasks past the first one not yet recorded.
TEST(TaskPoolTest, HandsBackInOrderAndStaysWithinItsLead) {
    std::mutex mutex;
    std::condition_variable changed;
    int finishedLater = 0;
    int highestStarted = -1;
    int highestSeenByFirst = -1;
    TaskPool pool(
        2, 8, [] { return true; },
        [&](int task, int, TaskChannel& channel) {
            {
                std::unique_lock lock(mutex);
                highestStarted = std::max(highestStarted, task);
                if (task == 0) {
                    // Holds the head until the other worker has done two more.
                    changed.wait(lock, [&] { return finishedLater >= 2; });
                    highestSeenByFirst = highestStarted;
                }
            }
            channel.publish(PageResult{task + 1, QString::number(task), PageOutcome::Written, {}});
            if (task != 0) {
                const std::lock_guard lock(mutex);
                ++finishedLater;
                changed.notify_all();
            }
            return TaskEnding{};
        });
    for (int task = 0; task < 8; ++task) {
        TaskPool::Update update = pool.next(task);
        while (!update.ending) {
            ASSERT_EQ(update.pages.size(), 1U);
            EXPECT_EQ(update.pages.front().pageNo, task + 1);
            update = pool.next(task);
        }
        pool.committedTask(task);
    }
    EXPECT_EQ(highestSeenByFirst, 2); // two workers run one task past the head at most
}

TEST(TaskPoolTest, AStopEndsTasksNotHandedOutAsNotStarted) {
    bool keepGoing = true;
    std::mutex mutex;
    TaskPool pool(
        1, 5,
        [&] {
            const std::lock_guard lock(mutex);
            return keepGoing;
        },
        [&](int, int, TaskChannel&) { return TaskEnding{}; });
    while (!pool.next(0).ending) {
    }
    {
        const std::lock_guard lock(mutex);
        keepGoing = false;
    }
    pool.committedTask(0);
    EXPECT_EQ(pool.next(1).ending->end, TaskEnd::NotStarted);
    EXPECT_EQ(pool.stop(), 1);
}

} // namespace
