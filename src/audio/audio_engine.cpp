#include "audio/audio_engine_p.h"

#include <algorithm>
#include <chrono>

namespace sayvell::audio {
namespace {

// Spent chunks are handed out of the lock and freed after it; more than this per block is
// freed in place (only with absurdly small appends).
constexpr std::size_t kMaxSpentPerPull = 16;
// How often a waiter looks at the device position: it moves without any pull happening.
constexpr auto kPollStep = std::chrono::milliseconds(5);
// Stretches kept for the position; a continuous sound needs one, each gap adds one.
constexpr std::size_t kMaxSegments = 64;

// Adds (or, where nothing is in `dst` yet, writes) n frames of the channel's sound at its gain.
template <bool Add>
void mixRun(float* dst, const float* src, std::size_t n, detail::Chan& c) {
    const auto put = [](float& d, float v) {
        if constexpr (Add)
            d += v;
        else
            d = v;
    };
    if (c.appliedGain == c.gain) {
        const float g = c.gain;
        for (std::size_t i = 0; i < n * 2; ++i) put(dst[i], g * src[i]);
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            const float g = c.nextGain();
            put(dst[2 * i], g * src[2 * i]);
            put(dst[2 * i + 1], g * src[2 * i + 1]);
        }
    }
}

}  // namespace

using detail::Chan;

AudioEngine::AudioEngine(std::unique_ptr<AudioOutput> output) : d(std::make_unique<Impl>()) {
    d->primary = std::move(output);
    if (!d->primary) d->primary = makeNullOutput(true);
    d->output = d->primary;
    // Music plays under the speech, usually held low: soxr's low recipe (16-bit, flat to 16 kHz)
    // serves it as well as the 20-bit one that speech and effects keep, for less work.
    d->chan(Channel::Music).quality = SOXR_LQ;
}

AudioEngine::~AudioEngine() { stop(); }

void AudioEngine::Impl::pull(float* out, std::size_t frames) {
    std::array<std::unique_ptr<float[]>, kMaxSpentPerPull> spent;
    std::size_t spentCount = 0;
    bool wake = false;
    // Frames at the start of `out` that hold sound already; the first channel writes instead
    // of adding to zeros, and only what no channel reached is zeroed.
    std::size_t filled = 0;
    // The loudest the sum can be: below full scale, clipping would change nothing.
    float bound = 0.0f;
    {
        std::lock_guard lk(m);
        for (auto& c : ch) {
            if (c.chunks.empty()) {
                c.appliedGain = c.gain;
                c.rampStep = 0.0f;
                continue;
            }
            std::size_t done = 0;
            // A glide only moves between these two.
            const float gain = std::max(c.appliedGain, c.gain);
            float peak = 0.0f;
            while (done < frames && !c.chunks.empty()) {
                auto& front = c.chunks.front();
                peak = std::max(peak, front.peak);
                const std::size_t avail = (front.size - c.frontPos) / 2;
                const std::size_t n = std::min(avail, frames - done);
                const float* src = front.samples.get() + c.frontPos;
                float* dst = out + done * 2;
                const std::size_t added = std::min(n, filled > done ? filled - done : 0);
                mixRun<true>(dst, src, added, c);
                mixRun<false>(dst + added * 2, src + added * 2, n - added, c);
                done += n;
                c.frontPos += n * 2;
                if (c.frontPos >= front.size) {
                    if (spentCount < spent.size()) spent[spentCount++] = std::move(front.samples);
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
                if (c.segments.size() > kMaxSegments) c.segments.pop_front();
            }
            c.mixedTotal += mixed;
            if (c.chunks.empty()) {
                c.lastMixEnd = writePos + mixed;
                wake = true;
            }
            if (c.wantBelow > 0 && c.queued < c.wantBelow) wake = true;
            filled = std::max(filled, done);
            bound += gain * peak;
        }
        writePos += static_cast<std::int64_t>(frames);
    }
    if (bound > 1.0f)
        for (std::size_t i = 0; i < filled * 2; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
    std::fill(out + filled * 2, out + frames * 2, 0.0f);
    {
        std::lock_guard lk(tapMutex);
        if (tap) tap(out, frames);
    }
    if (wake) cv.notify_all();
}

bool AudioEngine::start(QString* error) {
    stop();
    std::shared_ptr<AudioOutput> out;
    {
        std::lock_guard lk(d->m);
        out = d->output = d->primary;
        d->writePos = 0;
        for (auto& c : d->ch) c.lastMixEnd = 0;
    }
    Impl* impl = d.get();
    const auto pull = [impl](float* buf, std::size_t frames) { impl->pull(buf, frames); };
    const auto probe = [impl] { return impl->demand(); };
    if (auto* demand = dynamic_cast<DemandAware*>(out.get())) demand->setDemandProbe(probe);

    QString why;
    const bool ok = out->start(pull, &why);
    if (!ok) {
        // Everything keeps working in real time, silently.
        std::shared_ptr<AudioOutput> fallback = makeNullOutput(true);
        if (auto* demand = dynamic_cast<DemandAware*>(fallback.get())) demand->setDemandProbe(probe);
        fallback->start(pull, nullptr);
        std::lock_guard lk(d->m);
        d->output = fallback;
        if (error) *error = why;
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
        if (!d->running) return;
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

bool AudioEngine::moveToSink(const QString& sink, QString* error) {
    const auto out = d->currentOutput();
    if (!out) {
        if (error) *error = QStringLiteral("沒有聲音輸出");
        return false;
    }
    return out->moveTo(sink, error);
}

bool AudioEngine::waitPlayed(Channel channel, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        timeoutMs >= 0 ? Clock::now() + std::chrono::milliseconds(timeoutMs) : Clock::time_point::max();
    // What the resampler still holds was appended too: it has to come out to be played.
    flush(channel);

    Chan& c = d->chan(channel);
    std::unique_lock lk(d->m);
    const std::uint64_t generation = c.generation;
    for (;;) {
        if (!d->running || c.generation != generation) return false;
        if (c.chunks.empty() && !c.unflushed) {
            const std::int64_t target = c.lastMixEnd;
            const auto out = d->output;
            // Never ask the device with the lock held: its thread takes the lock to pull.
            lk.unlock();
            const bool played = out->playedFrames() >= target;
            lk.lock();
            if (!d->running || c.generation != generation) return false;
            if (played) return true;
        }
        const auto now = Clock::now();
        if (now >= deadline) return false;
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
        if (!c.chunks.empty() || c.unflushed) return false;
        target = c.lastMixEnd;
        out = d->output;
    }
    return out->playedFrames() >= target;
}

std::int64_t AudioEngine::playedFrames() const { return d->currentOutput()->playedFrames(); }

void AudioEngine::setTap(Tap tap) {
    const bool set = static_cast<bool>(tap);
    {
        std::lock_guard lk(d->tapMutex);
        d->tap = std::move(tap);
    }
    d->tapSet.store(set);
    if (set) d->notifyOutputOfWork();
}

}  // namespace sayvell::audio
