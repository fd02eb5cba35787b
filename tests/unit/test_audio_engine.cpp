// The mixer against null outputs: what reaches the tap is what the user would hear.
#include "audio/audio_engine.h"
#include "support/sound_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <future>
#include <mutex>
#include <numbers>
#include <thread>
#include <vector>

using namespace sayvell::audio;
using sayvell::testing::rmsDb;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::int16_t> sine(double hz, double seconds, int rate, double amplitude, int channels = 1) {
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(
            std::lround(amplitude * 32767.0 * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate)));
        for (int c = 0; c < channels; ++c)
            pcm[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = v;
    }
    return pcm;
}

std::vector<std::int16_t> constant(double value, std::size_t frames) {
    return std::vector<std::int16_t>(frames, static_cast<std::int16_t>(std::lround(value * 32768.0)));
}

// Collects the mix as the recorder would.
class TapCollector {
public:
    explicit TapCollector(AudioEngine& engine) : engine_(engine) {
        engine.setTap([this](const float* s, std::size_t frames) {
            {
                std::lock_guard lk(m_);
                samples_.insert(samples_.end(), s, s + frames * 2);
            }
            cv_.notify_all();
        });
    }
    ~TapCollector() { engine_.setTap(nullptr); }
    bool waitFrames(std::size_t frames, int timeoutMs = 5000) {
        std::unique_lock lk(m_);
        return cv_.wait_for(lk, std::chrono::milliseconds(timeoutMs), [&] { return samples_.size() / 2 >= frames; });
    }
    // Waits until `pred(samples)` holds.
    template <class Pred>
    bool waitUntil(Pred pred, int timeoutMs = 5000) {
        std::unique_lock lk(m_);
        return cv_.wait_for(lk, std::chrono::milliseconds(timeoutMs), [&] { return pred(samples_); });
    }
    std::size_t frames() {
        std::lock_guard lk(m_);
        return samples_.size() / 2;
    }
    std::vector<float> left() {
        std::lock_guard lk(m_);
        std::vector<float> l(samples_.size() / 2);
        for (std::size_t i = 0; i < l.size(); ++i) l[i] = samples_[2 * i];
        return l;
    }
    std::vector<float> interleaved() {
        std::lock_guard lk(m_);
        return samples_;
    }

private:
    AudioEngine& engine_;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<float> samples_;
};

// Index range [first, last) of samples above a small threshold.
std::pair<std::size_t, std::size_t> soundSpan(const std::vector<float>& s) {
    std::size_t first = s.size(), last = 0;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (std::fabs(s[i]) > 1e-3f) {
            first = std::min(first, i);
            last = i + 1;
        }
    return {first, std::max(first, last)};
}

std::size_t zeroCrossings(const std::vector<float>& s, std::size_t from, std::size_t to) {
    std::size_t n = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        if ((s[i - 1] < 0) != (s[i] < 0)) ++n;
    return n;
}

bool loud(const std::vector<float>& s, std::size_t from) {
    for (std::size_t i = from; i < s.size(); ++i)
        if (std::fabs(s[i]) > 1e-3f) return true;
    return false;
}

class FailingOutput : public AudioOutput {
public:
    bool start(Pull, QString* error) override {
        if (error) *error = QStringLiteral("no device here");
        return false;
    }
    void stop() override {}
    std::int64_t playedFrames() const override { return 0; }
    std::int64_t writtenFrames() const override { return 0; }
    bool isNull() const override { return false; }
};

}  // namespace

// An unpaced output mixes faster than a test appends, so each case queues its sound first and
// starts the engine after: the mix then holds no gaps between appends.
struct Rig {
    AudioEngine engine{makeNullOutput(false)};
    TapCollector tap{engine};
};

