#include "FirstEditionFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>
#include <optional>

namespace {

// ---- the list's controls ----

class FirstEditionWindowListControlsTest : public FirstEditionFixture {
protected:
    void SetUp() override { start(); }

    static constexpr const char* kListButtons[] = {"removeBtn",
                                                   "openFileButton",
                                                   "getInfoButton",
                                                   "openEnclosedFolderButton",
                                                   "selectAllButton",
                                                   "deselectAllButton",
                                                   "removeSelectedFilesButton",
                                                   "removeAllFilesButton"};

    void expectListControls(bool enabled) {
        for (const char* name : kListButtons) {
            auto* button = find<QPushButton>(name);
            ASSERT_NE(button, nullptr) << name;
            EXPECT_EQ(button->isEnabled(), enabled) << name;
        }
        auto* exportItem = find<QAction>("exportToolbarItem");
        ASSERT_NE(exportItem, nullptr);
        EXPECT_EQ(exportItem->isEnabled(), enabled);
    }
};

TEST_F(FirstEditionWindowListControlsTest, EmptyListShowsTheHintAndDisablesTheListCommands) {
    auto* hint = find<QLabel>("lableDragAndDrop");
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible());
    expectListControls(false);
}

TEST_F(FirstEditionWindowListControlsTest, LoadedFileHidesTheHintAndEnablesTheListCommands) {
    auto* hint = find<QLabel>("lableDragAndDrop");
    ASSERT_NE(hint, nullptr);
    addPaths({tiff(QStringLiteral("a.tif"))});
    ASSERT_EQ(controller->files().size(), 1);
    EXPECT_FALSE(hint->isVisible());
    expectListControls(true);
}

TEST_F(FirstEditionWindowListControlsTest, DroppedFileHidesTheHintAndEnablesTheListCommands) {
    auto* hint = find<QLabel>("lableDragAndDrop");
    ASSERT_NE(hint, nullptr);
    const QString path = tiff(QStringLiteral("dropped.tif"));
    waitForLoad(
        [&] { (void)controller->fileSystemHelper().acceptDrop({QUrl::fromLocalFile(path)}); });
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("dropped.tif")});
    EXPECT_FALSE(hint->isVisible());
    expectListControls(true);
}

TEST_F(FirstEditionWindowListControlsTest, DropOfNoLocalFileHidesTheHintAtOnce) {
    auto* hint = find<QLabel>("lableDragAndDrop");
    ASSERT_NE(hint, nullptr);
    ASSERT_TRUE(hint->isVisible());
    EXPECT_FALSE(controller->fileSystemHelper().acceptDrop(
        {QUrl(QStringLiteral("https://example.com/a.tif"))}));
    EXPECT_FALSE(hint->isVisible());
    EXPECT_TRUE(controller->files().isEmpty());
    EXPECT_FALSE(controller->fileSystemHelper().isLoading());
}

TEST_F(FirstEditionWindowListControlsTest, BothFolderCheckBoxesNeedAFolder) {
    auto* setDefault = find<QCheckBox>("setCurrentAsDefaultOutputFolderPathBtn");
    auto* openAfter = find<QCheckBox>("openFolderAfterConversionBtn");
    auto* choose = find<QPushButton>("chooseOutputFolderBtn");
    auto* clear = find<QPushButton>("clearOutputFolderBtn");
    ASSERT_NE(setDefault, nullptr);
    ASSERT_NE(openAfter, nullptr);
    ASSERT_NE(choose, nullptr);
    ASSERT_NE(clear, nullptr);
    ASSERT_TRUE(controller->settings().outputFolderPath().isEmpty());
    EXPECT_FALSE(setDefault->isEnabled());
    EXPECT_FALSE(openAfter->isEnabled());

    const QString folder = makeTestFolder(QStringLiteral("out"));
    dialogs.answerNextPanel({true, {folder}});
    choose->click();
    ASSERT_EQ(controller->settings().outputFolderPath(), folder);
    EXPECT_TRUE(setDefault->isEnabled());
    EXPECT_TRUE(openAfter->isEnabled());

    clear->click();
    ASSERT_TRUE(controller->settings().outputFolderPath().isEmpty());
    EXPECT_FALSE(setDefault->isEnabled());
    EXPECT_FALSE(openAfter->isEnabled());

    controller->settings().setOutputFolderPath(folder);
    EXPECT_TRUE(setDefault->isEnabled());
    EXPECT_TRUE(openAfter->isEnabled());
}

