#include "ui/settings/tfaddbiaodian.h"

#include "store/delay_table_model.h"
#include "ui/common/dialogs.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

namespace sayvell::ui {

TFaddbiaodian::TFaddbiaodian(store::DelayTableModel& table, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint), table_(table),
      dialogs_(dialogs) {
    setObjectName(QStringLiteral("TFaddbiaodian"));
    setWindowTitle(QStringLiteral("新增延時符號"));

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setAccessibleName(QStringLiteral("名稱"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setAccessibleName(QStringLiteral("符號"));
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setAccessibleName(QStringLiteral("延時毫秒"));
    SpinEdit1->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    SpinEdit1->setValue(0);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("名稱"), Edit1);
    form->addRow(QStringLiteral("符號"), Edit2);
    form->addRow(QStringLiteral("延時毫秒"), SpinEdit1);

    // Symbols are stored as typed, quotation marks included; the one symbol refused is the
    // delay symbol itself.
    note = new QLabel(QStringLiteral("注意：符號中不能含有「※」，它是延時功能符號。"), this);
    note->setStyleSheet(QStringLiteral("color: blue;"));
    note->setWordWrap(true);

    Button1 = new QPushButton(QStringLiteral("新增"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleName(QStringLiteral("新增"));
    connect(Button1, &QPushButton::clicked, this, &TFaddbiaodian::Button1Click);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(Button1, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFaddbiaodian::Button1Click() {
    const QString symbol = Edit2->text();
    // Blanks alone would make a row that never matches yet takes one of the 30 places.
    if (symbol.trimmed().isEmpty()) {
        dialogs_.information(kEnterSymbol);
        return;
    }
    if (symbol.contains(u'※')) {
        dialogs_.warning(kSymbolReserved);
        return;
    }
    SpinEdit1->interpretText();
    const store::DbResult r = table_.addRow(Edit1->text(), symbol, SpinEdit1->value());
    // The fields stay as they are, ready for the next row.
    if (!r) dialogs_.warning(r.message);
}

}  // namespace sayvell::ui
