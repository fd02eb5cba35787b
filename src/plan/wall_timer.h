#pragma once
// The real WakeTimer: a timerfd on the wall clock, armed to the absolute second. The kernel
// fires it on that second, or at resume when the machine slept through it, and cancels it
// when the wall clock is set, so a clock jump is noticed at once and nothing polls.
#include "plan/plan_player.h"

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace sayvell::plan {

class WallTimer final : public QObject, public WakeTimer {
public:
    explicit WallTimer(QObject* parent = nullptr);
    ~WallTimer() override;
    void armAt(qint64 epochSeconds) override;
    void disarm() override;

private:
    void ready();
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace sayvell::plan
