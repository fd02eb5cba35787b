#include "ui/common/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace sayvell::ui {

void centreOnScreenOf(QWidget* window, const QWidget* anchor) {
    QScreen* screen = anchor ? anchor->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // A window not given a size yet takes its layout's, as showing it would.
    if (!window->testAttribute(Qt::WA_Resized)) window->adjustSize();
    // The frame is known only once the window has been shown; before that, the anchor's frame
    // (same manager, same title bar) stands for it.
    QSize size = window->frameGeometry().size();
    if (!window->isVisible() && anchor && anchor->isVisible())
        size = window->size() + anchor->frameGeometry().size() - anchor->size();
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

}  // namespace sayvell::ui
