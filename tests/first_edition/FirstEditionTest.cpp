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

constexpr int kFolderPage = 2;

const QString kShowSettings = QStringLiteral("SHOWSETTINGS");

// An existing folder this process may not write to: a folder made read-only,
// or, for a process that ignores permissions, a procfs folder.
// ---- the settings pane ----

class FirstEditionWindowSettingsPaneTest : public FirstEditionFixture {};

TEST_F(FirstEditionWindowSettingsPaneTest, FirstLaunchShowsThePaneAndStoresIt) {
    ASSERT_FALSE(preferences->value(kShowSettings).isValid());
    start();
    auto* pane = find<QWidget>("rightBox");
    auto* shownItem = find<QAction>("preferencesToolbarItem");
    ASSERT_NE(pane, nullptr);
    ASSERT_NE(shownItem, nullptr);
    EXPECT_TRUE(pane->isVisible());
    EXPECT_TRUE(shownItem->isChecked());
    EXPECT_TRUE(firstEdition().settingsPane().isSettingsShown());
    const QVariant stored = preferences->value(kShowSettings);
    ASSERT_TRUE(stored.isValid());
    EXPECT_TRUE(stored.toBool());
}

TEST_F(FirstEditionWindowSettingsPaneTest, StoredFalseStartsWithThePaneHidden) {
    preferences->setValue(kShowSettings, false);
    start();
    auto* pane = find<QWidget>("rightBox");
    auto* hiddenItem = find<QAction>("dummyToolbarItem");
    auto* shownItem = find<QAction>("preferencesToolbarItem");
    ASSERT_NE(pane, nullptr);
    ASSERT_NE(hiddenItem, nullptr);
    ASSERT_NE(shownItem, nullptr);
    EXPECT_FALSE(pane->isVisible());
    EXPECT_TRUE(hiddenItem->isChecked());
    EXPECT_FALSE(shownItem->isChecked());
    EXPECT_FALSE(preferences->value(kShowSettings).toBool());
}

struct ShowStateCase {
    std::string name;
    bool storedShown;
};

class FirstEditionWindowWholePaneTest : public FirstEditionFixture,
                                        public ::testing::WithParamInterface<ShowStateCase> {
protected:
    // Presses the toolbar's Settings button as a user does.
    void pressSettings() {
        QToolBar* bar = firstEdition().toolbar();
        ASSERT_NE(bar, nullptr);
        auto* item = find<QAction>("preferencesToolbarItem");
        ASSERT_NE(item, nullptr);
        QWidget* button = bar->widgetForAction(item);
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        // What the event loop does next: the layouts the click asked for.
        QApplication::sendPostedEvents();
    }

    // Every tab shows in the bar and brings its page when clicked.
    void expectEveryTabReachable() {
        auto* tabs = find<QTabBar>("settingTabs");
        auto* pages = find<QStackedWidget>("settingTabView");
        ASSERT_NE(tabs, nullptr);
        ASSERT_NE(pages, nullptr);
        ASSERT_TRUE(tabs->isVisible());
        ASSERT_EQ(tabs->count(), 3);
        EXPECT_GT(tabs->height(), 0);
        const char* const pageNames[] = {"formatTab", "namesTab", "folderTab"};
        for (const int i : {2, 1, 0}) {
            const QRect tab = tabs->tabRect(i);
            ASSERT_TRUE(tabs->rect().contains(tab)) << i;
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tab.center());
            EXPECT_EQ(pages->currentIndex(), i);
            EXPECT_EQ(pages->currentWidget()->objectName(), QString::fromLatin1(pageNames[i]));
            EXPECT_TRUE(pages->currentWidget()->isVisible()) << i;
        }
    }
};

TEST_P(FirstEditionWindowWholePaneTest, EveryTabCanBeReachedHoweverThePaneWasShown) {
    preferences->setValue(kShowSettings, GetParam().storedShown);
    start();
    QApplication::sendPostedEvents();
    auto* pane = find<QWidget>("rightBox");
    ASSERT_NE(pane, nullptr);
    if (!GetParam().storedShown) {
        ASSERT_FALSE(pane->isVisible());
        pressSettings();
    }
    ASSERT_TRUE(pane->isVisible());
    expectEveryTabReachable();
    for (int round = 0; round < 3; ++round) {
        pressSettings();
        ASSERT_FALSE(pane->isVisible()) << round;
        pressSettings();
        ASSERT_TRUE(pane->isVisible()) << round;
        expectEveryTabReachable();
    }
}

