#pragma once
// "計划任務": sets, shows or cancels the scheduled task.
#include "schedule/schedule.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace sayvell::ui {

class Dialogs;

inline const QString kTimeInPast = QStringLiteral("計划時間不能少于當前時間!");

class Tf_sch : public QDialog {
    Q_OBJECT
public:
    Tf_sch(schedule::Schedule& schedule, Dialogs& dialogs, QWidget* parent = nullptr);

    QTimeEdit* TimeEdit1 = nullptr;
    QRadioButton* RadioButton1 = nullptr;  // "停止朗讀"
    QRadioButton* RadioButton2 = nullptr;  // "關机"
    QPushButton* BitBtn1 = nullptr;        // "執行"
    QPushButton* BitBtn2 = nullptr;        // "取消"

signals:
    // The task was set (Timer1 goes on) or cancelled (Timer1 goes off).
    void taskChanged(bool active);

public slots:
    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    schedule::Schedule& schedule_;
    Dialogs& dialogs_;
};

}  // namespace sayvell::ui
