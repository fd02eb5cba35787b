#include "audio/audio_engine.h"

#include "audio/output_demand.h"

#include <soxr.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace sayvell::audio {
namespace {

constexpr int kChannelCount = 3;
// Spent chunks are handed out of the lock and freed after it; more than this per block is
// freed in place (only with absurdly small appends).
constexpr std::size_t kMaxSpentPerPull = 16;
// How often a waiter looks at the device position: it moves without any pull happening.
constexpr auto kPollStep = std::chrono::milliseconds(5);

// Where a stretch of a channel's sound went in the output: its frames [chanStart, chanStart+n)
// were mixed at output positions [writeStart, writeStart+n).
struct Segment {
    std::int64_t writeStart = 0;
    std::int64_t chanStart = 0;
    std::int64_t n = 0;
};
// Stretches kept for the position; a continuous sound needs one, each gap adds one.
constexpr std::size_t kMaxSegments = 64;

struct Chan {
    // Feeding side, serialised by `feed` (appends, flush, clear).
    std::mutex feed;
    soxr_t soxr = nullptr;
    int soxrRate = 0;
    std::vector<float> in;   // stereo float of the current append
    std::vector<float> out;  // resampler output scratch

    // Mixer side, guarded by Impl::m.
    std::deque<std::vector<float>> chunks;  // interleaved stereo at the mix rate
    std::size_t frontPos = 0;               // samples of chunks.front() already mixed
    bool unflushed = false;                 // the resampler still holds input
    std::int64_t lastMixEnd = 0;            // write position right after the last mixed frame
    std::uint64_t generation = 0;           // bumped by clear()
    std::int64_t queued = 0;     // frames in chunks not yet mixed
    std::int64_t wantBelow = 0;  // a feeder waits for `queued` to fall under this; 0: nobody
    std::int64_t mixedTotal = 0; // frames of this channel mixed since its last clear()
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

}  // namespace

struct AudioEngine::Impl {
    std::shared_ptr<AudioOutput> primary;
    std::shared_ptr<AudioOutput> output;  // primary, or the null fallback

    mutable std::mutex m;
    std::condition_variable cv;
    bool running = false;
    std::int64_t writePos = 0;  // frames handed to the output since start()
    std::array<Chan, kChannelCount> ch;

    std::mutex tapMutex;
    Tap tap;
    std::atomic<bool> tapSet{false};

    ~Impl() {
        for (auto& c : ch)
            if (c.soxr)
                soxr_delete(c.soxr);
    }

    Chan& chan(Channel c) { return ch[static_cast<std::size_t>(c)]; }

    std::shared_ptr<AudioOutput> currentOutput() const {
        std::lock_guard lk(m);
        return output;
    }

    void notifyOutputOfWork() {
        const auto out = currentOutput();
        if (auto* demand = dynamic_cast<DemandAware*>(out.get()))
            demand->workArrived();
    }

    // While a tap listens, a real-time output runs on through silences, so a recording keeps
    // its pauses; otherwise an output may rest while every channel is empty.
    Demand demand() const {
        {
            std::lock_guard lk(m);
            for (const auto& c : ch)
                if (!c.chunks.empty())
                    return Demand::Sound;
        }
        return tapSet.load() ? Demand::Listen : Demand::None;
    }

    void enqueue(Chan& c, std::vector<float>&& chunk, bool unflushed) {
        {
            std::lock_guard lk(m);
            if (c.chunks.empty()) {
                c.appliedGain = c.gain;  // nothing sounding: no ramp needed
                c.rampStep = 0.0f;
            }
            if (!chunk.empty()) {
                c.queued += static_cast<std::int64_t>(chunk.size() / 2);
                c.chunks.push_back(std::move(chunk));
            }
            c.unflushed = unflushed;
        }
        notifyOutputOfWork();
    }

