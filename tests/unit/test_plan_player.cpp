// The player with a fake clock, timer and announcer: what it announces, in which order, and
// what the log says afterwards.
#include "plan/plan_player.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace sayvell::plan;

namespace {

const QTimeZone kTaipei("Asia/Taipei");

struct FakeTimer : WakeTimer {
    std::optional<qint64> armed;
    void armAt(qint64 s) override { armed = s; }
    void disarm() override { armed.reset(); }
};

// Finishes an announcement when told to; records what it was asked to say.
struct FakeAnnouncer : Announcer {
    std::vector<QString> said;
    Done pending;
    int stops = 0;
    void play(const Entry& e, const QString& text, Done done) override {
        said.push_back(e.name + u':' + text);
        pending = std::move(done);
    }
    void stop() override {
        ++stops;
        finish(false);
    }
    void finish(bool ok = true) {
        if (Done d = std::exchange(pending, nullptr)) d(ok, ok ? QString() : QStringLiteral("已停止"));
    }
};

Entry entry(const char* name, const char* hhmm) {
    Entry e;
    e.name = QString::fromUtf8(name);
    e.text = e.name + QStringLiteral("的文字");
    e.times = {parseTimeOfDay(QString::fromLatin1(hhmm))};
    return e;
}

class PlanPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile schema(QStringLiteral(SAYVELL_SOURCE_DIR "/resources/draft.sql"));
        ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(dir.filePath(QStringLiteral("draft.dat"))).constData(), &db);
        sqlite3_exec(db, schema.readAll().constData(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        store = PlanStore::open(dir.filePath(QStringLiteral("draft.dat")));
        ASSERT_TRUE(store);
    }
    qint64 at(const char* hhmm) const {
        return QDateTime(day, QTime::fromString(QString::fromLatin1(hhmm), QStringLiteral("HH:mm:ss")), kTaipei)
            .toSecsSinceEpoch();
    }
    // Moves the fake clock to the armed second and fires, as the kernel would.
    void fire() {
        ASSERT_TRUE(timer.armed);
        now = *timer.armed;
        timer.onWake();
    }
    std::vector<std::pair<QString, LogStatus>> logged() const {
        std::vector<std::pair<QString, LogStatus>> out;
        for (const LogRow& r : store->log(0, std::numeric_limits<qint64>::max()))
            out.emplace_back(r.entryName, r.status);
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<PlanStore> store;
    QDate day{2026, 12, 7};
    qint64 now = 0;
    FakeTimer timer;
    FakeAnnouncer announcer;
    PlayerEnv env{timer, announcer, [this] { return now; }, [] { return kTaipei; }, nullptr};
};

}  // namespace

TEST_F(PlanPlayerTest, SameSecondQueuesInPlanOrderAndAFailedFileDoesNotStopTheRest) {
    Plan p;
    p.entries = {entry("甲", "10:00:00"), entry("乙", "10:00:00"), entry("丙", "10:00:00"), entry("丁", "10:00:30")};
    p.entries[1].textFile = dir.filePath(QStringLiteral("gone.txt"));
    ASSERT_TRUE(store->save(&p));
    env.store = store.get();
    now = at("09:59:00");
    PlanPlayer player(env);
    player.setPlan(p);
    player.start();
    EXPECT_EQ(*timer.armed, at("10:00:00"));
    EXPECT_EQ(player.nextText(), QStringLiteral("下次播報：10:00 甲"));

    fire();
    ASSERT_EQ(announcer.said, (std::vector<QString>{QStringLiteral("甲:甲的文字")}));
    now += 5;
    announcer.finish();
    // 乙's file is gone: logged as failed, 丙 goes on at once.
    ASSERT_EQ(announcer.said.size(), 2u);
    EXPECT_EQ(announcer.said[1], QStringLiteral("丙:丙的文字"));
    // 丁 falls while 丙 still speaks: it waits its turn, it does not overlap.
    fire();
    EXPECT_EQ(announcer.said.size(), 2u);
    announcer.finish();
    ASSERT_EQ(announcer.said.size(), 3u);
    // Stop ends 丁 at once.
    player.stopAnnouncements();
    EXPECT_EQ(announcer.stops, 1);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(logged(), (std::vector<std::pair<QString, LogStatus>>{{QStringLiteral("甲"), LogStatus::Played},
                                                                    {QStringLiteral("乙"), LogStatus::Failed},
                                                                    {QStringLiteral("丙"), LogStatus::Played},
                                                                    {QStringLiteral("丁"), LogStatus::Failed}}));
    EXPECT_TRUE(store->log(0, at("10:00:01"))[1].detail.contains(QStringLiteral("gone.txt")));
}

TEST_F(PlanPlayerTest, ALateStartPlaysWithinGraceLogsTheOlderAsMissedAndSkipsDaysOff) {
    Plan p;
    p.entries = {entry("早", "09:00:00"), entry("中", "09:58:00"), entry("關", "09:59:00")};
    p.entries[2].enabled = false;
    ASSERT_TRUE(store->save(&p));
    env.store = store.get();
    store->setWatermark(at("08:00:00"));
    now = at("10:00:00");
    {
        PlanPlayer player(env);
        player.setPlan(p);
        player.start();
        EXPECT_EQ(announcer.said, (std::vector<QString>{QStringLiteral("中:中的文字")}));
        announcer.finish();
    }
    EXPECT_EQ(logged(), (std::vector<std::pair<QString, LogStatus>>{{QStringLiteral("早"), LogStatus::Missed},
                                                                    {QStringLiteral("中"), LogStatus::Played},
                                                                    {QStringLiteral("關"), LogStatus::Skipped}}));
    // The next player of the file carries on from there: nothing again.
    PlanPlayer again(env);
    again.setPlan(p);
    again.start();
    EXPECT_EQ(announcer.said.size(), 1u);
    EXPECT_EQ(store->logCount(), 3);
    // Play now: at once, and logged at this second.
    again.playNow(0);
    EXPECT_EQ(announcer.said.back(), QStringLiteral("早:早的文字"));
}

TEST_F(PlanPlayerTest, TheMachineIsKeptAwakeOnlyWithinTheHourBeforeAnAnnouncement) {
    struct FakeInhibitor : SleepInhibitor {
        std::vector<bool> changes;
        void setHeld(bool held) override { changes.push_back(held); }
    } inhibitor;
    env.inhibitor = &inhibitor;
    Plan p;
    p.entries = {entry("甲", "10:00:00")};
    now = at("08:30:00");
    PlanPlayer player(env);
    player.setPlan(p);
    player.start();
    EXPECT_TRUE(inhibitor.changes.empty());
    // The hourly wake at 09:30 finds it due within the hour.
    fire();
    EXPECT_EQ(now, at("09:30:00"));
    EXPECT_EQ(inhibitor.changes, std::vector<bool>{true});
    fire();
    EXPECT_EQ(now, at("10:00:00"));
    announcer.finish();  // the next is tomorrow: the machine may sleep again
    EXPECT_EQ(inhibitor.changes, (std::vector<bool>{true, false}));
}
