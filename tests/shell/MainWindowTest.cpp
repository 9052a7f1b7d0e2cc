#include "ControllerFixture.h"
#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/AlertPanels.h"
#include "shell/Dialogs.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "widgets/CustomTableView.h"
#include "widgets/SegmentedControl.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class MainWindowTest : public ControllerFixture {
protected:
    QString data = makeTestFolder(QStringLiteral("data"));

    QString label(const char* name) const { return find<QLabel>(name)->text(); }

    QString tiff(const QString& relative, int pages = 1) {
        const QString path = QDir(data).filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writeTestTiff(
            path, std::vector<TestTiffPage>(static_cast<size_t>(pages), grayPage(8, 8))));
        return path;
    }

    QStringList names() {
        QStringList out;
        for (const auto& item : controller->files().items()) {
            out.append(QDir(data).relativeFilePath(item->filePath().toLocalFile()));
        }
        return out;
    }

    void addFolder(const QString& folder) {
        dialogs.answerNextPanel({true, {folder}});
        waitForLoad([this] { controller->fileSystemHelper().addFolder(); });
    }
};

using MainWindowInBothEditions = InBothEditions<MainWindowTest>;
PICTAVO_IN_BOTH_EDITIONS(MainWindowInBothEditions);

TEST_P(MainWindowInBothEditions, StartsWithItsFoldersTitleAndIdleControls) {
    start();
    EXPECT_TRUE(
        QFileInfo(StringUtilities::appSubfolderPath(edition, QStringLiteral("Logs"))).isDir());
    EXPECT_EQ(controller->window()->windowTitle(), QStringLiteral("Pictavo"));
    EXPECT_TRUE(controller->window()->isVisible());

    if (isFirstEdition()) {
        const std::pair<UiCommand, bool> expected[] = {
            {UiCommand::AddFiles, true},  {UiCommand::AddFolder, true},
            {UiCommand::Remove, false},   {UiCommand::IncludeSubfolders, true},
            {UiCommand::Import, true},    {UiCommand::Export, false},
            {UiCommand::Convert, false},  {UiCommand::MoveUp, false},
            {UiCommand::MoveDown, false}, {UiCommand::RemoveAll, false}};
        for (const auto& [command, enabled] : expected) {
            EXPECT_EQ(isCommandEnabled(command), enabled)
                << "command " << static_cast<int>(command);
        }
    } else {
        auto* files = find<SegmentedControl>("filesFoldersSegmented");
        const bool filesExpected[] = {true, false, true, true, false, true};
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(files->isEnabled(i), filesExpected[i]) << "files segment " << i;
        }
        auto* navigation = find<SegmentedControl>("navigationSegmented");
        for (int i = 0; i < 3; ++i) {
            EXPECT_FALSE(navigation->isEnabled(i)) << "navigation segment " << i;
        }
        auto* command = find<SegmentedControl>("commandSegmented");
        EXPECT_TRUE(command->isEnabled(0));
        EXPECT_FALSE(command->isEnabled(1));
    }
    EXPECT_EQ(
        label("labelTotalFiles"),
        QStringLiteral(
            "0 Total file(s); 0 file selected; Total page count of selected TIFF file(s): 0"));
    EXPECT_EQ(label("labelTotalTIFFPages"), QStringLiteral("Total Pages TIFF : 0"));
    EXPECT_EQ(label("labelTimeTaken"), idleTimeLabel());
}

TEST_P(MainWindowInBothEditions, StartsSilentlyWhenAFileBlocksTheLogsFolder) {
    edition = testedEdition();
    ASSERT_TRUE(StringUtilities::createApplicationUsersFolder(edition, QString()));
    const QString blocker = StringUtilities::appSubfolderPath(edition, QStringLiteral("Logs"));
    ASSERT_TRUE(writeFileBytes(blocker, "not a folder"));
    dialogs.answerNextAlert(kAlertFirstButton);
    start();
    EXPECT_TRUE(controller->window()->isVisible());
    EXPECT_TRUE(dialogs.alertsShown().isEmpty());
    EXPECT_EQ(readFileBytes(blocker), QByteArray("not a folder"));
}

TEST_F(MainWindowTest, QuitStoresSettingsAndRecentFolders) {
    start();
    controller->settings().setOutputType(OutputPng);
    ASSERT_TRUE(controller->applicationShouldTerminate());
    controller.reset();
    SettingsPreferences reopened(prefsPath);
    EXPECT_EQ(reopened.value(QStringLiteral("SETTINGS"))
                  .toMap()
                  .value(QStringLiteral("outputType"))
                  .toInt(),
              OutputPng);
    EXPECT_TRUE(reopened.value(QStringLiteral("RECENTITEMS")).isValid());
}