    // Drains the resampler's tail; the next append starts a fresh stream. Needs c.feed.
    void flushResampler(Chan& c) {
        bool held = false;
        {
            std::lock_guard lk(m);
            held = c.unflushed;
        }
        if (!c.soxr || !held)
            return;
        constexpr std::size_t kCap = 4096;
        c.out.resize(kCap * 2);
        std::vector<float> chunk;
        for (;;) {
            std::size_t produced = 0;
            soxr_process(c.soxr, nullptr, 0, nullptr, c.out.data(), kCap, &produced);
            if (produced == 0)
                break;
            chunk.insert(chunk.end(), c.out.begin(), c.out.begin() + static_cast<std::ptrdiff_t>(produced * 2));
        }
        soxr_clear(c.soxr);
        enqueue(c, std::move(chunk), false);
    }

    // Needs c.feed. False when this rate cannot be resampled.
    bool useRate(Chan& c, int rate) {
        if (c.soxr && c.soxrRate == rate)
            return true;
        flushResampler(c);
        if (c.soxr) {
            soxr_delete(c.soxr);
            c.soxr = nullptr;
            c.soxrRate = 0;
        }
        if (rate == kRate)
            return true;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t err = nullptr;
        soxr_t s = soxr_create(rate, kRate, kChannels, &err, &io, &quality, nullptr);
        if (err || !s)
            return false;
        c.soxr = s;
        c.soxrRate = rate;
        return true;
    }

    void pull(float* out, std::size_t frames);
};

AudioEngine::AudioEngine(std::unique_ptr<AudioOutput> output) : d(std::make_unique<Impl>()) {
    d->primary = std::move(output);
    if (!d->primary)
        d->primary = makeNullOutput(true);
    d->output = d->primary;
}

AudioEngine::~AudioEngine() {
    stop();
}

void AudioEngine::Impl::pull(float* out, std::size_t frames) {
    std::array<std::vector<float>, kMaxSpentPerPull> spent;
    std::size_t spentCount = 0;
    bool wake = false;
    bool sounding = false;
    std::fill(out, out + frames * 2, 0.0f);
    {
        std::lock_guard lk(m);
        for (auto& c : ch) {
            if (c.chunks.empty()) {
                c.appliedGain = c.gain;
                c.rampStep = 0.0f;
                continue;
            }
            sounding = true;
            std::size_t done = 0;
            while (done < frames && !c.chunks.empty()) {
                auto& front = c.chunks.front();
                const std::size_t avail = (front.size() - c.frontPos) / 2;
                const std::size_t n = std::min(avail, frames - done);
                const float* src = front.data() + c.frontPos;
                float* dst = out + done * 2;
                if (c.appliedGain == c.gain) {
                    const float g = c.gain;
                    for (std::size_t i = 0; i < n; ++i) {
                        dst[2 * i] += g * src[2 * i];
                        dst[2 * i + 1] += g * src[2 * i + 1];
                    }
                } else {
                    for (std::size_t i = 0; i < n; ++i) {
                        const float g = c.nextGain();
                        dst[2 * i] += g * src[2 * i];
                        dst[2 * i + 1] += g * src[2 * i + 1];
                    }
                }
                done += n;
                c.frontPos += n * 2;
                if (c.frontPos >= front.size()) {
                    if (spentCount < spent.size())
                        spent[spentCount++] = std::move(front);
                    c.chunks.pop_front();
                    c.frontPos = 0;
                }
            }
            const auto mixed = static_cast<std::int64_t>(done);
            c.queued -= mixed;
            if (!c.segments.empty() && c.segments.back().writeStart + c.segments.back().n == writePos &&
                c.segments.back().chanStart + c.segments.back().n == c.mixedTotal) {
                c.segments.back().n += mixed;
            } else {
                c.segments.push_back({writePos, c.mixedTotal, mixed});
                if (c.segments.size() > kMaxSegments)
                    c.segments.pop_front();
            }
            c.mixedTotal += mixed;
            if (c.chunks.empty()) {
                c.lastMixEnd = writePos + mixed;
                wake = true;
            }
            if (c.wantBelow > 0 && c.queued < c.wantBelow)
                wake = true;
        }
        writePos += static_cast<std::int64_t>(frames);
    }
    if (sounding)
        for (std::size_t i = 0; i < frames * 2; ++i)
            out[i] = std::clamp(out[i], -1.0f, 1.0f);
    {
        std::lock_guard lk(tapMutex);
        if (tap)
            tap(out, frames);
    }
    if (wake)
        cv.notify_all();
}

bool AudioEngine::start(QString* error) {
    stop();
    std::shared_ptr<AudioOutput> out;
    {
        std::lock_guard lk(d->m);
        out = d->output = d->primary;
        d->writePos = 0;
        for (auto& c : d->ch)
            c.lastMixEnd = 0;
    }
    Impl* impl = d.get();
    const auto pull = [impl](float* buf, std::size_t frames) { impl->pull(buf, frames); };
    const auto probe = [impl] { return impl->demand(); };
    if (auto* demand = dynamic_cast<DemandAware*>(out.get()))
        demand->setDemandProbe(probe);

    QString why;
    const bool ok = out->start(pull, &why);
    if (!ok) {
        // Everything keeps working in real time, silently.
        std::shared_ptr<AudioOutput> fallback = makeNullOutput(true);
        if (auto* demand = dynamic_cast<DemandAware*>(fallback.get()))
            demand->setDemandProbe(probe);
        fallback->start(pull, nullptr);
        std::lock_guard lk(d->m);
        d->output = fallback;
        if (error)
            *error = why;
    }
    {
        std::lock_guard lk(d->m);
        d->running = true;
    }
    return ok;
}

void AudioEngine::stop() {
    std::shared_ptr<AudioOutput> out;
    {
        std::lock_guard lk(d->m);
        if (!d->running)
            return;
        d->running = false;
        out = d->output;
    }
    d->cv.notify_all();
    out->stop();
}

bool AudioEngine::hasSound() const {
    const auto out = d->currentOutput();
    return out && !out->isNull();
}

void AudioEngine::append(Channel channel, const std::int16_t* pcm, std::size_t frames, int rate, int channels) {
    if (!pcm || frames == 0 || rate <= 0 || channels <= 0)
        return;
    Chan& c = d->chan(channel);
    std::lock_guard feed(c.feed);

    // Up- or down-mix to stereo float first: one resampler layout whatever arrives.
    c.in.resize(frames * 2);
    const std::size_t stride = static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < frames; ++i) {
        const std::int16_t* f = pcm + i * stride;
        c.in[2 * i] = static_cast<float>(f[0]) / 32768.0f;
        c.in[2 * i + 1] = static_cast<float>(channels > 1 ? f[1] : f[0]) / 32768.0f;
    }

