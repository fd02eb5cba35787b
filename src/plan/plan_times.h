#pragma once
// When a plan's entries fall: a pure function of the plan, a time zone and a moment.
#include "plan/plan.h"

#include <QTimeZone>
#include <vector>

namespace sayvell::plan {

enum class Skip { None = 0, DayOff = 1, Disabled = 2 };

struct Occurrence {
    qint64 due = 0;  // seconds since the epoch (UTC)
    int entry = 0;   // index into Plan::entries; plan order breaks ties
    QDate day;       // the local day it belongs to
    int second = 0;  // its local second of that day
    Skip skip = Skip::None;

    bool operator==(const Occurrence&) const = default;
};

// Orders occurrences as they play: by time, then plan order.
inline bool playsBefore(const Occurrence& a, const Occurrence& b) {
    return a.due != b.due ? a.due < b.due : a.entry < b.entry;
}

// Days off, working days and weekdays, indexed for quick look-ups.
class Calendar {
public:
    explicit Calendar(const Plan& plan);
    DayRule rule(QDate day) const;

private:
    std::vector<std::pair<qint64, Exception>> byJulian_;  // sorted by day
};

// The entries' local seconds on one day in plan order: those that play, and, when
// withSkipped, those kept from playing by a day off or by being switched off.
void occurrencesOnDay(const Plan& plan, const Calendar& calendar, QDate day, bool withSkipped,
                      std::vector<Occurrence>* out);

// Occurrences with from <= due <= to, in playing order. A local time that does not exist (a
// clock set forward) falls at the same offset after the jump; one that exists twice plays once.
std::vector<Occurrence> occurrencesBetween(const Plan& plan, const QTimeZone& zone, qint64 from, qint64 to,
                                           bool withSkipped = false);

// The next `count` announcements that really play, from `from` on (included), looking at most
// `horizonDays` ahead.
std::vector<Occurrence> nextOccurrences(const Plan& plan, const QTimeZone& zone, qint64 from, int count,
                                        int horizonDays = 400);

}  // namespace sayvell::plan