TEST(AudioEngine, ChannelGainScalesTheLevelAndChannelsSumWithClipping) {
    {
        // Half gain is -6 dB.
        Rig rig;
        const auto tone = sine(1000, 0.2, AudioEngine::kRate, 0.5);
        rig.engine.setVolume(Channel::Effects, 0.5f);
        EXPECT_FLOAT_EQ(rig.engine.volume(Channel::Effects), 0.5f);
        rig.engine.append(Channel::Effects, tone.data(), tone.size(), AudioEngine::kRate, 1);
        ASSERT_TRUE(rig.engine.start());
        EXPECT_FALSE(rig.engine.hasSound());
        ASSERT_TRUE(rig.engine.waitPlayed(Channel::Effects, 5000));
        const auto left = rig.tap.left();
        const auto [first, last] = soundSpan(left);
        ASSERT_EQ(last - first, tone.size() - 1);  // the sine starts at 0
        EXPECT_NEAR(rmsDb(left.data() + first, last - first), 20 * std::log10(0.5 / std::sqrt(2.0)) - 6.02, 0.1);
    }
    {
        // Speech, music and an effect sound together; each ends in the middle of a block, so
        // the others go on alone there.
        Rig rig;
        const auto speech = constant(0.25, 4800);
        const auto music = constant(0.125, 7250);
        const auto effect = constant(0.5, 250);
        rig.engine.append(Channel::Speech, speech.data(), speech.size(), AudioEngine::kRate, 1);
        rig.engine.append(Channel::Music, music.data(), music.size(), AudioEngine::kRate, 1);
        rig.engine.append(Channel::Effects, effect.data(), effect.size(), AudioEngine::kRate, 1);
        ASSERT_TRUE(rig.engine.start());
        ASSERT_TRUE(rig.engine.waitPlayed(Channel::Speech, 5000));
        ASSERT_TRUE(rig.engine.waitPlayed(Channel::Music, 5000));
        ASSERT_TRUE(rig.engine.waitPlayed(Channel::Effects, 5000));
        const auto left = rig.tap.left();
        ASSERT_GE(left.size(), 7250u);
        for (std::size_t i = 0; i < 7250; ++i)
            ASSERT_NEAR(left[i], i < 250 ? 0.875f : i < 4800 ? 0.375f : 0.125f, 1e-4f) << "frame " << i;
        EXPECT_FALSE(loud(left, 7250));
    }
    {
        // The resampler rings past full scale on a full-scale square wave: held there too.
        Rig rig;
        std::vector<std::int16_t> square(44100 * 2);
        for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 100) % 2 ? -32768 : 32767;
        rig.engine.append(Channel::Music, square.data(), square.size() / 2, 44100, 2);
        ASSERT_TRUE(rig.engine.start());
        ASSERT_TRUE(rig.engine.waitPlayed(Channel::Music, 5000));
        const auto all = rig.tap.interleaved();
        EXPECT_EQ(*std::max_element(all.begin(), all.end()), 1.0f);
        EXPECT_EQ(*std::min_element(all.begin(), all.end()), -1.0f);
    }
    {
        // An amplified sum is held at full scale.
        Rig rig;
        const auto speech = constant(0.5, 4800);
        rig.engine.setVolume(Channel::Speech, 4.0f);
        rig.engine.append(Channel::Speech, speech.data(), speech.size(), AudioEngine::kRate, 1);
        rig.engine.append(Channel::Effects, speech.data(), speech.size(), AudioEngine::kRate, 1);
        ASSERT_TRUE(rig.engine.start());
        ASSERT_TRUE(rig.engine.waitPlayed(Channel::Speech, 5000));
        const auto all = rig.tap.interleaved();
        EXPECT_EQ(*std::max_element(all.begin(), all.end()), 1.0f);
    }
}

