// The first edition's job rules: unpadded page numbers, the settings' folder
// as the only target folder, the elapsed time in words and the edition's own
// logs folder. Each rule is checked against the current edition's where the
// two differ.
#include "JobFixture.h"
#include "engine/Log.h"
#include "engine/OutputNames.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "platform/Constants.h"
#include "platform/DateFormat.h"
#include "platform/Edition.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

QStringList sortedList(QStringList keys) {
    keys.sort();
    return keys;
}

// ---------------------------------------------------------------------------
// Rules 2, 3, 4 and 5: the first edition's job

class FirstEditionJobTest : public ::testing::Test {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("settings-folder"));
    QString perRun = makeTestFolder(QStringLiteral("per-run"));
    QString logs = makeTestFolder(QStringLiteral("logs"));
    MemoryPreferences store;
    Settings settings{&store, /*hasLeadingZeros*/ false};
    RecordingWorkspace workspace;
    Process process;

    void SetUp() override {
        settings.setIsOpenFolderAfterConversion(false);
        settings.setOutputFolderPath(out);
        process.setEdition(Edition::firstEdition());
        process.setWorkspace(&workspace);
        process.setLogsFolder(logs);
    }

    QString makeTiff(const QString& name, int pages, const QString& folder = {}) {
        std::vector<TestTiffPage> layout;
        for (int i = 0; i < pages; ++i) {
            layout.push_back(grayPage(5 + i, 4));
        }
        const QString path = QDir(folder.isEmpty() ? in : folder).filePath(name);
        EXPECT_TRUE(writeTestTiff(path, layout));
        return path;
    }

    void addSource(const QString& path) { addListedSource(process, path); }

    void run() {
        process.setSettings(&settings);
        runJob(process);
    }

    static QStringList filesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

// Rule 2: "%@%d%@", never padded.
struct NamingCase {
    std::string name;
    const char* source;
    int pages;
    const char* separator;
    int outputType;
    const char* prefix; // what every page name starts with
    const char* extension;
    const char* lastPage; // the last page's name, spelled out
};

class FirstEditionNamingTest : public FirstEditionJobTest,
                               public ::testing::WithParamInterface<NamingCase> {};

