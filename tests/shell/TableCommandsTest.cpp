#include "ControllerFixture.h"
#include "filelist/FileItem.h"
#include "filelist/FileList.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/FileTableModel.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "widgets/CustomTableView.h"
#include "widgets/SegmentedControl.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Refuses to open anything, as a desktop without a default application does.
class RefusingWorkspace final : public Workspace {
public:
    bool openFile(const QString& path) override {
        (void)recorder.openFile(path);
        return false;
    }
    bool revealFiles(const QStringList& paths) override { return recorder.revealFiles(paths); }
    bool showInformation(const QStringList& paths) override {
        return recorder.showInformation(paths);
    }
    bool openURL(const QString& url) override { return recorder.openURL(url); }
    RecordingWorkspace recorder;
};

class TableCommandsTest : public ControllerFixture {
protected:
    QString data = makeTestFolder(QStringLiteral("data"));

    // Files "f0.tif" ... with row r holding r + 1 pages, all checked.
    void startWithFiles(int count) {
        start();
        for (int row = 0; row < count; ++row) {
            const QString path = QDir(data).filePath(QStringLiteral("f%1.tif").arg(row));
            ASSERT_TRUE(writeTestTiff(
                path, std::vector<TestTiffPage>(static_cast<size_t>(row + 1), grayPage(4, 4))));
            ASSERT_TRUE(
                controller->files().append(FileItem::initWithURL(QUrl::fromLocalFile(path))));
        }
        // As a finished load leaves the window.
        controller->editionWindow().resetView(true);
        controller->viewHelper().updateTotalLabel();
    }

    void setChecks(const std::vector<bool>& checks) {
        for (size_t row = 0; row < checks.size(); ++row) {
            controller->files().setChecked(static_cast<int>(row), checks[row]);
        }
    }

    std::vector<bool> checks() const {
        std::vector<bool> out;
        for (const auto& item : controller->files().items()) {
            out.push_back(item->isSelected());
        }
        return out;
    }

    // The list as the rows' original numbers: "f3.tif" reads 3.
    std::vector<int> order() const {
        std::vector<int> out;
        for (const auto& item : controller->files().items()) {
            out.push_back(item->name().mid(1).chopped(4).toInt());
        }
        return out;
    }

    QString path(int original) const {
        return QDir(data).filePath(QStringLiteral("f%1.tif").arg(original));
    }

    CustomTableView* table() const {
        return controller->window()->findChild<CustomTableView*>(QStringLiteral("mainTableView"));
    }

    SegmentedControl* segments(const char* name) const {
        return controller->window()->findChild<SegmentedControl*>(QString::fromUtf8(name));
    }

    QAction* menuItem(const char* name) const {
        auto* item =
            controller->table().filesContextMenu()->findChild<QAction*>(QString::fromUtf8(name));
        EXPECT_NE(item, nullptr) << name;
        return item;
    }

    QString totals() const {
        return controller->window()->findChild<QLabel*>(QStringLiteral("labelTotalFiles"))->text();
    }

    FileTableModel* model() const { return qobject_cast<FileTableModel*>(table()->model()); }

    // Sorts as a click on the column's header does, and waits for the rows'
    // new order.
    void sortAndWait(const QString& key, Qt::SortOrder order) {
        QSignalSpy sorted(model(), &FileTableModel::sorted);
        table()->sortByColumn(FileTableModel::columnOf(key), order);
        ASSERT_TRUE(sorted.count() > 0 || sorted.wait(30000));
    }

    // `count` hard links to one two-page file, named out of order and in
    // mixed case, so each sort moves rows.
    FileList::Items linkedItems(int count, int first = 0) const {
        const QString one = QDir(data).filePath(QStringLiteral("one.tif"));
        if (!QFile::exists(one)) {
            EXPECT_TRUE(writeTestTiff(one, {grayPage(4, 4), grayPage(4, 4)}));
        }
        FileList::Items items;
        for (int i = first; i < first + count; ++i) {
            const QString link = QDir(data).filePath(
                QStringLiteral("%1%2.tif").arg(i % 2 == 0 ? "f" : "F").arg((i * 7919) % 100003));
            std::error_code error;
            std::filesystem::create_hard_link(QFile::encodeName(one).toStdString(),
                                              QFile::encodeName(link).toStdString(), error);
            EXPECT_FALSE(error) << error.message();
            items.push_back(FileItem::initWithURL(QUrl::fromLocalFile(link)));
        }
        return items;
    }