TEST(AudioEngine, ResamplingKeepsLengthAndPitchAcrossAppendsAndRateChanges) {
    {
        // One second at 22050 Hz in ten pieces: one stream.
        Rig rig;
        const auto tone = sine(1000, 1.0, 22050, 0.5);
        for (std::size_t off = 0; off < tone.size(); off += 2205)
            rig.engine.append(Channel::Speech, tone.data() + off, std::min<std::size_t>(2205, tone.size() - off), 22050,
                              1);
        // flush() alone (no waitPlayed, which would flush too) lets the resampler's tail out.
        rig.engine.flush(Channel::Speech);
        ASSERT_TRUE(rig.engine.start());
        const auto idleDeadline = Clock::now() + std::chrono::seconds(5);
        while (!rig.engine.isIdle(Channel::Speech) && Clock::now() < idleDeadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(rig.engine.isIdle(Channel::Speech));

        const auto left = rig.tap.left();
        const auto [first, last] = soundSpan(left);
        EXPECT_NEAR(1000.0 * static_cast<double>(last - first) / AudioEngine::kRate, 1000.0, 3.0);
        EXPECT_NEAR(static_cast<double>(zeroCrossings(left, first, last)), 2000.0, 4.0);
        const auto both = rig.tap.interleaved();
        EXPECT_FLOAT_EQ(both[2 * (first + 100)], both[2 * (first + 100) + 1]);  // mono on both sides
    }
    {
        // Half a second of stereo at 16 kHz, then at 44.1 kHz: the rate change keeps the first tail.
        Rig rig;
        const auto a = sine(500, 0.5, 16000, 0.5, 2);
        const auto b = sine(500, 0.5, 44100, 0.5, 2);
        rig.engine.append(Channel::Music, a.data(), a.size() / 2, 16000, 2);
        rig.engine.append(Channel::Music, b.data(), b.size() / 2, 44100, 2);
        rig.engine.flush(Channel::Music);
        ASSERT_TRUE(rig.engine.start());
        ASSERT_TRUE(rig.engine.waitPlayed(Channel::Music, 5000));
        const auto left = rig.tap.left();
        const auto [first, last] = soundSpan(left);
        EXPECT_NEAR(1000.0 * static_cast<double>(last - first) / AudioEngine::kRate, 1000.0, 3.0);
        EXPECT_NEAR(static_cast<double>(zeroCrossings(left, first, last)), 1000.0, 6.0);
    }
}

TEST(AudioEngine, WaitPlayedFollowsTheDevicePosition) {
    AudioEngine engine(makeNullOutput(true));
    TapCollector tap(engine);
    ASSERT_TRUE(engine.start());

    // Played, not handed over: 300 ms of sound take about 300 ms on a paced device.
    const auto tone = sine(1000, 0.3, AudioEngine::kRate, 0.5);
    const auto t0 = Clock::now();
    const std::int64_t playedBefore = engine.playedFrames();
    engine.append(Channel::Effects, tone.data(), tone.size(), AudioEngine::kRate, 1);
    ASSERT_TRUE(engine.waitPlayed(Channel::Effects, 5000));
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(280));
    EXPECT_GE(engine.playedFrames() - playedBefore, static_cast<std::int64_t>(tone.size()));
    EXPECT_TRUE(engine.isIdle(Channel::Effects));

    // A timeout ends the wait with false.
    const auto longTone = sine(1000, 3.0, AudioEngine::kRate, 0.5);
    engine.append(Channel::Effects, longTone.data(), longTone.size(), AudioEngine::kRate, 1);
    EXPECT_FALSE(engine.waitPlayed(Channel::Effects, 50));
    engine.clear(Channel::Effects);
    EXPECT_TRUE(engine.isIdle(Channel::Effects));

    // Stopping the engine wakes a waiter with false.
    engine.append(Channel::Music, longTone.data(), longTone.size(), AudioEngine::kRate, 1);
    auto waiter = std::async(std::launch::async, [&] { return engine.waitPlayed(Channel::Music); });
    ASSERT_TRUE(
        tap.waitUntil([&](const std::vector<float>& s) { return loud(s, s.size() > 9600 ? s.size() - 9600 : 0); }));
    engine.stop();
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_FALSE(waiter.get());
    EXPECT_FALSE(engine.waitPlayed(Channel::Music, 1000));
}

TEST(AudioEngine, ClearFromAnotherThreadSilencesAndWakesTheWaiter) {
    AudioEngine engine(makeNullOutput(true));
    TapCollector tap(engine);
    ASSERT_TRUE(engine.start());

    const auto tone = sine(1000, 2.0, AudioEngine::kRate, 0.5);
    engine.append(Channel::Speech, tone.data(), tone.size(), AudioEngine::kRate, 1);

    std::atomic<std::size_t> waitingFrom{0};
    std::atomic<std::size_t> clearedAt{0};
    auto clearer = std::async(std::launch::async, [&] {
        // Clear once the waiter has been waiting through 100 ms of sound.
        tap.waitUntil([&](const std::vector<float>& s) {
            return waitingFrom.load() != 0 && s.size() / 2 >= waitingFrom.load() + 4800;
        });
        engine.clear(Channel::Speech);
        clearedAt = tap.frames();
    });
    ASSERT_TRUE(tap.waitFrames(1));
    waitingFrom = tap.frames();
    const auto t0 = Clock::now();
    const bool played = engine.waitPlayed(Channel::Speech, 5000);
    clearer.get();
    EXPECT_FALSE(played);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1500));
    EXPECT_TRUE(engine.isIdle(Channel::Speech));

    // Nothing of the cleared sound is heard afterwards (one block may have been in the mixer).
    const std::size_t from = clearedAt.load() + 480;
    ASSERT_TRUE(tap.waitFrames(from + 4800));
    EXPECT_FALSE(loud(tap.left(), from));

    // The channel takes new sound after a clear.
    const auto beep = sine(1000, 0.05, 22050, 0.5);
    engine.append(Channel::Speech, beep.data(), beep.size(), 22050, 1);
    EXPECT_TRUE(engine.waitPlayed(Channel::Speech, 5000));
}

TEST(AudioEngine, FallsBackToSilentPlaybackWhenTheDeviceFails) {
    AudioEngine engine(std::make_unique<FailingOutput>());
    QString error;
    EXPECT_FALSE(engine.start(&error));
    EXPECT_EQ(error, QStringLiteral("no device here"));
    EXPECT_FALSE(engine.hasSound());

    const auto tone = sine(1000, 0.1, 16000, 0.5);
    const auto t0 = Clock::now();
    engine.append(Channel::Effects, tone.data(), tone.size(), 16000, 1);
    EXPECT_TRUE(engine.waitPlayed(Channel::Effects, 5000));
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(90));  // still paced in real time
}

