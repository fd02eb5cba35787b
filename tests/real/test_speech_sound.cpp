// espeak-ng through the real sound system: what the private PulseAudio's sink plays.
#include "audio/audio_engine.h"
#include "reading/espeak_engine.h"
#include "support/sound_capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace sayvell;
using sayvell::testing::Burst;
using sayvell::testing::findBursts;
using sayvell::testing::MonitorRecorder;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

Clock::time_point at(const MonitorRecorder& recorder, double offsetMs) {
    return recorder.firstSampleTime() + std::chrono::microseconds(std::lround(offsetMs * 1000));
}

// Records until everything played before `t` has been heard to its end.
::testing::AssertionResult recordPast(MonitorRecorder& recorder, Clock::time_point t) {
    return recorder.recordUntil(sayvell::testing::soundOverBy(recorder.sampleAt(t), -45.0, 150));
}

struct SoundRig {
    audio::AudioEngine audio{audio::makePulseOutput(QStringLiteral("sayvell-speech-tests"))};
    reading::EspeakEngine speech{audio};
};

}  // namespace

TEST(SpeechSound, SynchronousSpeechIsHeardAndHasEndedWhenSpeakReturns) {
    if (!sayvell::testing::pulseAvailable())
        GTEST_SKIP() << "no private PulseAudio (run under tests/support/with_pulse.sh)";
    SoundRig rig;
    QString error;
    ASSERT_TRUE(rig.audio.start(&error)) << error.toStdString();
    ASSERT_TRUE(rig.speech.ok()) << rig.speech.errorText().toStdString();
    rig.speech.setVoice({QStringLiteral("cmn-latn-pinyin"), {}});

    MonitorRecorder recorder;
    std::string recError;
    ASSERT_TRUE(recorder.start(&recError)) << recError;
    const auto called = Clock::now();
    ASSERT_TRUE(rig.speech.speak(QStringLiteral("一，二。"), 0));
    const auto returned = Clock::now();
    ASSERT_TRUE(recordPast(recorder, returned));
    const std::vector<Burst> bursts = findBursts(recorder.stop(), MonitorRecorder::kRate, -45.0, 150);
    ASSERT_GE(bursts.size(), 1u) << "no speech heard";

    double total = 0;
    for (const Burst& b : bursts) total += b.lengthMs();
    const double latency = ms(at(recorder, bursts.front().startMs) - called);
    const double endToReturn = ms(returned - at(recorder, bursts.back().endMs));
    std::printf(
        "speech: %zu burst(s), %.0f ms of sound; first sound %.1f ms after speak(); speak() returned %.1f ms "
        "after the sound ended\n",
        bursts.size(), total, latency, endToReturn);
    EXPECT_GT(total, 300.0);
    EXPECT_LT(latency, 200.0);
    EXPECT_GE(endToReturn, -30.0) << "speak() returned while the speech was still playing";
    EXPECT_LT(endToReturn, 300.0);
}

TEST(SpeechSound, EmptyPurgeSilencesAsynchronousSpeech) {
    if (!sayvell::testing::pulseAvailable())
        GTEST_SKIP() << "no private PulseAudio (run under tests/support/with_pulse.sh)";
    SoundRig rig;
    ASSERT_TRUE(rig.audio.start());
    ASSERT_TRUE(rig.speech.ok()) << rig.speech.errorText().toStdString();
    rig.speech.setVoice({QStringLiteral("cmn-latn-pinyin"), {}});

    MonitorRecorder recorder;
    ASSERT_TRUE(recorder.start());
    ASSERT_TRUE(
        rig.speech.speak(QStringLiteral("一，二，三，四，五，六，七，八，九，十。"), reading::SpeechEngine::Async));
    // Well into the speech: half a second of it heard.
    ASSERT_TRUE(recorder.recordUntil([](const sayvell::testing::Samples& s) {
        const auto b = findBursts(s, MonitorRecorder::kRate, -45.0, 150);
        return !b.empty() && b.front().startMs + 500 < 1000.0 * static_cast<double>(s.size()) / MonitorRecorder::kRate;
    }));
    const auto purged = Clock::now();
    ASSERT_TRUE(rig.speech.speak(QString(), reading::SpeechEngine::PurgeBeforeSpeak));
    ASSERT_TRUE(recordPast(recorder, purged));
    const std::vector<Burst> bursts = findBursts(recorder.stop(), MonitorRecorder::kRate, -45.0, 150);
    ASSERT_GE(bursts.size(), 1u) << "no speech heard";
    const double after = ms(at(recorder, bursts.back().endMs) - purged);
    std::printf("sound ended %.1f ms after the purge\n", after);
    EXPECT_LT(after, 250.0);
}
