#pragma once
// The grid of the pause table: system rows in red, no rows appended from the keyboard.
#include <QStyledItemDelegate>
#include <QTableView>

namespace sayvell::ui {

class DelayGrid : public QTableView {
    Q_OBJECT
public:
    explicit DelayGrid(QWidget* parent = nullptr);
    // Writes the cell being edited, if any, before the table is read.
    void commitPending();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Draws the text of rows delivered with the database in red.
class SystemRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace sayvell::ui
