#include "FileListFixture.h"

namespace {

using namespace filelisttest;

// ---------------------------------------------------------------------------
// Changes: order, totals and index after each sequence of operations.

struct ChangeCase {
    std::string name;
    std::function<void(FileList&, const FileList::Items&)> change;
    QStringList order;
    int totalPages;
    int checkedCount;
    int checkedPages;
};

// Indexes into kFiles.
constexpr int kB = 0, kA = 1, kC = 2, kA2 = 3, kNote = 4;

FileList::Items pick(const FileList::Items& made, std::initializer_list<int> which) {
    FileList::Items items;
    for (const int i : which) {
        items.push_back(made.at(static_cast<std::size_t>(i)));
    }
    return items;
}

const ChangeCase kChangeCases[] = {
    {"AppendAllKeepsOrderAndSums",
     [](FileList& l, const auto& m) {
         EXPECT_EQ(l.appendAll(pick(m, {kB, kA, kC})), 3);
     },
     {"b.tif", "A.tiff", "c.TIF"},
     7,
     3,
     7},
    {"DuplicateWithinOneBatchIsSkipped",
     [](FileList& l, const auto& m) {
         EXPECT_EQ(l.appendAll(pick(m, {kB, kA, kB})), 2);
     },
     {"b.tif", "A.tiff"},
     4,
     2,
     4},
    {"NullItemIsRefused",
     [](FileList& l, const auto& m) {
         EXPECT_FALSE(l.append(nullptr));
         EXPECT_EQ(l.appendAll({nullptr, m.at(kA)}), 1);
     },
     {"A.tiff"},
     1,
     1,
     1},
    {"NonImageCountsAsAFileWithoutPages",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kNote, kA2}));
     },
     {"note.tif", "a2.tif"},
     2,
     2,
     2},
    {"RemoveAtMiddle",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kB, kA, kC}));
         l.removeAt(1);
     },
     {"b.tif", "c.TIF"},
     6,
     2,
     6},
    {"RemoveRowsUnsortedWithRepeatsAndStrays",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kB, kA, kC, kA2, kNote}));
         l.removeRows({3, 0, 1, 3, 99, -1});
     },
     {"c.TIF", "note.tif"},
     3,
     2,
     3},
    {"RemovedFileCanBeAddedAgain",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kB, kA}));
         l.removeAt(0);
         EXPECT_TRUE(l.append(m.at(kB)));
     },
     {"A.tiff", "b.tif"},
     4,
     2,
     4},
    {"MoveForward",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kB, kA, kC}));
         EXPECT_TRUE(l.move(0, 2));
     },
     {"A.tiff", "c.TIF", "b.tif"},
     7,
     3,
     7},
    {"MoveBackward",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kB, kA, kC}));
         EXPECT_TRUE(l.move(2, 0));
     },
     {"c.TIF", "b.tif", "A.tiff"},
     7,
     3,
     7},
    {"MoveOutOfRangeChangesNothing",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kB, kA}));
         EXPECT_FALSE(l.move(0, 2));
         EXPECT_FALSE(l.move(-1, 0));
     },
     {"b.tif", "A.tiff"},
     4,
     2,
     4},
    {"UncheckLeavesTotalPages",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kB, kA, kC}));
         l.setChecked(2, false);
         l.setChecked(2, false);
     },
     {"b.tif", "A.tiff", "c.TIF"},
     7,
     2,
     4},
    {"RemovingAnUncheckedItemKeepsCheckedTotals",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kB, kA, kC}));
         l.setChecked(0, false);
         l.removeAt(0);
         l.setChecked(0, false);
         l.setChecked(0, true);
     },
     {"A.tiff", "c.TIF"},
     4,
     2,
     4},
    {"ClearEmptiesIndexAndTotals",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kB, kA, kC}));
         l.setChecked(1, false);
         l.clear();
     },
     {},
     0,
     0,
     0},
    {"RecountAfterDirectChange",
     [](FileList& l, const auto& m) {
         l.appendAll(pick(m, {kB, kA}));
         l.at(0)->setIsSelected(false);
         l.recountTotals();
     },
     {"b.tif", "A.tiff"},
     4,
     1,
     1},
};

class FileListChangeTest : public FileListFixture, public ::testing::TestWithParam<ChangeCase> {};