    if (!d->useRate(c, rate))
        return;
    if (!c.soxr) {
        d->enqueue(c, std::vector<float>(c.in.begin(), c.in.end()), false);
        return;
    }

    const std::size_t cap = static_cast<std::size_t>(static_cast<double>(frames) * kRate / rate) + 256;
    c.out.resize(cap * 2);
    std::vector<float> chunk;
    chunk.reserve(cap * 2);
    const float* src = c.in.data();
    std::size_t left = frames;
    while (left > 0) {
        std::size_t used = 0;
        std::size_t produced = 0;
        if (soxr_process(c.soxr, src, left, &used, c.out.data(), cap, &produced))
            break;
        chunk.insert(chunk.end(), c.out.begin(), c.out.begin() + static_cast<std::ptrdiff_t>(produced * 2));
        src += used * 2;
        left -= used;
        if (used == 0 && produced == 0)
            break;
    }
    d->enqueue(c, std::move(chunk), true);
}

void AudioEngine::flush(Channel channel) {
    Chan& c = d->chan(channel);
    std::lock_guard feed(c.feed);
    d->flushResampler(c);
}

void AudioEngine::clear(Channel channel) {
    Chan& c = d->chan(channel);
    std::deque<std::vector<float>> dropped;
    {
        std::lock_guard feed(c.feed);
        if (c.soxr)
            soxr_clear(c.soxr);
        std::lock_guard lk(d->m);
        dropped.swap(c.chunks);
        c.queued = 0;
        c.mixedTotal = 0;
        c.segments.clear();
        c.frontPos = 0;
        c.unflushed = false;
        c.lastMixEnd = 0;
        ++c.generation;
    }
    d->cv.notify_all();
}

