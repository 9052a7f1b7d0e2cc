#include "TableCommandsFixture.h"

namespace {

enum class MoveBy { UpControl, DownControl, CtrlUp, CtrlDown };

struct MoveCase {
    const char* name;
    std::vector<int> selected;
    MoveBy by;
    std::vector<int> order;
    std::vector<int> selectedAfter;
};

using TableMoveInBothEditions = InBothEditionsWithCases<TableCommandsTest, MoveCase>;

TEST_P(TableMoveInBothEditions, MovesSelectedRowsAndKeepsThemSelected) {
    const MoveCase& c = testCase();
    startWithFiles(6);
    controller->table().selectRows(c.selected);
    switch (c.by) {
    case MoveBy::UpControl:
        pressCommand(UiCommand::MoveUp);
        break;
    case MoveBy::DownControl:
        pressCommand(UiCommand::MoveDown);
        break;
    case MoveBy::CtrlUp:
        QTest::keyClick(table(), Qt::Key_Up, Qt::ControlModifier);
        break;
    case MoveBy::CtrlDown:
        QTest::keyClick(table(), Qt::Key_Down, Qt::ControlModifier);
        break;
    }
    EXPECT_EQ(order(), c.order);
    EXPECT_EQ(controller->table().selectedRows(), c.selectedAfter);
    if (!isFirstEdition()) {
        EXPECT_FALSE(segments("navigationSegmented")->isSelected(0));
        EXPECT_FALSE(segments("navigationSegmented")->isSelected(1));
    }
}

const MoveCase kMoveCases[] = {
    {"UpAdjacentPair", {3, 4}, MoveBy::UpControl, {0, 1, 3, 4, 2, 5}, {2, 3}},
    {"UpApartRows", {2, 5}, MoveBy::UpControl, {0, 2, 1, 3, 5, 4}, {1, 4}},
    {"DownAdjacentPair", {1, 2}, MoveBy::DownControl, {0, 3, 1, 2, 4, 5}, {2, 3}},
    {"DownApartRows", {0, 3}, MoveBy::DownControl, {1, 0, 2, 4, 3, 5}, {1, 4}},
    {"CtrlUpMovesUp", {1}, MoveBy::CtrlUp, {1, 0, 2, 3, 4, 5}, {0}},
    {"CtrlDownMovesDown", {4}, MoveBy::CtrlDown, {0, 1, 2, 3, 5, 4}, {5}},
    {"CtrlUpAtTopDoesNothing", {0, 2}, MoveBy::CtrlUp, {0, 1, 2, 3, 4, 5}, {0, 2}},
    {"CtrlDownAtBottomDoesNothing", {3, 5}, MoveBy::CtrlDown, {0, 1, 2, 3, 4, 5}, {3, 5}},
};
PICTAVO_CASES_IN_BOTH_EDITIONS(Moves, TableMoveInBothEditions, ::testing::ValuesIn(kMoveCases));

PICTAVO_IN_BOTH_EDITIONS(TableCommandsInBothEditions);

TEST_P(TableCommandsInBothEditions, DirectMoveUpAtTheTopLeavesTheListAlone) {
    startWithFiles(3);
    controller->table().selectRows({0, 1});
    controller->table().moveUp();
    controller->table().selectRows({1, 2});
    controller->table().moveDown();
    EXPECT_EQ(order(), (std::vector<int>{0, 1, 2}));
}

struct EnablingCase {
    const char* name;
    std::vector<int> selected;
    bool up;
    bool down;
};

using MoveEnablingInBothEditions = InBothEditionsWithCases<TableCommandsTest, EnablingCase>;

TEST_P(MoveEnablingInBothEditions, MoveControlsFollowTheSelection) {
    const EnablingCase& c = testCase();
    startWithFiles(5);
    controller->table().selectRows(c.selected);
    EXPECT_EQ(isCommandEnabled(UiCommand::MoveUp), c.up);
    EXPECT_EQ(isCommandEnabled(UiCommand::MoveDown), c.down);
}

const EnablingCase kEnablingCases[] = {
    {"NothingSelected", {}, false, false},
    {"FirstRow", {0}, false, true},
    {"LastRow", {4}, true, false},
    {"MiddleRow", {2}, true, true},
    {"FirstWithOthers", {0, 2}, false, true},
    {"LastWithOthers", {1, 4}, true, false},
};
PICTAVO_CASES_IN_BOTH_EDITIONS(Selections, MoveEnablingInBothEditions,
                               ::testing::ValuesIn(kEnablingCases));

TEST_P(TableCommandsInBothEditions, RemovingTheSelectedRowsDisablesTheMoveControls) {
    startWithFiles(3);
    controller->table().selectRows({1});
    ASSERT_TRUE(isCommandEnabled(UiCommand::MoveUp));
    ASSERT_TRUE(isCommandEnabled(UiCommand::MoveDown));
    controller->table().removeFiles();
    EXPECT_FALSE(isCommandEnabled(UiCommand::MoveUp));
    EXPECT_FALSE(isCommandEnabled(UiCommand::MoveDown));
}

struct CheckCase {
    const char* name;
    const char* menuItem; // null: the worker with `tag`
    bool allRows;
    int tag;
    std::vector<bool> after;
};

using CheckCommandInBothEditions = InBothEditionsWithCases<TableCommandsTest, CheckCase>;

// Four rows of 1..4 pages, rows 0 and 2 checked, rows 1 and 2 selected.
TEST_P(CheckCommandInBothEditions, ChangesTheChecksAndTheTotals) {
    const CheckCase& c = testCase();
    startWithFiles(4);
    setChecks({true, false, true, false});
    controller->table().selectRows({1, 2});
    const std::vector<bool> before = checks();
    QSignalSpy changed(table()->model(), &QAbstractItemModel::dataChanged);
    if (c.menuItem != nullptr) {
        menuItem(c.menuItem)->trigger();
    } else if (c.allRows) {
        controller->table().checkUncheckInvertAll(c.tag);
    } else {
        controller->table().checkUncheckInvertSelection(c.tag);
    }
    EXPECT_EQ(checks(), c.after);
    // The table hears of every changed check, and shows the new ones.
    std::vector<bool> told(before.size(), false);
    for (const QList<QVariant>& signal : changed) {
        for (int row = signal[0].toModelIndex().row(); row <= signal[1].toModelIndex().row();
             ++row) {
            told[static_cast<size_t>(row)] = true;
        }
    }
    for (size_t row = 0; row < before.size(); ++row) {
        EXPECT_TRUE(before[row] == c.after[row] || told[row]) << row;
        EXPECT_EQ(table()->model()->index(static_cast<int>(row), 0).data(Qt::CheckStateRole),
                  QVariant(c.after[row] ? Qt::Checked : Qt::Unchecked))
            << row;
    }
    int checked = 0;
    int pages = 0;
    for (size_t row = 0; row < c.after.size(); ++row) {
        checked += c.after[row] ? 1 : 0;
        pages += c.after[row] ? static_cast<int>(row) + 1 : 0;
    }
    EXPECT_EQ(totals(), totalsText(4, checked, pages));
    EXPECT_EQ(isCommandEnabled(UiCommand::Convert), pages > 0);
    EXPECT_EQ(controller->table().selectedRows(), (std::vector<int>{1, 2}));
}

const CheckCase kCheckCases[] = {
    {"CheckSelected", "checkSelectedMenuItem", false, 0, {true, true, true, false}},
    {"UncheckSelected", "uncheckSelectedMenuItem", false, 0, {true, false, false, false}},
    {"InvertSelected", "invertSelectedMenuItem", false, 0, {true, true, false, false}},
    {"CheckAll", "checkAllMenuItem", true, 0, {true, true, true, true}},
    {"UncheckAll", "uncheckAllMenuItem", true, 0, {false, false, false, false}},
    {"InvertAll", "invertAllMenuItem", true, 0, {false, true, false, true}},
    {"SelectionTagTwoUnchecks", nullptr, false, 2, {true, false, false, false}},
    {"UnknownSelectionTagKeepsChecks", nullptr, false, 7, {true, false, true, false}},
    {"UnknownAllTagKeepsChecks", nullptr, true, 0, {true, false, true, false}},
};
PICTAVO_CASES_IN_BOTH_EDITIONS(Tags, CheckCommandInBothEditions, ::testing::ValuesIn(kCheckCases));

TEST_P(TableCommandsInBothEditions, SpaceInvertsTheChecksOfExactlyTheSelectedRows) {
    startWithFiles(6);
    controller->table().selectRows({2, 5});
    QTest::keyClick(table(), Qt::Key_Space);
    EXPECT_EQ(checks(), (std::vector<bool>{true, true, false, true, true, false}));
    EXPECT_EQ(totals(), totalsText(6, 4, 1 + 2 + 4 + 5));
    QTest::keyClick(table(), Qt::Key_Space);
    EXPECT_EQ(totals(), totalsText(6, 6, 21));
}

TEST_P(TableCommandsInBothEditions, UncheckingEveryPageDisablesConvert) {
    startWithFiles(2);
    EXPECT_TRUE(isCommandEnabled(UiCommand::Convert));
    controller->table().checkUncheckInvertAll(TableCommands::UncheckRows);
    EXPECT_FALSE(isCommandEnabled(UiCommand::Convert));
}

enum class RemoveBy { DeleteKey, BackspaceKey, RemoveControl, MenuItem, Tag };

struct RemoveCase {
    const char* name;
    RemoveBy by;
};

using RemoveSelectedInBothEditions = InBothEditionsWithCases<TableCommandsTest, RemoveCase>;

TEST_P(RemoveSelectedInBothEditions, RemovesOnlyTheSelectedRows) {
    startWithFiles(5);
    controller->table().selectRows({1, 3});
    switch (testCase().by) {
    case RemoveBy::DeleteKey:
        QTest::keyClick(table(), Qt::Key_Delete);
        break;
    case RemoveBy::BackspaceKey:
        QTest::keyClick(table(), Qt::Key_Backspace);
        break;
    case RemoveBy::RemoveControl:
        pressCommand(UiCommand::Remove);
        if (!isFirstEdition()) {
            EXPECT_FALSE(segments("filesFoldersSegmented")->isSelected(1));
        }
        break;
    case RemoveBy::MenuItem:
        menuItem("removeFileMenuItem")->trigger();
        break;
    case RemoveBy::Tag:
        controller->table().selectDeselectRemoveAll(TableCommands::RemoveSelectedRows);
        break;
    }
    EXPECT_EQ(order(), (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(totals(), totalsText(3, 3, 1 + 3 + 5));
    EXPECT_TRUE(controller->table().selectedRows().empty());
}

const RemoveCase kRemoveCases[] = {
    {"DeleteKey", RemoveBy::DeleteKey},
    {"BackspaceKey", RemoveBy::BackspaceKey},
    {"RemoveControl", RemoveBy::RemoveControl},
    {"ContextMenu", RemoveBy::MenuItem},
    {"TagFour", RemoveBy::Tag},
};
PICTAVO_CASES_IN_BOTH_EDITIONS(Ways, RemoveSelectedInBothEditions,
                               ::testing::ValuesIn(kRemoveCases));

TEST_P(TableCommandsInBothEditions, RemovingTheLastRowsDisablesTheListControls) {
    startWithFiles(2);
    ASSERT_TRUE(isCommandEnabled(UiCommand::Remove));
    ASSERT_TRUE(isCommandEnabled(UiCommand::RemoveAll));
    controller->table().selectDeselectRemoveAll(TableCommands::SelectAllRows);
    controller->table().removeAction();
    EXPECT_EQ(controller->files().size(), 0);
    EXPECT_FALSE(isCommandEnabled(UiCommand::Remove));
    EXPECT_FALSE(isCommandEnabled(UiCommand::RemoveAll));
    EXPECT_EQ(totals(), totalsText(0, 0, 0));
}

TEST_P(TableCommandsInBothEditions, RemoveWithoutSelectionKeepsTheList) {
    startWithFiles(3);
    QTest::keyClick(table(), Qt::Key_Delete);
    EXPECT_EQ(order(), (std::vector<int>{0, 1, 2}));
}

struct RemoveAllCase {
    const char* name;
    int answer;
    int filesAfter;
};

using RemoveAllInBothEditions = InBothEditionsWithCases<TableCommandsTest, RemoveAllCase>;

// A sheet on the window in the current edition, an application-modal alert in
// the first: the same question either way.
TEST_P(RemoveAllInBothEditions, AsksFirstAndRemovesOnlyOnYes) {
    const RemoveAllCase& c = testCase();
    startWithFiles(3);
    dialogs.answerNextAlert(c.answer);
    pressCommand(UiCommand::RemoveAll);
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    const AlertRequest& alert = dialogs.alertsShown().front();
    EXPECT_EQ(dialogs.alertWindows().front(), alertWindowFor(controller->window()));
    EXPECT_EQ(alert.messageText, QStringLiteral("Pictavo"));
    EXPECT_EQ(alert.informativeText, QStringLiteral("Are you sure to remove all file(s)?"));
    EXPECT_EQ(alert.style, AlertStyle::Critical);
    EXPECT_EQ(alert.buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    EXPECT_EQ(controller->files().size(), c.filesAfter);
    const int pages = c.filesAfter == 0 ? 0 : 6;
    EXPECT_EQ(totals(), totalsText(c.filesAfter, c.filesAfter, pages));
    EXPECT_EQ(isCommandEnabled(UiCommand::RemoveAll), c.filesAfter > 0);
    if (!isFirstEdition()) {
        EXPECT_FALSE(segments("navigationSegmented")->isSelected(2));
    }
}

const RemoveAllCase kRemoveAllCases[] = {
    {"YesClears", kAlertFirstButton, 0},
    {"NoKeeps", kAlertFirstButton + 1, 3},
};
PICTAVO_CASES_IN_BOTH_EDITIONS(Answers, RemoveAllInBothEditions,
                               ::testing::ValuesIn(kRemoveAllCases));

struct SelectCase {
    const char* name;
    const char* menuItem;
    std::vector<int> selectedAfter;
};

using SelectCommandInBothEditions = InBothEditionsWithCases<TableCommandsTest, SelectCase>;

TEST_P(SelectCommandInBothEditions, ReplacesTheSelection) {
    startWithFiles(4);
    controller->table().selectRows({2, 3});
    menuItem(testCase().menuItem)->trigger();
    EXPECT_EQ(controller->table().selectedRows(), testCase().selectedAfter);
    EXPECT_EQ(order(), (std::vector<int>{0, 1, 2, 3}));
}

const SelectCase kSelectCases[] = {
    {"SelectAll", "selectAllMenuItem", {0, 1, 2, 3}},
    {"SelectFirst", "selectFirstMenuItem", {0}},
};
PICTAVO_CASES_IN_BOTH_EDITIONS(Tags, SelectCommandInBothEditions,
                               ::testing::ValuesIn(kSelectCases));

} // namespace