    static FileList::Items byName(FileList::Items items, Qt::SortOrder order) {
        std::stable_sort(items.begin(), items.end(), [order](const auto& a, const auto& b) {
            const int c =
                QString::localeAwareCompare(a->name().toCaseFolded(), b->name().toCaseFolded());
            return order == Qt::AscendingOrder ? c < 0 : c > 0;
        });
        return items;
    }

    static QString totalsText(int files, int checked, int pages) {
        return QStringLiteral(
                   "%1 Total file(s); %2 file selected; Total page count of selected TIFF "
                   "file(s): %3")
            .arg(files)
            .arg(checked)
            .arg(pages);
    }
};

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

using TableCommandsInBothEditions = InBothEditions<TableCommandsTest>;
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

TEST_P(TableCommandsInBothEditions, ContextMenuItemsCarryTheirTags) {
    start();
    EXPECT_EQ(table()->rowContextMenu(), controller->table().filesContextMenu());
    const struct {
        const char* item;
        int tag;
    } tags[] = {
        {"checkSelectedMenuItem", 1}, {"uncheckSelectedMenuItem", 2}, {"invertSelectedMenuItem", 3},
        {"checkAllMenuItem", 1},      {"uncheckAllMenuItem", 2},      {"invertAllMenuItem", 3},
        {"selectAllMenuItem", 1},     {"selectFirstMenuItem", 2},     {"removeAllMenuItem", 3}};
    for (const auto& t : tags) {
        EXPECT_EQ(menuItem(t.item)->data().toInt(), t.tag) << t.item;
    }
}

struct WorkspaceCase {
    const char* name;
    const char* menuItem;
    QList<RecordingWorkspace::Request> expected;
    // The first edition asks once per file where the current asks once for all.
    bool eachFileInFirstEdition = false;
};

using WorkspaceCommandInBothEditions = InBothEditionsWithCases<TableCommandsTest, WorkspaceCase>;

TEST_P(WorkspaceCommandInBothEditions, AsksTheWorkspaceForTheSelectedFilesInRowOrder) {
    startWithFiles(4);
    // Selected out of order: requests still follow the rows.
    controller->table().selectRows({3, 1});
    menuItem(testCase().menuItem)->trigger();
    QList<RecordingWorkspace::Request> expected;
    for (RecordingWorkspace::Request request : testCase().expected) {
        for (QString& p : request.paths) {
            p = path(p.toInt());
        }
        if (isFirstEdition() && testCase().eachFileInFirstEdition) {
            for (const QString& p : request.paths) {
                expected.append({request.action, {p}});
            }
        } else {
            expected.append(request);
        }
    }
    EXPECT_EQ(workspace.requests(), expected);
}

const WorkspaceCase kWorkspaceCases[] = {
    {"OpenEachFile",
     "openFileMenuItem",
     {{QStringLiteral("open"), {QStringLiteral("1")}},
      {QStringLiteral("open"), {QStringLiteral("3")}}}},
    {"RevealAllInOneRequest",
     "revealFileMenuItem",
     {{QStringLiteral("reveal"), {QStringLiteral("1"), QStringLiteral("3")}}}},
    {"InformationInOneRequest",
     "getInfoMenuItem",
     {{QStringLiteral("info"), {QStringLiteral("1"), QStringLiteral("3")}}},
     true},
};
PICTAVO_CASES_IN_BOTH_EDITIONS(Commands, WorkspaceCommandInBothEditions,
                               ::testing::ValuesIn(kWorkspaceCases));

TEST_P(TableCommandsInBothEditions, WorkspaceCommandsWithoutSelectionAskNothing) {
    startWithFiles(2);
    for (const char* item : {"openFileMenuItem", "revealFileMenuItem", "getInfoMenuItem"}) {
        menuItem(item)->trigger();
    }
    EXPECT_TRUE(workspace.requests().isEmpty());
}

