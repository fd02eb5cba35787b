#include "music/music_player.h"

#include "audio/audio_engine.h"
#include "music/music_decoder.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace sayvell::music {
namespace {

using audio::AudioEngine;
using audio::Channel;

// Decoded ahead of playback: up to a second waits in the mixer; the thread tops it up when
// half of that has been played, so it wakes about twice a second.
constexpr std::int64_t kQueueHigh = AudioEngine::kRate;
constexpr std::int64_t kQueueLow = AudioEngine::kRate / 2;
constexpr std::size_t kBlockFrames = 4096;
// A stream counts as finished while this much of it still waits in the mixer: the next one
// is queued behind it before the mixer runs dry, however late the UI thread answers.
constexpr std::int64_t kTailLead = AudioEngine::kRate * 2 / 5;
constexpr int kWaitSliceMs = 100;

struct Stream {
    std::unique_ptr<MusicDecoder> decoder;
    bool scanned = false;  // touched by the decoding thread only
};

class EngineMusicPlayer final : public MusicPlayer {
public:
    explicit EngineMusicPlayer(AudioEngine& engine) : engine_(engine) {
        thread_ = std::thread([this] { run(); });
    }

    ~EngineMusicPlayer() override {
        {
            std::lock_guard feed(feed_);
            std::lock_guard lk(m_);
            quit_ = true;
            ++generation_;
            job_ = {};
        }
        cv_.notify_all();
        engine_.clear(Channel::Music);
        thread_.join();
    }

    bool create(const QString& path) override {
        // After a finished stream the new one follows its tail, which plays on.
        const bool tail = finished();
        if (tail) {
            std::lock_guard lk(m_);
            current_.reset();
            length_ = 0.0;
            playing_ = false;
        } else {
            free();
        }
        QString why;
        auto decoder = MusicDecoder::open(path, &why);
        std::lock_guard lk(m_);
        followTail_ = tail;
        if (!decoder) {
            lastError_ = why;
            return false;
        }
        lastError_.clear();
        length_ = decoder->lengthSeconds();
        current_ = std::make_shared<Stream>();
        current_->decoder = std::move(decoder);
        return true;
    }

    void free() override {
        stop();
        std::lock_guard lk(m_);
        current_.reset();
        length_ = 0.0;
    }

    bool live() const override {
        std::lock_guard lk(m_);
        return current_ != nullptr;
    }

    void play() override {
        // Under the feed lock no block of an earlier play can slip in after the clear.
        std::lock_guard feed(feed_);
        bool follow = false;
        {
            std::lock_guard lk(m_);
            if (!current_) return;
            ++generation_;
            job_ = {current_, generation_};
            playing_ = true;
            follow = followTail_;
            followTail_ = false;
            // The earlier stream is all in the mixer: this one's frames start after it.
            startFrame_ = follow ? engine_.appendedFrames(Channel::Music) : 0;
        }
        if (!follow) engine_.clear(Channel::Music);
        cv_.notify_all();
    }

    void stop() override {
        std::lock_guard feed(feed_);
        {
            std::lock_guard lk(m_);
            ++generation_;
            job_ = {};
            playing_ = false;
            followTail_ = false;
        }
        engine_.clear(Channel::Music);
        cv_.notify_all();
    }

    void setVolume(float volume) override { engine_.setVolume(Channel::Music, std::clamp(volume, 0.0f, 1.0f)); }

    double lengthSeconds() const override {
        std::lock_guard lk(m_);
        return length_;
    }

    double positionSeconds() const override {
        std::int64_t start = 0;
        {
            std::lock_guard lk(m_);
            if (!current_ || !playing_) return 0.0;
            start = startFrame_;
        }
        const std::int64_t heard = engine_.channelPlayedFrames(Channel::Music) - start;
        return static_cast<double>(std::max<std::int64_t>(0, heard)) / AudioEngine::kRate;
    }

    bool finished() const override {
        std::lock_guard lk(m_);
        return current_ && playing_ && finishedGeneration_ == generation_;
    }

    QString lastError() const override {
        std::lock_guard lk(m_);
        return lastError_;
    }

private:
    struct Job {
        std::shared_ptr<Stream> stream;
        std::uint64_t generation = 0;
    };

