#include "ControllerFixture.h"
#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "widgets/ElidedLabel.h"
#include "widgets/SegmentedControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <optional>

namespace {

// An existing folder this process may not write to, even as root.
class ConvertCommandTest : public ControllerFixture {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));

    void SetUp() override {
        start();
        controller->settings().setIsOpenFolderAfterConversion(false);
    }

    void addSources(const QList<std::pair<QString, int>>& sources) {
        std::vector<std::shared_ptr<FileItem>> items;
        for (const auto& [name, pages] : sources) {
            const QString path = QDir(in).filePath(name);
            EXPECT_TRUE(writeTestTiff(
                path, std::vector<TestTiffPage>(static_cast<size_t>(pages), rgbPage(16, 12))));
            items.push_back(FileItem::initWithURL(QUrl::fromLocalFile(path)));
        }
        controller->files().appendAll(items);
        controller->viewHelper().updateTotalLabel();
    }

    void useDefaultFolder(const QString& folder) {
        controller->settings().setOutputFolderPath(folder);
        controller->settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    }

    void convertAndWait() {
        QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
        controller->convert().convertAction();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    }

    QStringList outputs() const {
        return QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QPushButton* panelButton(const char* name) const {
        return controller->progressSheet().processViewPanel()->findChild<QPushButton*>(
            QString::fromUtf8(name));
    }

    template <typename T> T* inPanel(const char* name) const {
        T* widget =
            controller->progressSheet().processViewPanel()->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QPushButton* mainCancelButton() const {
        return controller->window()->findChild<QPushButton*>(QStringLiteral("cancelBtn"));
    }
};

using ConvertInBothEditions = InBothEditions<ConvertCommandTest>;
PICTAVO_IN_BOTH_EDITIONS(ConvertInBothEditions);

TEST_P(ConvertInBothEditions, GoodDefaultFolderStartsAtOnce) {
    addSources({{QStringLiteral("scan.tif"), 2}, {QStringLiteral("memo.tif"), 1}});
    useDefaultFolder(out);
    convertAndWait();
    EXPECT_TRUE(dialogs.panelsShown().isEmpty());
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("memo1.jpg"), QStringLiteral("scan1.jpg"),
                                      QStringLiteral("scan2.jpg")}));
    ASSERT_NE(controller->convert().process(), nullptr);
    EXPECT_EQ(controller->convert().process()->message(),
              QStringLiteral("Total 3 files converted successfully."));
    EXPECT_TRUE(controller->progressSheet().processViewPanel()->isVisible());
    EXPECT_TRUE(panelButton("closeProcessBtn")->isEnabled());
    EXPECT_FALSE(panelButton("cancelProcessBtn")->isEnabled());
    auto* message = controller->progressSheet().processViewPanel()->findChild<QLabel*>(
        QStringLiteral("messageLabel"));
    EXPECT_EQ(message->text(), QStringLiteral("Total 3 files converted successfully."));
    auto* time = controller->window()->findChild<QLabel*>(QStringLiteral("labelTimeTaken"));
    EXPECT_TRUE(time->text().endsWith(QStringLiteral(" 2/2"))) << time->text().toStdString();

    panelButton("viewLogBtn")->click();
    EXPECT_EQ(workspace.requests().last().paths,
              QStringList{controller->convert().process()->log().logFilePath()});

    panelButton("closeProcessBtn")->click();
    EXPECT_FALSE(controller->progressSheet().processViewPanel()->isVisible());
    EXPECT_EQ(controller->convert().process(), nullptr);
    EXPECT_EQ(time->text(), idleTimeLabel());
    // The set-up entry of a fresh start, then this job's two files.
    const auto& features = controller->usage().usagesReport()->store().features();
    ASSERT_EQ(features.size(), 1U);
    EXPECT_EQ(features.front().name, QStringLiteral("Output Files"));
    EXPECT_EQ(features.front().usagesCount, 2);
    EXPECT_EQ(features.front().filesCount, 2);
    EXPECT_EQ(controller->files().size(), 2); // clear-processed-files is off
}

struct FolderMessageCase {
    std::string name;
    int folder; // 0 none, 1 deleted, 2 unwritable
    const char* expectedStart;
};

class FolderMessageTest : public ConvertCommandTest,
                          public ::testing::WithParamInterface<FolderMessageCase> {};

