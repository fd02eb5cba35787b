#include "ui/schedule/tf_sch.h"

#include "ui/common/dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace sayvell::ui {

Tf_sch::Tf_sch(schedule::Schedule& schedule, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), schedule_(schedule), dialogs_(dialogs) {
    setObjectName(QStringLiteral("Tf_sch"));
    setWindowTitle(QStringLiteral("計划任務_未執行"));
    setModal(true);
    // Room for the caption beside the frame's buttons.
    setMinimumWidth(320);
    // clMoneyGreen
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 220, 192));
    setPalette(pal);

    auto* caption = new QLabel(QStringLiteral("任務時間："), this);
    TimeEdit1 = new QTimeEdit(this);
    TimeEdit1->setObjectName(QStringLiteral("TimeEdit1"));
    TimeEdit1->setDisplayFormat(schedule::kTimeFormat);
    TimeEdit1->setAccessibleName(caption->text());
    caption->setBuddy(TimeEdit1);
    RadioButton1 = new QRadioButton(QStringLiteral("停止朗讀"), this);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton2 = new QRadioButton(QStringLiteral("關机"), this);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton1->setChecked(true);
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("執行"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setAccessibleName(BitBtn1->text());
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("取消"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAccessibleName(BitBtn2->text());
    connect(BitBtn1, &QPushButton::clicked, this, &Tf_sch::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Tf_sch::BitBtn2Click);

    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(caption);
    timeRow->addWidget(TimeEdit1);
    timeRow->addStretch();
    auto* options = new QHBoxLayout;
    options->addWidget(RadioButton1);
    options->addWidget(RadioButton2);
    options->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(timeRow);
    layout->addLayout(options);
    layout->addLayout(buttons);
}

void Tf_sch::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void Tf_sch::FormShow() {
    if (schedule_.active()) {
        setWindowTitle(QStringLiteral("計划任務_正執行"));
        TimeEdit1->setTime(QTime::fromString(schedule_.timeText(), schedule::kTimeFormat));
        // Only the stop option follows the task; the other keeps what it was.
        RadioButton1->setChecked(schedule_.action() == schedule::Action::StopReading);
        if (schedule_.action() != schedule::Action::StopReading) RadioButton2->setChecked(true);
    } else {
        setWindowTitle(QStringLiteral("計划任務_未執行"));
        RadioButton1->setChecked(true);
        TimeEdit1->setTime(schedule_.proposedTime());
    }
}

void Tf_sch::BitBtn1Click() {
    TimeEdit1->interpretText();
    const auto action = RadioButton1->isChecked() ? schedule::Action::StopReading : schedule::Action::PowerOff;
    if (schedule_.set(TimeEdit1->time(), action))
        emit taskChanged(true);
    else
        dialogs_.warning(kTimeInPast);
    accept();
}

void Tf_sch::BitBtn2Click() {
    schedule_.cancel();
    emit taskChanged(false);
    reject();
}

}  // namespace sayvell::ui