    bool stale(std::uint64_t generation) const {
        std::lock_guard lk(m_);
        return quit_ || generation != generation_;
    }

    // Waits for the mixer's queue to fall under `below`; false when the job went stale.
    bool waitForRoom(std::uint64_t generation, std::int64_t below) {
        while (engine_.queuedFrames(Channel::Music) >= below) {
            if (stale(generation)) return false;
            if (!engine_.waitQueuedBelow(Channel::Music, below, kWaitSliceMs) &&
                engine_.queuedFrames(Channel::Music) >= below) {
                // The engine is not mixing (stopped) or the channel was cleared: rest, but hear orders.
                std::unique_lock lk(m_);
                cv_.wait_for(lk, std::chrono::milliseconds(20), [&] { return quit_ || generation != generation_; });
            }
        }
        return !stale(generation);
    }

    void feed(const Job& job) {
        Stream& s = *job.stream;
        MusicDecoder& d = *s.decoder;
        if (!s.scanned) {
            s.scanned = true;
            d.scanLength();
            std::lock_guard lk(m_);
            if (current_ == job.stream) length_ = d.lengthSeconds();
        } else {
            d.rewind();
        }
        std::vector<std::int16_t> pcm;
        for (;;) {
            if (engine_.queuedFrames(Channel::Music) >= kQueueHigh && !waitForRoom(job.generation, kQueueLow)) return;
            const std::size_t frames = d.read(&pcm, kBlockFrames);
            if (frames == 0) break;
            std::lock_guard f(feed_);
            if (stale(job.generation)) return;
            engine_.append(Channel::Music, pcm.data(), frames, d.rate(), d.channels());
        }
        {
            std::lock_guard f(feed_);
            if (stale(job.generation)) return;
            engine_.flush(Channel::Music);
        }
        // Finished shortly before the mixer takes the last frame: the tail plays on while the
        // next track is queued behind it, so nothing is cut and the change leaves no gap.
        if (!waitForRoom(job.generation, kTailLead)) return;
        {
            std::lock_guard lk(m_);
            if (quit_ || job.generation != generation_) return;
            finishedGeneration_ = job.generation;
        }
        notifyFinished();
    }

    void run() {
        for (;;) {
            Job job;
            {
                std::unique_lock lk(m_);
                cv_.wait(lk, [&] { return quit_ || job_.stream; });
                if (quit_) return;
                job = std::move(job_);
                job_ = {};
            }
            feed(job);
        }
    }

    AudioEngine& engine_;
    std::mutex feed_;  // serialises appends against clear(); taken before m_
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::shared_ptr<Stream> current_;
    Job job_;
    std::uint64_t generation_ = 0;
    std::uint64_t finishedGeneration_ = 0;
    bool playing_ = false;
    bool followTail_ = false;      // the created stream is to follow the finished one's tail
    std::int64_t startFrame_ = 0;  // the channel's frames before the playing stream's first
    bool quit_ = false;
    double length_ = 0.0;
    QString lastError_;
    std::thread thread_;
};

class SilentMusicPlayer final : public MusicPlayer {
public:
    bool create(const QString& path) override {
        free();
        auto decoder = MusicDecoder::open(path, &lastError_);
        if (!decoder) return false;
        lastError_.clear();
        length_ = decoder->lengthSeconds();
        live_ = true;
        return true;
    }
    void free() override {
        live_ = false;
        length_ = 0.0;
    }
    bool live() const override { return live_; }
    void play() override {}
    void stop() override {}
    void setVolume(float) override {}
    double lengthSeconds() const override { return length_; }
    double positionSeconds() const override { return 0.0; }
    bool finished() const override { return false; }
    QString lastError() const override { return lastError_; }

private:
    bool live_ = false;
    double length_ = 0.0;
    QString lastError_;
};

}  // namespace

std::unique_ptr<MusicPlayer> makeEngineMusicPlayer(audio::AudioEngine& engine) {
    return std::make_unique<EngineMusicPlayer>(engine);
}

std::unique_ptr<MusicPlayer> makeSilentMusicPlayer() { return std::make_unique<SilentMusicPlayer>(); }

}  // namespace sayvell::music
