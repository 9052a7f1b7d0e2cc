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

} // namespace
