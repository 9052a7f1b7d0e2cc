#include "shell/FileTableModel.h"

#include "filelist/FileList.h"
#include "platform/NativePath.h"
#include "platform/ThreadHandOff.h"

namespace {

enum Column { Check = 0, Name, Pages, Size, Type, Modified, Created, Accessed, Location };

} // namespace

FileTableModel::FileTableModel(FileList& files, QObject* parent)
    : QAbstractTableModel(parent), m_files(files) {
    forwardListSignals();
}

FileTableModel::~FileTableModel() {
    // The worker reads only its copy of the items; its result is dropped.
    if (m_sortWorker.joinable()) {
        m_sortWorker.join();
    }
}

const QStringList& FileTableModel::columnKeys() {
    static const QStringList keys{QStringLiteral("isselected"),  QStringLiteral("name"),
                                  QStringLiteral("pages"),       QStringLiteral("sizeInKB"),
                                  QStringLiteral("type"),        QStringLiteral("dateModified"),
                                  QStringLiteral("dateCreated"), QStringLiteral("dateAccessed"),
                                  QStringLiteral("location")};
    return keys;
}

int FileTableModel::columnOf(const QString& key) {
    return static_cast<int>(columnKeys().indexOf(key, 0));
}

void FileTableModel::forwardListSignals() {
    connect(&m_files, &FileList::aboutToAppend, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(&m_files, &FileList::appended, this, [this] { endInsertRows(); });
    connect(&m_files, &FileList::aboutToRemove, this,
            [this](int first, int last) { beginRemoveRows({}, first, last); });
    connect(&m_files, &FileList::removed, this, [this] { endRemoveRows(); });
    connect(&m_files, &FileList::aboutToMove, this, [this](int from, int to) {
        beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    });
    connect(&m_files, &FileList::moved, this, [this] { endMoveRows(); });
    connect(&m_files, &FileList::aboutToReset, this, [this] { beginResetModel(); });
    connect(&m_files, &FileList::reset, this, [this] { endResetModel(); });
    connect(&m_files, &FileList::checkedChanged, this, [this](int row) {
        const QModelIndex cell = index(row, Check);
        Q_EMIT dataChanged(cell, cell, {Qt::CheckStateRole});
    });
    connect(&m_files, &FileList::checkedRangeChanged, this, [this](int first, int last) {
        Q_EMIT dataChanged(index(first, Check), index(last, Check), {Qt::CheckStateRole});
    });
}

int FileTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_files.size();
}

int FileTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columnKeys().size());
}

QVariant FileTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_files.size()) {
        return {};
    }
    const FileItem& item = *m_files.at(index.row());
    if (index.column() == Check) {
        return role == Qt::CheckStateRole
                   ? QVariant(item.isSelected() ? Qt::Checked : Qt::Unchecked)
                   : QVariant();
    }
    switch (role) {
    case Qt::DisplayRole:
        return item.displayField(columnKeys().at(index.column()));
    case Qt::TextAlignmentRole:
        if (index.column() == Size || index.column() == Pages) {
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        }
        return {};
    case Qt::ToolTipRole:
        return index.column() == Name || index.column() == Location
                   ? QVariant(NativePath::displayPath(item.filePath().toLocalFile()))
                   : QVariant();
    default:
        return {};
    }
}

bool FileTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != Check || role != Qt::CheckStateRole) {
        return false;
    }
    m_files.setChecked(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    Q_EMIT checkToggled(index.row());
    return true;
}

QVariant FileTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const QStringList titles{QString(),
                                    QStringLiteral("Name"),
                                    QStringLiteral("Pages"),
                                    QStringLiteral("Size"),
                                    QStringLiteral("Type"),
                                    QStringLiteral("Date Modified"),
                                    QStringLiteral("Date Created"),
                                    QStringLiteral("Date Accessed"),
                                    QStringLiteral("Location")};
    return titles.value(section);
}

Qt::ItemFlags FileTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == Check) {
        f |= Qt::ItemIsUserCheckable;
    }
    return f;
}

void FileTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) {
        return;
    }
    const QString key = columnKeys().at(column);
    const quint64 id = ++m_sortRequests;
    if (m_files.size() < m_backgroundSortRows || !FileList::sortReadsFiles(key)) {
        m_pendingSort.reset();
        m_files.sortByColumn(key, order);
        Q_EMIT sorted();
        return;
    }
    m_pendingSort = SortRequest{key, order, id};
    if (!m_sortRunning) {
        startPendingSort();
    }
}

void FileTableModel::startPendingSort() {
    const SortRequest request = *std::exchange(m_pendingSort, std::nullopt);
    if (m_sortWorker.joinable()) {
        m_sortWorker.join(); // it has posted its result already
    }
    m_sortRunning = true;
    m_sortWorker =
        std::thread([this, request, items = m_files.items(), revision = m_files.revision()] {
            std::optional<std::vector<std::size_t>> rows =
                FileList::sortOrder(items, request.key, request.order);
            postToThreadOf(this, [this, rows = std::move(rows), request, revision]() mutable {
                finishSort(std::move(rows), request, revision);
            });
        });
}

void FileTableModel::finishSort(std::optional<std::vector<std::size_t>> rows,
                                const SortRequest& request, quint64 revision) {
    m_sortRunning = false;
    if (m_pendingSort) {
        startPendingSort();
        return;
    }
    if (request.id != m_sortRequests) {
        return; // a quick sort asked for later has been done already
    }
    if (rows && !m_files.applySortOrder(*rows, revision)) {
        m_pendingSort = request; // the rows changed meanwhile
        startPendingSort();
        return;
    }
    Q_EMIT sorted();
}
