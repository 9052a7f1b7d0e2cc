#include "filelist/FileList.h"

#include "platform/NativePath.h"

#include <QCollator>

#include <algorithm>
#include <atomic>
#include <limits>
#include <numeric>
#include <optional>
#include <thread>
#include <variant>

#include <fcntl.h>
#include <sys/stat.h>

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

std::vector<int> identityRows(int count) {
    std::vector<int> rows(static_cast<std::size_t>(std::max(0, count)));
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

// The sort value of one cell, made once per item so that a sort neither
// stats the file nor folds case once per comparison.
using SortValue = std::variant<QString, qint64>;

enum class ColumnKind { Text, Number, None };

struct Column {
    ColumnKind kind = ColumnKind::None;
    std::function<SortValue(const FileItem&)> value;
};

// A missing date sorts before every real one.
constexpr qint64 kMissingDate = std::numeric_limits<qint64>::min();

enum class FileTime { Modified, Created, Accessed };

// The item's date in milliseconds since the epoch, read as
// NativePath::fileTimes reads it (statx, whole milliseconds) but without
// building a local QDateTime: a sort reads every row's date, and the
// local-time conversion is what made that slow.
qint64 dateValue(const FileItem& item, FileTime which) {
    const QString path = item.filePath().toLocalFile();
    struct statx info {};
    if (path.isEmpty() || ::statx(AT_FDCWD, NativePath::encode(path).constData(), 0,
                                  STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
        return kMissingDate;
    }
    const auto millis = [](const statx_timestamp& t) {
        return qint64{t.tv_sec} * 1000 + t.tv_nsec / 1000000;
    };
    switch (which) {
    case FileTime::Modified:
        return millis(info.stx_mtime);
    case FileTime::Created:
        return (info.stx_mask & STATX_BTIME) != 0U ? millis(info.stx_btime) : kMissingDate;
    case FileTime::Accessed:
        return millis(info.stx_atime);
    }
    return kMissingDate;
}

// `make(i)` for i in [0, count), on up to one thread per core: a sort
// derives one value per row, and a long list must not keep the window
// waiting for one core to do it all. `make` only reads what never changes.
template <typename T, typename Make> std::vector<T> mapInParallel(std::size_t count, Make make) {
    std::vector<T> values(count);
    std::atomic<std::size_t> next{0};
    constexpr std::size_t kChunk = 1024;
    const auto work = [&] {
        for (std::size_t start = next.fetch_add(kChunk); start < count;
             start = next.fetch_add(kChunk)) {
            for (std::size_t i = start; i < std::min(count, start + kChunk); ++i) {
                values[i] = make(i);
            }
        }
    };
    const std::size_t helpers = std::min<std::size_t>(
        std::max(1U, std::thread::hardware_concurrency()) - 1, count / kChunk);
    {
        std::vector<std::jthread> threads;
        for (std::size_t t = 0; t < helpers; ++t) {
            threads.emplace_back(work);
        }
        work();
    }
    return values;
}

Column columnFor(const QString& key) {
    const QString column = key.toUpper();
    const auto text = [](QString (FileItem::*field)() const) {
        return Column{ColumnKind::Text,
                      [field](const FileItem& item) { return (item.*field)().toCaseFolded(); }};
    };
    const auto date = [](FileTime which) {
        return Column{ColumnKind::Number,
                      [which](const FileItem& item) { return dateValue(item, which); }};
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
        return date(FileTime::Modified);
    }
    if (column == QLatin1String("DATECREATED")) {
        return date(FileTime::Created);
    }
    if (column == QLatin1String("DATEACCESSED")) {
        return date(FileTime::Accessed);
    }
    return {};
}

bool valueLess(const SortValue& a, const SortValue& b) {
    return std::get<qint64>(a) < std::get<qint64>(b);
}

// Stable order of the rows by `less` on their indices; descending swaps the
// operands rather than reversing the result, so equal rows keep their order
// either way.
template <typename Less>
std::vector<std::size_t> sortedRows(std::size_t count, Qt::SortOrder order, Less less) {
    std::vector<std::size_t> rows = identityOrder(count);
    const bool descending = order == Qt::DescendingOrder;
    std::stable_sort(rows.begin(), rows.end(), [&](std::size_t a, std::size_t b) {
        return descending ? less(b, a) : less(a, b);
    });
    return rows;
}

// Collation keys order text exactly as QString::localeAwareCompare does, at
// the cost of one key per row instead of a collation per comparison.
std::vector<std::size_t> sortedByText(const std::vector<SortValue>& values, Qt::SortOrder order) {
    const std::vector<std::optional<QCollatorSortKey>> keys =
        mapInParallel<std::optional<QCollatorSortKey>>(values.size(), [&values](std::size_t i) {
            return QCollator::defaultSortKey(std::get<QString>(values[i]));
        });
    return sortedRows(keys.size(), order, [&keys](std::size_t a, std::size_t b) {
        return keys[a]->compare(*keys[b]) < 0;
    });
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
    ++m_revision;
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
    ++m_revision;
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
    ++m_revision;
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
    ++m_revision;
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

void FileList::setCheckedRows(const std::vector<int>& rows,
                              const std::function<bool(bool)>& after) {
    int first = -1;
    int last = -1;
    for (const int row : rows) {
        FileItem& item = *at(row);
        const bool wanted = after(item.isSelected());
        if (wanted == item.isSelected()) {
            continue;
        }
        subtractFromTotals(item);
        item.setIsSelected(wanted);
        addToTotals(item);
        first = first < 0 ? row : first;
        last = row;
    }
    if (first < 0) {
        return;
    }
    Q_EMIT checkedRangeChanged(first, last);
    Q_EMIT totalsChanged();
}

void FileList::setCheckedAll(const std::function<bool(bool)>& after) {
    setCheckedRows(identityRows(size()), after);
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
    if (std::optional<std::vector<std::size_t>> rows = sortOrder(m_items, key, order)) {
        reorder(*rows);
    }
}

bool FileList::sortReadsFiles(const QString& key) {
    const QString column = key.toUpper();
    return columnFor(key).kind == ColumnKind::Text || column.startsWith(QLatin1String("DATE"));
}

std::optional<std::vector<std::size_t>> FileList::sortOrder(const Items& items, const QString& key,
                                                            Qt::SortOrder order) {
    const Column column = columnFor(key);
    if (column.kind == ColumnKind::None) {
        return std::nullopt;
    }
    const std::vector<SortValue> values = mapInParallel<SortValue>(
        items.size(), [&](std::size_t i) { return column.value(*items[i]); });
    if (column.kind == ColumnKind::Text) {
        return sortedByText(values, order);
    }
    return sortedRows(values.size(), order, [&values](std::size_t a, std::size_t b) {
        return valueLess(values[a], values[b]);
    });
}

bool FileList::applySortOrder(const std::vector<std::size_t>& order, quint64 revision) {
    if (revision != m_revision || order.size() != m_items.size()) {
        return false;
    }
    reorder(order);
    return true;
}

void FileList::reorder(const std::vector<std::size_t>& order) {
    Q_EMIT aboutToReset();
    ++m_revision;
    Items sorted;
    sorted.reserve(order.size());
    for (const std::size_t row : order) {
        sorted.push_back(std::move(m_items[row]));
    }
    m_items = std::move(sorted);
    Q_EMIT reset();
}
