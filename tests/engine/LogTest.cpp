#include "engine/Log.h"

#include "platform/Constants.h"
#include "platform/Edition.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

Attributes attributesOf(const pugi::xml_node& node) {
    Attributes out;
    for (const pugi::xml_attribute& a : node.attributes()) {
        out.emplace_back(a.name(), a.value());
    }
    return out;
}

std::vector<pugi::xml_node> children(const pugi::xml_node& node) {
    std::vector<pugi::xml_node> out;
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() == pugi::node_element) {
            out.push_back(child);
        }
    }
    return out;
}

Log logEndingAt(const QDateTime& end) {
    Log log;
    log.startTime = end.addSecs(-75);
    log.endTime = end;
    return log;
}

const QDateTime kEnd(QDate(2026, 3, 7), QTime(14, 5, 9), Qt::LocalTime);

class LogTest : public ::testing::Test {
protected:
    QString folder = makeTestFolder(QStringLiteral("logs"));

    pugi::xml_document parseSaved(const Log& log) {
        pugi::xml_document doc;
        const QByteArray bytes = [&] {
            QFile f(log.logFilePath());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        const auto result = doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()));
        EXPECT_TRUE(result) << result.description();
        return doc;
    }
};

TEST_F(LogTest, WritesEverySourceAndPageWithAttributesInOrder) {
    Log log = logEndingAt(kEnd);
    LogFiles& converted = log.addFiles();
    converted.filename = QStringLiteral("scan.tif");
    converted.sourcePath = QStringLiteral("/data/in");
    converted.targetPath = QStringLiteral("/data/out");
    converted.pages = 2;
    for (int n = 1; n <= 2; ++n) {
        LogFile& page = converted.addLogFile();
        page.targetFile = QStringLiteral("scan-%1.jpg").arg(n);
        page.sourcePageNo = n;
        page.status = QStringLiteral("Completed");
    }
    LogFiles& broken = log.addFiles();
    broken.filename = QStringLiteral("broken.tif");
    broken.sourcePath = QStringLiteral("/data/in");
    broken.targetPath = QStringLiteral("/data/out");
    broken.status = QStringLiteral("Unable to Open File!");

    ASSERT_TRUE(log.save(folder));
    const pugi::xml_document doc = parseSaved(log);
    const pugi::xml_node root = doc.document_element();
    EXPECT_STREQ(root.name(), "Log");
    EXPECT_EQ(attributesOf(root), (Attributes{{"StartTime", "03/07/2026 02:03:54 PM"},
                                              {"EndTime", "03/07/2026 02:05:09 PM"}}));

    const auto sources = children(root);
    ASSERT_EQ(sources.size(), 2U);
    EXPECT_EQ(attributesOf(sources[0]), (Attributes{{"FileName", "scan.tif"},
                                                    {"SourcePath", "/data/in"},
                                                    {"TargetPath", "/data/out"},
                                                    {"Status", ""},
                                                    {"Pages", "2"}}));
    const auto pages = children(sources[0]);
    ASSERT_EQ(pages.size(), 2U);
    EXPECT_EQ(attributesOf(pages[1]),
              (Attributes{
                  {"NewFileName", "scan-2.jpg"}, {"SourcePageNo", "2"}, {"Status", "Completed"}}));

    EXPECT_EQ(attributesOf(sources[1]), (Attributes{{"FileName", "broken.tif"},
                                                    {"SourcePath", "/data/in"},
                                                    {"TargetPath", "/data/out"},
                                                    {"Status", "Unable to Open File!"},
                                                    {"Pages", "0"}}));
    EXPECT_TRUE(children(sources[1]).empty());
}

TEST_F(LogTest, JobWithoutSourcesHasOnlyTheTimes) {
    Log log = logEndingAt(kEnd);
    ASSERT_TRUE(log.save(folder));
    const pugi::xml_document doc = parseSaved(log);
    EXPECT_EQ(attributesOf(doc.document_element()).size(), 2U);
    EXPECT_TRUE(children(doc.document_element()).empty());
}

