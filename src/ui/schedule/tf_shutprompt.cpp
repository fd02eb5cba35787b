#include "ui/schedule/tf_shutprompt.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sayvell::ui {

namespace {

QLabel* boldLabel(const QString& text, const char* colour, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(QLatin1String(colour)));
    return l;
}

}  // namespace

Tf_shutprompt::Tf_shutprompt(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Tf_shutprompt"));
    setWindowTitle(QStringLiteral("關机提醒"));
    setModal(false);
    setMinimumWidth(320);
    // Brought to the front every second: it must not take the keyboard from someone typing.
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* warning = boldLabel(QStringLiteral("警告:"), "red", this);
    Label2 = boldLabel(QStringLiteral("計算机將在五分鐘之后自動關机，"), "blue", this);
    Label2->setObjectName(QStringLiteral("Label2"));
    auto* advice = boldLabel(QStringLiteral("請保存自己的資料，以免丟失!"), "blue", this);
    Button1 = new QPushButton(QStringLiteral("确 定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleName(Button1->text());
    connect(Button1, &QPushButton::clicked, this, &QDialog::hide);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(warning);
    layout->addWidget(Label2);
    layout->addWidget(advice);
    layout->addWidget(Button1, 0, Qt::AlignCenter);
}

void Tf_shutprompt::showFor(const QString& time) {
    Label2->setText(QStringLiteral("計算机將在") + time + QStringLiteral("之后自動關机，"));
    if (!isVisible()) show();
    raise();
}

}  // namespace sayvell::ui
