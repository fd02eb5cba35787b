#include "plan/plan_times.h"

#include <QDateTime>
#include <algorithm>

namespace sayvell::plan {

Calendar::Calendar(const Plan& plan) {
    byJulian_.reserve(plan.exceptions.size());
    for (const Exception& e : plan.exceptions)
        if (e.date.isValid()) byJulian_.emplace_back(e.date.toJulianDay(), e);
    // The last one given for a date wins: a stable sort keeps their order, the look-up takes the last.
    std::stable_sort(byJulian_.begin(), byJulian_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

DayRule Calendar::rule(QDate day) const {
    const qint64 j = day.toJulianDay();
    auto it =
        std::upper_bound(byJulian_.begin(), byJulian_.end(), j, [](qint64 v, const auto& e) { return v < e.first; });
    if (it != byJulian_.begin() && std::prev(it)->first == j) {
        const Exception& e = std::prev(it)->second;
        if (e.kind == DayKind::DayOff) return {true, day.dayOfWeek()};
        return {false, std::clamp(e.followsWeekday, 1, 7)};
    }
    return {false, day.dayOfWeek()};
}

namespace {

// Every second of the day an entry names, sorted, without repeats.
std::vector<int> secondsOf(const Entry& e) {
    std::vector<int> s;
    for (int t : e.times)
        if (t >= 0 && t < kSecondsPerDay) s.push_back(t);
    if (e.everyMinutes > 0 && e.fromSecond >= 0 && e.toSecond < kSecondsPerDay && e.fromSecond <= e.toSecond)
        for (int t = e.fromSecond; t <= e.toSecond; t += e.everyMinutes * 60) s.push_back(t);
    std::sort(s.begin(), s.end());
    s.erase(std::unique(s.begin(), s.end()), s.end());
    return s;
}

bool inDates(const Entry& e, QDate day) {
    return (!e.firstDate.isValid() || day >= e.firstDate) && (!e.lastDate.isValid() || day <= e.lastDate);
}

struct Expanded {
    std::vector<std::vector<int>> seconds;
    explicit Expanded(const Plan& plan) {
        seconds.reserve(plan.entries.size());
        for (const Entry& e : plan.entries) seconds.push_back(secondsOf(e));
    }
};

void collectDay(const Plan& plan, const Expanded& x, const Calendar& calendar, QDate day, bool withSkipped,
                std::vector<Occurrence>* out) {
    const DayRule rule = calendar.rule(day);
    const int realWeekday = day.dayOfWeek();
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const Entry& e = plan.entries[i];
        if (!inDates(e, day)) continue;
        Skip skip = Skip::None;
        if (rule.dayOff) {
            if (!e.playsOnWeekday(realWeekday)) continue;
            if (!e.onDaysOff) skip = Skip::DayOff;
        } else if (!e.playsOnWeekday(rule.weekday)) {
            continue;
        }
        if (skip == Skip::None && !e.enabled) skip = Skip::Disabled;
        if (skip != Skip::None && !withSkipped) continue;
        for (int s : x.seconds[i]) out->push_back({0, int(i), day, s, skip});
    }
}

// Gives each occurrence of one day its moment in the zone.
void placeDay(const QTimeZone& zone, QDate day, Occurrence* first, Occurrence* last) {
    const QDateTime start(day, QTime(0, 0), zone);
    const QDateTime next(day.addDays(1), QTime(0, 0), zone);
    const qint64 s0 = start.toSecsSinceEpoch();
    if (next.toSecsSinceEpoch() - s0 == kSecondsPerDay && start.offsetFromUtc() == next.offsetFromUtc()) {
        for (Occurrence* o = first; o != last; ++o) o->due = s0 + o->second;
        return;
    }
    for (Occurrence* o = first; o != last; ++o)
        o->due = QDateTime(day, QTime::fromMSecsSinceStartOfDay(o->second * 1000), zone).toSecsSinceEpoch();
}

QDate localDay(const QTimeZone& zone, qint64 secs) { return QDateTime::fromSecsSinceEpoch(secs, zone).date(); }

template <typename Keep>
void walkDays(const Plan& plan, const QTimeZone& zone, qint64 from, QDate lastDay, bool withSkipped, Keep keep) {
    const Expanded x(plan);
    const Calendar calendar(plan);
    std::vector<Occurrence> day;
    // A day starts before its local midnight in no zone by more than a day: begin a day early.
    for (QDate d = localDay(zone, from).addDays(-1); d <= lastDay; d = d.addDays(1)) {
        day.clear();
        collectDay(plan, x, calendar, d, withSkipped, &day);
        if (day.empty()) continue;
        placeDay(zone, d, day.data(), day.data() + day.size());
        std::sort(day.begin(), day.end(), playsBefore);
        if (!keep(day)) return;
    }
}

}  // namespace

void occurrencesOnDay(const Plan& plan, const Calendar& calendar, QDate day, bool withSkipped,
                      std::vector<Occurrence>* out) {
    collectDay(plan, Expanded(plan), calendar, day, withSkipped, out);
}

std::vector<Occurrence> occurrencesBetween(const Plan& plan, const QTimeZone& zone, qint64 from, qint64 to,
                                           bool withSkipped) {
    std::vector<Occurrence> out;
    if (to < from) return out;
    walkDays(plan, zone, from, localDay(zone, to).addDays(1), withSkipped, [&](const std::vector<Occurrence>& day) {
        for (const Occurrence& o : day)
            if (o.due >= from && o.due <= to) out.push_back(o);
        return true;
    });
    // Days overlap only around a change of offset; keep the playing order across them.
    std::stable_sort(out.begin(), out.end(), playsBefore);
    return out;
}

std::vector<Occurrence> nextOccurrences(const Plan& plan, const QTimeZone& zone, qint64 from, int count,
                                        int horizonDays) {
    std::vector<Occurrence> out;
    if (count <= 0) return out;
    const QDate last = localDay(zone, from).addDays(horizonDays);
    bool full = false;
    walkDays(plan, zone, from, last, false, [&](const std::vector<Occurrence>& day) {
        // One day more than needed settles the order should two days overlap around an offset change.
        if (full) {
            const qint64 limit = out.back().due;
            for (const Occurrence& o : day)
                if (o.due >= from && o.due < limit) out.push_back(o);
            return false;
        }
        for (const Occurrence& o : day)
            if (o.due >= from) out.push_back(o);
        full = int(out.size()) >= count;
        return true;
    });
    std::stable_sort(out.begin(), out.end(), playsBefore);
    if (int(out.size()) > count) out.resize(std::size_t(count));
    return out;
}

}  // namespace sayvell::plan
