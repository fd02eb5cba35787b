#include "plan/wall_timer.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace sayvell::plan {

WallTimer::WallTimer(QObject* parent) : QObject(parent) {
    fd_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { ready(); });
}

WallTimer::~WallTimer() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
}

void WallTimer::armAt(qint64 epochSeconds) {
    if (fd_ < 0) return;
    itimerspec when{};
    when.it_value.tv_sec = time_t(epochSeconds);
    ::timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr);
}

void WallTimer::disarm() {
    if (fd_ < 0) return;
    itimerspec never{};
    ::timerfd_settime(fd_, 0, &never, nullptr);
}

void WallTimer::ready() {
    std::uint64_t expirations = 0;
    // ECANCELED: the wall clock was set. Either way the owner looks again and re-arms.
    if (::read(fd_, &expirations, sizeof expirations) < 0 && errno != ECANCELED) return;
    if (onWake) onWake();
}

}  // namespace sayvell::plan
