#include "ui/plan/plan_controller.h"

#include "ui/plan/plan_window.h"

#include <QDateTime>
#include <QLabel>

namespace sayvell::ui {

PlanController::PlanController(PlanParts parts, QLabel* status, QWidget* windowParent)
    : QObject(windowParent), parts_(std::move(parts)), status_(status), windowParent_(windowParent),
      lock_(parts_.databasePath, QStringLiteral("Sayvell 視窗")) {
    QString error;
    store_ = plan::PlanStore::open(parts_.databasePath, &error);
    if (store_) store_->load(&plan_);
    if (store_ && lock_.tryLock()) {
        plan::PlayerEnv env{parts_.timer,
                            parts_.announcer,
                            [] { return QDateTime::currentSecsSinceEpoch(); },
                            [] { return QTimeZone::systemTimeZone(); },
                            store_.get(),
                            parts_.inhibitor};
        player_ = std::make_unique<plan::PlanPlayer>(env);
        player_->setGrace(parts_.graceSeconds);
        player_->setPlan(plan_);
        player_->onChanged = [this] { refresh(); };
        readingEnds_ = new QTimer(this);
        readingEnds_->setInterval(20);
        connect(readingEnds_, &QTimer::timeout, this, [this] {
            if (parts_.readingBusy && parts_.readingBusy()) return;
            readingEnds_->stop();
            player_->resume();
        });
        player_->holdOff = [this] {
            if (!parts_.readingBusy || !parts_.readingBusy()) return false;
            if (!readingEnds_->isActive()) {
                resumeAfter_ = true;
                if (parts_.pauseReading) parts_.pauseReading();
                readingEnds_->start();
            }
            return true;
        };
        player_->onAnnouncementsDone = [this] {
            if (!std::exchange(resumeAfter_, false) || !parts_.resumeReading) return;
            parts_.resumeReading();
        };
        player_->start();
    }
    refresh();
}

PlanController::~PlanController() {
    if (window_) delete window_;
}

PlanWindow* PlanController::window() { return window_; }

QString PlanController::statusText() const {
    if (!store_) return QStringLiteral("播報計畫無法使用");
    if (!player_) return QStringLiteral("播報計畫由 %1播放").arg(lock_.holder());
    return player_->nextText();
}

void PlanController::refresh() {
    const QString text = statusText();
    if (status_) {
        status_->setText(text);
        status_->setAccessibleName(text);
    }
    if (onStatus) onStatus(text);
    if (window_) window_->showNext();
}

void PlanController::stop() {
    // Stop ends the reading too: nothing goes on after the announcement.
    resumeAfter_ = false;
    if (player_) player_->stopAnnouncements();
}

bool PlanController::apply(plan::Plan plan) {
    if (!store_) return false;
    if (const auto r = store_->save(&plan); !r) {
        parts_.dialogs.warning(r.message);
        return false;
    }
    plan_ = plan;
    if (player_) player_->setPlan(std::move(plan));
    refresh();
    return true;
}

void PlanController::showWindow() {
    if (!store_) {
        parts_.dialogs.warning(QStringLiteral("無法開啟播報計畫：資料庫無法使用。"));
        return;
    }
    if (!window_) window_ = new PlanWindow(*this, parts_.dialogs, plan_, windowParent_);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace sayvell::ui
