#include "ui/shell/status_panels.h"

#include <QLabel>

namespace sayvell::ui {

namespace {

QLabel* sunken(QWidget* parent, const char* objectName, const QString& role) {
    auto* p = new QLabel(parent);
    p->setObjectName(QLatin1String(objectName));
    p->setAccessibleDescription(role);
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Sunken);
    p->setTextFormat(Qt::PlainText);
    return p;
}

}  // namespace

PanelStatusBar::PanelStatusBar(QWidget* parent) : QStatusBar(parent) {
    // Its own name, not the message of the moment, which the message panel says.
    setAccessibleName(QStringLiteral("狀態欄"));
    // Permanent widgets: showMessage() would hide ordinary ones.
    message_ = sunken(this, "StatusMessage", QStringLiteral("訊息"));
    // However long a message, it takes the room there is and never widens the window (which
    // would also take a maximised window out of that state); the whole of it is its tool tip.
    message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addPermanentWidget(message_, 1);
    connect(this, &QStatusBar::messageChanged, message_, [this](const QString& text) {
        message_->setText(text);
        message_->setToolTip(text);
    });
}

QLabel* PanelStatusBar::addPanel(const char* objectName, const QString& role, int width) {
    QLabel* p = sunken(this, objectName, role);
    p->setFixedWidth(width);
    // Before the message panel, which takes the room left.
    removeWidget(message_);
    addPermanentWidget(p);
    addPermanentWidget(message_, 1);
    message_->show();
    return p;
}

void PanelStatusBar::paintEvent(QPaintEvent* event) { QWidget::paintEvent(event); }

}  // namespace sayvell::ui