TEST(AudioEngine, AVolumeChangeGlidesWithoutAStep) {
    // A steady level dropped from 1.0 to 0.25 in the middle of the sound.
    AudioEngine engine(makeNullOutput(true));
    TapCollector tap(engine);
    ASSERT_TRUE(engine.start());
    const auto level = constant(0.5, AudioEngine::kRate);
    engine.append(Channel::Music, level.data(), level.size(), AudioEngine::kRate, 1);
    ASSERT_TRUE(
        tap.waitUntil([](const std::vector<float>& s) { return s.size() / 2 > 4800 && s[s.size() - 2] > 0.4f; }));
    engine.setVolume(Channel::Music, 0.25f);
    ASSERT_TRUE(engine.waitPlayed(Channel::Music, 5000));

    const auto left = tap.left();
    const auto [first, last] = soundSpan(left);
    float biggestStep = 0;
    std::size_t rampStart = 0, rampEnd = 0;
    for (std::size_t i = first + 1; i < last; ++i) {
        biggestStep = std::max(biggestStep, std::fabs(left[i] - left[i - 1]));
        if (!rampStart && left[i] < 0.4999f) rampStart = i;
        if (!rampEnd && left[i] <= 0.1251f) rampEnd = i;
    }
    ASSERT_GT(rampStart, 0u);
    // 0.5 -> 0.125 over the ramp: each frame a small part of it, the whole within ~10 ms.
    EXPECT_LT(biggestStep, 0.375f / AudioEngine::kRampFrames * 1.5f);
    EXPECT_NEAR(static_cast<double>(rampEnd - rampStart), AudioEngine::kRampFrames, 2.0);
    EXPECT_NEAR(left[last - 1], 0.125f, 1e-4f);
}

TEST(AudioEngine, MusicChannelCountsQueuedAndPlayedFramesOfItsOwnSound) {
    AudioEngine engine(makeNullOutput(true));
    TapCollector tap(engine);
    ASSERT_TRUE(engine.start());
    EXPECT_EQ(engine.channelPlayedFrames(Channel::Music), 0);

    // Speech before it does not count for the music.
    const auto speech = constant(0.25, 9600);
    engine.append(Channel::Speech, speech.data(), speech.size(), AudioEngine::kRate, 1);
    ASSERT_TRUE(engine.waitPlayed(Channel::Speech, 5000));
    EXPECT_EQ(engine.channelPlayedFrames(Channel::Music), 0);

    const auto music = constant(0.25, AudioEngine::kRate);  // one second
    engine.append(Channel::Music, music.data(), music.size(), AudioEngine::kRate, 1);
    EXPECT_GT(engine.queuedFrames(Channel::Music), AudioEngine::kRate - 2000);
    // A feeder waiting for room wakes once half has been mixed: after about half a second.
    const auto t0 = Clock::now();
    ASSERT_TRUE(engine.waitQueuedBelow(Channel::Music, AudioEngine::kRate / 2, 5000));
    const auto waited = Clock::now() - t0;
    EXPECT_GT(waited, std::chrono::milliseconds(400));
    EXPECT_LT(waited, std::chrono::milliseconds(900));
    const std::int64_t half = engine.channelPlayedFrames(Channel::Music);
    EXPECT_NEAR(static_cast<double>(half), AudioEngine::kRate / 2.0, 2400);

    ASSERT_TRUE(engine.waitPlayed(Channel::Music, 5000));
    EXPECT_EQ(engine.channelPlayedFrames(Channel::Music), AudioEngine::kRate);
    EXPECT_EQ(engine.queuedFrames(Channel::Music), 0);
    // The position stays at the end through silence, and a clear starts it again.
    ASSERT_TRUE(tap.waitFrames(tap.frames() + 4800));
    EXPECT_EQ(engine.channelPlayedFrames(Channel::Music), AudioEngine::kRate);
    engine.append(Channel::Music, music.data(), music.size(), AudioEngine::kRate, 1);
    engine.clear(Channel::Music);
    EXPECT_EQ(engine.channelPlayedFrames(Channel::Music), 0);
    EXPECT_EQ(engine.queuedFrames(Channel::Music), 0);
    // A waiter for room is woken by the clear, not left until five seconds have drained.
    const auto longMusic = constant(0.25, 5 * AudioEngine::kRate);
    engine.append(Channel::Music, longMusic.data(), longMusic.size(), AudioEngine::kRate, 1);
    auto waiter = std::async(std::launch::async, [&] { return engine.waitQueuedBelow(Channel::Music, 10, 10000); });
    ASSERT_TRUE(tap.waitFrames(tap.frames() + 960));
    engine.clear(Channel::Music);
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(2)), std::future_status::ready);
}
