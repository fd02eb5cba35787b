#include "audio/audio_engine_p.h"

#include <algorithm>
#include <chrono>

namespace sayvell::audio {

using detail::Chan;
using detail::Segment;

void AudioEngine::Impl::enqueue(Chan& c, std::vector<float>&& chunk, bool unflushed) {
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

void AudioEngine::Impl::flushResampler(Chan& c) {
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

bool AudioEngine::Impl::useRate(Chan& c, int rate) {
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
