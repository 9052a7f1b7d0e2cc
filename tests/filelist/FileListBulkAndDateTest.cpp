#include "FileListFixture.h"

namespace {

using namespace filelisttest;

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
