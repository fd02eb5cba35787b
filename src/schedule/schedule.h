#pragma once
// The scheduled task: one stop-reading or power-off task at a time of day, watched by a
// one-second tick. Times are times of day only; the date never plays a part, so a task acts
// every day at its time for as long as it stays set.
#include "reading/clock.h"

#include <QString>
#include <QTime>

namespace sayvell::schedule {

enum class Action { StopReading = 1, PowerOff = 2 };

// The warning window comes this long before a power-off.
inline constexpr int kWarningSeconds = 5 * 60;
// The time offered when no task is set: now plus this.
inline constexpr int kProposedMinutes = 120;
inline const QString kTimeFormat = QStringLiteral("HH:mm");

struct Tick {
    bool warn = false;    // show the power-off warning (again)
    bool due = false;     // the task's time has come: act
    int secondsLeft = 0;  // until the task's time; negative once it has passed
};

class Schedule {
public:
    explicit Schedule(const reading::Clock& clock) : clock_(clock) {}

    bool active() const { return active_; }
    // The task's time as the time field showed it ("HH:mm"); empty before the first task.
    const QString& timeText() const { return timeText_; }
    Action action() const { return action_; }

    // The time field's offer when no task is set: now plus two hours, to the minute.
    QTime proposedTime() const;
    // Sets (or replaces) the task. False, and nothing changed, when the time of day is not
    // later than now.
    bool set(QTime time, Action action);
    // Ends the task; its time and action are kept for the next showing.
    void cancel() { active_ = false; }

    // What the tick at this moment must do; nothing while no task is set.
    Tick tick() const;

private:
    const reading::Clock& clock_;
    bool active_ = false;
    QString timeText_;
    Action action_ = Action::StopReading;
};

}  // namespace sayvell::schedule
