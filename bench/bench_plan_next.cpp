// The next 1,000 announcements of a year-long plan: 500 entries (times of day, every-N-minute
// ranges, weekday sets, date ranges) and 50 exceptions. Goal: at most 10 ms (median).
#include "plan/due_tracker.h"
#include "plan/plan_times.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace sayvell::plan;

int main() {
    std::mt19937 rng(17);
    Plan plan;
    const QDate jan1(2027, 1, 1);
    for (int i = 0; i < 500; ++i) {
        Entry e;
        e.id = i + 1;
        e.name = QStringLiteral("項目%1").arg(i);
        e.text = QStringLiteral("各位顧客您好");
        if (i % 5 == 0) {
            e.everyMinutes = 15 + int(rng() % 4) * 15;
            e.fromSecond = 8 * 3600 + int(rng() % 4) * 1800;
            e.toSecond = 20 * 3600 + int(rng() % 4) * 900;
        } else {
            for (int k = 0, n = 1 + int(rng() % 3); k < n; ++k)
                e.times.push_back(int(rng() % (16 * 60)) * 60 + 7 * 3600);
        }
        e.weekdays = quint8(1 + rng() % 127);
        if (i % 3 == 0) {
            e.firstDate = jan1.addDays(int(rng() % 200));
            e.lastDate = e.firstDate.addDays(30 + int(rng() % 200));
        }
        e.onDaysOff = i % 17 == 0;
        plan.entries.push_back(e);
    }
    for (int k = 0; k < 50; ++k)
        plan.exceptions.push_back(
            {jan1.addDays(int(rng() % 365)), k % 5 ? DayKind::DayOff : DayKind::WorkingDay, 1 + k % 7, {}});

    const QTimeZone zone = QTimeZone::systemTimeZone();
    std::vector<double> ms;
    std::size_t found = 0;
    for (int run = 0; run < 40; ++run) {
        const qint64 from = QDateTime(jan1.addDays(run * 9), QTime(6, 0), zone).toSecsSinceEpoch();
        QElapsedTimer t;
        t.start();
        const auto next = nextOccurrences(plan, zone, from, 1000);
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        found = next.size();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("next 1000 of 500 entries, 50 exceptions: %zu found, median %.2f ms, max %.2f ms (goal <= 10 ms)\n",
                found, ms[ms.size() / 2], ms.back());

    // The player's question at each wake: what falls next, after what was dealt with.
    DueTracker tracker;
    const qint64 now = QDateTime(jan1.addDays(100), QTime(12, 0), zone).toSecsSinceEpoch();
    tracker.setWatermark(now - 60);
    QElapsedTimer t;
    t.start();
    tracker.advance(plan, zone, now);
    const auto n = tracker.next(plan, zone, now);
    std::printf("one wake (advance + next): %.2f ms%s\n", double(t.nsecsElapsed()) / 1e6, n ? "" : " (none due)");
    return ms[ms.size() / 2] <= 10.0 ? 0 : 1;
}
