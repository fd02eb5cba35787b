#include "reading/clock.h"

#include <chrono>

namespace sayvell::reading {

void SystemClock::sleepMs(int ms) {
    if (ms <= 0) return;
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return interrupted_; });
}

void SystemClock::interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    cv_.notify_all();
}

void SystemClock::resume() {
    std::lock_guard lock(mutex_);
    interrupted_ = false;
}

}  // namespace sayvell::reading