INSTANTIATE_TEST_SUITE_P(StoredStates, FirstEditionWindowWholePaneTest,
                         ::testing::Values(ShowStateCase{"StartedHidden", false},
                                           ShowStateCase{"StartedShown", true}),
                         ByName());

struct ToggleCase {
    std::string name;
    bool byToolbar;
};

// The pane is part of the window: keys that end a dialog leave it standing.
TEST_F(FirstEditionWindowSettingsPaneTest, EscapeAndEnterInThePaneKeepItShown) {
    start();
    QWidget* pane = find<QWidget>("rightBox");
    auto* separator = find<QLineEdit>("fileNameSeparatorText");
    ASSERT_NE(pane, nullptr);
    ASSERT_NE(separator, nullptr);
    auto* pages = find<QStackedWidget>("settingTabView");
    ASSERT_NE(pages, nullptr);
    pages->setCurrentWidget(find<QWidget>("namesTab"));
    ASSERT_TRUE(separator->isVisible());
    separator->setFocus();
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(separator, key);
        EXPECT_TRUE(pane->isVisible()) << key;
        EXPECT_TRUE(separator->isVisible()) << key;
    }
    EXPECT_TRUE(controller->window()->isVisible());
}

// Whatever ends the controller, a load still running is waited for without
// reaching the parts of the window the first edition does not have.
TEST_F(FirstEditionWindowSettingsPaneTest, EndingDuringALoadWaitsForIt) {
    start();
    const QString folder = QDir(data).filePath(QStringLiteral("many"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int i = 0; i < 300; ++i) {
        tiff(QStringLiteral("f%1.tif").arg(i, 3, 10, QLatin1Char('0')), 1, folder);
    }
    controller->fileSystemHelper().setLoaderOptions(
        FileLoaderOptions{std::chrono::milliseconds(0)});
    Arguments request;
    request.urls.append(QUrl::fromLocalFile(folder));
    request.isFolders = true;
    controller->fileSystemHelper().loadURLs(request);
    ASSERT_TRUE(controller->fileSystemHelper().isLoading());
    controller.reset();
    SUCCEED();
}

struct LetterCase {
    const char* button;
    const char* text;
};

TEST_F(FirstEditionWindowSettingsPaneTest, TenButtonsCarryTheirAccessLetters) {
    start();
    const LetterCase cases[] = {
        {"removeBtn", "&Remove"},
        {"importBtn", "&Import..."},
        {"addFilesBtn", "Add &Files..."},
        {"addFolderBtn", "Add F&older..."},
        {"inculdeSubfoldersBtn", "Incl&ude subfolders"},
        {"convertBtn", "Convert File&s"},
        {"setCurrentAsDefaultOutputFolderPathBtn", "Set as &default output folder"},
        {"openFolderAfterConversionBtn", "O&pen output folder after conversion"},
        {"viewLogBtn", "View &Log"},
        {"cancelProcessBtn", "&Cancel"},
    };
    for (const LetterCase& c : cases) {
        // The progress sheet's buttons live in a sheet of the window too.
        const QAbstractButton* button =
            controller->window()->findChild<QAbstractButton*>(QString::fromLatin1(c.button));
        ASSERT_NE(button, nullptr) << c.button;
        EXPECT_EQ(button->text(), QString::fromUtf8(c.text)) << c.button;
    }
}

TEST_F(FirstEditionWindowSettingsPaneTest, DoubleClickOnARowDoesNothing) {
    start();
    addPaths({tiff(QStringLiteral("a.tif"))});
    auto* table = find<QTableView>("mainTableView");
    ASSERT_NE(table, nullptr);
    const auto requestsBefore = workspace.requests().size();
    Q_EMIT table->doubleClicked(table->model()->index(0, 1));
    EXPECT_EQ(workspace.requests().size(), requestsBefore);
}

class FirstEditionWindowToggleTest : public FirstEditionFixture,
                                     public ::testing::WithParamInterface<ToggleCase> {};

TEST_P(FirstEditionWindowToggleTest, TogglingTwiceHidesThenShowsAndStoresEachState) {
    start();
    auto* pane = find<QWidget>("rightBox");
    auto* item = find<QAction>("preferencesToolbarItem");
    ASSERT_NE(pane, nullptr);
    ASSERT_NE(item, nullptr);
    const auto toggle = [&] {
        if (GetParam().byToolbar) {
            item->trigger();
        } else {
            firstEdition().settingsPane().toggleSettings();
        }
    };
    toggle();
    EXPECT_FALSE(pane->isVisible());
    EXPECT_FALSE(firstEdition().settingsPane().isSettingsShown());
    EXPECT_FALSE(preferences->value(kShowSettings).toBool());
    toggle();
    EXPECT_TRUE(pane->isVisible());
    EXPECT_TRUE(firstEdition().settingsPane().isSettingsShown());
    EXPECT_TRUE(item->isChecked());
    const QVariant stored = preferences->value(kShowSettings);
    ASSERT_TRUE(stored.isValid());
    EXPECT_TRUE(stored.toBool());
}

INSTANTIATE_TEST_SUITE_P(Ways, FirstEditionWindowToggleTest,
                         ::testing::Values(ToggleCase{"ToolbarItem", true},
                                           ToggleCase{"Command", false}),
                         ByName());

struct WidthCase {
    std::string name;
    bool shown;
    int leftWidth;
};

class FirstEditionWindowPaneWidthTest : public FirstEditionFixture,
                                        public ::testing::WithParamInterface<WidthCase> {};

TEST_P(FirstEditionWindowPaneWidthTest, TheListFillsWhatThePaneLeaves) {
    start();
    QMainWindow* window = controller->window();
    auto* left = find<QWidget>("leftBox");
    auto* right = find<QWidget>("rightBox");
    ASSERT_NE(window, nullptr);
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    window->resize(900, window->height());
    right->setFixedWidth(300);
    right->resize(300, right->height());
    const QRect before = left->geometry();
    firstEdition().settingsPane().showSettings(GetParam().shown);
    EXPECT_EQ(window->width(), 900);
    EXPECT_EQ(right->isVisible(), GetParam().shown);
    EXPECT_EQ(left->width(), GetParam().leftWidth);
    // Only the width follows the pane.
    EXPECT_EQ(left->pos(), before.topLeft());
    EXPECT_EQ(left->height(), before.height());
}

TEST_F(FirstEditionWindowSettingsPaneTest, BothPanesFollowTheWindowsHeight) {
    start();
    QMainWindow* window = controller->window();
    auto* left = find<QWidget>("leftBox");
    auto* right = find<QWidget>("rightBox");
    ASSERT_NE(window, nullptr);
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    window->resize(1000, 700);
    const int height = window->centralWidget()->height();
    EXPECT_EQ(left->height(), height);
    EXPECT_EQ(right->height(), height);
    EXPECT_EQ(right->geometry().right(), window->width() - 1);
    EXPECT_EQ(left->width(), 1000 - right->width() - 9);
}

INSTANTIATE_TEST_SUITE_P(States, FirstEditionWindowPaneWidthTest,
                         ::testing::Values(WidthCase{"Shown", true, 591},
                                           WidthCase{"Hidden", false, 895}),
                         ByName());

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

// ---- convert ----

class FirstEditionWindowConvertTest : public FirstEditionFixture {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));

    void SetUp() override {
        start();
        controller->settings().setIsOpenFolderAfterConversion(false);
        controller->settings().setSeparator(QStringLiteral("-"));
        controller->settings().setOutputType(OutputPng);
    }

    QString source(const QString& name, int pages) {
        const QString path = tiff(name, pages, in);
        addPaths({path});
        return path;
    }

    QPushButton* convertButton() const { return find<QPushButton>("convertBtn"); }

    void convertAndWait() {
        QPushButton* convert = convertButton();
        ASSERT_NE(convert, nullptr);
        ASSERT_TRUE(convert->isEnabled());
        QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
        convert->click();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    }

    void expectFolderPageShown() {
        auto* pane = find<QWidget>("rightBox");
        auto* pages = find<QStackedWidget>("settingTabView");
        ASSERT_NE(pane, nullptr);
        ASSERT_NE(pages, nullptr);
        EXPECT_TRUE(pane->isVisible());
        EXPECT_EQ(pages->currentIndex(), kFolderPage);
        EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("folderTab"));
        EXPECT_TRUE(preferences->value(kShowSettings).toBool());
    }

    static QStringList filesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
};

