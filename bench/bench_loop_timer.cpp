// Loop reading timer: how late each pass after the first starts, measured as
//   start of pass k+1 - (end of pass k + interval).
// The goal is at most one tick (1.05 s). Runs the real worker, the real one-second Qt timer and
// the system clock; the speech engine is a stand-in whose pieces take real time.
#include "reading/loop_reading.h"
#include "reading/tts.h"
#include "support/fakes.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

using namespace sayvell;
using namespace sayvell::reading;

namespace {

// Each piece sounds for pieceMs of real time.
class TimedEngine : public testing::FakeSpeechEngine {
public:
    explicit TimedEngine(int pieceMs) : pieceMs_(pieceMs) {}
    bool speak(const QString& text, int flags) override {
        const bool done = FakeSpeechEngine::speak(text, flags);
        if (!text.isEmpty()) std::this_thread::sleep_for(std::chrono::milliseconds(pieceMs_));
        return done;
    }

private:
    int pieceMs_;
};

struct Host : LoopHost {
    TtsRunner* runner = nullptr;
    QTimer* timer = nullptr;
    ReadingState* state = nullptr;
    std::vector<QDateTime> starts;
    std::vector<QDateTime> previousEnds;
    bool finished = false;

    void disableControls() override {}
    void enableControls() override { finished = true; }
    void stopTimer() override { timer->stop(); }
    void setSelection(int, int) override {}
    void startPass(int selStart, int selLength) override {
        starts.push_back(QDateTime::currentDateTime());
        previousEnds.push_back(state->lastRunEndTime());
        runner->start({selStart, selLength, {}, reading::RunMode::Range});
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 6;
    const int intervalS = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;

    ReadingState state;
    DelimiterTable table;
    table.marks = {QStringLiteral("，"), QStringLiteral("。")};
    table.delays = {200, 600};
    state.setDelimiterTable(table);
    testing::FakeEditor editor(QStringLiteral("一，二。三，四。"));
    TimedEngine engine(300);
    SystemClock clock;
    TtsRunner runner(state, editor, engine, clock);
    Host host;
    QTimer readcycled;
    readcycled.setInterval(1000);
    host.runner = &runner;
    host.timer = &readcycled;
    host.state = &state;
    LoopReading loop(state, clock, host);
    QObject::connect(&readcycled, &QTimer::timeout, [&] {
        loop.tick();
        if (host.finished) app.quit();
    });

    editor.setSelection(0, 16);
    loop.arm(passes, intervalS, 0, 16);
    readcycled.start();
    std::printf("loop timer: %d passes, interval %d s, tick 1000 ms\n", passes, intervalS);
    app.exec();
    runner.shutdown();

    double worst = 0;
    for (size_t k = 1; k < host.starts.size(); ++k) {
        const double late = (host.previousEnds[k].msecsTo(host.starts[k]) - intervalS * 1000.0) / 1000.0;
        worst = std::max(worst, late);
        std::printf("  pass %zu: started %.3f s after end of pass %zu + interval\n", k + 1, late, k);
    }
    std::printf("worst lateness %.3f s (goal <= 1.05 s): %s\n", worst, worst <= 1.05 ? "met" : "MISSED");
    return host.starts.size() == static_cast<size_t>(passes) ? 0 : 1;
}
