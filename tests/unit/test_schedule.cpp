// The scheduled task's rules on a fake clock: times of day only, a past time refused, the
// warning of the last five minutes before a power-off.
#include "schedule/schedule.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace sayvell;
using sayvell::testing::FakeClock;
using schedule::Action;
using schedule::Schedule;

namespace {

QDateTime at(int h, int m, int s = 0) { return QDateTime(QDate(2014, 4, 7), QTime(h, m, s)); }

}  // namespace

TEST(Schedule, RefusesATimeNotLaterThanNowAndKeepsTheTaskItHad) {
    FakeClock clock(at(10, 0, 30));
    Schedule s(clock);
    EXPECT_EQ(s.proposedTime(), QTime(12, 0));

    EXPECT_FALSE(s.set(QTime(9, 59), Action::StopReading));
    // The field shows minutes only: 10:00 is already past at 10:00:30.
    EXPECT_FALSE(s.set(QTime(10, 0), Action::StopReading));
    EXPECT_FALSE(s.active());

    ASSERT_TRUE(s.set(QTime(22, 30, 45), Action::PowerOff));
    EXPECT_EQ(s.timeText(), QStringLiteral("22:30"));
    EXPECT_FALSE(s.set(QTime(9, 0), Action::StopReading));
    EXPECT_TRUE(s.active());
    EXPECT_EQ(s.action(), Action::PowerOff);
    EXPECT_EQ(s.timeText(), QStringLiteral("22:30"));

    s.cancel();
    EXPECT_FALSE(s.active());
    EXPECT_FALSE(s.tick().due);
    EXPECT_EQ(s.timeText(), QStringLiteral("22:30"));  // kept for the next showing

    // Two hours from 23:10 is tomorrow's 01:10, which as a time of day is past.
    FakeClock late(at(23, 10, 59));
    Schedule night(late);
    EXPECT_EQ(night.proposedTime(), QTime(1, 10));
    EXPECT_FALSE(night.set(night.proposedTime(), Action::StopReading));
}

TEST(Schedule, WarnsInTheLastFiveMinutesOfAPowerOffAndActsFromItsTimeUntilMidnight) {
    FakeClock clock(at(22, 0));
    Schedule s(clock);
    ASSERT_TRUE(s.set(QTime(22, 30), Action::PowerOff));
    clock.advance((24 * 60 + 59) * 1000);  // 22:24:59
    EXPECT_FALSE(s.tick().warn);
    clock.advance(1000);  // 22:25:00
    EXPECT_TRUE(s.tick().warn);
    EXPECT_FALSE(s.tick().due);
    EXPECT_EQ(s.tick().secondsLeft, 300);
    clock.advance(299 * 1000);
    EXPECT_FALSE(s.tick().due);
    clock.advance(1000);  // 22:30:00
    EXPECT_TRUE(s.tick().due);

    // A stop task has no warning, stays due up to midnight and is not due after it.
    FakeClock day(at(23, 0));
    Schedule stop(day);
    ASSERT_TRUE(stop.set(QTime(23, 59), Action::StopReading));
    day.advance(58 * 60 * 1000);  // 23:58
    EXPECT_FALSE(stop.tick().warn);
    EXPECT_FALSE(stop.tick().due);
    day.advance(60 * 1000 + 59 * 1000);  // 23:59:59
    EXPECT_TRUE(stop.tick().due);
    day.advance(1000);  // 00:00:00 the next day
    EXPECT_FALSE(stop.tick().due);
    day.advance((23 * 3600 + 59 * 60) * 1000);  // 23:59 again
    EXPECT_TRUE(stop.tick().due);
}

TEST(Schedule, APowerOffJustAfterMidnightWarnsAtOnceRatherThanFromTheEveningBefore) {
    FakeClock clock(at(0, 1));
    Schedule s(clock);
    ASSERT_TRUE(s.set(QTime(0, 3), Action::PowerOff));
    const schedule::Tick t = s.tick();
    EXPECT_TRUE(t.warn);
    EXPECT_FALSE(t.due);
    EXPECT_EQ(t.secondsLeft, 120);
}
