#include "filelist/FileList.h"

#include <QDateTime>

#include <algorithm>
#include <limits>
#include <numeric>
#include <variant>

namespace {

int clampToInt(qint64 value) {
    return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max()));
}

std::vector<std::size_t> identityOrder(std::size_t count) {
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    return order;
}

// The sort value of one cell, made once per item so that a sort neither
// stats the file nor folds case once per comparison.
using SortValue = std::variant<QString, qint64>;

enum class ColumnKind { Text, Number, None };

struct Column {
    ColumnKind kind = ColumnKind::None;
    std::function<SortValue(const FileItem&)> value;
};

qint64 dateValue(const QDateTime& when) {
    // A missing date sorts before every real one.
    return when.isValid() ? when.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

Column columnFor(const QString& key) {
    const QString column = key.toUpper();
    const auto text = [](QString (FileItem::*field)() const) {
        return Column{ColumnKind::Text,
                      [field](const FileItem& item) { return (item.*field)().toCaseFolded(); }};
    };
    const auto date = [](QDateTime (FileItem::*field)() const) {
        return Column{ColumnKind::Number,
                      [field](const FileItem& item) { return dateValue((item.*field)()); }};
    };
    if (column == QLatin1String("NAME")) {
        return text(&FileItem::name);
    }
    if (column == QLatin1String("TYPE")) {
        return text(&FileItem::type);
    }
    if (column == QLatin1String("LOCATION")) {
        return text(&FileItem::location);
    }
    if (column == QLatin1String("PAGES")) {
        return {ColumnKind::Number, [](const FileItem& item) { return qint64{item.pages()}; }};
    }
    if (column == QLatin1String("SIZEINKB") || column == QLatin1String("SIZE")) {
        return {ColumnKind::Number, [](const FileItem& item) { return item.size(); }};
    }
    if (column == QLatin1String("ISSELECTED")) {
        return {ColumnKind::Number,
                [](const FileItem& item) { return qint64{item.isSelected() ? 1 : 0}; }};
    }
    if (column == QLatin1String("DATEMODIFIED")) {
        return date(&FileItem::dateModified);
    }
    if (column == QLatin1String("DATECREATED")) {
        return date(&FileItem::dateCreated);
    }
    if (column == QLatin1String("DATEACCESSED")) {
        return date(&FileItem::dateAccessed);
    }
    return {};
}

bool valueLess(ColumnKind kind, const SortValue& a, const SortValue& b) {
    if (kind == ColumnKind::Text) {
        return QString::localeAwareCompare(std::get<QString>(a), std::get<QString>(b)) < 0;
    }
    return std::get<qint64>(a) < std::get<qint64>(b);
}

} // namespace

FileList::FileList(QObject* parent) : QObject(parent) {}

FileList::~FileList() = default;

bool FileList::contains(const FileItem& item) const {
    return m_keys.contains(urlKey(item.filePath()));
}

int FileList::indexOf(const FileItem& item) const {
    if (!contains(item)) {
        return -1;
    }
    const auto found = std::find_if(m_items.begin(), m_items.end(),
                                    [&item](const Item& candidate) { return item == *candidate; });
    return found == m_items.end() ? -1 : static_cast<int>(found - m_items.begin());
}

bool FileList::append(const Item& item) {
    return appendAll(Items{item}) == 1;
}

int FileList::appendAll(const Items& items) {
    Items fresh;
    fresh.reserve(items.size());
    KeySet batchKeys;
    for (const Item& item : items) {
        if (item == nullptr) {
            continue;
        }
        const QByteArray key = urlKey(item->filePath());
        if (m_keys.contains(key) || batchKeys.contains(key)) {
            continue;
        }
        batchKeys.insert(key);
        fresh.push_back(item);
    }
    if (fresh.empty()) {
        return 0;
    }
    const int first = size();
    const int last = first + static_cast<int>(fresh.size()) - 1;
    Q_EMIT aboutToAppend(first, last);
    for (Item& item : fresh) {
        addToTotals(*item);
        m_items.push_back(std::move(item));
    }
    m_keys.unite(batchKeys);
    Q_EMIT appended();
    Q_EMIT totalsChanged();
    return last - first + 1;
}

void FileList::removeAt(int row) {
    removeRows({row});
}