TEST_F(FirstEditionWindowListControlsTest, QuittingStoresNoRecentItems) {
    const QString folder = makeTestFolder(QStringLiteral("folder"));
    tiff(QStringLiteral("a.tif"), 1, folder);
    dialogs.answerNextPanel({true, {folder}});
    auto* addFolder = find<QPushButton>("addFolderBtn");
    ASSERT_NE(addFolder, nullptr);
    waitForLoad([&] { addFolder->click(); });
    ASSERT_EQ(controller->files().size(), 1);
    EXPECT_TRUE(controller->applicationShouldTerminate());
    EXPECT_FALSE(preferences->value(QStringLiteral("RECENTITEMS")).isValid());
    SettingsPreferences reread(prefsPath);
    EXPECT_FALSE(reread.value(QStringLiteral("RECENTITEMS")).isValid());
}

TEST_F(FirstEditionWindowListControlsTest, AboutToolbarItemShowsAboutThatEndsWithEscape) {
    QToolBar* bar = firstEdition().toolbar();
    ASSERT_NE(bar, nullptr);
    QAction* aboutItem = bar->findChild<QAction*>(QStringLiteral("aboutToolbarItem"));
    ASSERT_NE(aboutItem, nullptr);
    EXPECT_TRUE(bar->actions().contains(aboutItem));
    EXPECT_EQ(bar->actions().value(0), aboutItem);
    aboutItem->trigger();
    QDialog* about = controller->help().aboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowModality(), Qt::WindowModal);
    EXPECT_EQ(about->parentWidget(), controller->window());
    QTest::keyClick(about, Qt::Key_Escape);
    EXPECT_FALSE(about->isVisible());
}

// ---- adding and removing ----

class FirstEditionWindowAddRemoveTest : public FirstEditionFixture {
protected:
    void SetUp() override { start(); }
};

TEST_F(FirstEditionWindowAddRemoveTest, AddFolderFollowsTheIncludeSubfoldersCheckBox) {
    const QString folder = makeTestFolder(QStringLiteral("tree"));
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("sub")));
    tiff(QStringLiteral("top.tif"), 1, folder);
    tiff(QStringLiteral("deep.tif"), 1, QDir(folder).filePath(QStringLiteral("sub")));
    auto* include = find<QCheckBox>("inculdeSubfoldersBtn");
    auto* addFolder = find<QPushButton>("addFolderBtn");
    auto* removeAll = find<QPushButton>("removeAllFilesButton");
    ASSERT_NE(include, nullptr);
    ASSERT_NE(addFolder, nullptr);
    ASSERT_NE(removeAll, nullptr);
    if (include->isChecked()) {
        include->click();
    }
    ASSERT_FALSE(include->isChecked());
    dialogs.answerNextPanel({true, {folder}});
    waitForLoad([&] { addFolder->click(); });
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("top.tif")});
    EXPECT_TRUE(dialogs.panelsShown().last().canChooseDirectories);

    include->click();
    ASSERT_TRUE(include->isChecked());
    dialogs.answerNextAlert(kAlertFirstButton);
    removeAll->click();
    ASSERT_TRUE(controller->files().isEmpty());
    dialogs.answerNextPanel({true, {folder}});
    waitForLoad([&] { addFolder->click(); });
    EXPECT_EQ(listedNames(), (QStringList{QStringLiteral("deep.tif"), QStringLiteral("top.tif")}));
}

TEST_F(FirstEditionWindowAddRemoveTest, AddFilesAsksForFilesOnly) {
    const QString a = tiff(QStringLiteral("a.tif"));
    auto* addFiles = find<QPushButton>("addFilesBtn");
    ASSERT_NE(addFiles, nullptr);
    dialogs.answerNextPanel({true, {a}});
    waitForLoad([&] { addFiles->click(); });
    ASSERT_FALSE(dialogs.panelsShown().isEmpty());
    EXPECT_FALSE(dialogs.panelsShown().last().canChooseDirectories);
    EXPECT_TRUE(dialogs.panelsShown().last().canChooseFiles);
    EXPECT_EQ(listedNames(), QStringList{QStringLiteral("a.tif")});
}

struct RemoveAllCase {
    std::string name;
    int answer;
    bool removes;
};

class FirstEditionWindowRemoveAllTest : public FirstEditionFixture,
                                        public ::testing::WithParamInterface<RemoveAllCase> {};

