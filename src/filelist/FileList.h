#pragma once

#include "filelist/FileItem.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The controller's ordered list of source files, with an index of the items'
// URLs so the duplicate test is a hash lookup, and running totals of pages and
// checked items so a totals refresh never walks the list.
//
// The index key is exactly what FileItem equality compares (the URL's encoded
// form), so contains/append behave like a linear search with isEqual.
//
// Change notifications come in pairs shaped for a QAbstractTableModel:
//   aboutToAppend(first, last) / appended()   -> beginInsertRows / endInsertRows
//   aboutToRemove(first, last) / removed()    -> beginRemoveRows / endRemoveRows
//   aboutToMove(from, to) / moved()           -> beginMoveRows(from, from, to > from ? to + 1 : to)
//   aboutToReset() / reset()                  -> beginResetModel / endResetModel (sort, clear)
//   checkedChanged(row)                       -> dataChanged for that row's check cell
//   checkedRangeChanged(first, last)          -> dataChanged for the check cells of the rows
// totalsChanged() follows every change of a total.
//
// Threads: main thread only. A loading worker never touches the list; it hands
// new items to the main thread (see FileLoader.h).
class FileList : public QObject {
    Q_OBJECT

public:
    using Item = std::shared_ptr<FileItem>;
    using Items = std::vector<Item>;
    using KeySet = QSet<QByteArray>;
    using LessThan = std::function<bool(const FileItem&, const FileItem&)>;

    explicit FileList(QObject* parent = nullptr);
    ~FileList() override;

    // The index key of a URL; two items are equal exactly when their keys are.
    static QByteArray urlKey(const QUrl& url) { return url.toEncoded(); }

    int size() const { return static_cast<int>(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }
    // `row` must be in range.
    const Item& at(int row) const { return m_items.at(static_cast<std::size_t>(row)); }
    const Items& items() const { return m_items; }

    bool contains(const FileItem& item) const;
    // A copy of the index, for a worker that wants to skip known files.
    KeySet keys() const { return m_keys; }
    // -1 when absent.
    int indexOf(const FileItem& item) const;

    // False, and nothing changes, for a null item or one equal to an item in
    // the list.
    bool append(const Item& item);
    // Appends the new ones in order (duplicates within `items` too are
    // skipped) with one notification pair; returns how many were appended.
    int appendAll(const Items& items);

    void removeAt(int row);
    // Rows in any order; duplicates and rows out of range are ignored.
    // Contiguous runs go as one notification pair each, last run first.
    void removeRows(std::vector<int> rows);
    void clear();
    // Moves the item at `from` so that it ends up at `to`; false when either
    // is out of range.
    bool move(int from, int to);

    // Sets the item's isSelected and keeps the checked totals.
    void setChecked(int row, bool checked);
    // Sets the check of each row in `rows` (ascending, in range) to what
    // `after` makes of its current one, with one checkedRangeChanged over the
    // rows that changed and one totalsChanged; nothing when none changed.
    void setCheckedRows(const std::vector<int>& rows, const std::function<bool(bool)>& after);
    // setCheckedRows over every row.
    void setCheckedAll(const std::function<bool(bool)>& after);
    // Recounts every total; for callers that changed items' isSelected
    // directly.
    void recountTotals();

    // Stable.
    void sort(const LessThan& lessThan);
    // The table's sort by a column key (case-insensitive, as displayField):
    // name, type and location by locale-aware text, pages and size by number,
    // the three dates by time (missing dates first), isSelected unchecked
    // first. Stable; an unknown key leaves the order as it is.
    void sortByColumn(const QString& key, Qt::SortOrder order);
    // Whether a sort by the column reads each row's text or file dates: work
    // that may go to another thread through sortOrder and applySortOrder.
    static bool sortReadsFiles(const QString& key);
    // The order sortByColumn gives `items`: the rows' old numbers in their new
    // order; nothing for an unknown key. For the columns sortReadsFiles names,
    // it reads only what never changes in an item, so it may run on any
    // thread with a copy of the items.
    static std::optional<std::vector<std::size_t>> sortOrder(const Items& items, const QString& key,
                                                             Qt::SortOrder order);
    // Counts the changes of the rows' number or order.
    quint64 revision() const { return m_revision; }
    // Puts the rows in `order`, made by sortOrder for the list at `revision`;
    // false, and nothing changes, when the rows have changed since.
    bool applySortOrder(const std::vector<std::size_t>& order, quint64 revision);

    // The sums are kept in 64 bits and clamped to int on the way out.
    int totalPages() const;
    int checkedCount() const { return m_checkedCount; }
    int checkedPages() const;

Q_SIGNALS:
    void aboutToAppend(int first, int last);
    void appended();
    void aboutToRemove(int first, int last);
    void removed();
    void aboutToMove(int from, int to);
    void moved();
    void aboutToReset();
    void reset();
    void checkedChanged(int row);
    void checkedRangeChanged(int first, int last);
    void totalsChanged();

private:
    void addToTotals(const FileItem& item);
    void subtractFromTotals(const FileItem& item);
    void removeRun(int first, int last);
    void reorder(const std::vector<std::size_t>& order);

    Items m_items;
    KeySet m_keys;
    qint64 m_totalPages = 0;
    qint64 m_checkedPages = 0;
    int m_checkedCount = 0;
    quint64 m_revision = 0;
};