void FileList::removeRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [this](int row) { return row < 0 || row >= size(); });
    if (rows.empty()) {
        return;
    }
    // From the end, so the rows of the runs still to go keep their numbers.
    auto runEnd = rows.rbegin();
    while (runEnd != rows.rend()) {
        auto runStart = runEnd;
        while (std::next(runStart) != rows.rend() && *std::next(runStart) == *runStart - 1) {
            ++runStart;
        }
        removeRun(*runStart, *runEnd);
        runEnd = std::next(runStart);
    }
    Q_EMIT totalsChanged();
}

void FileList::removeRun(int first, int last) {
    Q_EMIT aboutToRemove(first, last);
    const auto begin = m_items.begin() + first;
    const auto end = m_items.begin() + last + 1;
    for (auto it = begin; it != end; ++it) {
        subtractFromTotals(**it);
        m_keys.remove(urlKey((*it)->filePath()));
    }
    m_items.erase(begin, end);
    Q_EMIT removed();
}

void FileList::clear() {
    Q_EMIT aboutToReset();
    m_items.clear();
    m_keys.clear();
    m_totalPages = 0;
    m_checkedPages = 0;
    m_checkedCount = 0;
    Q_EMIT reset();
    Q_EMIT totalsChanged();
}

bool FileList::move(int from, int to) {
    if (from < 0 || from >= size() || to < 0 || to >= size()) {
        return false;
    }
    if (from == to) {
        return true;
    }
    Q_EMIT aboutToMove(from, to);
    const auto first = m_items.begin();
    if (from < to) {
        std::rotate(first + from, first + from + 1, first + to + 1);
    } else {
        std::rotate(first + to, first + from, first + from + 1);
    }
    Q_EMIT moved();
    return true;
}

void FileList::setChecked(int row, bool checked) {
    FileItem& item = *at(row);
    if (item.isSelected() == checked) {
        return;
    }
    subtractFromTotals(item);
    item.setIsSelected(checked);
    addToTotals(item);
    Q_EMIT checkedChanged(row);
    Q_EMIT totalsChanged();
}

void FileList::recountTotals() {
    m_totalPages = 0;
    m_checkedPages = 0;
    m_checkedCount = 0;
    for (const Item& item : m_items) {
        addToTotals(*item);
    }
    Q_EMIT totalsChanged();
}

void FileList::addToTotals(const FileItem& item) {
    m_totalPages += item.pages();
    if (item.isSelected()) {
        ++m_checkedCount;
        m_checkedPages += item.pages();
    }
}

void FileList::subtractFromTotals(const FileItem& item) {
    m_totalPages -= item.pages();
    if (item.isSelected()) {
        --m_checkedCount;
        m_checkedPages -= item.pages();
    }
}

int FileList::totalPages() const {
    return clampToInt(m_totalPages);
}

int FileList::checkedPages() const {
    return clampToInt(m_checkedPages);
}

void FileList::sort(const LessThan& lessThan) {
    std::vector<std::size_t> order = identityOrder(m_items.size());
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return lessThan(*m_items[a], *m_items[b]);
    });
    reorder(order);
}

void FileList::sortByColumn(const QString& key, Qt::SortOrder order) {
    const Column column = columnFor(key);
    if (column.kind == ColumnKind::None) {
        return;
    }
    std::vector<SortValue> values;
    values.reserve(m_items.size());
    for (const Item& item : m_items) {
        values.push_back(column.value(*item));
    }
    const bool descending = order == Qt::DescendingOrder;
    std::vector<std::size_t> rows = identityOrder(m_items.size());
    // Descending swaps the operands rather than reversing the result, so equal
    // rows keep their order either way.
    std::stable_sort(rows.begin(), rows.end(), [&](std::size_t a, std::size_t b) {
        return descending ? valueLess(column.kind, values[b], values[a])
                          : valueLess(column.kind, values[a], values[b]);
    });
    reorder(rows);
}

void FileList::reorder(const std::vector<std::size_t>& order) {
    Q_EMIT aboutToReset();
    Items sorted;
    sorted.reserve(order.size());
    for (const std::size_t row : order) {
        sorted.push_back(std::move(m_items[row]));
    }
    m_items = std::move(sorted);
    Q_EMIT reset();
}
