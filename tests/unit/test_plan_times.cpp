// When a plan's announcements fall, and how the tracker deals with late, missed and repeated
// moments. A fake "now" only: nothing waits.
#include "plan/due_tracker.h"
#include "plan/plan_times.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace sayvell::plan;

namespace {

const QTimeZone kTaipei("Asia/Taipei");

int at(const char* hhmm) { return parseTimeOfDay(QString::fromLatin1(hhmm)); }

qint64 moment(QDate day, const char* hhmm, const QTimeZone& zone = kTaipei) {
    return QDateTime(day, QTime::fromMSecsSinceStartOfDay(at(hhmm) * 1000), zone).toSecsSinceEpoch();
}

Entry entry(const char* name, std::vector<int> times, quint8 weekdays = 0x7f) {
    Entry e;
    e.name = QString::fromUtf8(name);
    e.text = QStringLiteral("各位顧客您好");
    e.times = std::move(times);
    e.weekdays = weekdays;
    return e;
}

constexpr quint8 kWeekdays = 0x1f, kWeekend = 0x60;

// The supermarket: opening greeting, offers every 30 minutes, closing notice; weekend texts;
// a holiday on Wednesday 2026-12-09 and a make-up Saturday (2026-12-12) following Monday.
Plan shopPlan() {
    Plan p;
    p.entries.push_back(entry("開門", {at("09:00")}, kWeekdays));
    Entry offers = entry("優惠", {}, kWeekdays);
    offers.everyMinutes = 30;
    offers.fromSecond = at("10:00");
    offers.toSecond = at("21:00");
    p.entries.push_back(offers);
    p.entries.push_back(entry("打烊", {at("21:45")}, kWeekdays));
    p.entries.push_back(entry("週末開門", {at("10:00")}, kWeekend));
    p.entries.push_back(entry("週末打烊", {at("21:45")}, kWeekend));
    p.exceptions.push_back({QDate(2026, 12, 9), DayKind::DayOff, 1, QStringLiteral("公休")});
    p.exceptions.push_back({QDate(2026, 12, 12), DayKind::WorkingDay, 1, QStringLiteral("補班")});
    for (std::size_t i = 0; i < p.entries.size(); ++i) p.entries[i].id = qint64(i) + 1;
    return p;
}

}  // namespace

TEST(PlanTimes, AShopWeekFallsAsPlannedWithAHolidayAndAMakeUpSaturday) {
    const Plan p = shopPlan();
    const QDate monday(2026, 12, 7);
    const std::vector<Occurrence> week =
        occurrencesBetween(p, kTaipei, moment(monday, "00:00"), moment(monday.addDays(7), "00:00") - 1);
    std::map<QDate, std::vector<QString>> byDay;
    for (const Occurrence& o : week) {
        EXPECT_EQ(o.due, moment(o.day, formatTimeOfDay(o.second).toLatin1().constData()));
        byDay[o.day].push_back(p.entries[std::size_t(o.entry)].name + u' ' + formatTimeOfDay(o.second));
    }
    // Weekdays: 1 + 23 + 1; the holiday none; Saturday as a Monday; Sunday the weekend texts.
    EXPECT_EQ(byDay[monday].size(), 25u);
    EXPECT_EQ(byDay[monday].front(), QStringLiteral("開門 09:00"));
    EXPECT_EQ(byDay[monday][1], QStringLiteral("優惠 10:00"));
    EXPECT_EQ(byDay[monday][23], QStringLiteral("優惠 21:00"));
    EXPECT_EQ(byDay[monday].back(), QStringLiteral("打烊 21:45"));
    EXPECT_EQ(byDay.count(QDate(2026, 12, 9)), 0u);
    EXPECT_EQ(byDay[QDate(2026, 12, 12)], byDay[monday]);
    EXPECT_EQ(byDay[QDate(2026, 12, 13)],
              (std::vector<QString>{QStringLiteral("週末開門 10:00"), QStringLiteral("週末打烊 21:45")}));
    EXPECT_EQ(week.size(), 5u * 25u + 2u);

    // The holiday's announcements are there to be logged as skipped, not played.
    const auto withSkipped =
        occurrencesBetween(p, kTaipei, moment(QDate(2026, 12, 9), "00:00"), moment(QDate(2026, 12, 9), "23:59"), true);
    ASSERT_EQ(withSkipped.size(), 25u);
    EXPECT_EQ(withSkipped.front().skip, Skip::DayOff);
}

