#include "plan/due_tracker.h"

#include <QDateTime>
#include <limits>

namespace sayvell::plan {

DueTracker::Key DueTracker::keyOf(const Plan& plan, const Occurrence& o) {
    const Entry& e = plan.entries[std::size_t(o.entry)];
    // Stored entries by their row, so that an edit of the plan does not make them due again.
    const qint64 entry = e.id > 0 ? e.id : -1 - qint64(o.entry);
    return {o.day.toJulianDay(), entry, o.second};
}

DueTracker::Step DueTracker::advance(const Plan& plan, const QTimeZone& zone, qint64 now) {
    Step step;
    qint64 from;
    if (watermark_ <= 0)
        from = now - grace_;
    else if (watermark_ > now)  // the clock went back: what was dealt with stays dealt with
        from = now - grace_;
    else
        from = std::max(watermark_ + 1, now - kLookBackSeconds);
    for (const Occurrence& o : occurrencesBetween(plan, zone, from, now, true)) {
        const Key key = keyOf(plan, o);
        if (!done_.insert(key).second) continue;
        if (o.skip != Skip::None)
            step.skipped.push_back(o);
        else if (now - o.due <= grace_)
            step.play.push_back(o);
        else
            step.missed.push_back(o);
    }
    watermark_ = now;
    // Keys older than any look-back can reach are of no more use.
    const qint64 oldest = QDateTime::fromSecsSinceEpoch(now - kLookBackSeconds, zone).date().toJulianDay() - 2;
    done_.erase(done_.begin(), done_.lower_bound(Key{oldest, std::numeric_limits<qint64>::min(), 0}));
    return step;
}

std::optional<Occurrence> DueTracker::next(const Plan& plan, const QTimeZone& zone, qint64 now) const {
    // Few can be dealt with already (a clock set back); look past them.
    for (int count = 16;; count *= 4) {
        const std::vector<Occurrence> list = nextOccurrences(plan, zone, now + 1, count);
        for (const Occurrence& o : list)
            if (!handled(plan, o)) return o;
        if (int(list.size()) < count) return std::nullopt;
    }
}

}  // namespace sayvell::plan
