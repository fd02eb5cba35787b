#pragma once
// The mixer's state, shared by its sources: the channels' queues and the engine around them.
#include "audio/audio_engine.h"

#include "audio/output_demand.h"

#include <soxr.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace sayvell::audio {
namespace detail {

constexpr int kChannelCount = 3;

// Where a stretch of a channel's sound went in the output: its frames [chanStart, chanStart+n)
// were mixed at output positions [writeStart, writeStart+n).
struct Segment {
    std::int64_t writeStart = 0;
    std::int64_t chanStart = 0;
    std::int64_t n = 0;
};

// A stretch of a channel's sound: interleaved stereo at the mix rate. Its samples are left
// unset for the feeder to write (the buffers are large and written once).
struct Chunk {
    explicit Chunk(std::size_t samplesCount)
        : samples(std::make_unique_for_overwrite<float[]>(samplesCount)), size(samplesCount) {}
    std::unique_ptr<float[]> samples;
    std::size_t size = 0;
    // No sample is louder than this: the mix skips clipping when its sum cannot reach full scale.
    float peak = 1.0f;
};

struct Chan {
    // Feeding side, serialised by `feed` (appends, flush, clear).
    std::mutex feed;
    soxr_t soxr = nullptr;
    int soxrRate = 0;
    unsigned long quality = SOXR_HQ;  // soxr recipe for this channel's resampler
    // The resampler takes and gives split channels: its own interleaving costs more than ours.
    std::vector<float> in;   // stereo float of the current append, all left then all right
    std::vector<float> out;  // resampler output scratch, split the same way

    // Mixer side, guarded by Impl::m.
    std::deque<Chunk> chunks;
    std::size_t frontPos = 0;      // samples of chunks.front() already mixed
    bool unflushed = false;        // the resampler still holds input
    std::int64_t lastMixEnd = 0;   // write position right after the last mixed frame
    std::uint64_t generation = 0;  // bumped by clear()
    std::int64_t queued = 0;       // frames in chunks not yet mixed
    std::int64_t wantBelow = 0;    // a feeder waits for `queued` to fall under this; 0: nobody
    std::int64_t mixedTotal = 0;   // frames of this channel mixed since its last clear()
    std::deque<Segment> segments;
    float gain = 1.0f;
    float appliedGain = 1.0f;  // gain reached so far; glides towards `gain` by rampStep a frame
    float rampStep = 0.0f;

    void setGain(float g) {
        gain = g;
        if (chunks.empty()) {
            appliedGain = g;
            rampStep = 0.0f;
        } else {
            rampStep = (g - appliedGain) / static_cast<float>(AudioEngine::kRampFrames);
        }
    }
    float nextGain() {
        if (appliedGain != gain) {
            appliedGain += rampStep;
            if ((rampStep > 0.0f && appliedGain > gain) || (rampStep < 0.0f && appliedGain < gain) || rampStep == 0.0f)
                appliedGain = gain;
        }
        return appliedGain;
    }
};

}  // namespace detail

struct AudioEngine::Impl {
    using Chan = detail::Chan;
    using Chunk = detail::Chunk;

    std::shared_ptr<AudioOutput> primary;
    std::shared_ptr<AudioOutput> output;  // primary, or the null fallback

    mutable std::mutex m;
    std::condition_variable cv;
    bool running = false;
    std::int64_t writePos = 0;  // frames handed to the output since start()
    std::array<Chan, detail::kChannelCount> ch;

    std::mutex tapMutex;
    Tap tap;
    std::atomic<bool> tapSet{false};

    ~Impl() {
        for (auto& c : ch)
            if (c.soxr) soxr_delete(c.soxr);
    }

    Chan& chan(Channel c) { return ch[static_cast<std::size_t>(c)]; }

    std::shared_ptr<AudioOutput> currentOutput() const {
        std::lock_guard lk(m);
        return output;
    }

    void notifyOutputOfWork() {
        const auto out = currentOutput();
        if (auto* demand = dynamic_cast<DemandAware*>(out.get())) demand->workArrived();
    }

    // While a tap listens, a real-time output runs on through silences, so a recording keeps
    // its pauses; otherwise an output may rest while every channel is empty.
    Demand demand() const {
        {
            std::lock_guard lk(m);
            for (const auto& c : ch)
                if (!c.chunks.empty()) return Demand::Sound;
        }
        return tapSet.load() ? Demand::Listen : Demand::None;
    }

    void enqueue(Chan& c, Chunk&& chunk, bool unflushed);
    // Drains the resampler's tail; the next append starts a fresh stream. Needs c.feed.
    void flushResampler(Chan& c);
    // Needs c.feed. False when this rate cannot be resampled.
    bool useRate(Chan& c, int rate);

    void pull(float* out, std::size_t frames);
};

}  // namespace sayvell::audio
