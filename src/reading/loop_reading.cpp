#include "reading/loop_reading.h"

#include <algorithm>

namespace sayvell::reading {

LoopReading::LoopReading(ReadingState& state, Clock& clock, LoopHost& host)
    : state_(state), clock_(clock), host_(host) {}

void LoopReading::arm(int passes, std::int64_t intervalSeconds, int selStart, int selLength) {
    passes_ = std::max(1, passes);
    intervalMs_ = std::clamp<std::int64_t>(intervalSeconds, 0, INT32_MAX) * 1000;
    passesDone_ = 0;
    endSeen_ = false;
    state_.loopPasses = passes_;
    state_.loopIntervalSeconds = static_cast<int>(intervalMs_ / 1000);
    state_.readingActive = true;
    state_.loopSelLength = std::max(0, selLength);
    state_.loopSelStart = std::max(0, selStart);
    armed_ = true;
}

void LoopReading::readtxt() {
    state_.beginRun();
    endSeen_ = false;
    host_.setSelection(state_.loopSelStart.load(), state_.loopSelLength.load());
    host_.startPass(state_.loopSelStart.load(), state_.loopSelLength.load());
}

LoopReading::Tick LoopReading::tick() {
    if (!armed_) return Tick::Nothing;
    Tick result = Tick::Nothing;

    if (passesDone_ == 0) {
        host_.disableControls();
        ++passesDone_;
        readtxt();
        result = Tick::FirstPass;
    }

    if (!state_.readingActive.load() && passesDone_ >= passes_) {
        armed_ = false;
        host_.stopTimer();
        host_.enableControls();
        return Tick::Finished;
    }

    if (!state_.readingActive.load() && passesDone_ > 0 && passesDone_ < passes_) {
        if (!endSeen_) {
            endSeen_ = true;
            return result;
        }
        const QDateTime end = state_.lastRunEndTime();
        // QDateTime arithmetic, so that an interval reaching past midnight still counts.
        const qint64 elapsed = end.isValid() ? end.msecsTo(clock_.now()) : intervalMs_ + 1;
        if (elapsed > intervalMs_) {
            ++passesDone_;
            readtxt();
            result = Tick::NextPass;
        }
    }
    return result;
}

}  // namespace sayvell::reading
