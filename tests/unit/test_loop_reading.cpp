// Loop reading on the real worker with a fake editor, engine and clock. Each tick() stands for
// one tick of the one-second timer; the fake clock moves one second per tick and by the
// length of every piece and pause.
#include "reading/loop_reading.h"
#include "reading/tts.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace sayvell;
using namespace sayvell::reading;
using sayvell::testing::FakeClock;
using sayvell::testing::FakeEditor;
using sayvell::testing::FakeSpeechEngine;

namespace {

struct PassStart {
    QDateTime at;
    QDateTime previousEnd;
};

struct Rig : LoopHost {
    ReadingState state;
    FakeEditor editor;
    FakeClock clock;
    FakeSpeechEngine engine{&editor, &clock};
    TtsRunner runner{state, editor, engine, clock};
    LoopReading loop{state, clock, *this};

    int enables = 0;
    int disables = 0;
    bool timerOn = false;
    bool startRuns = true;
    std::vector<PassStart> passes;

    explicit Rig(const QString& text, QDateTime start = QDateTime(QDate(2014, 4, 7), QTime(9, 5, 3)))
        : clock(std::move(start)) {
        editor.setText(text);
        DelimiterTable t;
        t.marks = {QStringLiteral("，"), QStringLiteral("。")};
        t.delays = {200, 600};
        state.setDelimiterTable(t);
        engine.setPieceMs(2000);
    }
    ~Rig() override { runner.shutdown(); }

    void disableControls() override { ++disables; }
    void enableControls() override { ++enables; }
    void stopTimer() override { timerOn = false; }
    void setSelection(int start, int length) override { editor.setSelection(start, length); }
    void startPass(int selStart, int selLength) override {
        passes.push_back({clock.now(), state.lastRunEndTime()});
        if (startRuns) runner.start({selStart, selLength, {}, RunMode::Range});
    }

    void arm(int count, int intervalSeconds, int selStart, int selLength) {
        editor.setSelection(selStart, selLength);
        loop.arm(count, intervalSeconds, selStart, selLength);
        timerOn = true;
    }
    // One timer tick; a pass it started is let run to its end, as it would between ticks.
    LoopReading::Tick tick() {
        clock.advance(1000);
        const LoopReading::Tick t = loop.tick();
        EXPECT_TRUE(runner.waitIdle(5000));
        return t;
    }
    int tickUntilFinished(int maxTicks) {
        for (int i = 0; i < maxTicks && timerOn; ++i) tick();
        return static_cast<int>(passes.size());
    }
};

}  // namespace

TEST(LoopReading, ReadsExactlyNPassesEachAfterTheIntervalFromThePreviousEnd) {
    Rig rig(QStringLiteral("一，二。"));
    rig.arm(3, 60, 0, 8);
    EXPECT_TRUE(rig.engine.texts().isEmpty());  // nothing before the first tick

    EXPECT_EQ(rig.tickUntilFinished(1000), 3);
    EXPECT_FALSE(rig.timerOn);
    EXPECT_EQ(rig.enables, 1);
    EXPECT_EQ(rig.disables, 1);
    EXPECT_EQ(rig.loop.loopPassesDone(), 3);
    EXPECT_EQ(rig.engine.texts(), (QStringList{"一，", "二。", "一，", "二。", "一，", "二。"}));
    for (size_t k = 1; k < rig.passes.size(); ++k) {
        const qint64 waited = rig.passes[k].previousEnd.msecsTo(rig.passes[k].at);
        EXPECT_GT(waited, 60000) << "pass " << k + 1;
        EXPECT_LE(waited, 61000) << "pass " << k + 1;  // the first tick past the interval
    }
    // Passes are range runs: the controls stay disabled between them.
    EXPECT_EQ(rig.editor.finishedCount(), 0);

    for (int i = 0; i < 200; ++i) rig.loop.tick();
    EXPECT_EQ(rig.passes.size(), 3u);
}

TEST(LoopReading, OnePassEndsTheLoopOnTheNextTick) {
    Rig rig(QStringLiteral("一。"));
    rig.startRuns = false;
    rig.arm(1, 60, 0, 4);
    EXPECT_EQ(rig.tick(), LoopReading::Tick::FirstPass);
    EXPECT_TRUE(rig.timerOn);  // the pass is still running
    rig.state.readingActive = false;
    EXPECT_EQ(rig.tick(), LoopReading::Tick::Finished);
    EXPECT_FALSE(rig.timerOn);
    EXPECT_EQ(rig.enables, 1);
}