TEST_P(FileListChangeTest, OrderTotalsAndIndexFollowEveryChange) {
    makeFiles();
    FileList list;
    GetParam().change(list, made);
    EXPECT_EQ(names(list), GetParam().order);
    EXPECT_EQ(list.totalPages(), GetParam().totalPages);
    EXPECT_EQ(list.checkedCount(), GetParam().checkedCount);
    EXPECT_EQ(list.checkedPages(), GetParam().checkedPages);
    expectConsistent(list);
}

INSTANTIATE_TEST_SUITE_P(Changes, FileListChangeTest, ::testing::ValuesIn(kChangeCases), ByName());

// ---------------------------------------------------------------------------
// Sorting by a table column.

struct SortCase {
    std::string name;
    const char* key;
    Qt::SortOrder order;
    QStringList expected;
};

const SortCase kSortCases[] = {
    {"NameIgnoresCase", "name", Qt::AscendingOrder, {"A.tiff", "a2.tif", "b.tif", "c.TIF"}},
    {"NameDescending", "NAME", Qt::DescendingOrder, {"c.TIF", "b.tif", "a2.tif", "A.tiff"}},
    {"PagesTiesKeepOrder", "pages", Qt::AscendingOrder, {"A.tiff", "a2.tif", "b.tif", "c.TIF"}},
    {"PagesDescendingTiesKeepOrder",
     "pages",
     Qt::DescendingOrder,
     {"b.tif", "c.TIF", "a2.tif", "A.tiff"}},
    {"TypeIgnoresCase", "type", Qt::AscendingOrder, {"b.tif", "c.TIF", "a2.tif", "A.tiff"}},
    {"LocationIgnoresCase", "location", Qt::AscendingOrder, {"c.TIF", "b.tif", "a2.tif", "A.tiff"}},
    {"SizeByNumberNotText",
     "sizeInKB",
     Qt::DescendingOrder,
     {"A.tiff", "c.TIF", "b.tif", "a2.tif"}},
    {"DateModifiedByTime",
     "dateModified",
     Qt::AscendingOrder,
     {"b.tif", "a2.tif", "A.tiff", "c.TIF"}},
    {"IsSelectedUncheckedFirst",
     "isSelected",
     Qt::AscendingOrder,
     {"A.tiff", "b.tif", "c.TIF", "a2.tif"}},
    {"UnknownKeyKeepsOrder",
     "selection",
     Qt::AscendingOrder,
     {"b.tif", "A.tiff", "c.TIF", "a2.tif"}},
};

class FileListSortTest : public FileListFixture, public ::testing::TestWithParam<SortCase> {};

TEST_P(FileListSortTest, SortsStablyByColumn) {
    makeFiles();
    FileList list;
    list.appendAll(pick(made, {kB, kA, kC, kA2}));
    list.setChecked(1, false); // A.tiff
    list.sortByColumn(QString::fromUtf8(GetParam().key), GetParam().order);
    EXPECT_EQ(names(list), GetParam().expected);
    expectConsistent(list);
}

INSTANTIATE_TEST_SUITE_P(Columns, FileListSortTest, ::testing::ValuesIn(kSortCases), ByName());
TEST_F(FileListTest, DuplicateAgainstListIsRefusedWithoutNotification) {
    makeFiles();
    FileList list;
    ASSERT_TRUE(list.append(made.at(kB)));
    record(list);
    EXPECT_FALSE(list.append(twin(kB)));
    EXPECT_EQ(list.appendAll({twin(kB), made.at(kB)}), 0);
    EXPECT_TRUE(events.isEmpty()) << events.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(list.size(), 1);
}

TEST_F(FileListTest, NotificationsNameTheRowsBeforeTheChange) {
    makeFiles();
    FileList list;
    record(list);
    list.appendAll(made);
    list.setChecked(1, false);
    list.setChecked(1, false);
    list.move(3, 1);
    list.removeRows({0, 1, 3});
    list.sortByColumn(QStringLiteral("name"), Qt::AscendingOrder);
    list.clear();
    EXPECT_EQ(events, (QStringList{"+0..4", "totals", "check1", "totals", "3>1", "-3..3", "-0..1",
                                   "totals", "reset", "reset", "totals"}));
}

} // namespace
