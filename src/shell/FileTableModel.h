#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <optional>
#include <thread>

class FileList;

// The file table's view of the list: one row per item, one column per
// display key of the items. Only the check column is editable.
//
// A sort by text or dates of a long list derives its values on a worker, so
// the window stays answering; the rows take their new order when it is done
// (sorted() then). A later sort wins over one still running, and a list that
// changed meanwhile is sorted again.
//
// Threads: main thread only; the sort's worker reads a copy of the items.
class FileTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FileTableModel(FileList& files, QObject* parent = nullptr);
    ~FileTableModel() override;

    // Lists of at least this many rows sort text and dates on a worker.
    void setBackgroundSortRows(int rows) { m_backgroundSortRows = rows; }
    bool isSorting() const { return m_sortRunning; }

    // The display keys of the columns, in order.
    static const QStringList& columnKeys();
    static int columnOf(const QString& key);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order) override;

Q_SIGNALS:
    // The user checked or unchecked a row in the table.
    void checkToggled(int row);
    // The rows are in the order of the last sort asked for.
    void sorted();

private:
    struct SortRequest {
        QString key;
        Qt::SortOrder order = Qt::AscendingOrder;
        quint64 id = 0;
    };

    void forwardListSignals();
    void startPendingSort();
    void finishSort(std::optional<std::vector<std::size_t>> rows, const SortRequest& request,
                    quint64 revision);

    FileList& m_files;
    int m_backgroundSortRows = 2000;
    quint64 m_sortRequests = 0;
    std::optional<SortRequest> m_pendingSort;
    bool m_sortRunning = false;
    std::thread m_sortWorker;
};