TEST_P(FolderMessageTest, ChooserSaysWhyItOpened) {
    addSources({{QStringLiteral("scan.tif"), 1}});
    QString folder;
    std::optional<UnwritableFolder> unwritable;
    if (GetParam().folder == 1) {
        folder = QDir(out).filePath(QStringLiteral("deleted"));
    } else if (GetParam().folder == 2) {
        folder = unwritable.emplace().path();
    }
    useDefaultFolder(folder);
    dialogs.answerNextPanel({false, {}});
    controller->convert().convertAction();
    ASSERT_EQ(dialogs.panelsShown().size(), 1);
    const OpenPanelRequest& panel = dialogs.panelsShown().first();
    QString expected = QString::fromUtf8(GetParam().expectedStart);
    expected.replace(QStringLiteral("@"), folder);
    EXPECT_EQ(panel.message, expected);
    EXPECT_EQ(panel.title, QStringLiteral("Choose Output Folder : "));
    EXPECT_FALSE(panel.canChooseFiles);
    EXPECT_TRUE(panel.canChooseDirectories);
    EXPECT_NE(panel.accessoryView, nullptr);
    EXPECT_FALSE(controller->fileSystemHelper().isProcessing());
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FolderMessageTest,
    ::testing::Values(
        FolderMessageCase{"NoFolder", 0, "Please select output folder!"},
        FolderMessageCase{"Deleted", 1,
                          "Output folder [ @ ] is missing!\r\nPlease select valid output folder."},
        FolderMessageCase{
            "Unwritable", 2,
            "Application does not have write permission for selected output folder!\r\n[ @ "
            "]\r\nPlease select valid output folder."}),
    ByName());

TEST_F(ConvertCommandTest, UnwritableChoiceAlertsAndStartsNothing) {
    addSources({{QStringLiteral("scan.tif"), 1}});
    const UnwritableFolder unwritable;
    const QString folder = unwritable.path();
    dialogs.answerNextPanel({true, {folder}});
    controller->convert().convertAction();
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(dialogs.alertsShown().first().messageText, QStringLiteral("Pictavo"));
    EXPECT_EQ(dialogs.alertsShown().first().informativeText,
              QStringLiteral(
                  "Application does not have write permission for selected output folder!\r\n[ %1 "
                  "]\r\nPlease try again or later.")
                  .arg(folder));
    EXPECT_FALSE(controller->fileSystemHelper().isProcessing());
    EXPECT_TRUE(controller->settings().outputFolderPath().isEmpty());
}

TEST_F(ConvertCommandTest, ChooserCheckBoxesFeedTheSettings) {
    addSources({{QStringLiteral("scan.tif"), 1}});
    controller->settings().setIsOpenFolderAfterConversion(true);
    dialogs.answerNextPanel({false, {}});
    controller->convert().convertAction(); // sets the boxes as the chooser opens
    auto* makeDefault = controller->window()->findChild<QCheckBox*>(
        QStringLiteral("isSetCurrentAsDefaultOutputFolder"));
    auto* openAfter =
        controller->window()->findChild<QCheckBox*>(QStringLiteral("isOpenFolderAfterConversion"));
    ASSERT_NE(makeDefault, nullptr);
    ASSERT_NE(openAfter, nullptr);
    EXPECT_FALSE(makeDefault->isChecked());
    EXPECT_TRUE(openAfter->isChecked());

    // The user ticks "default", unticks "open" and chooses a folder.
    makeDefault->setChecked(true);
    openAfter->setChecked(false);
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    controller->convert().outputFolderChosen(true, {out});
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    EXPECT_EQ(controller->settings().outputFolderPath(), out);
    EXPECT_TRUE(controller->settings().isSetCurrentAsDefaultOutputFolderPath());
    EXPECT_TRUE(
        controller->settings().isOpenFolderAfterConversion()); // unticking never turns it off
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("scan1.jpg")});
}

TEST_P(ConvertInBothEditions, SplitTakesCheckedItemsInListOrder) {
    addSources({{QStringLiteral("a.tif"), 1},
                {QStringLiteral("b.tif"), 1},
                {QStringLiteral("c.tif"), 1},
                {QStringLiteral("d.tif"), 1},
                {QStringLiteral("e.tif"), 1}});
    controller->files().setChecked(1, false);
    controller->files().setChecked(4, false);
    useDefaultFolder(out);
    convertAndWait();
    const Process* job = controller->convert().process();
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->totalFileSelected(), 3);
    ASSERT_EQ(job->outputFiles().size(), 3U);
    EXPECT_TRUE(job->outputFiles()[0].filename.endsWith(QStringLiteral("a.tif")));
    EXPECT_TRUE(job->outputFiles()[1].filename.endsWith(QStringLiteral("c.tif")));
    EXPECT_TRUE(job->outputFiles()[2].filename.endsWith(QStringLiteral("d.tif")));
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("a1.jpg"), QStringLiteral("c1.jpg"),
                                      QStringLiteral("d1.jpg")}));
}