TEST(PlanTimes, EntriesOfTheSameSecondPlayInPlanOrderAndBoundsAreKept) {
    Plan p;
    p.entries.push_back(entry("B", {at("12:00")}));
    p.entries.push_back(entry("A", {at("12:00"), at("08:00")}));
    Entry ranged = entry("C", {at("12:00")});
    ranged.firstDate = QDate(2026, 12, 8);
    ranged.lastDate = QDate(2026, 12, 8);
    p.entries.push_back(ranged);
    Entry off = entry("D", {at("12:00")});
    off.enabled = false;
    p.entries.push_back(off);
    const auto next = nextOccurrences(p, kTaipei, moment(QDate(2026, 12, 7), "10:00"), 6);
    std::vector<std::pair<int, QDate>> got;
    for (const auto& o : next) got.emplace_back(o.entry, o.day);
    const QDate d7(2026, 12, 7), d8(2026, 12, 8);
    EXPECT_EQ(got, (std::vector<std::pair<int, QDate>>{{0, d7}, {1, d7}, {1, d8}, {0, d8}, {1, d8}, {2, d8}}));
}

TEST(PlanTimes, AFollowedTimeZoneAndItsClockChangesAreRespected) {
    const QTimeZone berlin("Europe/Berlin");
    Plan p;
    p.entries.push_back(entry("早", {at("02:30"), at("09:00")}));
    // 2027-03-28: 02:30 does not exist in Berlin; it falls after the jump, once.
    const auto spring = occurrencesBetween(p, berlin, moment(QDate(2027, 3, 28), "00:00", berlin),
                                           moment(QDate(2027, 3, 28), "23:00", berlin));
    ASSERT_EQ(spring.size(), 2u);
    EXPECT_EQ(spring[1].due - spring[0].due, 9 * 3600 - 2 * 3600 - 30 * 60 - 3600);
    // The same plan in another zone falls at that zone's local times.
    const auto taipei = nextOccurrences(p, kTaipei, moment(QDate(2026, 12, 7), "08:00"), 1);
    ASSERT_EQ(taipei.size(), 1u);
    EXPECT_EQ(taipei[0].due, moment(QDate(2026, 12, 7), "09:00"));
}

TEST(DueTracker, AWeekPlayedWithAFakeClockPlaysEachAtItsSecondAndNeverTwice) {
    const Plan p = shopPlan();
    DueTracker t;
    qint64 now = moment(QDate(2026, 12, 7), "00:00");
    t.setWatermark(now);
    int played = 0;
    const qint64 end = now + 7 * 86400;
    while (auto n = t.next(p, kTaipei, now)) {
        if (n->due >= end) break;
        now = n->due;
        const auto step = t.advance(p, kTaipei, now);
        ASSERT_FALSE(step.play.empty());
        for (const auto& o : step.play) EXPECT_EQ(o.due, now);
        EXPECT_TRUE(step.missed.empty());
        played += int(step.play.size());
    }
    EXPECT_EQ(played, 5 * 25 + 2);
}

TEST(DueTracker, SuspendClockJumpsAndZoneChanges) {
    Plan p;
    p.entries.push_back(entry("甲", {at("10:00")}));
    p.entries.push_back(entry("乙", {at("10:12")}));
    p.entries.push_back(entry("丙", {at("11:00")}));
    for (std::size_t i = 0; i < p.entries.size(); ++i) p.entries[i].id = qint64(i) + 1;
    const QDate d(2026, 12, 7);
    DueTracker t;
    t.setWatermark(moment(d, "09:55"));
    // Asleep 09:55 to 10:15: 10:00 is later than the grace time, 10:12 within it.
    auto step = t.advance(p, kTaipei, moment(d, "10:15"));
    ASSERT_EQ(step.missed.size(), 1u);
    EXPECT_EQ(step.missed[0].entry, 0);
    ASSERT_EQ(step.play.size(), 1u);
    EXPECT_EQ(step.play[0].entry, 1);
    // Clock set back an hour: nothing plays again, and 11:00 is still to come.
    step = t.advance(p, kTaipei, moment(d, "09:15"));
    EXPECT_TRUE(step.play.empty() && step.missed.empty());
    EXPECT_EQ(t.next(p, kTaipei, moment(d, "09:15"))->entry, 2);
    step = t.advance(p, kTaipei, moment(d, "10:12"));
    EXPECT_TRUE(step.play.empty() && step.missed.empty());
    // Moved one zone west: 10:12 local comes round again one hour later, and is not replayed.
    const QTimeZone west(8 * 3600 - 3600);
    step = t.advance(p, west, moment(d, "10:13", west));
    EXPECT_TRUE(step.play.empty());
    EXPECT_EQ(t.next(p, west, moment(d, "10:13", west))->due, moment(d, "11:00", west));
}
