#include "audio/audio_engine_p.h"

#include <algorithm>
#include <bit>
#include <chrono>

namespace sayvell::audio {

using detail::Chan;
using detail::Chunk;
using detail::Segment;

namespace {

constexpr float kInt16Scale = 1.0f / 32768.0f;

// Up- or down-mixes to stereo float: one resampler layout whatever arrives. The loops are kept
// plain for each common layout so that they vectorise.
void toSplitStereo(const std::int16_t* pcm, std::size_t frames, int channels, float* left, float* right) {
    if (channels == 1) {
        for (std::size_t i = 0; i < frames; ++i) left[i] = right[i] = static_cast<float>(pcm[i]) * kInt16Scale;
    } else if (channels == 2) {
        for (std::size_t i = 0; i < frames; ++i) {
            left[i] = static_cast<float>(pcm[2 * i]) * kInt16Scale;
            right[i] = static_cast<float>(pcm[2 * i + 1]) * kInt16Scale;
        }
    } else {
        const auto stride = static_cast<std::size_t>(channels);
        for (std::size_t i = 0; i < frames; ++i) {
            left[i] = static_cast<float>(pcm[i * stride]) * kInt16Scale;
            right[i] = static_cast<float>(pcm[i * stride + 1]) * kInt16Scale;
        }
    }
}

// Full scale at most: -32768 is the loudest 16-bit sample.
Chunk toInterleavedStereo(const std::int16_t* pcm, std::size_t frames, int channels) {
    Chunk chunk(frames * 2);
    float* out = chunk.samples.get();
    if (channels == 1) {
        for (std::size_t i = 0; i < frames; ++i) out[2 * i] = out[2 * i + 1] = static_cast<float>(pcm[i]) * kInt16Scale;
    } else if (channels == 2) {
        for (std::size_t i = 0; i < frames * 2; ++i) out[i] = static_cast<float>(pcm[i]) * kInt16Scale;
    } else {
        const auto stride = static_cast<std::size_t>(channels);
        for (std::size_t i = 0; i < frames; ++i) {
            out[2 * i] = static_cast<float>(pcm[i * stride]) * kInt16Scale;
            out[2 * i + 1] = static_cast<float>(pcm[i * stride + 1]) * kInt16Scale;
        }
    }
    return chunk;
}

// The resampler's split output as a chunk, with its peak. Magnitudes are compared as the bits
// of positive floats, which order as integers and keep the loop vectorised.
Chunk interleave(const float* left, const float* right, std::size_t frames) {
    Chunk chunk(frames * 2);
    float* dst = chunk.samples.get();
    constexpr std::int32_t kMagnitude = 0x7fffffff;
    std::int32_t peak = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        dst[2 * i] = left[i];
        dst[2 * i + 1] = right[i];
        peak = std::max(peak, std::max(std::bit_cast<std::int32_t>(left[i]) & kMagnitude,
                                       std::bit_cast<std::int32_t>(right[i]) & kMagnitude));
    }
    chunk.peak = std::bit_cast<float>(peak);
    return chunk;
}

}  // namespace

void AudioEngine::Impl::enqueue(Chan& c, Chunk&& chunk, bool unflushed) {
    {
        std::lock_guard lk(m);
        if (c.chunks.empty()) {
            c.appliedGain = c.gain;  // nothing sounding: no ramp needed
            c.rampStep = 0.0f;
        }
        if (chunk.size > 0) {
            c.queued += static_cast<std::int64_t>(chunk.size / 2);
            c.chunks.push_back(std::move(chunk));
        }
        c.unflushed = unflushed;
    }
    notifyOutputOfWork();
}

void AudioEngine::Impl::flushResampler(Chan& c) {
    bool held = false;
    {
        std::lock_guard lk(m);
        held = c.unflushed;
    }
    if (!c.soxr || !held) return;
    constexpr std::size_t kCap = 4096;
    c.out.resize(kCap * 2);
    float* planes[2] = {c.out.data(), c.out.data() + kCap};
    for (;;) {
        std::size_t produced = 0;
        soxr_process(c.soxr, nullptr, 0, nullptr, planes, kCap, &produced);
        if (produced == 0) break;
        enqueue(c, interleave(planes[0], planes[1], produced), true);
    }
    soxr_clear(c.soxr);
    enqueue(c, Chunk(0), false);
}