void AudioEngine::setVolume(Channel channel, float gain) {
    if (!(gain >= 0.0f))  // also NaN
        gain = 0.0f;
    std::lock_guard lk(d->m);
    d->chan(channel).setGain(gain);
}

float AudioEngine::volume(Channel channel) const {
    std::lock_guard lk(d->m);
    return d->ch[static_cast<std::size_t>(channel)].gain;
}

bool AudioEngine::waitPlayed(Channel channel, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = timeoutMs >= 0 ? Clock::now() + std::chrono::milliseconds(timeoutMs) : Clock::time_point::max();
    // What the resampler still holds was appended too: it has to come out to be played.
    flush(channel);

    Chan& c = d->chan(channel);
    std::unique_lock lk(d->m);
    const std::uint64_t generation = c.generation;
    for (;;) {
        if (!d->running || c.generation != generation)
            return false;
        if (c.chunks.empty() && !c.unflushed) {
            const std::int64_t target = c.lastMixEnd;
            const auto out = d->output;
            // Never ask the device with the lock held: its thread takes the lock to pull.
            lk.unlock();
            const bool played = out->playedFrames() >= target;
            lk.lock();
            if (!d->running || c.generation != generation)
                return false;
            if (played)
                return true;
        }
        const auto now = Clock::now();
        if (now >= deadline)
            return false;
        const auto step = std::min<Clock::duration>(deadline - now, kPollStep);
        d->cv.wait_for(lk, step);
    }
}

bool AudioEngine::isIdle(Channel channel) const {
    std::int64_t target = 0;
    std::shared_ptr<AudioOutput> out;
    {
        std::lock_guard lk(d->m);
        const Chan& c = d->ch[static_cast<std::size_t>(channel)];
        if (!c.chunks.empty() || c.unflushed)
            return false;
        target = c.lastMixEnd;
        out = d->output;
    }
    return out->playedFrames() >= target;
}

std::int64_t AudioEngine::playedFrames() const {
    return d->currentOutput()->playedFrames();
}

void AudioEngine::setTap(Tap tap) {
    const bool set = static_cast<bool>(tap);
    {
        std::lock_guard lk(d->tapMutex);
        d->tap = std::move(tap);
    }
    d->tapSet.store(set);
    if (set)
        d->notifyOutputOfWork();
}

std::int64_t AudioEngine::queuedFrames(Channel channel) const {
    std::lock_guard lk(d->m);
    return d->ch[static_cast<std::size_t>(channel)].queued;
}

bool AudioEngine::waitQueuedBelow(Channel channel, std::int64_t frames, int timeoutMs) {
    Chan& c = d->chan(channel);
    std::unique_lock lk(d->m);
    const std::uint64_t generation = c.generation;
    const auto done = [&] { return !d->running || c.generation != generation || c.queued < frames; };
    c.wantBelow = std::max(c.wantBelow, frames);
    bool timedOut = false;
    if (timeoutMs < 0)
        d->cv.wait(lk, done);
    else
        timedOut = !d->cv.wait_for(lk, std::chrono::milliseconds(timeoutMs), done);
    c.wantBelow = 0;
    return !timedOut && d->running && c.generation == generation;
}

std::int64_t AudioEngine::channelPlayedFrames(Channel channel) const {
    // Asked before the lock: the device's thread takes the lock to pull.
    const auto out = d->currentOutput();
    const std::int64_t played = out->playedFrames();
    std::lock_guard lk(d->m);
    auto& segments = d->ch[static_cast<std::size_t>(channel)].segments;
    // Drop stretches the device has passed, keeping the one it is in (or passed last).
    while (segments.size() > 1 && segments[1].writeStart <= played)
        segments.pop_front();
    if (segments.empty() || played <= segments.front().writeStart)
        return segments.empty() ? 0 : segments.front().chanStart;
    const Segment& s = segments.front();
    return s.chanStart + std::min(s.n, played - s.writeStart);
}

}  // namespace sayvell::audio
