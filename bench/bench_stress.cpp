// Stop and start pressed 200 times as fast as the event queue takes them, through the real
// speech engine into the unpaced null output: never two runs at once, and at the end no run
// left and the controls enabled as after a reading.
//   bench_stress [--presses N]
#include "audio/audio_engine.h"
#include "audio/audio_output.h"
#include "bench_window.h"
#include "reading/espeak_engine.h"

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <cstdio>

using namespace sayvell;
using Steady = std::chrono::steady_clock;

namespace {

// The real engine, watched: how many speak() calls run at the same moment.
class Watched : public reading::SpeechEngine {
public:
    explicit Watched(reading::SpeechEngine& inner) : inner_(inner) {}
    QList<reading::Voice> voices() override { return inner_.voices(); }
    void setVoice(const reading::Voice& v) override { inner_.setVoice(v); }
    int rate() const override { return inner_.rate(); }
    void setRate(int r) override { inner_.setRate(r); }
    void setVolume(int v) override { inner_.setVolume(v); }
    // An empty text is the stop's purge, not a reading: only pieces count.
    bool speak(const QString& text, int flags) override {
        if (text.isEmpty()) return inner_.speak(text, flags);
        const int now = ++inFlight;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {}
        ++pieces;
        const bool r = inner_.speak(text, flags);
        --inFlight;
        return r;
    }
    void waitUntilDone() override { inner_.waitUntilDone(); }
    bool setOutputFile(const QString& p, const reading::PcmFormat& f, QString* e) override {
        return inner_.setOutputFile(p, f, e);
    }
    bool setOutputDefault(QString* e) override { return inner_.setOutputDefault(e); }

    std::atomic<int> inFlight{0}, most{0}, pieces{0};

private:
    reading::SpeechEngine& inner_;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int presses = 200;
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--presses") == 0) presses = QByteArray(argv[i + 1]).toInt();

    audio::AudioEngine audio(audio::makeNullOutput(false));
    if (!audio.start()) return 1;
    reading::EspeakEngine espeak(audio);
    if (!espeak.ok()) {
        std::fprintf(stderr, "espeak-ng: %s\n", qPrintable(espeak.errorText()));
        return 1;
    }
    Watched speech(espeak);
    bench::BenchWindow bw(speech);
    ui::Tf_speaker& w = *bw.window;
    w.ui.Chk_prompt->setChecked(false);
    w.ui.Memo1->setPlainText(bench::novel(20000));

    const auto t0 = Steady::now();
    // Queued, so each press waits only for the ones before it, as keys and clicks do.
    // Every sixth start is let reach its first piece, so stops also land inside speech.
    for (int i = 0; i < presses; ++i) {
        QToolButton* b = i % 2 ? w.ui.SB_stop : w.ui.SB_play;
        QMetaObject::invokeMethod(
            b, [b] { b->click(); }, Qt::QueuedConnection);
        if (i % 4 == 3) QCoreApplication::processEvents();
        if (i % 12 == 0) {
            const int before = speech.pieces.load();
            const auto until = Steady::now() + std::chrono::seconds(2);
            while (speech.pieces.load() == before && Steady::now() < until)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
    }
    QCoreApplication::processEvents();
    w.ui.SB_stop->click();
    const auto deadline = Steady::now() + std::chrono::seconds(30);
    while ((w.runner().busy() || !w.ui.SB_play->isEnabled()) && Steady::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double ms = std::chrono::duration<double, std::milli>(Steady::now() - t0).count();

    int disabled = 0;
    for (QWidget* c : w.readingControls()) disabled += c->isEnabled() ? 0 : 1;
    const bool idle = !w.runner().busy() && !w.readingState().readingActive.load();
    std::printf("stress: %d presses of start and stop in %.0f ms; %d pieces spoken\n", presses, ms,
                speech.pieces.load());
    std::printf("runs at once: at most %d (goal 1); at the end: %s, %d of 16 reading controls disabled\n",
                speech.most.load(), idle ? "no run" : "A RUN LEFT", disabled);
    const bool ok = speech.most.load() <= 1 && idle && disabled == 0;
    audio.stop();
    std::printf("%s\n", ok ? "stress: PASS" : "stress: FAIL");
    return ok ? 0 : 1;
}
