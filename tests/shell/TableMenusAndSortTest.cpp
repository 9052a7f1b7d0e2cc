#include "TableCommandsFixture.h"

namespace {

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