struct BadFolderCase {
    std::string name;
    std::function<QString()> folder; // none: a folder this process may not write into
    QString message;
    bool paneHidden;
};

const QString kMissing =
    QStringLiteral("Output folder missing or invalid path!\r\nPlease select valid output folder.");
const QString kNonWritable =
    QStringLiteral("Output folder is non-writable!\r\nPlease select writable output folder.");

class FirstEditionWindowBadFolderTest : public FirstEditionWindowConvertTest,
                                        public ::testing::WithParamInterface<BadFolderCase> {};

TEST_P(FirstEditionWindowBadFolderTest, OneAlertNoJobAndTheFolderPage) {
    std::optional<UnwritableFolder> unwritable;
    const QString folder = GetParam().folder ? GetParam().folder() : unwritable.emplace().path();
    source(QStringLiteral("scan.tif"), 2);
    if (GetParam().paneHidden) {
        firstEdition().settingsPane().toggleSettings();
        auto* pane = find<QWidget>("rightBox");
        ASSERT_NE(pane, nullptr);
        ASSERT_FALSE(pane->isVisible());
    }
    controller->settings().setOutputFolderPath(folder);
    QSignalSpy created(controller.get(), &PictavoAppDelegate::processCreated);
    QPushButton* convert = convertButton();
    ASSERT_NE(convert, nullptr);
    convert->click();
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(dialogs.alertWindows().first(), nullptr); // application-modal
    EXPECT_EQ(dialogs.alertsShown().first().messageText, QStringLiteral("Pictavo"));
    EXPECT_EQ(dialogs.alertsShown().first().informativeText, GetParam().message);
    EXPECT_EQ(created.count(), 0);
    QDialog* progress = controller->progressSheet().processViewPanel();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(filesIn(in), QStringList{QStringLiteral("scan.tif")});
    if (folder.startsWith(testHome()) && QFileInfo(folder).isDir()) {
        EXPECT_TRUE(filesIn(folder).isEmpty());
    }
    expectFolderPageShown();
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FirstEditionWindowBadFolderTest,
    ::testing::Values(
        BadFolderCase{"Empty", [] { return QString(); }, kMissing, false},
        BadFolderCase{"EmptyPaneHidden", [] { return QString(); }, kMissing, true},
        BadFolderCase{"Nonexistent",
                      [] { return QDir(testHome()).filePath(QStringLiteral("no/such/folder")); },
                      kMissing, false},
        BadFolderCase{"NonexistentPaneHidden",
                      [] { return QDir(testHome()).filePath(QStringLiteral("nothing-here")); },
                      kMissing, true},
        BadFolderCase{"NonWritable", nullptr, kNonWritable, false},
        BadFolderCase{"NonWritablePaneHidden", nullptr, kNonWritable, true}),
    ByName());

