#pragma once
// The pause table as a Qt item model, for the settings grid: columns "名稱" (editable),
// "符號" (read-only) and "延時毫秒" (editable). Every edit, addition and deletion goes through
// the open dataset and is in the file when the call returns; a refused write leaves the row
// as it was and is reported by writeFailed.
#include "store/tdm.h"

#include <QAbstractTableModel>

namespace sayvell::store {

class DelayTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, SymbolColumn, DelayColumn, ColumnCount };
    // bool: a row delivered with the database (candelete false), drawn in red.
    static constexpr int SystemRowRole = Qt::UserRole + 1;

    explicit DelayTableModel(DelayDataset& rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Appends a deletable row (refused when the table is full).
    DbResult addRow(const QString& name, const QString& descript, int delaytime);
    // Deletes a row unless it is a system row.
    DbResult deleteRow(int row);

    DelayDataset& dataset() { return rows_; }

signals:
    void writeFailed(const QString& message);

private:
    DelayDataset& rows_;
};

}  // namespace sayvell::store