TEST_P(ConvertInBothEditions, CancelMidRunAndClearProcessedFiles) {
    addSources({{QStringLiteral("long.tif"), 30},
                {QStringLiteral("next.tif"), 1},
                {QStringLiteral("kept.tif"), 1}});
    controller->files().setChecked(2, false);
    controller->settings().setIsClearProcessedFiles(true);
    useDefaultFolder(out);
    bool closableWhileRunning = true;
    // Cancel, as the sheet's button does, once three pages are done.
    QObject::connect(controller.get(), &PictavoAppDelegate::processCreated, controller.get(),
                     [&](Process* job) {
                         closableWhileRunning = panelButton("closeProcessBtn")->isEnabled();
                         QObject::connect(
                             job, &Process::totalPagesProcessedChanged, job,
                             [job](int done) {
                                 if (done == 3) {
                                     job->stop();
                                 }
                             },
                             Qt::DirectConnection);
                     });
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    controller->convert().convertAction();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    EXPECT_FALSE(closableWhileRunning); // a running job is never closed
    EXPECT_EQ(controller->convert().process()->message(), QStringLiteral("Process cancelled!"));
    // Pages already under way when Cancel is pressed are finished and kept,
    // and the log names each file on disk.
    int logged = 0;
    for (const LogFiles& source : controller->convert().process()->log().files) {
        logged += source.pages;
    }
    EXPECT_GE(outputs().size(), 3);
    EXPECT_EQ(outputs().size(), logged);
    // The bar tells how far the run got, not that it is complete.
    auto* bar = inPanel<QProgressBar>("progressBar");
    EXPECT_EQ(bar->value(), controller->convert().process()->totalPagesProcessed());
    EXPECT_LT(bar->value(), bar->maximum());
    panelButton("closeProcessBtn")->click();
    // Neither the source the run cut short nor the one it never reached was
    // converted: both stay for the next try, as does the unchecked one.
    ASSERT_EQ(controller->files().size(), 3);
    const char* kept[] = {"long.tif", "next.tif", "kept.tif"};
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(controller->files().at(row)->filePath().toLocalFile().endsWith(
            QString::fromUtf8(kept[row])))
            << kept[row];
    }
}

// Ways a user dismisses the progress sheet other than its buttons.
enum class Dismiss { Escape, CloseRequest };

void dismiss(QDialog* sheet, Dismiss how) {
    if (how == Dismiss::Escape) {
        QTest::keyClick(sheet, Qt::Key_Escape);
    } else {
        sheet->close();
    }
}

struct DismissCase {
    const char* name;
    Dismiss how;
};

using DismissSheetInBothEditions = InBothEditionsWithCases<ConvertCommandTest, DismissCase>;

TEST_P(DismissSheetInBothEditions, IgnoredWhileRunningAndCloseAfterwards) {
    addSources({{QStringLiteral("a.tif"), 2}, {QStringLiteral("b.tif"), 2}});
    useDefaultFolder(out);
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    controller->convert().convertAction();
    // The worker waits for this thread after its first source, so the job
    // cannot end before events are served again.
    QDialog* sheet = controller->progressSheet().processViewPanel();
    ASSERT_TRUE(sheet->isVisible());
    ASSERT_TRUE(finished.isEmpty());
    dismiss(sheet, testCase().how);
    EXPECT_TRUE(sheet->isVisible());
    // The window under the sheet takes no input but its menus.
    EXPECT_FALSE(controller->window()->centralWidget()->isEnabled());
    EXPECT_TRUE(panelButton("cancelProcessBtn")->isEnabled());
    EXPECT_NE(controller->convert().process(), nullptr);

    panelButton("cancelProcessBtn")->click();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    ASSERT_TRUE(sheet->isVisible());
    dismiss(sheet, testCase().how);
    // Exactly what Close does: the sheet is gone and the window works again.
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(controller->convert().process(), nullptr);
    EXPECT_FALSE(controller->fileSystemHelper().isProcessing());
    EXPECT_TRUE(mainCancelButton()->isEnabled());
    EXPECT_TRUE(isCommandEnabled(UiCommand::Convert));
}

