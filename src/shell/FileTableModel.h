#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

class FileList;

// The file table's view of the list: one row per item, one column per
// display key of the items. Only the check column is editable.
//
// Threads: main thread only.
class FileTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FileTableModel(FileList& files, QObject* parent = nullptr);

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

private:
    void forwardListSignals();

    FileList& m_files;
};