TEST_F(LogTest, MultiPageTiffPagesAllNameTheSameFile) {
    Log log = logEndingAt(kEnd);
    LogFiles& source = log.addFiles();
    source.filename = QStringLiteral("scan.tif");
    source.pages = 3;
    for (int n = 1; n <= 3; ++n) {
        LogFile& page = source.addLogFile();
        page.targetFile = QStringLiteral("scan.tiff");
        page.sourcePageNo = n;
        page.status = QStringLiteral("Completed");
    }
    ASSERT_TRUE(log.save(folder));
    const pugi::xml_document doc = parseSaved(log);
    const auto pages = children(children(doc.document_element())[0]);
    ASSERT_EQ(pages.size(), 3U);
    for (int n = 0; n < 3; ++n) {
        EXPECT_STREQ(pages[n].attribute("NewFileName").value(), "scan.tiff");
        EXPECT_EQ(pages[n].attribute("SourcePageNo").as_int(), n + 1);
    }
}

TEST_F(LogTest, NamesTheFileAfterTheEndTime) {
    Log log = logEndingAt(kEnd);
    ASSERT_TRUE(log.save(folder));
    EXPECT_EQ(log.logFilePath(), QDir(folder).filePath(QStringLiteral("070326140509.log")));
    EXPECT_TRUE(QFileInfo::exists(log.logFilePath()));
}

TEST_F(LogTest, LogsEndingInTheSameSecondKeepEachOther) {
    Log first = logEndingAt(kEnd);
    Log second = logEndingAt(kEnd);
    Log third = logEndingAt(kEnd);
    second.addFiles().filename = QStringLiteral("second.tif");
    ASSERT_TRUE(first.save(folder));
    ASSERT_TRUE(second.save(folder));
    ASSERT_TRUE(third.save(folder));
    EXPECT_EQ(QFileInfo(first.logFilePath()).fileName(), QStringLiteral("070326140509.log"));
    EXPECT_EQ(QFileInfo(second.logFilePath()).fileName(), QStringLiteral("070326140509-2.log"));
    EXPECT_EQ(QFileInfo(third.logFilePath()).fileName(), QStringLiteral("070326140509-3.log"));
    EXPECT_TRUE(children(parseSaved(first).document_element()).empty());
    EXPECT_EQ(children(parseSaved(second).document_element()).size(), 1U);
    // Nothing but the three logs is left in the folder.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(LogTest, EscapesNamesThatAreNotPlainText) {
    Log log = logEndingAt(kEnd);
    LogFiles& source = log.addFiles();
    source.filename = QStringLiteral("Tom & \"Jerry\" <1>.tif");
    source.sourcePath = QStringLiteral("/data/it's");
    source.status = QStringLiteral("bad\x01name");
    ASSERT_TRUE(log.save(folder));

    const QByteArray raw = readFileBytes(log.logFilePath());
    EXPECT_TRUE(raw.contains("Tom &amp; &quot;Jerry&quot; &lt;1")) << raw.constData();
    const pugi::xml_document doc = parseSaved(log);
    const auto source0 = children(doc.document_element())[0];
    EXPECT_STREQ(source0.attribute("FileName").value(), "Tom & \"Jerry\" <1>.tif");
    EXPECT_STREQ(source0.attribute("SourcePath").value(), "/data/it's");
    // A control character cannot be stored in XML 1.0; it is replaced so the
    // log stays readable by any XML parser.
    EXPECT_STREQ(source0.attribute("Status").value(), "bad\xEF\xBF\xBDname");
}

TEST_F(LogTest, FailedWriteIsReportedAndNamesNoFile) {
    SystemLogCapture capture;
    Log log = logEndingAt(kEnd);
    const QString missing = QDir(folder).filePath(QStringLiteral("missing"));
    EXPECT_FALSE(log.save(missing));
    EXPECT_TRUE(log.logFilePath().isEmpty());
    EXPECT_TRUE(log.saveError().contains(missing)) << log.saveError().toStdString();
    EXPECT_EQ(capture.lines(), QStringList{QStringLiteral("Could not write document out...")});

    // A later save that works names its file and forgets the old failure.
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("missing")));
    EXPECT_TRUE(log.save(missing));
    EXPECT_TRUE(QFileInfo::exists(log.logFilePath()));
    EXPECT_TRUE(log.saveError().isEmpty());
}

