#include "filelist/FileList.h"

#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct SourceFile {
    const char* path; // relative to the test folder
    int pages;        // 0: not an image
    uint32_t side;    // page width and height
    int year;         // modification time
};

// Original order b, A, c, a2, note; sizes, folders and dates chosen so that
// every column sorts them differently, with ties to show stability.
const SourceFile kFiles[] = {
    {"m/b.tif", 3, 8, 2020},  {"Z/A.tiff", 1, 300, 2022}, {"a/c.TIF", 3, 100, 2023},
    {"m/a2.tif", 2, 8, 2021}, {"m/note.tif", 0, 0, 2019},
};

class FileListFixture {
protected:
    QString root = makeTestFolder(QStringLiteral("list"));
    FileList::Items made; // one fresh item per kFiles entry

    void makeFiles() {
        for (const SourceFile& file : kFiles) {
            const QString path = QDir(root).filePath(QString::fromUtf8(file.path));
            QDir().mkpath(QFileInfo(path).path());
            if (file.pages == 0) {
                ASSERT_TRUE(writeFileBytes(path, "not an image"));
            } else {
                ASSERT_TRUE(writeTestTiff(
                    path, std::vector<TestTiffPage>(static_cast<std::size_t>(file.pages),
                                                    grayPage(file.side, file.side))));
            }
            QFile handle(path);
            ASSERT_TRUE(handle.open(QIODevice::ReadWrite));
            ASSERT_TRUE(handle.setFileTime(QDateTime(QDate(file.year, 1, 1), QTime(12, 0), Qt::UTC),
                                           QFileDevice::FileModificationTime));
            made.push_back(FileItem::initWithURL(QUrl::fromLocalFile(path)));
            ASSERT_NE(made.back(), nullptr);
        }
    }

    // A second item for the same file: equal, but not the same object.
    FileList::Item twin(int index) const {
        return FileItem::initWithURL(made.at(static_cast<std::size_t>(index))->filePath());
    }

    static QStringList names(const FileList& list) {
        QStringList result;
        for (const auto& item : list.items()) {
            result.append(item->name());
        }
        return result;
    }

    // The index and the running totals must agree with a plain walk of the
    // list using item equality.
    void expectConsistent(const FileList& list) const {
        qint64 pages = 0;
        qint64 checkedPages = 0;
        int checked = 0;
        for (const auto& item : list.items()) {
            pages += item->pages();
            if (item->isSelected()) {
                ++checked;
                checkedPages += item->pages();
            }
        }
        EXPECT_EQ(list.totalPages(), pages);
        EXPECT_EQ(list.checkedCount(), checked);
        EXPECT_EQ(list.checkedPages(), checkedPages);
        for (const auto& candidate : made) {
            int linear = -1;
            for (int row = 0; row < list.size(); ++row) {
                if (*list.at(row) == *candidate) {
                    linear = row;
                    break;
                }
            }
            EXPECT_EQ(list.indexOf(*candidate), linear) << candidate->name().toStdString();
            EXPECT_EQ(list.contains(*candidate), linear >= 0) << candidate->name().toStdString();
        }
    }
};

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

// ---------------------------------------------------------------------------
// Notifications a table model forwards.

class FileListTest : public FileListFixture, public ::testing::Test {
protected:
    QStringList events;

    void record(FileList& list) {
        const auto add = [this](const QString& text) { events.append(text); };
        QObject::connect(&list, &FileList::aboutToAppend, &list,
                         [add](int f, int l) { add(QStringLiteral("+%1..%2").arg(f).arg(l)); });
        QObject::connect(&list, &FileList::aboutToRemove, &list,
                         [add](int f, int l) { add(QStringLiteral("-%1..%2").arg(f).arg(l)); });
        QObject::connect(&list, &FileList::aboutToMove, &list,
                         [add](int f, int t) { add(QStringLiteral("%1>%2").arg(f).arg(t)); });
        QObject::connect(&list, &FileList::aboutToReset, &list,
                         [add] { add(QStringLiteral("reset")); });
        QObject::connect(&list, &FileList::checkedChanged, &list,
                         [add](int row) { add(QStringLiteral("check%1").arg(row)); });
        QObject::connect(&list, &FileList::checkedRangeChanged, &list, [add](int f, int l) {
            add(QStringLiteral("checks%1..%2").arg(f).arg(l));
        });
        QObject::connect(&list, &FileList::totalsChanged, &list,
                         [add] { add(QStringLiteral("totals")); });
    }
};

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

// ---------------------------------------------------------------------------
// Checking many rows at once.

struct BulkCheckCase {
    const char* name;
    std::vector<int> uncheckedBefore;
    std::vector<int> rows; // empty: every row
    int tag;               // 1 check, 2 uncheck, 3 invert
    std::vector<bool> checkedAfter;
    QStringList events;
};

