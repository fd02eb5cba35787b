// Pauses, the delay symbol, rate and volume as heard: the reading worker speaks through
// espeak-ng into the private PulseAudio's null sink, and the sink's monitor is recorded.
#include "audio/audio_engine.h"
#include "audio/audio_output.h"
#include "reading/espeak_engine.h"
#include "reading/tts.h"
#include "support/fakes.h"
#include "support/sound_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace sayvell;
using namespace sayvell::testing;

namespace {

struct Heard {
    std::vector<std::int16_t> samples;
    std::vector<Burst> bursts;

    double gapAfter(size_t i) const { return bursts[i + 1].startMs - bursts[i].endMs; }
    double spanMs() const { return bursts.back().endMs - bursts.front().startMs; }
    double levelDb() const {
        const auto from = static_cast<size_t>(bursts.front().startMs * MonitorRecorder::kRate / 1000);
        const auto to =
            std::min(samples.size(), static_cast<size_t>(bursts.back().endMs * MonitorRecorder::kRate / 1000));
        return rmsDb(std::vector<std::int16_t>(samples.begin() + static_cast<std::ptrdiff_t>(from),
                                               samples.begin() + static_cast<std::ptrdiff_t>(to)));
    }
};

// The worker on the real engine and sound system, reading a stand-in editor.
class SoundRig {
public:
    SoundRig() : audio_(audio::makePulseOutput(QStringLiteral("Sayvell pauses test"))) {}
    ~SoundRig() {
        runner_.reset();
        speech_.reset();
        audio_.stop();
    }

    bool start(std::string* error) {
        QString e;
        if (!audio_.start(&e) || !audio_.hasSound()) {
            *error = "no sound output: " + e.toStdString();
            return false;
        }
        speech_ = std::make_unique<reading::EspeakEngine>(audio_);
        if (!speech_->ok() || speech_->voices().isEmpty()) {
            *error = "espeak-ng did not start: " + speech_->errorText().toStdString();
            return false;
        }
        speech_->setVoice(speech_->voices().front());
        runner_ = std::make_unique<reading::TtsRunner>(state, editor, *speech_, clock_);
        return true;
    }

    void setPauses(const QStringList& marks, std::initializer_list<int> delays) {
        reading::DelimiterTable t;
        t.marks = marks;
        std::copy(delays.begin(), delays.end(), t.delays.begin());
        state.setDelimiterTable(t);
    }

    reading::EspeakEngine& speech() { return *speech_; }

    // Reads the whole text from the top as a single run and returns what the sink played.
    Heard read(const QString& text, int minGapMs = 100) {
        editor.setText(text);
        editor.setSelection(0, 0);
        state.beginRun();
        MonitorRecorder recorder;
        std::string error;
        EXPECT_TRUE(recorder.start(&error)) << error;
        runner_->start({0, 0});
        EXPECT_TRUE(runner_->waitIdle(60000)) << "the reading did not end";
        // The reading has been played: record until its end has come through the monitor.
        EXPECT_TRUE(
            recorder.recordUntil(soundOverBy(recorder.sampleAt(std::chrono::steady_clock::now()), -45.0, minGapMs)));
        Heard heard;
        heard.samples = recorder.stop();
        heard.bursts = findBursts(heard.samples, MonitorRecorder::kRate, -45.0, minGapMs);
        return heard;
    }

    reading::ReadingState state;
    FakeEditor editor;

private:
    audio::AudioEngine audio_;
    std::unique_ptr<reading::EspeakEngine> speech_;
    reading::SystemClock clock_;
    std::unique_ptr<reading::TtsRunner> runner_;
};

#define START_RIG(rig)                                                                                      \
    if (!pulseAvailable()) GTEST_SKIP() << "no private PulseAudio (run under tests/support/with_pulse.sh)"; \
    SoundRig rig;                                                                                           \
    {                                                                                                       \
        std::string error;                                                                                  \
        ASSERT_TRUE(rig.start(&error)) << error;                                                            \
    }

}  // namespace

TEST(Pauses, EachMarkIsFollowedByItsOwnPause) {
    START_RIG(rig);
    rig.setPauses({QStringLiteral("，"), QStringLiteral("。")}, {200, 600});
    const Heard heard = rig.read(QStringLiteral("一，二。三。"));
    ASSERT_EQ(heard.bursts.size(), 3u);
    std::printf("silence after \"，\" (200 ms): %.1f ms, after \"。\" (600 ms): %.1f ms\n", heard.gapAfter(0),
                heard.gapAfter(1));
    EXPECT_NEAR(heard.gapAfter(1) - heard.gapAfter(0), 400.0, 40.0);
    // Never shorter than the pause; the rest is the engine's own short silence around a piece.
    EXPECT_GE(heard.gapAfter(0), 200.0);
    EXPECT_LT(heard.gapAfter(0), 300.0);
}

TEST(Pauses, APieceWithTheDelaySymbolStartsThatMuchLaterAndSaysNoSymbol) {
    START_RIG(rig);
    rig.setPauses({QStringLiteral("。")}, {200});
    rig.state.symbolDelayMs = 800;
    const Heard plain = rig.read(QStringLiteral("一。二。"));
    const Heard delayed = rig.read(QStringLiteral("一。※二。"));
    ASSERT_EQ(plain.bursts.size(), 2u);
    ASSERT_EQ(delayed.bursts.size(), 2u);
    std::printf("gap without symbol %.1f ms, with %.1f ms\n", plain.gapAfter(0), delayed.gapAfter(0));
    EXPECT_NEAR(delayed.gapAfter(0) - plain.gapAfter(0), 800.0, 40.0);
    // The symbol is not spoken: the second piece sounds as long as without it.
    EXPECT_NEAR(delayed.bursts[1].lengthMs(), plain.bursts[1].lengthMs(), 40.0);
}

TEST(Pauses, RateAndVolumeChangesAreHeard) {
    START_RIG(rig);
    rig.setPauses({QStringLiteral("。")}, {0});
    const QString text = QStringLiteral("一二三四五六七八九十。");
    rig.speech().setRate(0);
    rig.speech().setVolume(100);
    const Heard normal = rig.read(text);
    rig.speech().setRate(10);
    const Heard fast = rig.read(text);
    rig.speech().setRate(0);
    rig.speech().setVolume(30);
    const Heard quiet = rig.read(text);
    ASSERT_FALSE(normal.bursts.empty());
    ASSERT_FALSE(fast.bursts.empty());
    ASSERT_FALSE(quiet.bursts.empty());
    std::printf("span %.0f ms at rate 0, %.0f ms at rate 10; level %.1f dB at volume 100, %.1f dB at 30\n",
                normal.spanMs(), fast.spanMs(), normal.levelDb(), quiet.levelDb());
    EXPECT_LT(fast.spanMs(), 0.7 * normal.spanMs());
    // Volume 30 is about 10 dB below volume 100.
    EXPECT_NEAR(normal.levelDb() - quiet.levelDb(), 20 * std::log10(100.0 / 30.0), 3.0);
    EXPECT_NEAR(quiet.spanMs(), normal.spanMs(), 0.1 * normal.spanMs());
}
