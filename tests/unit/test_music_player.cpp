// The music player on the real mixer with a device-less output: what reaches the mix is what
// the user would hear.
#include "audio/audio_engine.h"
#include "music/music_decoder.h"
#include "music/music_player.h"
#include "support/sound_capture.h"
#include "unit/test_music_fixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

using namespace sayvell;
using namespace sayvell::testing;
using audio::AudioEngine;
using audio::Channel;
using Clock = std::chrono::steady_clock;

namespace {

class Mix {
public:
    explicit Mix(AudioEngine& e) : engine_(e) {
        e.setTap([this](const float* s, std::size_t frames) {
            std::lock_guard lk(m_);
            for (std::size_t i = 0; i < frames; ++i) left_.push_back(s[2 * i]);
            peakQueued_ = std::max(peakQueued_, engine_.queuedFrames(Channel::Music));
        });
    }
    ~Mix() { engine_.setTap(nullptr); }
    std::vector<float> left() {
        std::lock_guard lk(m_);
        return left_;
    }
    std::int64_t peakQueued() {
        std::lock_guard lk(m_);
        return peakQueued_;
    }

private:
    AudioEngine& engine_;
    std::mutex m_;
    std::vector<float> left_;
    std::int64_t peakQueued_ = 0;
};

std::pair<std::size_t, std::size_t> span(const std::vector<float>& s) {
    std::size_t first = s.size(), last = 0;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (std::fabs(s[i]) > 1e-3f) {
            first = std::min(first, i);
            last = i + 1;
        }
    return {first, std::max(first, last)};
}

bool waitUntil(const std::function<bool()>& cond, int ms = 10000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace

TEST(MusicPlayer, PlaysTheWholeTrackAtItsVolumeThenReportsTheEndOnce) {
    if (!haveLame()) GTEST_SKIP() << "lame is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath("tone.mp3");
    ASSERT_TRUE(writeMp3Tone(path, 2.0, 44100, 2, 440, 0.5));

    // Paced as a device is: an unpaced output would outrun the decoder and mix in gaps.
    AudioEngine engine(audio::makeNullOutput(true));
    Mix mix(engine);
    ASSERT_TRUE(engine.start());
    auto player = music::makeEngineMusicPlayer(engine);
    std::atomic<int> ends{0};
    player->setFinishedHandler([&] { ++ends; });

    ASSERT_TRUE(player->create(path)) << player->lastError().toStdString();
    EXPECT_TRUE(player->live());
    EXPECT_NEAR(player->lengthSeconds(), 2.0, 0.05);
    player->setVolume(0.25f);
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->finished(); }));
    EXPECT_DOUBLE_EQ(player->lengthSeconds(), 2.0);  // exact once scanned
    ASSERT_TRUE(engine.waitPlayed(Channel::Music, 5000));
    EXPECT_EQ(ends.load(), 1);

    const auto left = mix.left();
    const auto [first, last] = span(left);
    // Two seconds at the mix rate, nothing cut, nothing added.
    EXPECT_NEAR(static_cast<double>(last - first) / AudioEngine::kRate, 2.0, 0.005);
    // A quarter of the file's own level (lame takes off a little of the tone's): -12 dB.
    double fileDb = 0;
    {
        auto d = music::MusicDecoder::open(path);
        std::vector<std::int16_t> pcm;
        std::vector<float> all;
        while (const std::size_t n = d->read(&pcm, 4096))
            for (std::size_t i = 0; i < n; ++i) all.push_back(pcm[2 * i] / 32768.0f);
        fileDb = rmsDb(all.data() + 4410, all.size() - 8820);
    }
    EXPECT_NEAR(rmsDb(left.data() + first + 4800, last - first - 9600), fileDb - 12.04, 0.1);
    EXPECT_NEAR(player->positionSeconds(), 2.0, 0.01);
    // Decoding ran ahead by a bounded amount, not the whole track.
    EXPECT_LE(mix.peakQueued(), AudioEngine::kRate + 8192);

    // Play again starts from the beginning; stop silences at once and reports no end.
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->positionSeconds() > 0.2; }));
    EXPECT_FALSE(player->finished());
    player->stop();
    EXPECT_TRUE(engine.isIdle(Channel::Music) || engine.queuedFrames(Channel::Music) == 0);
    EXPECT_DOUBLE_EQ(player->positionSeconds(), 0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ends.load(), 1);
    EXPECT_TRUE(player->live());
    player->free();
    EXPECT_FALSE(player->live());
    EXPECT_DOUBLE_EQ(player->lengthSeconds(), 0.0);

    // A file that cannot be decoded leaves no stream.
    EXPECT_FALSE(player->create(dir.filePath("nothing.mp3")));
    EXPECT_FALSE(player->live());
    EXPECT_FALSE(player->lastError().isEmpty());
}
