#include "store/delay_table_model.h"

#include <algorithm>
#include <limits>

namespace sayvell::store {

DelayTableModel::DelayTableModel(DelayDataset& rows, QObject* parent) : QAbstractTableModel(parent), rows_(rows) {}

int DelayTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_.count(); }

int DelayTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant DelayTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.count()) return {};
    const DelayRow& row = rows_.rows()[size_t(index.row())];
    if (role == SystemRowRole) return !row.candelete;
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    switch (index.column()) {
    case NameColumn: return row.name;
    case SymbolColumn: return row.descript;
    case DelayColumn: return row.delaytime;
    default: return {};
    }
}

QVariant DelayTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    switch (section) {
    case NameColumn: return QStringLiteral("名稱");
    case SymbolColumn: return QStringLiteral("符號");
    case DelayColumn: return QStringLiteral("延時毫秒");
    default: return {};
    }
}

Qt::ItemFlags DelayTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // The symbol is the row's identity for reading: changed only by deleting and adding.
    if (index.column() != SymbolColumn) f |= Qt::ItemIsEditable;
    return f;
}

bool DelayTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !rows_.setCurrentIndex(index.row())) return false;
    DbResult r;
    if (index.column() == NameColumn) {
        r = rows_.setCurrentName(value.toString());
    } else if (index.column() == DelayColumn) {
        bool ok = false;
        const qlonglong ms = value.toLongLong(&ok);
        if (!ok) return false;
        r = rows_.setCurrentDelay(int(std::clamp<qlonglong>(ms, 0, std::numeric_limits<int>::max())));
    } else {
        return false;
    }
    if (!r) {
        emit writeFailed(r.message);
        return false;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

DbResult DelayTableModel::addRow(const QString& name, const QString& descript, int delaytime) {
    if (rows_.count() >= kMaxDelayRows) return rows_.add(name, descript, delaytime);  // the store's refusal
    const int row = rows_.count();
    beginInsertRows({}, row, row);
    DbResult r = rows_.add(name, descript, delaytime);
    if (!r) {
        // The file refused the row: close the announced insertion and let views read again.
        endInsertRows();
        beginResetModel();
        endResetModel();
        return r;
    }
    endInsertRows();
    return r;
}

DbResult DelayTableModel::deleteRow(int row) {
    if (row < 0 || row >= rows_.count()) return DbResult::failure(kNoCurrentRowMessage);
    if (!rows_.rows()[size_t(row)].candelete) return DbResult::failure(kSystemRowMessage);
    beginRemoveRows({}, row, row);
    // Views move their current row on the announcement, and with it the dataset's: point it
    // back at the row being deleted.
    rows_.setCurrentIndex(row);
    DbResult r = rows_.deleteCurrent();
    endRemoveRows();
    if (!r) {  // the file refused: the row is still there
        beginResetModel();
        endResetModel();
    }
    return r;
}

}  // namespace sayvell::store
