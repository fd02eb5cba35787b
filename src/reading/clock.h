#pragma once
// Time for the reading code: the wall clock for dates and run ends, and pauses.
// Tests substitute a clock whose pauses pass at once and are recorded.
#include <QDateTime>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace sayvell::reading {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Waits ms milliseconds (<= 0: returns at once) unless interrupt() cuts it short.
    virtual void sleepMs(int ms) = 0;
    // Ends every wait in progress and every later one until resume(): used when the program ends.
    virtual void interrupt() = 0;
    virtual void resume() = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    void sleepMs(int ms) override;
    void interrupt() override;
    void resume() override;

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool interrupted_ = false;
};

}  // namespace sayvell::reading