TEST_F(TableCommandsTest, DoubleClickOpensTheRowsFile) {
    startWithFiles(3);
    // What the view reports for a double click on a row's cell.
    Q_EMIT table()->doubleClicked(table()->model()->index(2, 1));
    EXPECT_EQ(workspace.requests(),
              (QList<RecordingWorkspace::Request>{{QStringLiteral("open"), {path(2)}}}));
}

TEST_F(TableCommandsTest, DoubleClickOutsideTheRowsDoesNothing) {
    startWithFiles(1);
    controller->table().fileDoubleClicked(-1);
    EXPECT_TRUE(workspace.requests().isEmpty());
}

TEST_F(TableCommandsTest, DoubleClickRevealsTheFileWhenItCannotBeOpened) {
    RefusingWorkspace refusing;
    workspaceInUse = &refusing;
    startWithFiles(2);
    controller->table().fileDoubleClicked(1);
    EXPECT_EQ(refusing.recorder.requests(),
              (QList<RecordingWorkspace::Request>{{QStringLiteral("open"), {path(1)}},
                                                  {QStringLiteral("reveal"), {path(1)}}}));
}

TEST_P(TableCommandsInBothEditions, OpenFailuresAreToldInOneAlert) {
    RefusingWorkspace refusing;
    workspaceInUse = &refusing;
    startWithFiles(2);
    controller->table().selectRows({0, 1});
    controller->table().openFiles();
    EXPECT_EQ(refusing.recorder.requests().size(), 2);
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    const QString told = dialogs.alertsShown().first().informativeText;
    EXPECT_TRUE(told.startsWith(QStringLiteral("2 files could not be opened")))
        << told.toStdString();
    EXPECT_TRUE(told.contains(path(0)) && told.contains(path(1))) << told.toStdString();
}

QStringList titlesOf(const QMenu* menu) {
    QStringList titles;
    for (const QAction* item : menu->actions()) {
        titles.append(item->text() + (item->isChecked() ? QStringLiteral("+") : QString()));
    }
    return titles;
}

TEST_F(TableCommandsTest, ColumnChooserOffersOnlyTheOptionalColumns) {
    start();
    QMenu* chooser = controller->columns().headerContextMenu();
    controller->columns().menuNeedsUpdate(chooser);
    // "+" marks a visible column; the created and accessed dates start hidden.
    EXPECT_EQ(titlesOf(chooser), (QStringList{"Size+", "Type+", "Date Modified+", "Date Created",
                                              "Date Accessed", "Location+"}));
}

TEST_F(TableCommandsTest, ColumnChooserTogglesAColumnAndFollowsTheHeaderOrder) {
    start();
    QHeaderView* header = table()->horizontalHeader();
    const int location = FileTableModel::columnOf(QStringLiteral("location"));
    const int size = FileTableModel::columnOf(QStringLiteral("sizeInKB"));
    header->moveSection(header->visualIndex(location), header->visualIndex(size));
    QMenu* chooser = controller->columns().headerContextMenu();
    controller->columns().menuNeedsUpdate(chooser);
    ASSERT_EQ(chooser->actions().front()->text(), QStringLiteral("Location"));

    chooser->actions().front()->trigger();
    EXPECT_TRUE(header->isSectionHidden(location));
    controller->columns().menuNeedsUpdate(chooser);
    EXPECT_FALSE(chooser->actions().front()->isChecked());

    chooser->actions().front()->trigger();
    EXPECT_FALSE(header->isSectionHidden(location));
    // Rebuilding never piles up items.
    controller->columns().menuNeedsUpdate(chooser);
    EXPECT_EQ(chooser->actions().size(), 6);
}

TEST_F(TableCommandsTest, OtherMenusAreNotRebuilt) {
    start();
    QMenu* rows = controller->table().filesContextMenu();
    const qsizetype before = rows->actions().size();
    controller->columns().menuNeedsUpdate(rows);
    EXPECT_EQ(rows->actions().size(), before);
}

TEST_F(TableCommandsTest, GridAndAlternatingRowsOnlyWithRows) {
    start();
    EXPECT_FALSE(table()->showGrid());
    EXPECT_FALSE(table()->alternatingRowColors());
    const QString file = QDir(data).filePath(QStringLiteral("one.tif"));
    ASSERT_TRUE(writeTestTiff(file, {grayPage(4, 4)}));
    ASSERT_TRUE(controller->files().append(FileItem::initWithURL(QUrl::fromLocalFile(file))));
    EXPECT_TRUE(table()->showGrid());
    EXPECT_EQ(table()->gridStyle(), Qt::SolidLine);
    EXPECT_TRUE(table()->alternatingRowColors());
    controller->files().clear();
    EXPECT_FALSE(table()->showGrid());
    EXPECT_FALSE(table()->alternatingRowColors());
}

