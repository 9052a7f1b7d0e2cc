#include "ControllerFixture.h"
#include "engine/Log.h"
#include "engine/OutputFormats.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "shell/ConvertedSources.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>
#include <vector>

namespace {

// A source's log entry: its outcome and status, and each page's outcome.
struct EntryCase {
    const char* name;
    SourceOutcome outcome;
    const char* reason; // for Failed
    std::vector<PageOutcome> pages;
    int planned;
    bool inFull;
};

class ConvertedInFullTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(ConvertedInFullTest, OnlyEveryPlannedPageWrittenCounts) {
    const EntryCase& c = GetParam();
    LogFiles entry;
    entry.record(c.outcome, QString::fromUtf8(c.reason));
    for (size_t i = 0; i < c.pages.size(); ++i) {
        LogFile& page = entry.addLogFile();
        page.sourcePageNo = static_cast<int>(i) + 1;
        page.record(c.pages[i]);
    }
    EXPECT_EQ(isConvertedInFull(entry, c.planned), c.inFull);
}

constexpr PageOutcome W = PageOutcome::Written;
constexpr PageOutcome N = PageOutcome::NotWritten;

const EntryCase kEntryCases[] = {
    {"EveryPageWritten", SourceOutcome::Converted, "", {W, W, W}, 3, true},
    {"CutShortByCancel", SourceOutcome::Converted, "", {W, W}, 3, false},
    {"NeverReachedAPage", SourceOutcome::Converted, "", {}, 2, false},
    {"APageNotSaved", SourceOutcome::Converted, "", {W, N, W}, 3, false},
    {"Failed", SourceOutcome::Failed, "a broken page chain", {W, W}, 2, false},
    {"NotOpened", SourceOutcome::NotOpened, "", {}, 1, false},
    {"Skipped", SourceOutcome::Skipped, "", {}, 2, false},
    {"NoPagesPlanned", SourceOutcome::Converted, "", {}, 0, false},
};
INSTANTIATE_TEST_SUITE_P(Entries, ConvertedInFullTest, ::testing::ValuesIn(kEntryCases), ByName());

// Something done to a source between adding it and converting it.
enum class Change { None, Deleted, LostPages };

struct Source {
    const char* name;
    int pages;
    bool checked = true;
    Change change = Change::None;
};

struct RunCase {
    const char* name;
    std::vector<Source> sources;
    int outputType;
    bool gathered;                   // TIFF output not split: one multi-page file per source
    int cancelAtPage;                // 0: the run is not cancelled
    std::vector<const char*> listed; // what the list holds after Close
};

class ClearConvertedTest : public InBothEditionsWithCases<ControllerFixture, RunCase> {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));

    void addSources(const std::vector<Source>& sources) {
        std::vector<std::shared_ptr<FileItem>> items;
        for (const Source& source : sources) {
            const QString path = QDir(in).filePath(QString::fromUtf8(source.name));
            ASSERT_TRUE(
                writeTestTiff(path, std::vector<TestTiffPage>(static_cast<size_t>(source.pages),
                                                              grayPage(8, 8))));
            auto item = FileItem::initWithURL(QUrl::fromLocalFile(path));
            item->setIsSelected(source.checked);
            items.push_back(item);
        }
        controller->files().appendAll(items);
        controller->editionWindow().resetView(true);
        controller->viewHelper().updateTotalLabel();
        for (const Source& source : sources) {
            const QString path = QDir(in).filePath(QString::fromUtf8(source.name));
            if (source.change == Change::Deleted) {
                ASSERT_TRUE(QFile::remove(path));
            } else if (source.change == Change::LostPages) {
                ASSERT_TRUE(writeTestTiff(path, {grayPage(8, 8)}));
            }
        }
    }

    QStringList listed() const {
        QStringList names;
        for (const auto& item : controller->files().items()) {
            names.append(QFileInfo(item->filePath().toLocalFile()).fileName());
        }
        return names;
    }
};

TEST_P(ClearConvertedTest, CloseRemovesOnlyWhatWasConvertedInFull) {
    const RunCase& c = testCase();
    start();
    controller->settings().setIsClearProcessedFiles(true);
    controller->settings().setIsOpenFolderAfterConversion(false);
    controller->settings().setOutputType(c.outputType);
    controller->settings().setIsSplitTIFFIntoSinglePages(!c.gathered);
    controller->settings().setOutputFolderPath(out);
    controller->settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    addSources(c.sources);
    if (c.cancelAtPage > 0) {
        QObject::connect(controller.get(), &PictavoAppDelegate::processCreated, controller.get(),
                         [&c](Process* job) {
                             QObject::connect(
                                 job, &Process::totalPagesProcessedChanged, job,
                                 [job, &c](int done) {
                                     if (done == c.cancelAtPage) {
                                         job->stop();
                                     }
                                 },
                                 Qt::DirectConnection);
                         });
    }
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    pressCommand(UiCommand::Convert);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    find<QPushButton>("closeProcessBtn")->click();

    QStringList expected;
    for (const char* name : c.listed) {
        expected.append(QString::fromUtf8(name));
    }
    EXPECT_EQ(listed(), expected);
}

PICTAVO_CASES_IN_BOTH_EDITIONS(
    Runs, ClearConvertedTest,
    ::testing::Values(RunCase{"EverythingConverted",
                              {{"a.tif", 2}, {"b.tif", 1}, {"unchecked.tif", 1, false}},
                              OutputPng,
                              false,
                              0,
                              {"unchecked.tif"}},
                      RunCase{"SourcesThatFailedStay",
                              {{"a.tif", 2},
                               {"gone.tif", 1, true, Change::Deleted},
                               {"shrunk.tif", 3, true, Change::LostPages},
                               {"b.tif", 1}},
                              OutputPng,
                              false,
                              0,
                              {"gone.tif", "shrunk.tif"}},
                      // Pages under way when the run stops are still written, so the long
                      // source is cut short well before its end.
                      RunCase{"CancelledRunKeepsWhatItDidNotFinish",
                              {{"first.tif", 1}, {"long.tif", 60}, {"never.tif", 1}},
                              OutputPng,
                              false,
                              3,
                              {"long.tif", "never.tif"}},
                      RunCase{
                          "GatheredTiffs", {{"a.tif", 3}, {"b.tif", 2}}, OutputTiff, true, 0, {}}));

} // namespace