TEST_P(MainWindowInBothEditions, AddFilesTakesChosenFilesAsTheyAre) {
    start();
    const QString a = tiff(QStringLiteral("a.tif"), 3);
    const QString other = QDir(data).filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(writeFileBytes(other, "text"));
    dialogs.answerNextPanel({true, {a, other}});
    waitForLoad([this] { controller->fileSystemHelper().addFiles(); });
    EXPECT_EQ(names(), (QStringList{QStringLiteral("a.tif"), QStringLiteral("notes.txt")}));
    EXPECT_EQ(dialogs.panelsShown().last().message, QStringLiteral("Select TIFF File(s):"));
    EXPECT_FALSE(dialogs.panelsShown().last().canChooseDirectories);
    EXPECT_EQ(label("labelTotalTIFFPages"), QStringLiteral("Total Pages TIFF : 3"));
    EXPECT_TRUE(isCommandEnabled(UiCommand::Convert));
    EXPECT_TRUE(isCommandEnabled(UiCommand::Remove));
}

TEST_P(MainWindowInBothEditions, FolderWithoutSubfoldersSkipsHiddenAndMixedCase) {
    start();
    tiff(QStringLiteral("in/b.tif"));
    tiff(QStringLiteral("in/a.TIFF"));
    tiff(QStringLiteral("in/.hidden.tif"));
    tiff(QStringLiteral("in/mixed.Tif"));
    tiff(QStringLiteral("in/sub/deep.tif"));
    addFolder(QDir(data).filePath(QStringLiteral("in")));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("in/a.TIFF"), QStringLiteral("in/b.tif")}));
    EXPECT_EQ(dialogs.panelsShown().last().message,
              QStringLiteral("Select folder(s) contains TIFF File(s):"));
}

TEST_P(MainWindowInBothEditions, IncludeSubfoldersIsAStoredToggle) {
    start();
    tiff(QStringLiteral("in/a.tif"));
    tiff(QStringLiteral("in/sub/deep.tif"));
    tiff(QStringLiteral("in/.secret/hidden.tif"));
    pressCommand(UiCommand::IncludeSubfolders);
    EXPECT_TRUE(isIncludeSubfoldersShownOn());
    EXPECT_TRUE(preferences->value(QStringLiteral("INCLUDESUBFOLDERS")).toBool());
    addFolder(QDir(data).filePath(QStringLiteral("in")));
    EXPECT_EQ(names(),
              (QStringList{QStringLiteral("in/a.tif"), QStringLiteral("in/sub/deep.tif")}));
    pressCommand(UiCommand::IncludeSubfolders);
    EXPECT_FALSE(isIncludeSubfoldersShownOn());
    EXPECT_FALSE(preferences->value(QStringLiteral("INCLUDESUBFOLDERS")).toBool());
}

TEST_P(MainWindowInBothEditions, DuplicatesAreSkippedWithoutResorting) {
    start();
    tiff(QStringLiteral("in/b.tif"));
    tiff(QStringLiteral("in/a.tif"));
    addFolder(QDir(data).filePath(QStringLiteral("in")));
    // The user sorts by name, descending; then the same folder comes again.
    auto* table = find<CustomTableView>("mainTableView");
    table->sortByColumn(1, Qt::DescendingOrder);
    ASSERT_EQ(names(), (QStringList{QStringLiteral("in/b.tif"), QStringLiteral("in/a.tif")}));
    controller->files().move(0, 1); // an order a re-sort would undo
    addFolder(QDir(data).filePath(QStringLiteral("in")));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("in/a.tif"), QStringLiteral("in/b.tif")}));
}

TEST_P(MainWindowInBothEditions, GrowthIsSortedByTheTablesOrder) {
    start();
    find<CustomTableView>("mainTableView")->sortByColumn(1, Qt::AscendingOrder);
    tiff(QStringLiteral("in/c.tif"));
    tiff(QStringLiteral("more/a.tif"));
    addFolder(QDir(data).filePath(QStringLiteral("in")));
    addFolder(QDir(data).filePath(QStringLiteral("more")));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("more/a.tif"), QStringLiteral("in/c.tif")}));
}