TEST_P(TableCommandsInBothEditions, HeaderSortReordersTheListInPlace) {
    startWithFiles(4);
    table()->sortByColumn(FileTableModel::columnOf(QStringLiteral("pages")), Qt::DescendingOrder);
    EXPECT_EQ(order(), (std::vector<int>{3, 2, 1, 0}));
    table()->sortByColumn(FileTableModel::columnOf(QStringLiteral("name")), Qt::AscendingOrder);
    EXPECT_EQ(order(), (std::vector<int>{0, 1, 2, 3}));
}

// A list of a few thousand rows: the checks change with one notification,
// and the header's sorts, done on a worker, order every row.
TEST_F(TableCommandsTest, LongListChecksAndSortsEveryRow) {
    start();
    constexpr int kRows = 3000;
    const FileList::Items items = linkedItems(kRows);
    controller->files().appendAll(items);
    controller->editionWindow().resetView(true);
    controller->viewHelper().updateTotalLabel();

    QSignalSpy changed(table()->model(), &QAbstractItemModel::dataChanged);
    menuItem("uncheckAllMenuItem")->trigger();
    EXPECT_EQ(checks(), std::vector<bool>(kRows, false));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), kRows - 1);
    EXPECT_EQ(totals(), totalsText(kRows, 0, 0));
    EXPECT_FALSE(isCommandEnabled(UiCommand::Convert));
    menuItem("checkAllMenuItem")->trigger();
    EXPECT_EQ(totals(), totalsText(kRows, kRows, 2 * kRows));
    EXPECT_TRUE(isCommandEnabled(UiCommand::Convert));

    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        sortAndWait(QStringLiteral("name"), order);
        EXPECT_TRUE(controller->files().items() == byName(items, order)) << order;
    }
}

TEST_F(TableCommandsTest, RowsAddedDuringABackgroundSortAreSortedToo) {
    start();
    model()->setBackgroundSortRows(1);
    const FileList::Items first = linkedItems(50);
    const FileList::Items later = linkedItems(50, 50);
    controller->files().appendAll(first);
    QSignalSpy sorted(model(), &FileTableModel::sorted);
    table()->sortByColumn(FileTableModel::columnOf(QStringLiteral("name")), Qt::AscendingOrder);
    EXPECT_TRUE(model()->isSorting());
    controller->files().appendAll(later);
    ASSERT_TRUE(sorted.wait(30000));
    FileList::Items all = first;
    all.insert(all.end(), later.begin(), later.end());
    EXPECT_TRUE(controller->files().items() == byName(all, Qt::AscendingOrder));
}

TEST_F(TableCommandsTest, ALaterQuickSortWinsOverABackgroundSort) {
    startWithFiles(4);
    model()->setBackgroundSortRows(1);
    QSignalSpy sorted(model(), &FileTableModel::sorted);
    table()->sortByColumn(FileTableModel::columnOf(QStringLiteral("name")), Qt::DescendingOrder);
    table()->sortByColumn(FileTableModel::columnOf(QStringLiteral("pages")), Qt::DescendingOrder);
    EXPECT_EQ(order(), (std::vector<int>{3, 2, 1, 0}));
    const auto told = sorted.count();
    // The name sort's worker ends without touching the rows.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model()->isSorting(); }, 30000));
    EXPECT_EQ(order(), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(sorted.count(), told);
}

TEST_F(TableCommandsTest, ALaterBackgroundSortWinsOverOneStillRunning) {
    startWithFiles(4);
    model()->setBackgroundSortRows(1);
    table()->sortByColumn(FileTableModel::columnOf(QStringLiteral("name")), Qt::DescendingOrder);
    sortAndWait(QStringLiteral("name"), Qt::AscendingOrder);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model()->isSorting(); }, 30000));
    EXPECT_EQ(order(), (std::vector<int>{0, 1, 2, 3}));
}

} // namespace