const QString kSourceFolderQuestion = QStringLiteral(
    "No output folder selected, file(s) will be saved in source folder.\nDo you want to continue?");

TEST_F(FirstEditionWindowConvertTest, OlderSystemYesSavesNextToEachSource) {
    const QString other = makeTestFolder(QStringLiteral("other"));
    source(QStringLiteral("scan.tif"), 3);
    addPaths({tiff(QStringLiteral("long.tif"), 10, other)});
    firstEditionConvert().setSystemVersion({10, 6});
    controller->settings().setOutputFolderPath(QString());
    dialogs.answerNextAlert(kAlertFirstButton);
    convertAndWait();
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(dialogs.alertWindows().first(), nullptr);
    const AlertRequest& alert = dialogs.alertsShown().first();
    EXPECT_EQ(alert.messageText, QStringLiteral("Pictavo"));
    EXPECT_EQ(alert.informativeText, kSourceFolderQuestion);
    EXPECT_EQ(alert.buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    EXPECT_EQ(filesIn(in), (QStringList{QStringLiteral("scan-1.png"), QStringLiteral("scan-2.png"),
                                        QStringLiteral("scan-3.png"), QStringLiteral("scan.tif")}));
    QStringList expected;
    for (int page = 1; page <= 10; ++page) {
        expected.append(QStringLiteral("long-%1.png").arg(page));
    }
    expected.append(QStringLiteral("long.tif"));
    expected.sort();
    EXPECT_EQ(filesIn(other), expected);
}

TEST_F(FirstEditionWindowConvertTest, OlderSystemNoStartsNothingAndShowsTheFolderPage) {
    source(QStringLiteral("scan.tif"), 3);
    firstEdition().settingsPane().toggleSettings(); // hidden
    firstEditionConvert().setSystemVersion({10, 6});
    controller->settings().setOutputFolderPath(QString());
    dialogs.answerNextAlert(kAlertFirstButton + 1);
    QSignalSpy created(controller.get(), &PictavoAppDelegate::processCreated);
    QPushButton* convert = convertButton();
    ASSERT_NE(convert, nullptr);
    convert->click();
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(dialogs.alertWindows().first(), nullptr);
    EXPECT_EQ(dialogs.alertsShown().first().informativeText, kSourceFolderQuestion);
    EXPECT_EQ(created.count(), 0);
    QDialog* progress = controller->progressSheet().processViewPanel();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(filesIn(in), QStringList{QStringLiteral("scan.tif")});
    expectFolderPageShown();
}

TEST_F(FirstEditionWindowConvertTest, WritableFolderConvertsIntoItWithUnpaddedNames) {
    const QString out = makeTestFolder(QStringLiteral("out"));
    source(QStringLiteral("long.tif"), 10);
    controller->settings().setOutputFolderPath(out);
    QSignalSpy created(controller.get(), &PictavoAppDelegate::processCreated);
    convertAndWait();
    EXPECT_TRUE(dialogs.alertsShown().isEmpty());
    EXPECT_EQ(created.count(), 1);
    QStringList expected;
    for (int page = 1; page <= 10; ++page) {
        expected.append(QStringLiteral("long-%1.png").arg(page));
    }
    expected.sort();
    EXPECT_EQ(filesIn(out), expected);
    EXPECT_EQ(filesIn(in), QStringList{QStringLiteral("long.tif")});
}

// The sheet's clock writes elapsed time in this edition's words, as the time
// label and the log do.
TEST_F(FirstEditionWindowConvertTest, TheRunningSheetTellsTheTimeInWords) {
    const QString out = makeTestFolder(QStringLiteral("out"));
    source(QStringLiteral("a.tif"), 2);
    controller->settings().setOutputFolderPath(out);
    QPushButton* convert = convertButton();
    ASSERT_NE(convert, nullptr);
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    convert->click();
    QDialog* sheet = controller->progressSheet().processViewPanel();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(sheet->isVisible());
    ASSERT_TRUE(finished.isEmpty()); // its end reaches this thread only through events
    auto* time = sheet->findChild<QLabel*>(QStringLiteral("elapsedLabel"));
    ASSERT_NE(time, nullptr);
    EXPECT_TRUE(time->isVisible());
    EXPECT_EQ(time->text(), QStringLiteral("0 sec(s)"));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(time->text(), controller->convert().process()->timeTaken());
    auto* close = sheet->findChild<QPushButton*>(QStringLiteral("closeProcessBtn"));
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_FALSE(sheet->isVisible());
}

// Ways a user dismisses the progress sheet other than its buttons.
enum class Dismiss { Escape, CloseRequest };

class FirstEditionWindowDismissSheetTest : public FirstEditionWindowConvertTest,
                                           public ::testing::WithParamInterface<Dismiss> {};

TEST_P(FirstEditionWindowDismissSheetTest, IgnoredWhileRunningAndCloseAfterwards) {
    const QString out = makeTestFolder(QStringLiteral("out"));
    source(QStringLiteral("a.tif"), 2);
    addPaths({tiff(QStringLiteral("b.tif"), 2, in)});
    controller->settings().setOutputFolderPath(out);
    QPushButton* convert = convertButton();
    ASSERT_NE(convert, nullptr);
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    convert->click();
    QDialog* sheet = controller->progressSheet().processViewPanel();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(sheet->isVisible());
    ASSERT_TRUE(finished.isEmpty());
    const auto dismiss = [&] {
        if (GetParam() == Dismiss::Escape) {
            QTest::keyClick(sheet, Qt::Key_Escape);
        } else {
            sheet->close();
        }
    };
    dismiss();
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_NE(controller->convert().process(), nullptr);
    auto* cancel = sheet->findChild<QPushButton*>(QStringLiteral("cancelProcessBtn"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isEnabled());

    cancel->click();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    ASSERT_TRUE(sheet->isVisible());
    dismiss();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(controller->convert().process(), nullptr);
    EXPECT_FALSE(controller->fileSystemHelper().isProcessing());
    auto* addFiles = find<QPushButton>("addFilesBtn");
    ASSERT_NE(addFiles, nullptr);
    EXPECT_TRUE(addFiles->isEnabled());
    EXPECT_TRUE(convert->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Ways, FirstEditionWindowDismissSheetTest,
                         ::testing::Values(Dismiss::Escape, Dismiss::CloseRequest),
                         [](const ::testing::TestParamInfo<Dismiss>& way) {
                             return way.param == Dismiss::Escape ? std::string("Escape")
                                                                 : std::string("CloseRequest");
                         });

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
