// Pause accuracy as heard: the reading worker speaks "一，" several times through espeak-ng into
// the private PulseAudio's null sink, with the comma's pause set to 0, 200, 600 and 2000 ms.
// For each, error = measured silence - configured pause - the engine's own silence (the
// silence measured with pause 0). Goal: |error| <= 25 ms.
// Run under tests/support/with_pulse.sh.
#include "audio/audio_engine.h"
#include "audio/audio_output.h"
#include "reading/espeak_engine.h"
#include "reading/tts.h"
#include "support/fakes.h"
#include "support/sound_capture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace sayvell;
using namespace sayvell::testing;

namespace {

constexpr int kPieces = 6;

std::vector<double> gaps(reading::TtsRunner& runner, reading::ReadingState& state, FakeEditor& editor, int pauseMs) {
    reading::DelimiterTable t;
    t.marks = {QStringLiteral("，")};
    t.delays[0] = pauseMs;
    state.setDelimiterTable(t);
    QString text;
    for (int i = 0; i < kPieces; ++i) text += QStringLiteral("一，");
    editor.setText(text);
    editor.setSelection(0, 0);
    state.beginRun();
    MonitorRecorder recorder;
    std::string error;
    if (!recorder.start(&error)) {
        std::fprintf(stderr, "cannot record: %s\n", error.c_str());
        return {};
    }
    runner.start({0, 0});
    runner.waitIdle(120000);
    recorder.waitForSamples(recorder.sampleCount() + MonitorRecorder::kRate / 3, 3000);
    const auto bursts = findBursts(recorder.stop(), MonitorRecorder::kRate, -45.0, 15);
    std::vector<double> out;
    for (size_t i = 0; i + 1 < bursts.size(); ++i) out.push_back(bursts[i + 1].startMs - bursts[i].endMs);
    if (bursts.size() != static_cast<size_t>(kPieces))
        std::fprintf(stderr, "pause %d: heard %zu bursts, expected %d\n", pauseMs, bursts.size(), kPieces);
    return out;
}

double median(std::vector<double> v) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    if (!pulseAvailable()) {
        std::fprintf(stderr, "no private PulseAudio: run under tests/support/with_pulse.sh\n");
        return 2;
    }
    audio::AudioEngine audio(audio::makePulseOutput(QStringLiteral("Sayvell pause bench")));
    QString startError;
    if (!audio.start(&startError) || !audio.hasSound()) {
        std::fprintf(stderr, "no sound output: %s\n", qPrintable(startError));
        return 2;
    }
    int worstAbs = 0;
    {
        reading::EspeakEngine speech(audio);
        if (!speech.ok()) {
            std::fprintf(stderr, "espeak-ng did not start\n");
            return 2;
        }
        speech.setVoice(speech.voices().front());
        reading::ReadingState state;
        FakeEditor editor;
        reading::SystemClock clock;
        reading::TtsRunner runner(state, editor, speech, clock);

        const double own = median(gaps(runner, state, editor, 0));
        std::printf("engine's own silence between pieces: %.1f ms\n", own);
        std::printf("%8s %10s %10s %10s %10s\n", "pause", "median", "min err", "max err", "pieces");
        for (int pause : {0, 200, 600, 2000}) {
            const std::vector<double> g = gaps(runner, state, editor, pause);
            double lo = 1e9, hi = -1e9;
            for (double x : g) {
                lo = std::min(lo, x - pause - own);
                hi = std::max(hi, x - pause - own);
            }
            std::printf("%6d ms %7.1f ms %7.1f ms %7.1f ms %10zu\n", pause, median(g), lo, hi, g.size() + 1);
            worstAbs = std::max(worstAbs, static_cast<int>(std::ceil(std::max(std::abs(lo), std::abs(hi)))));
        }
        runner.shutdown();
    }
    audio.stop();
    std::printf("worst |error| %d ms (goal <= 25 ms): %s\n", worstAbs, worstAbs <= 25 ? "met" : "MISSED");
    return 0;
}
