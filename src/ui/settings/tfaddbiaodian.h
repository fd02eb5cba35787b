#pragma once
// "新增延時符號": adds a deletable row to the pause table.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace sayvell::store {
class DelayTableModel;
}

namespace sayvell::ui {

class Dialogs;

inline const QString kEnterSymbol = QStringLiteral("請輸入標點符號!");
inline const QString kSymbolReserved = QStringLiteral("該符號為系統功能符號，不能添加!");

class TFaddbiaodian : public QDialog {
    Q_OBJECT
public:
    TFaddbiaodian(store::DelayTableModel& table, Dialogs& dialogs, QWidget* parent = nullptr);

    QLineEdit* Edit1 = nullptr;     // "名稱"
    QLineEdit* Edit2 = nullptr;     // "符號"
    QSpinBox* SpinEdit1 = nullptr;  // "延時毫秒"
    QLabel* note = nullptr;
    QPushButton* Button1 = nullptr;  // "新增"

public slots:
    void Button1Click();

private:
    store::DelayTableModel& table_;
    Dialogs& dialogs_;
};

}  // namespace sayvell::ui