TEST(LoopReading, AnIntervalReachingPastMidnightStillEnds) {
    Rig rig(QStringLiteral("一，二。"), QDateTime(QDate(2014, 4, 7), QTime(23, 59, 30)));
    rig.arm(2, 60, 0, 8);
    EXPECT_EQ(rig.tickUntilFinished(200), 2);
    EXPECT_EQ(rig.passes[1].at.date(), QDate(2014, 4, 8));
    const qint64 waited = rig.passes[1].previousEnd.msecsTo(rig.passes[1].at);
    EXPECT_GT(waited, 60000);
    EXPECT_LE(waited, 61000);
}

TEST(LoopReading, StopDuringTheIntervalStartsNoFurtherPass) {
    Rig rig(QStringLiteral("一，二。"));
    rig.arm(5, 10, 0, 8);
    rig.tick();
    rig.tick();
    ASSERT_EQ(rig.passes.size(), 1u);
    ASSERT_FALSE(rig.state.readingActive.load());
    rig.loop.disarm();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(rig.tick(), LoopReading::Tick::Nothing);
    EXPECT_EQ(rig.passes.size(), 1u);
    EXPECT_EQ(rig.engine.texts().size(), 2);
}

TEST(LoopReading, EveryPassReadsTheRangeChosenAtTheStart) {
    // The range is the second sentence, bytes 8..16.
    Rig rig(QStringLiteral("甲，乙。丙，丁。戊。"));
    rig.arm(2, 5, 8, 8);
    rig.tick();
    ASSERT_EQ(rig.engine.texts(), (QStringList{"丙，", "丁。"}));
    // The user clicks elsewhere and edits the range's first character during the interval.
    rig.editor.setSelection(0, 0);
    rig.editor.setText(QStringLiteral("甲，乙。兩，丁。戊。"));
    rig.tickUntilFinished(100);
    const auto spoken = rig.engine.spoken();
    ASSERT_EQ(spoken.size(), 4u);
    EXPECT_EQ(spoken[2].text, QStringLiteral("兩，"));
    EXPECT_EQ(spoken[3].text, QStringLiteral("丁。"));
    EXPECT_EQ(std::make_pair(spoken[2].selStart, spoken[2].selLength), std::make_pair(8, 4));
    EXPECT_EQ(std::make_pair(spoken[3].selStart, spoken[3].selLength), std::make_pair(12, 4));
}

TEST(LoopReading, FirstPassStartsEvenWhenAnEarlierRunEndedAfterArming) {
    // Stop-then-loop: the stopped run ends after its piece, clearing readingActive, before
    // the loop's first tick.
    Rig rig(QStringLiteral("一，二。"));
    rig.arm(2, 1, 0, 8);
    rig.state.readingActive = false;
    EXPECT_EQ(rig.tick(), LoopReading::Tick::FirstPass);
    EXPECT_EQ(rig.tickUntilFinished(20), 2);
}

TEST(LoopReading, IntervalIsNotMeasuredFromAnEndTimeNotYetRecorded) {
    Rig rig(QStringLiteral("一。"));
    rig.startRuns = false;
    rig.arm(2, 60, 0, 4);
    rig.state.setLastRunEndTime(rig.clock.now().addSecs(-3600));  // an older run's end
    rig.tick();
    // The worker has cleared readingActive but not yet written the end time of this pass.
    rig.state.readingActive = false;
    EXPECT_EQ(rig.tick(), LoopReading::Tick::Nothing);
    rig.state.setLastRunEndTime(rig.clock.now());
    int ticks = 0;
    while (rig.passes.size() < 2 && ticks < 100) {
        rig.tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 61);
}

TEST(LoopReading, HugeCountsAndIntervalsDoNotOverflow) {
    Rig rig(QStringLiteral("一。"));
    rig.startRuns = false;
    rig.arm(1000000, 10000000, 0, 4);
    rig.tick();
    rig.state.readingActive = false;
    rig.state.setLastRunEndTime(rig.clock.now());
    rig.tick();
    for (int i = 0; i < 9; ++i) rig.clock.advance(1000000000);  // 104 days
    EXPECT_EQ(rig.tick(), LoopReading::Tick::Nothing);
    rig.clock.advance(1000000000);
    EXPECT_EQ(rig.tick(), LoopReading::Tick::NextPass);
    EXPECT_EQ(rig.loop.loopPassesDone(), 2);
}