TEST_F(LogTest, DefaultFolderIsTheApplicationLogsFolder) {
    ASSERT_TRUE(StringUtilities::createApplicationUsersFolder(Edition::currentEdition(),
                                                              QStringLiteral("Logs")));
    Log log = logEndingAt(kEnd);
    ASSERT_TRUE(log.save(Edition::currentEdition()));
    EXPECT_EQ(QFileInfo(log.logFilePath()).absolutePath(),
              QDir(StringUtilities::getAppPath(Edition::currentEdition()))
                  .filePath(QStringLiteral("Logs")));
    EXPECT_TRUE(QFileInfo::exists(log.logFilePath()));
}

// What a run's outcomes say about failure, whatever texts the log shows.
struct FailureCase {
    const char* name;
    std::function<void(Log&)> fill;
    bool failed;
};

class LogFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(LogFailureTest, FailureFollowsTheOutcomes) {
    Log log;
    GetParam().fill(log);
    EXPECT_EQ(log.anyFailure(), GetParam().failed);
}

void writtenPages(LogFiles& source, int count) {
    for (int n = 1; n <= count; ++n) {
        LogFile& page = source.addLogFile();
        page.sourcePageNo = n;
        page.record(PageOutcome::Written);
    }
}

const FailureCase kFailureCases[] = {
    {"EmptyRun", [](Log&) {}, false},
    {"EveryPageWritten", [](Log& log) { writtenPages(log.addFiles(), 3); }, false},
    {"SkippedSource",
     [](Log& log) {
         writtenPages(log.addFiles(), 1);
         log.addFiles().record(SourceOutcome::Skipped);
     },
     false},
    {"SourceNotOpened", [](Log& log) { log.addFiles().record(SourceOutcome::NotOpened); }, true},
    {"SourceFailed",
     [](Log& log) { log.addFiles().record(SourceOutcome::Failed, QStringLiteral("disk full")); },
     true},
    // Cut short by a stop: the run was cancelled, nothing failed.
    {"SourceStoppedInPart",
     [](Log& log) {
         LogFiles& source = log.addFiles();
         writtenPages(source, 2);
         source.record(SourceOutcome::Incomplete,
                       QStringLiteral("Cancelled: 2 of 5 pages written"));
     },
     false},
    {"OnePageNotWritten",
     [](Log& log) {
         LogFiles& source = log.addFiles();
         writtenPages(source, 2);
         source.addLogFile().record(PageOutcome::NotWritten);
     },
     true},
    // A page entry whose outcome was never recorded is not taken as written.
    {"PageNeverRecorded", [](Log& log) { log.addFiles().addLogFile(); }, true},
};

INSTANTIATE_TEST_SUITE_P(Runs, LogFailureTest, ::testing::ValuesIn(kFailureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& failure) {
                             return std::string(failure.param.name);
                         });

TEST(LogStatusTextTest, OutcomesReadAsTheLogWritesThem) {
    LogFiles source;
    source.record(SourceOutcome::Failed, QStringLiteral("disk full"));
    EXPECT_EQ(source.status, QStringLiteral("disk full"));
    source.record(SourceOutcome::NotOpened);
    EXPECT_EQ(source.status, QStringLiteral("Unable to Open File!"));
    source.record(SourceOutcome::Incomplete, QStringLiteral("Cancelled: 1 of 2 pages written"));
    EXPECT_EQ(source.status, QStringLiteral("Cancelled: 1 of 2 pages written"));
    source.record(SourceOutcome::Converted);
    EXPECT_TRUE(source.status.isEmpty());
    LogFile page;
    page.record(PageOutcome::NotWritten);
    EXPECT_EQ(page.status, QStringLiteral("Unable to save page!"));
    page.record(PageOutcome::Written);
    EXPECT_EQ(page.status, QStringLiteral("Completed"));
}

} // namespace
