#pragma once
// Loop reading: the same range read a set number of times with a set interval between the
// end of one pass and the start of the next. The window's one-second timer calls tick(); each
// pass is a range-mode run of the reading worker.
//
// Where a tick goes beyond the three tests (pass running, passes left, interval over), each
// closing a hole a user would fall into:
//  - The first pass starts on the first tick after arming whether or not an earlier run has
//    meanwhile cleared readingActive (stop-then-loop from the F9 key would otherwise never
//    start).
//  - The range is restored before the first pass too, so a click in the editor during the
//    first second does not turn the first pass into an empty one.
//  - Every pass is a run of its own, asked for as a range pass whatever ran in between.
//  - The interval is measured only on a tick after the one that first saw the pass end: the
//    worker clears readingActive a moment before it records the end time, and a tick in
//    between must not measure from the previous pass's end.
#include "reading/clock.h"
#include "reading/reading_state.h"

#include <QDateTime>
#include <cstdint>

namespace sayvell::reading {

// What a pass needs from the window.
class LoopHost {
public:
    virtual ~LoopHost() = default;
    virtual void disableControls() = 0;  // btn_disable
    virtual void enableControls() = 0;   // btn_enable
    virtual void stopTimer() = 0;        // readcycled off
    virtual void setSelection(int start, int length) = 0;
    // Selects the voice, focuses the editor and starts a range-mode run (RunMode::Range) on the
    // selection.
    virtual void startPass(int selStart, int selLength) = 0;
};

class LoopReading {
public:
    enum class Tick { Nothing, FirstPass, NextPass, Finished };

    LoopReading(ReadingState& state, Clock& clock, LoopHost& host);

    // Steps before the timer is switched on: parameters, flags and the range.
    void arm(int passes, std::int64_t intervalSeconds, int selStart, int selLength);
    // One timer tick: start the first pass, end the loop, or start the next pass.
    Tick tick();
    // The stop command: no further pass starts.
    void disarm() { armed_ = false; }

    bool armed() const { return armed_; }
    int loopPassesDone() const { return passesDone_; }
    int passes() const { return passes_; }

private:
    void readtxt();

    ReadingState& state_;
    Clock& clock_;
    LoopHost& host_;
    bool armed_ = false;
    int passes_ = 0;
    std::int64_t intervalMs_ = 0;
    int passesDone_ = 0;
    bool endSeen_ = false;
};

}  // namespace sayvell::reading
