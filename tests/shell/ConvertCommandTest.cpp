#include "ConvertCommandFixture.h"

namespace {

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

} // namespace
