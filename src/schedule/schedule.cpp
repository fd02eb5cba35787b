#include "schedule/schedule.h"

namespace sayvell::schedule {

namespace {

// Seconds since midnight. Whole seconds: the time field holds minutes only, and a task set
// for 10:00 is due from 10:00:00.
int secondsOf(QTime t) { return t.hour() * 3600 + t.minute() * 60 + t.second(); }

}  // namespace

QTime Schedule::proposedTime() const {
    const QTime now = clock_.now().time();
    const QTime later = now.addSecs(kProposedMinutes * 60);
    return QTime(later.hour(), later.minute());
}

bool Schedule::set(QTime time, Action action) {
    const QTime minute(time.hour(), time.minute());
    if (!minute.isValid() || secondsOf(clock_.now().time()) >= secondsOf(minute)) return false;
    active_ = true;
    timeText_ = minute.toString(kTimeFormat);
    action_ = action;
    return true;
}

Tick Schedule::tick() const {
    Tick t;
    if (!active_) return t;
    const QTime due = QTime::fromString(timeText_, kTimeFormat);
    if (!due.isValid()) return t;
    const int now = secondsOf(clock_.now().time());
    t.secondsLeft = secondsOf(due) - now;
    // Counted in seconds, not as a time of day: for a task at 00:03 the warning starts at
    // midnight rather than wrapping round to 23:58.
    t.warn = action_ == Action::PowerOff && t.secondsLeft <= kWarningSeconds;
    t.due = t.secondsLeft <= 0;
    return t;
}

}  // namespace sayvell::schedule