TEST_P(MainWindowInBothEditions, DropsGoThroughTheFolderWalker) {
    start();
    tiff(QStringLiteral("drop/x.tif"));
    const QString jpeg = QDir(data).filePath(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(writeFileBytes(jpeg, "jpeg"));
    auto* table = find<CustomTableView>("mainTableView");
    waitForLoad([&] {
        Q_EMIT table->urlsDropped({QUrl::fromLocalFile(QDir(data).filePath(QStringLiteral("drop"))),
                                   QUrl::fromLocalFile(jpeg)});
    });
    EXPECT_EQ(names(), QStringList{QStringLiteral("drop/x.tif")});
}

TEST_P(MainWindowInBothEditions, TimeLabelShowsTheLoadAndItsDuration) {
    start();
    tiff(QStringLiteral("in/a.tif"));
    QString during;
    QObject::connect(&controller->files(), &FileList::appended, controller.get(),
                     [&] { during = label("labelTimeTaken"); });
    addFolder(QDir(data).filePath(QStringLiteral("in")));
    EXPECT_EQ(during, QStringLiteral("Total Time Taken : In Process... 0/0"));
    // Under a second: "00:00", or nothing in words.
    EXPECT_EQ(label("labelTimeTaken"), loadUnderASecondTimeLabel());
    EXPECT_TRUE(find<QWidget>("mainTableView")->isEnabled());
}

TEST_P(MainWindowInBothEditions, CancelDuringALongWalkKeepsWhatWasFound) {
    start();
    for (int i = 0; i < 300; ++i) {
        tiff(QStringLiteral("many/f%1.tif").arg(i, 3, 10, QLatin1Char('0')));
    }
    controller->fileSystemHelper().setLoaderOptions(
        FileLoaderOptions{std::chrono::milliseconds(0)});
    QObject::connect(&controller->files(), &FileList::appended, controller.get(),
                     [this] { controller->fileSystemHelper().cancelAction(); });
    addFolder(QDir(data).filePath(QStringLiteral("many")));
    const int kept = controller->files().size();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 300);
    EXPECT_FALSE(controller->fileSystemHelper().isProcessing());
    EXPECT_TRUE(find<QWidget>("mainTableView")->isEnabled());
    EXPECT_TRUE(isCommandEnabled(UiCommand::AddFiles));
}

TEST_F(MainWindowTest, LogsSegmentOpensTheLogsFolder) {
    start();
    find<SegmentedControl>("filesFoldersSegmented")->click(5);
    ASSERT_EQ(workspace.requests().size(), 1);
    EXPECT_EQ(workspace.requests().at(0).paths,
              QStringList{StringUtilities::appSubfolderPath(edition, QStringLiteral("Logs"))});
    EXPECT_FALSE(find<SegmentedControl>("filesFoldersSegmented")->isSelected(5));
}

TEST_F(MainWindowTest, WindowActivationTogglesTheRightPane) {
    start();
    auto* rightBox = find<QWidget>("rightBox");
    controller->editionWindow().windowDidResignMain();
    EXPECT_FALSE(rightBox->autoFillBackground());
    controller->editionWindow().windowDidBecomeMain();
    EXPECT_TRUE(rightBox->autoFillBackground());
}

TEST_P(MainWindowInBothEditions, QuitWhileLoadingStopsTheWorker) {
    start();
    for (int i = 0; i < 200; ++i) {
        tiff(QStringLiteral("many/f%1.tif").arg(i, 3, 10, QLatin1Char('0')));
    }
    dialogs.answerNextPanel({true, {QDir(data).filePath(QStringLiteral("many"))}});
    controller->fileSystemHelper().addFolder();
    ASSERT_TRUE(controller->applicationShouldTerminate());
    EXPECT_FALSE(controller->fileSystemHelper().isLoading());
}

struct SplitCase {
    std::string name;
    int outputType;
    bool split;
    bool quality;
    bool splitOption;
    bool compression;
    bool naming;
};

class SplitOptionsTest : public MainWindowTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(SplitOptionsTest, EnablesTheControlsOfTheOutputType) {
    start();
    const SplitCase& c = GetParam();
    controller->settings().setOutputType(c.outputType);
    controller->settings().setIsSplitTIFFIntoSinglePages(c.split);
    controller->outputSettings().setSplitOptions(c.outputType);
    QWidget* panel =
        controller->window()->findChild<QWidget*>(QStringLiteral("outputSettingPanel"));
    ASSERT_NE(panel, nullptr);
    const auto enabled = [panel](const char* name) {
        return panel->findChild<QWidget*>(QString::fromUtf8(name))->isEnabled();
    };
    EXPECT_EQ(enabled("jpegQualitySlider"), c.quality);
    EXPECT_EQ(enabled("splitTiffCheckbox"), c.splitOption);
    EXPECT_EQ(enabled("tiffCompressionPopup"), c.compression);
    EXPECT_EQ(enabled("fileNameSeparatorText"), c.naming);
    EXPECT_EQ(enabled("fileNameLeadingZerosText"), c.naming);
    EXPECT_EQ(enabled("fileNameLeadingZerosStepper"), c.naming);
    EXPECT_EQ(enabled("fileNameSeparatorLabel"), c.naming);
}

