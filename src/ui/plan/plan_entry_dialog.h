#pragma once
// The editor of one plan entry. OK keeps the dialog open with a message while the entry cannot
// play as it is; Escape or closing leaves the entry as it was.
#include "plan/plan.h"
#include "ui/common/dialogs.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace sayvell::ui {

class PlanEntryDialog : public QDialog {
    Q_OBJECT

public:
    PlanEntryDialog(const plan::Entry& entry, Dialogs& dialogs, QWidget* parent = nullptr);
    const plan::Entry& entry() const { return entry_; }
    void accept() override;

    QLineEdit* name = nullptr;
    QCheckBox* enabled = nullptr;
    QPlainTextEdit* text = nullptr;
    QLineEdit* textFile = nullptr;
    QLineEdit* times = nullptr;
    QSpinBox* every = nullptr;
    QLineEdit* from = nullptr;
    QLineEdit* to = nullptr;
    QCheckBox* days[7] = {};
    QLineEdit* firstDate = nullptr;
    QLineEdit* lastDate = nullptr;
    QCheckBox* onDaysOff = nullptr;
    QComboBox* chime = nullptr;
    QLineEdit* chimeFile = nullptr;
    QSpinBox* repeat = nullptr;
    QSpinBox* gap = nullptr;
    QSpinBox* rate = nullptr;
    QSpinBox* volume = nullptr;
    QLineEdit* voice = nullptr;
    QLineEdit* sink = nullptr;

private:
    bool read(plan::Entry* out, QString* error) const;
    plan::Entry entry_;
    Dialogs& dialogs_;
};

}  // namespace sayvell::ui