TEST_P(FirstEditionWindowRemoveAllTest, AsksFirst) {
    start();
    addPaths({tiff(QStringLiteral("a.tif")), tiff(QStringLiteral("b.tif"))});
    ASSERT_EQ(controller->files().size(), 2);
    auto* removeAll = find<QPushButton>("removeAllFilesButton");
    auto* hint = find<QLabel>("lableDragAndDrop");
    ASSERT_NE(removeAll, nullptr);
    ASSERT_NE(hint, nullptr);
    dialogs.answerNextAlert(GetParam().answer);
    removeAll->click();
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(dialogs.alertWindows().first(), nullptr); // application-modal
    EXPECT_EQ(dialogs.alertsShown().first().messageText, QStringLiteral("Pictavo"));
    EXPECT_EQ(dialogs.alertsShown().first().informativeText,
              QStringLiteral("Are you sure to remove all file(s)?"));
    EXPECT_EQ(dialogs.alertsShown().first().buttons,
              (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    EXPECT_EQ(controller->files().size(), GetParam().removes ? 0 : 2);
    EXPECT_EQ(hint->isVisible(), GetParam().removes);
    EXPECT_EQ(removeAll->isEnabled(), !GetParam().removes);
}

INSTANTIATE_TEST_SUITE_P(Answers, FirstEditionWindowRemoveAllTest,
                         ::testing::Values(RemoveAllCase{"Yes", kAlertFirstButton, true},
                                           RemoveAllCase{"No", kAlertFirstButton + 1, false}),
                         ByName());

TEST_F(FirstEditionWindowAddRemoveTest, ImportCancelAddsNothingAndKeepsTheParsedFiles) {
    const QString a = tiff(QStringLiteral("a.tif"));
    auto* importButton = find<QPushButton>("importBtn");
    ASSERT_NE(importButton, nullptr);
    importButton->click();
    ImportFilesWindowController* import = controller->importExport().importFilesController();
    ASSERT_NE(import, nullptr);
    QDialog* window = import->window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    auto* fromText = window->findChild<QRadioButton*>(QStringLiteral("importFromTextBtn"));
    auto* paste = window->findChild<QPushButton*>(QStringLiteral("pasteFromClipboardBtn"));
    auto* cancel = window->findChild<QPushButton*>(QStringLiteral("cancelImportBtn"));
    auto* count = window->findChild<QLabel*>(QStringLiteral("totalFilesFound"));
    ASSERT_NE(fromText, nullptr);
    ASSERT_NE(paste, nullptr);
    ASSERT_NE(cancel, nullptr);
    ASSERT_NE(count, nullptr);
    fromText->click();
    QApplication::clipboard()->setText(a);
    paste->click();
    ASSERT_EQ(import->files(), QList<QUrl>{QUrl::fromLocalFile(a)});
    EXPECT_EQ(count->text(), QStringLiteral("Total Files Found : 1"));
    cancel->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(controller->fileSystemHelper().isLoading());
    EXPECT_TRUE(controller->files().isEmpty());
    EXPECT_EQ(import->files(), QList<QUrl>{QUrl::fromLocalFile(a)});

    importButton->click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(import->files().isEmpty());
    EXPECT_EQ(count->text(), QStringLiteral("Total Files Found : 0"));
}

TEST_F(FirstEditionWindowAddRemoveTest, GetInfoAsksOncePerSelectedItemInRowOrder) {
    const QString a = tiff(QStringLiteral("a.tif"));
    const QString b = tiff(QStringLiteral("b.tif"));
    const QString c = tiff(QStringLiteral("c.tif"));
    addPaths({a, b, c});
    ASSERT_EQ(controller->files().size(), 3);
    QStringList rowPaths;
    for (const auto& item : controller->files().items()) {
        rowPaths.append(item->filePath().toLocalFile());
    }
    controller->table().selectRows({0, 2});
    ASSERT_EQ(controller->table().selectedRows(), (std::vector<int>{0, 2}));
    auto* getInfo = find<QPushButton>("getInfoButton");
    ASSERT_NE(getInfo, nullptr);
    getInfo->click();
    const QList<RecordingWorkspace::Request> expected{{QStringLiteral("info"), {rowPaths.at(0)}},
                                                      {QStringLiteral("info"), {rowPaths.at(2)}}};
    EXPECT_EQ(workspace.requests(), expected);
}

} // namespace
