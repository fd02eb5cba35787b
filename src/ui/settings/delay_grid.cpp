#include "ui/settings/delay_grid.h"

#include "store/delay_table_model.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace sayvell::ui {

DelayGrid::DelayGrid(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new SystemRowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->setDefaultSectionSize(22);
}

void DelayGrid::commitPending() {
    if (state() != QAbstractItemView::EditingState) return;
    // Moving "to the same cell" commits and closes its editor, as leaving it would.
    const QModelIndex here = currentIndex();
    currentChanged(here, here);
}

void DelayGrid::keyPressEvent(QKeyEvent* event) {
    // Down on the last row stays there; rows come only from the add window.
    if (event->key() == Qt::Key_Down && model() && currentIndex().row() == model()->rowCount() - 1) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void SystemRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(store::DelayTableModel::SystemRowRole).toBool()) {
        option->palette.setColor(QPalette::Text, Qt::red);
        option->palette.setColor(QPalette::HighlightedText, Qt::red);
    }
}

}  // namespace sayvell::ui