TEST_P(FirstEditionNamingTest, PageNumbersArePlainDecimal) {
    const NamingCase& c = GetParam();
    settings.setSeparator(QString::fromUtf8(c.separator));
    settings.setOutputType(c.outputType);
    settings.setIsSplitTIFFIntoSinglePages(true); // TIFF too: one file per page
    settings.setLeadingZeros(3);                  // no such field: must change nothing
    addSource(makeTiff(QString::fromUtf8(c.source), c.pages));
    run();

    QStringList expected;
    for (int n = 1; n <= c.pages; ++n) {
        expected.append(QString::fromUtf8(c.prefix) + QString::number(n) +
                        QString::fromUtf8(c.extension));
    }
    EXPECT_EQ(expected.last(), QString::fromUtf8(c.lastPage));
    EXPECT_EQ(filesIn(out), sortedList(expected));
    EXPECT_EQ(process.totalFileCreated(), c.pages);
    const LogFiles& entry = process.log().files.at(0);
    ASSERT_EQ(entry.logFiles.size(), static_cast<size_t>(c.pages));
    for (int n = 1; n <= c.pages; ++n) {
        EXPECT_EQ(entry.logFiles[static_cast<size_t>(n - 1)].targetFile, expected.at(n - 1));
        EXPECT_EQ(entry.logFiles[static_cast<size_t>(n - 1)].sourcePageNo, n);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, FirstEditionNamingTest,
    ::testing::Values(
        NamingCase{"ThreePagesDash", "scan.tif", 3, "-", OutputJpeg, "scan-", ".jpg", "scan-3.jpg"},
        NamingCase{"TenPagesDash", "scan.tif", 10, "-", OutputJpeg, "scan-", ".jpg", "scan-10.jpg"},
        NamingCase{"TwelvePagesUnderscorePng", "scan.tif", 12, "_", OutputPng, "scan_", ".png",
                   "scan_12.png"},
        NamingCase{"NoSeparator", "scan.tif", 2, "", OutputBmp, "scan", ".bmp", "scan2.bmp"},
        NamingCase{"ColonSeparator", "scan.tif", 2, ":", OutputGif, "scan-", ".gif", "scan-2.gif"},
        NamingCase{"ColonInBaseName", "a:b.tif", 2, "_", OutputJpeg, "a-b_", ".jpg", "a-b_2.jpg"},
        NamingCase{"SplitTiff", "scan.tiff", 11, "-", OutputTiff, "scan-", ".tiff",
                   "scan-11.tiff"}),
    ByName());

TEST(FirstEditionPageNameTest, PageTwelveIsTwelve) {
    // The digits a first-edition record gives a job: none.
    const Settings first(nullptr, /*hasLeadingZeros*/ false);
    EXPECT_EQ(pageFileName(QStringLiteral("scan"), QStringLiteral("_"),
                           first.snapshot().leadingZeros, OutputPng, 12),
              QStringLiteral("scan_12.png"));
    EXPECT_EQ(pageFileName(QStringLiteral("scan"), QStringLiteral("-"),
                           first.snapshot().leadingZeros, OutputJpeg, 1),
              QStringLiteral("scan-1.jpg"));
}

// Rule 3: the settings' folder, else each source's own; never the per-run one.
struct FolderCase {
    std::string name;
    bool settingsFolder; // false: outputFolderPath is ""
    bool perRunFolder;   // whether setOutputFolder was called
    bool openAfter;
    bool expectOpened; // the settings' folder, then
};

class FirstEditionFolderTest : public FirstEditionJobTest,
                               public ::testing::WithParamInterface<FolderCase> {};

TEST_P(FirstEditionFolderTest, WritesIntoTheSettingsFolderOrBesideEachSource) {
    const FolderCase& c = GetParam();
    const QString otherIn = makeTestFolder(QStringLiteral("in-other"));
    settings.setSeparator(QStringLiteral("-"));
    settings.setOutputFolderPath(c.settingsFolder ? out : QStringLiteral(""));
    settings.setIsOpenFolderAfterConversion(c.openAfter);
    if (c.perRunFolder) {
        process.setOutputFolder(perRun);
    }
    addSource(makeTiff(QStringLiteral("a.tif"), 2));
    addSource(makeTiff(QStringLiteral("b.tif"), 1, otherIn));
    run();

    EXPECT_EQ(process.totalFileCreated(), 3);
    EXPECT_TRUE(filesIn(perRun).isEmpty()) << filesIn(perRun).join(u' ').toStdString();
    if (c.settingsFolder) {
        EXPECT_EQ(filesIn(out), (QStringList{QStringLiteral("a-1.jpg"), QStringLiteral("a-2.jpg"),
                                             QStringLiteral("b-1.jpg")}));
        EXPECT_EQ(filesIn(in), QStringList{QStringLiteral("a.tif")});
        EXPECT_EQ(filesIn(otherIn), QStringList{QStringLiteral("b.tif")});
        EXPECT_EQ(process.log().files.at(0).targetPath, out);
        EXPECT_EQ(process.log().files.at(1).targetPath, out);
    } else {
        EXPECT_TRUE(filesIn(out).isEmpty());
        EXPECT_EQ(filesIn(in), (QStringList{QStringLiteral("a-1.jpg"), QStringLiteral("a-2.jpg"),
                                            QStringLiteral("a.tif")}));
        EXPECT_EQ(filesIn(otherIn),
                  (QStringList{QStringLiteral("b-1.jpg"), QStringLiteral("b.tif")}));
        EXPECT_EQ(process.log().files.at(0).targetPath, in);
        EXPECT_EQ(process.log().files.at(1).targetPath, otherIn);
    }

    if (c.expectOpened) {
        EXPECT_EQ(workspace.requests(),
                  (QList<RecordingWorkspace::Request>{{QStringLiteral("open"), {out}}}));
    } else {
        EXPECT_TRUE(workspace.requests().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FirstEditionFolderTest,
    ::testing::Values(
        FolderCase{"SettingsFolderBeatsPerRunFolder", true, true, true, true},
        FolderCase{"SettingsFolderAlone", true, false, true, true},
        FolderCase{"SettingsFolderNotOpenedWhenOff", true, true, false, false},
        FolderCase{"EmptySettingsFolderIgnoresPerRunFolder", false, true, true, false},
        FolderCase{"EmptySettingsFolderWritesBesideSources", false, false, true, false},
        FolderCase{"EmptySettingsFolderOpenOff", false, true, false, false}),
    ByName());

TEST_F(FirstEditionJobTest, NothingCreatedOpensNothing) {
    settings.setIsOpenFolderAfterConversion(true);
    process.setOutputFolder(perRun);
    const QString broken = QDir(in).filePath(QStringLiteral("broken.tif"));
    ASSERT_TRUE(writeFileBytes(broken, "not an image"));
    addSource(broken);
    run();
    EXPECT_EQ(process.totalFileCreated(), 0);
    EXPECT_TRUE(workspace.requests().isEmpty());
}

TEST_F(FirstEditionJobTest, MultiPageTiffGoesToTheSettingsFolder) {
    settings.setOutputType(OutputTiff);
    settings.setIsOpenFolderAfterConversion(true);
    process.setOutputFolder(perRun);
    addSource(makeTiff(QStringLiteral("scan.tif"), 3));
    run();
    EXPECT_EQ(filesIn(out), QStringList{QStringLiteral("scan.tiff")});
    EXPECT_TRUE(filesIn(perRun).isEmpty());
    EXPECT_EQ(summarizeTiff(QDir(out).filePath(QStringLiteral("scan.tiff"))).pages, 3);
    EXPECT_EQ(workspace.requests(),
              (QList<RecordingWorkspace::Request>{{QStringLiteral("open"), {out}}}));
}

TEST_F(FirstEditionJobTest, CurrentEditionStillUsesThePerRunFolder) {
    Settings current; // the current edition's record
    current.setIsOpenFolderAfterConversion(true);
    current.setOutputFolderPath(out);
    current.setSeparator(QStringLiteral("-"));
    current.setLeadingZeros(2);
    Process job;
    job.setEdition(Edition::currentEdition());
    job.setWorkspace(&workspace);
    job.setLogsFolder(logs);
    job.setOutputFolder(perRun);
    job.setSettings(&current);
    const QString source = makeTiff(QStringLiteral("scan.tif"), 2);
    addListedSource(job, source);
    runJob(job);
    EXPECT_EQ(filesIn(perRun),
              (QStringList{QStringLiteral("scan-01.jpg"), QStringLiteral("scan-02.jpg")}));
    EXPECT_TRUE(filesIn(out).isEmpty());
    EXPECT_EQ(workspace.requests(),
              (QList<RecordingWorkspace::Request>{{QStringLiteral("open"), {perRun}}}));
}

// Rule 4: the elapsed time in words.
struct WordsCase {
    std::string name;
    qint64 msecs;
    const char* words;
    const char* clock;
};

class ElapsedTimeTest : public ::testing::TestWithParam<WordsCase> {};

TEST_P(ElapsedTimeTest, WordsForTheFirstEditionClockForTheCurrent) {
    // Starting late in a second, so that a short span crosses into the next.
    const QDateTime start(QDate(2026, 3, 7), QTime(10, 0, 0, 900));
    const QDateTime end = start.addMSecs(GetParam().msecs);
    EXPECT_EQ(timeTakenString(start, end, /*inWords*/ true), QString::fromUtf8(GetParam().words));
    EXPECT_EQ(timeTakenString(start, end, /*inWords*/ false), QString::fromUtf8(GetParam().clock));
    EXPECT_EQ(timeTakenString(start, end), QString::fromUtf8(GetParam().clock));
}

INSTANTIATE_TEST_SUITE_P(
    Spans, ElapsedTimeTest,
    ::testing::Values(WordsCase{"Nothing", 0, "", "00:00"},
                      WordsCase{"UnderASecondAcrossASecondMark", 200, "", "00:00"},
                      WordsCase{"JustUnderASecond", 999, "", "00:00"},
                      WordsCase{"OneSecond", 1000, "1 sec(s) ", "00:01"},
                      WordsCase{"FiftyNineSeconds", 59000, "59 sec(s) ", "00:59"},
                      WordsCase{"OneMinute", 60000, "1 min(s) ", "01:00"},
                      WordsCase{"SeventyFiveSeconds", 75000, "1 min(s) 15 sec(s) ", "01:15"},
                      WordsCase{"OneHour", 3600000, "1 hr(s) ", "01:00:00"},
                      WordsCase{"HourAndSeconds", 3601000, "1 hr(s) 1 sec(s) ", "01:00:01"},
                      WordsCase{"HourMinutesSeconds", 3725000, "1 hr(s) 2 min(s) 5 sec(s) ",
                                "01:02:05"},
                      WordsCase{"HourAndMinutes", 3720000, "1 hr(s) 2 min(s) ", "01:02:00"},
                      WordsCase{"PastADay", 90061000, "25 hr(s) 1 min(s) 1 sec(s) ", "25:01:01"}),
    ByName());

TEST(ElapsedTimeMissingDateTest, GivesNothingInEitherForm) {
    const QDateTime start(QDate(2026, 3, 7), QTime(10, 0, 0));
    for (const bool inWords : {true, false}) {
        EXPECT_EQ(timeTakenString(QDateTime(), start.addSecs(75), inWords), QString());
        EXPECT_EQ(timeTakenString(start, QDateTime(), inWords), QString());
        EXPECT_EQ(timeTakenString(QDateTime(), QDateTime(), inWords), QString());
    }
}

TEST_F(FirstEditionJobTest, TimeTakenIsInWords) {
    addSource(makeTiff(QStringLiteral("scan.tif"), 1));
    run();
    const Log& log = process.log();
    EXPECT_EQ(process.timeTaken(), timeTakenString(log.startTime, log.endTime, true));
    if (log.startTime.msecsTo(log.endTime) < 1000) {
        EXPECT_EQ(process.timeTaken(), QString());
    } else {
        EXPECT_TRUE(process.timeTaken().endsWith(QStringLiteral("sec(s) ")));
    }
}

TEST_F(FirstEditionJobTest, CurrentEditionJobKeepsTheClock) {
    process.setEdition(Edition::currentEdition());
    addSource(makeTiff(QStringLiteral("scan.tif"), 1));
    run();
    const Log& log = process.log();
    EXPECT_EQ(process.timeTaken(), timeTakenString(log.startTime, log.endTime, false));
    EXPECT_TRUE(process.timeTaken().startsWith(QStringLiteral("00:")))
        << process.timeTaken().toStdString();
}

// Rule 5: the edition's own logs folder.
struct LogsFolderCase {
    std::string name;
    bool first;
    const char* appFolder;
};

class EditionLogsFolderTest : public ::testing::TestWithParam<LogsFolderCase> {};

TEST_P(EditionLogsFolderTest, LogGoesToTheEditionsLogsFolder) {
    const Edition edition = GetParam().first ? Edition::firstEdition() : Edition::currentEdition();
    // As each program does at launch.
    ASSERT_TRUE(StringUtilities::createApplicationUsersFolder(edition, QString()));
    ASSERT_TRUE(StringUtilities::createApplicationUsersFolder(edition, QStringLiteral("Logs")));
    const QString expected =
        QDir(qEnvironmentVariable("XDG_DATA_HOME"))
            .filePath(QString::fromUtf8(GetParam().appFolder) + QStringLiteral("/Logs"));
    ASSERT_FALSE(qEnvironmentVariable("XDG_DATA_HOME").isEmpty());

    const QString in = makeTestFolder(QStringLiteral("in"));
    const QString source = QDir(in).filePath(QStringLiteral("scan.tif"));
    ASSERT_TRUE(writeTestTiff(source, {grayPage(5, 4)}));
    Settings settings(nullptr, edition.hasLeadingZerosOption);
    settings.setIsOpenFolderAfterConversion(false);
    Process job; // no logs folder set
    job.setEdition(edition);
    job.setSettings(&settings);
    addListedSource(job, source);
    runJob(job);

    ASSERT_FALSE(job.log().logFilePath().isEmpty()) << job.log().saveError().toStdString();
    EXPECT_EQ(QFileInfo(job.log().logFilePath()).absolutePath(), expected);
    EXPECT_TRUE(QFileInfo::exists(job.log().logFilePath()));
}

INSTANTIATE_TEST_SUITE_P(Editions, EditionLogsFolderTest,
                         ::testing::Values(LogsFolderCase{"First", true, "Quorlen/Pictavo1"},
                                           LogsFolderCase{"Current", false, "Quorlen/Pictavo2"}),
                         ByName());

} // namespace