const BulkCheckCase kBulkCheckCases[] = {
    {"CheckAll", {1, 3}, {}, 1, {true, true, true, true, true}, {"checks1..3", "totals"}},
    {"UncheckAll", {}, {}, 2, {false, false, false, false, false}, {"checks0..4", "totals"}},
    {"InvertAll", {0, 4}, {}, 3, {true, false, false, false, true}, {"checks0..4", "totals"}},
    {"CheckAllWhenAllAreCheckedSaysNothing", {}, {}, 1, {true, true, true, true, true}, {}},
    {"UncheckSomeRows", {}, {1, 3}, 2, {true, false, true, false, true}, {"checks1..3", "totals"}},
    {"CheckRowsSomeAlreadyChecked",
     {0, 2, 4},
     {0, 1, 2},
     1,
     {true, true, true, true, false},
     {"checks0..2", "totals"}},
    {"InvertOneRow", {}, {4}, 3, {true, true, true, true, false}, {"checks4..4", "totals"}},
};

class FileListBulkCheckTest : public FileListTest,
                              public ::testing::WithParamInterface<BulkCheckCase> {};

TEST_P(FileListBulkCheckTest, ChangesTheRowsWithOneNotification) {
    const BulkCheckCase& c = GetParam();
    makeFiles();
    FileList list;
    list.appendAll(made);
    for (const int row : c.uncheckedBefore) {
        list.setChecked(row, false);
    }
    record(list);
    const auto after = [tag = c.tag](bool checked) { return tag == 3 ? !checked : tag == 1; };
    if (c.rows.empty()) {
        list.setCheckedAll(after);
    } else {
        list.setCheckedRows(c.rows, after);
    }
    std::vector<bool> checked;
    for (const auto& item : list.items()) {
        checked.push_back(item->isSelected());
    }
    EXPECT_EQ(checked, c.checkedAfter);
    EXPECT_EQ(events, c.events) << events.join(QLatin1Char(' ')).toStdString();
    expectConsistent(list);
}

INSTANTIATE_TEST_SUITE_P(Tags, FileListBulkCheckTest, ::testing::ValuesIn(kBulkCheckCases),
                         ByName());

// ---------------------------------------------------------------------------
// Text columns sort as the locale-aware comparison orders the folded text.

TEST(FileListTextSortTest, NameOrderIsTheLocaleAwareOrderOfTheFoldedNames) {
    const QStringList names = {"b.tif",     "B.tif",     "a10.tif",    "a9.tif",      "Ähre.tif",
                               "ahre.tif",  "élan.tif",  "Elan.tif",   "_x.tif",      "1.tif",
                               "zeta.TIFF", "Zeta.tiff", "straße.tif", "STRASSE.tif", "ñu.tif",
                               "nu.tif",    "a b.tif",   "a-b.tif",    "ab.tif"};
    FileList::Items items;
    for (const QString& name : names) {
        items.push_back(
            FileItem::initWithURL(QUrl::fromLocalFile(QStringLiteral("/nowhere/") + name)));
    }
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        FileList list;
        list.appendAll(items);
        list.sortByColumn(QStringLiteral("name"), order);
        QStringList expected = names;
        std::stable_sort(
            expected.begin(), expected.end(), [order](const QString& a, const QString& b) {
                const int c = QString::localeAwareCompare(a.toCaseFolded(), b.toCaseFolded());
                return order == Qt::AscendingOrder ? c < 0 : c > 0;
            });
        QStringList sorted;
        for (const auto& item : list.items()) {
            sorted.append(item->name());
        }
        EXPECT_EQ(sorted, expected) << (order == Qt::AscendingOrder);
    }
}

// ---------------------------------------------------------------------------
// Date columns sort by the very dates the table shows.

struct DateSortCase {
    const char* name;
    const char* key;
    QDateTime (FileItem::*date)() const;
};

class FileListDateSortTest : public FileListTest,
                             public ::testing::WithParamInterface<DateSortCase> {};

TEST_P(FileListDateSortTest, OrderFollowsTheItemsDates) {
    makeFiles();
    // Access times out of step with the modification years, one missing file.
    const int accessYears[] = {2001, 2003, 2001, 2000, 2002};
    for (std::size_t i = 0; i < made.size(); ++i) {
        QFile handle(made[i]->filePath().toLocalFile());
        ASSERT_TRUE(handle.open(QIODevice::ReadWrite));
        ASSERT_TRUE(handle.setFileTime(QDateTime(QDate(accessYears[i], 1, 1), QTime(0, 0), Qt::UTC),
                                       QFileDevice::FileAccessTime));
    }
    FileList::Items items = made;
    items.push_back(FileItem::initWithURL(QUrl::fromLocalFile(root + QStringLiteral("/gone.tif"))));
    const auto when = [date = GetParam().date](const FileList::Item& item) {
        const QDateTime value = (*item.*date)();
        return value.isValid() ? value.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    };
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        FileList list;
        list.appendAll(items);
        list.sortByColumn(QString::fromUtf8(GetParam().key), order);
        FileList::Items expected = items;
        std::stable_sort(expected.begin(), expected.end(), [&](const auto& a, const auto& b) {
            return order == Qt::AscendingOrder ? when(a) < when(b) : when(b) < when(a);
        });
        EXPECT_TRUE(list.items() == expected)
            << GetParam().key << " " << (order == Qt::AscendingOrder);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dates, FileListDateSortTest,
    ::testing::Values(DateSortCase{"Modified", "dateModified", &FileItem::dateModified},
                      DateSortCase{"Created", "DATECREATED", &FileItem::dateCreated},
                      DateSortCase{"Accessed", "dateAccessed", &FileItem::dateAccessed}),
    ByName());

} // namespace