PICTAVO_CASES_IN_BOTH_EDITIONS(Ways, DismissSheetInBothEditions,
                               ::testing::Values(DismissCase{"Escape", Dismiss::Escape},
                                                 DismissCase{"CloseRequest",
                                                             Dismiss::CloseRequest}));

TEST_P(ConvertInBothEditions, FinishedSheetShowsEveryCount) {
    addSources(
        {{QStringLiteral("a.tif"), 2}, {QStringLiteral("b.tif"), 1}, {QStringLiteral("c.tif"), 3}});
    useDefaultFolder(out);
    controller->settings().setOutputType(OutputPng);
    convertAndWait();
    EXPECT_EQ(inPanel<QLabel>("filesCountLabel")->text(), QStringLiteral("3 of 3"));
    auto* bar = inPanel<QProgressBar>("progressBar");
    EXPECT_EQ(bar->maximum(), 6);
    EXPECT_EQ(bar->value(), 6);
    // The run ends with no file in hand.
    EXPECT_TRUE(inPanel<ElidedLabel>("sourceFileLabel")->displayedText().isEmpty());
    EXPECT_TRUE(inPanel<ElidedLabel>("outputFileLabel")->displayedText().isEmpty());
    EXPECT_EQ(outputs().size(), 6);
    panelButton("closeProcessBtn")->click();
    EXPECT_EQ(controller->convert().process(), nullptr);
}

TEST_P(ConvertInBothEditions, UnwritableLogDisablesViewLogAndSaysWhy) {
    const QString logs =
        StringUtilities::appSubfolderPath(controller->edition(), QStringLiteral("Logs"));
    ASSERT_TRUE(QDir(logs).removeRecursively());
    ASSERT_TRUE(writeFileBytes(logs, "a file where the folder was"));
    addSources({{QStringLiteral("scan.tif"), 1}});
    useDefaultFolder(out);
    convertAndWait();
    EXPECT_FALSE(panelButton("viewLogBtn")->isEnabled());
    EXPECT_TRUE(inPanel<QLabel>("messageLabel")
                    ->text()
                    .contains(QStringLiteral("The log could not be written")));
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("scan1.jpg")}); // the pages are kept
}

TEST_P(ConvertInBothEditions, LongNamesAreElidedAndCaptionsKeepTheirWidth) {
    const QString name = QString(200, QLatin1Char('n')) + QStringLiteral(".tif");
    const QString path = QDir(in).filePath(name);
    auto* source = inPanel<ElidedLabel>("sourceFileLabel");
    source->setTextAndDetail(name, path);
    QDialog* sheet = controller->progressSheet().processViewPanel();
    sheet->adjustSize();
    sheet->show();
    EXPECT_LT(sheet->width(), 900);
    for (const char* caption : {"sourceFileCaption", "outputFileCaption"}) {
        const QLabel* label = inPanel<QLabel>(caption);
        EXPECT_GE(label->width(), label->sizeHint().width()) << caption;
    }
    const QString shown = source->displayedText();
    EXPECT_NE(shown, name);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("nnn")));
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".tif")));
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_EQ(source->toolTip(), path);
    sheet->hide();
}

struct TimeTextCase {
    std::string name;
    qint64 elapsedMs;
    int done;
    int total;
    const char* text;
    bool inWords = false;
};

class ProgressTimeTextTest : public ::testing::TestWithParam<TimeTextCase> {};

TEST_P(ProgressTimeTextTest, ElapsedThenTimeLeftOnceThePaceIsKnown) {
    const TimeTextCase& c = GetParam();
    EXPECT_EQ(ProgressSheet::progressTimeText(c.elapsedMs, c.done, c.total, c.inWords),
              QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    InWords, ProgressTimeTextTest,
    ::testing::Values(
        TimeTextCase{"WordsAtStart", 0, 0, 10, "0 sec(s)", true},
        TimeTextCase{"WordsUnderASecond", 999, 0, 10, "0 sec(s)", true},
        TimeTextCase{"WordsTooFewPages", 2000, 2, 10, "2 sec(s)", true},
        TimeTextCase{"WordsThreePages", 3000, 3, 12, "3 sec(s)  (about 9 sec(s) left)", true},
        TimeTextCase{"WordsMinutes", 75000, 5, 10,
                     "1 min(s) 15 sec(s)  (about 1 min(s) 15 sec(s) left)", true},
        TimeTextCase{"WordsHours", 3725000, 10, 20,
                     "1 hr(s) 2 min(s) 5 sec(s)  (about 1 hr(s) 2 min(s) 5 sec(s) left)", true},
        TimeTextCase{"WordsAllDone", 5000, 10, 10, "5 sec(s)", true}),
    ByName());

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgressTimeTextTest,
    ::testing::Values(TimeTextCase{"Start", 0, 0, 10, "00:00"},
                      TimeTextCase{"TooFewPagesAndSeconds", 2000, 2, 10, "00:02"},
                      TimeTextCase{"ThreePages", 3000, 3, 12, "00:03  (about 00:09 left)"},
                      TimeTextCase{"SlowFirstPage", 6000, 1, 3, "00:06  (about 00:12 left)"},
                      TimeTextCase{"RoundsUp", 10000, 3, 4, "00:10  (about 00:04 left)"},
                      TimeTextCase{"Hours", 3600000, 10, 30, "1:00:00  (about 2:00:00 left)"},
                      TimeTextCase{"AllDone", 5000, 10, 10, "00:05"}),
    ByName());

