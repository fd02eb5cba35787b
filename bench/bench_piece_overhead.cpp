// Per-piece cost of reading, everything but speech, at the start and the end of a 20 MB
// Big5 text. Speech and pauses take no time here, so what is measured is the worker's own
// work: editor round trips to the UI thread, cutting, selecting, scrolling.
#include "bench_window.h"
#include "ui/common/memo_port.h"
#include "ui/shell/tf_speaker.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

using namespace sayvell;
using Steady = std::chrono::steady_clock;

namespace {

// Counts pieces and stops the run after `limit` of them.
class CountingEngine : public testing::FakeSpeechEngine {
public:
    bool speak(const QString& text, int flags) override {
        if (text.isEmpty()) return true;
        times.push_back(Steady::now());
        if (static_cast<int>(times.size()) == limit && runner) runner->requestStop();
        (void)flags;
        return true;
    }
    std::vector<Steady::time_point> times;
    int limit = 0;
    reading::TtsRunner* runner = nullptr;
};

double perPieceMs(ui::Tf_speaker& w, CountingEngine& engine, int caretByte, int pieces) {
    engine.times.clear();
    engine.limit = pieces;
    engine.runner = &w.runner();
    w.memoPort().setSelStart(caretByte);
    w.SB_playClick();
    while (w.runner().busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    if (engine.times.size() < 2) return -1;
    const auto span = engine.times.back() - engine.times.front();
    return std::chrono::duration<double, std::milli>(span).count() / double(engine.times.size() - 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CountingEngine engine;
    bench::BenchWindow bw(engine);
    ui::Tf_speaker& w = *bw.window;
    const QString text = bench::novel(20 * 1000 * 1000);
    const auto loadStart = Steady::now();
    w.ui.Memo1->setPlainText(text);
    QCoreApplication::processEvents();
    const double loadMs = std::chrono::duration<double, std::milli>(Steady::now() - loadStart).count();
    const int bytes = w.memoPort().bytes().byteLength();

    const int pieces = 300;
    const double atStart = perPieceMs(w, engine, 0, pieces);
    const double atEnd = perPieceMs(w, engine, bytes - pieces * 50, pieces);
    std::printf("text: %.1f MB of Big5 (%d bytes), loaded in %.0f ms\n", bytes / 1e6, bytes, loadMs);
    std::printf("per-piece overhead at the start: %.3f ms\n", atStart);
    std::printf("per-piece overhead at the end:   %.3f ms\n", atEnd);
    std::printf("difference: %.1f %% (goal: both <= 2 ms, within 20 %%)\n",
                100.0 * std::abs(atEnd - atStart) / std::max(atStart, 1e-9));
    return 0;
}
