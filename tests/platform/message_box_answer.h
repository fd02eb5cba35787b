#pragma once
// Answers the next real message box once it is up, from inside the event loop it runs.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace sayvell::testing {

inline void whenAsked(std::function<void(QMessageBox*)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        answer(box);
    });
    poll->start(20);
}

}  // namespace sayvell::testing