// The real folder chooser, as a user meets it.
class ChooserTest : public ConvertCommandTest {
protected:
    QtDialogs realDialogs;

    void SetUp() override {
        controller = std::make_unique<PictavoAppDelegate>(
            PictavoAppDelegate::Services{preferences.get(), &workspace, &realDialogs});
        controller->awakeFromNib();
        controller->settings().setIsOpenFolderAfterConversion(false);
    }

    QFileDialog* openChooser() {
        controller->convert().convertAction();
        for (QFileDialog* chooser : controller->window()->findChildren<QFileDialog*>()) {
            if (chooser->isVisible()) {
                return chooser;
            }
        }
        ADD_FAILURE() << "no chooser is shown";
        return nullptr;
    }

    QCheckBox* box(const char* name) const {
        return controller->window()->findChild<QCheckBox*>(QString::fromUtf8(name));
    }
};

TEST_F(ChooserTest, ShowsItsMessageAboveAndCheckBoxesThatWork) {
    addSources({{QStringLiteral("scan.tif"), 1}});
    QFileDialog* chooser = openChooser();
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(chooser->isVisible());
    auto* message = chooser->findChild<QLabel*>(QStringLiteral("openPanelMessage"));
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->isVisible());
    EXPECT_EQ(message->text(), QStringLiteral("Please select output folder!"));
    EXPECT_TRUE(message->wordWrap());
    // Above the dialog's own location box, which keeps its room.
    auto* lookIn = chooser->findChild<QComboBox*>(QStringLiteral("lookInCombo"));
    ASSERT_NE(lookIn, nullptr);
    EXPECT_LT(message->mapTo(chooser, QPoint()).y(), lookIn->mapTo(chooser, QPoint()).y());

    QCheckBox* makeDefault = box("isSetCurrentAsDefaultOutputFolder");
    QCheckBox* openAfter = box("isOpenFolderAfterConversion");
    ASSERT_NE(makeDefault, nullptr);
    ASSERT_NE(openAfter, nullptr);
    EXPECT_TRUE(makeDefault->isVisible());
    EXPECT_TRUE(openAfter->isVisible());
    EXPECT_TRUE(chooser->isAncestorOf(makeDefault));
    makeDefault->click();
    openAfter->click();

    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    chooser->selectFile(out);
    QTest::keyClick(chooser, Qt::Key_Return);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    EXPECT_EQ(controller->settings().outputFolderPath(), QFileInfo(out).absoluteFilePath());
    EXPECT_TRUE(controller->settings().isSetCurrentAsDefaultOutputFolderPath());
    EXPECT_TRUE(controller->settings().isOpenFolderAfterConversion());
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("scan1.jpg")});
    // The check boxes went back to the window, out of sight.
    EXPECT_FALSE(chooser->isAncestorOf(makeDefault));
    EXPECT_FALSE(makeDefault->isVisible());
    panelButton("closeProcessBtn")->click();
}

TEST_F(ChooserTest, EscapeCancelsAndTheNextChooserShowsTheBoxesAgain) {
    addSources({{QStringLiteral("scan.tif"), 1}});
    QFileDialog* first = openChooser();
    ASSERT_NE(first, nullptr);
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_FALSE(first->isVisible());
    EXPECT_FALSE(controller->fileSystemHelper().isProcessing());
    EXPECT_TRUE(outputs().isEmpty());

    QFileDialog* second = openChooser();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(box("isSetCurrentAsDefaultOutputFolder")->isVisible());
    EXPECT_TRUE(box("isOpenFolderAfterConversion")->isVisible());
    second->reject();
}

} // namespace