bool AudioEngine::Impl::useRate(Chan& c, int rate) {
    if (c.soxr && c.soxrRate == rate) return true;
    flushResampler(c);
    if (c.soxr) {
        soxr_delete(c.soxr);
        c.soxr = nullptr;
        c.soxrRate = 0;
    }
    if (rate == kRate) return true;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_S, SOXR_FLOAT32_S);
    const soxr_quality_spec_t quality = soxr_quality_spec(c.quality, 0);
    soxr_error_t err = nullptr;
    soxr_t s = soxr_create(rate, kRate, kChannels, &err, &io, &quality, nullptr);
    if (err || !s) return false;
    c.soxr = s;
    c.soxrRate = rate;
    return true;
}

void AudioEngine::append(Channel channel, const std::int16_t* pcm, std::size_t frames, int rate, int channels) {
    if (!pcm || frames == 0 || rate <= 0 || channels <= 0) return;
    Chan& c = d->chan(channel);
    std::lock_guard feed(c.feed);

    if (!d->useRate(c, rate)) return;
    if (!c.soxr) {
        d->enqueue(c, toInterleavedStereo(pcm, frames, channels), false);
        return;
    }

    c.in.resize(frames * 2);
    toSplitStereo(pcm, frames, channels, c.in.data(), c.in.data() + frames);
    const std::size_t cap = static_cast<std::size_t>(static_cast<double>(frames) * kRate / rate) + 256;
    c.out.resize(cap * 2);
    std::size_t done = 0;
    std::size_t got = 0;  // frames in the output planes
    while (done < frames) {
        const float* const inPlanes[2] = {c.in.data() + done, c.in.data() + frames + done};
        float* outPlanes[2] = {c.out.data() + got, c.out.data() + cap + got};
        std::size_t used = 0;
        std::size_t produced = 0;
        if (soxr_process(c.soxr, inPlanes, frames - done, &used, outPlanes, cap - got, &produced)) break;
        done += used;
        got += produced;
        if (got == cap) {
            d->enqueue(c, interleave(c.out.data(), c.out.data() + cap, got), true);
            got = 0;
        }
        if (used == 0 && produced == 0) break;
    }
    d->enqueue(c, interleave(c.out.data(), c.out.data() + cap, got), true);
}

void AudioEngine::flush(Channel channel) {
    Chan& c = d->chan(channel);
    std::lock_guard feed(c.feed);
    d->flushResampler(c);
}

void AudioEngine::clear(Channel channel) {
    Chan& c = d->chan(channel);
    std::deque<Chunk> dropped;
    {
        std::lock_guard feed(c.feed);
        if (c.soxr) soxr_clear(c.soxr);
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

std::int64_t AudioEngine::appendedFrames(Channel channel) const {
    std::lock_guard lk(d->m);
    const Chan& c = d->ch[static_cast<std::size_t>(channel)];
    return c.mixedTotal + c.queued;
}

std::int64_t AudioEngine::channelPlayedFrames(Channel channel) const {
    // Asked before the lock: the device's thread takes the lock to pull.
    const auto out = d->currentOutput();
    const std::int64_t played = out->playedFrames();
    std::lock_guard lk(d->m);
    auto& segments = d->ch[static_cast<std::size_t>(channel)].segments;
    // Drop stretches the device has passed, keeping the one it is in (or passed last).
    while (segments.size() > 1 && segments[1].writeStart <= played) segments.pop_front();
    if (segments.empty() || played <= segments.front().writeStart)
        return segments.empty() ? 0 : segments.front().chanStart;
    const Segment& s = segments.front();
    return s.chanStart + std::min(s.n, played - s.writeStart);
}

}  // namespace sayvell::audio