INSTANTIATE_TEST_SUITE_P(
    Types, SplitOptionsTest,
    ::testing::Values(SplitCase{"Jpeg", OutputJpeg, false, true, false, false, true},
                      SplitCase{"Png", OutputPng, false, false, false, false, true},
                      SplitCase{"TiffWhole", OutputTiff, false, false, true, true, false},
                      SplitCase{"TiffSplit", OutputTiff, true, false, true, true, true},
                      SplitCase{"Gif", OutputGif, true, false, false, false, true},
                      SplitCase{"PdfWhole", OutputPdf, false, false, true, false, false},
                      SplitCase{"PdfSplit", OutputPdf, true, false, true, false, true}),
    ByName());

TEST(QualityTextTest, TenIsAHundredPercentOthersGainTen) {
    EXPECT_EQ(OutputSettings::qualityPercentText(0), QStringLiteral("10%"));
    EXPECT_EQ(OutputSettings::qualityPercentText(4), QStringLiteral("50%"));
    EXPECT_EQ(OutputSettings::qualityPercentText(9), QStringLiteral("100%"));
    EXPECT_EQ(OutputSettings::qualityPercentText(10), QStringLiteral("100%"));
}

TEST_P(MainWindowInBothEditions, ResetViewDisabledStillSetsTheQualityLabel) {
    start();
    controller->settings().setJpegQuality(4);
    controller->editionWindow().resetView(false);
    EXPECT_FALSE(find<QWidget>("mainTableView")->isEnabled());
    if (isFirstEdition()) {
        for (const UiCommand command :
             {UiCommand::AddFiles, UiCommand::AddFolder, UiCommand::Remove,
              UiCommand::IncludeSubfolders, UiCommand::Import, UiCommand::Export}) {
            EXPECT_FALSE(isCommandEnabled(command)) << static_cast<int>(command);
        }
        auto* settingsItem = find<QAction>("preferencesToolbarItem");
        ASSERT_NE(settingsItem, nullptr);
        EXPECT_FALSE(settingsItem->isEnabled());
    } else {
        auto* files = find<SegmentedControl>("filesFoldersSegmented");
        for (int i = 0; i < 6; ++i) {
            EXPECT_FALSE(files->isEnabled(i));
        }
        EXPECT_FALSE(find<SegmentedControl>("commandSegmented")->isEnabled(0));
    }
    auto* quality = controller->window()->findChild<QLabel*>(QStringLiteral("qualityText"));
    ASSERT_NE(quality, nullptr);
    EXPECT_EQ(quality->text(), QStringLiteral("50%"));
    EXPECT_FALSE(controller->settings().isSetCurrentAsDefaultOutputFolderPath());
}

TEST_P(MainWindowInBothEditions, MenuTitlesTakeTheDisplayName) {
    start();
    const QList<QAction*> menus = controller->window()->menuBar()->actions();
    ASSERT_FALSE(menus.isEmpty());
    EXPECT_EQ(menus.first()->menu()->actions().last()->text(), QStringLiteral("Quit Pictavo"));
}

TEST_P(MainWindowInBothEditions, AlertsAreAnsweredThroughTheDialogLayer) {
    start();
    informationAlertPanel(dialogs, controller->window(), QStringLiteral("Pictavo"),
                          QStringLiteral("100% done\r\n[ /tmp ]"));
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(dialogs.alertsShown().at(0).messageText, QStringLiteral("Pictavo"));
    EXPECT_EQ(dialogs.alertsShown().at(0).informativeText, QStringLiteral("100% done\r\n[ /tmp ]"));
    EXPECT_EQ(dialogs.alertsShown().at(0).style, AlertStyle::Critical);

    AlertRequest question;
    question.messageText = QStringLiteral("Remove all?");
    question.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    dialogs.answerNextAlert(kAlertFirstButton + 1);
    int answered = 0;
    beginSheetModalForWindow(dialogs, question, controller->window(),
                             [&](int code) { answered = code; });
    EXPECT_EQ(answered, kAlertFirstButton + 1);
}

TEST_P(MainWindowInBothEditions, RealAlertIsWindowModalAndReportsTheButton) {
    start();
    QtDialogs real;
    AlertRequest question;
    question.messageText = QStringLiteral("Remove all?");
    question.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    int answered = 0;
    real.beginAlert(controller->window(), question, [&](int code) { answered = code; });
    QMessageBox* box = controller->window()->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    QPushButton* no = nullptr;
    for (QAbstractButton* b : box->buttons()) {
        if (b->text() == QStringLiteral("No")) {
            no = qobject_cast<QPushButton*>(b);
        }
    }
    ASSERT_NE(no, nullptr);
    no->click();
    EXPECT_EQ(answered, kAlertFirstButton + 1);
}

} // namespace
