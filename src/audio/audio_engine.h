#pragma once
// The one mixer of the program. Three channels, each a queue of sound with its own volume,
// are summed into one output at 48 kHz stereo.
//
// States of a channel:
//   idle     nothing queued; contributes silence
//   queued   appended sound waits or is being mixed
//   draining all of it has been mixed; waitPlayed() returns once the device has played it
// clear() returns a channel to idle at once and wakes its waiters (they get false).
//
// A volume change glides to its new gain over kRampFrames, so a sudden drop makes no click.
#include "audio/audio_output.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace sayvell::audio {

enum class Channel { Speech = 0, Music = 1, Effects = 2 };

class AudioEngine {
public:
    static constexpr int kRate = 48000;
    static constexpr int kChannels = 2;
    static constexpr int kRampFrames = kRate / 100;

    explicit AudioEngine(std::unique_ptr<AudioOutput> output);
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // Opens the output. When it fails the engine falls back to a paced null output,
    // so everything still runs silently; *error says why.
    bool start(QString* error = nullptr);
    void stop();
    // False when the sound goes to a null output.
    bool hasSound() const;
    // The whole mix to a named sink of the sound server; empty: back to where it played.
    bool moveToSink(const QString& sink, QString* error = nullptr);

    // Appends interleaved 16-bit PCM of `channels` channels at `rate` Hz. Consecutive appends
    // at one rate form one continuous stream through the channel's resampler.
    void append(Channel ch, const std::int16_t* pcm, std::size_t frames, int rate, int channels);
    // Pushes out what the channel's resampler still holds (call after the last append of a sound).
    void flush(Channel ch);
    // Drops everything queued on the channel and wakes waitPlayed() callers with false.
    void clear(Channel ch);

    // Linear gain, 0..1 (values above 1 amplify and are clipped in the mix).
    void setVolume(Channel ch, float gain);
    float volume(Channel ch) const;

    // Blocks until everything appended to the channel so far has been played by the device.
    // False when the channel was cleared meanwhile, the engine stopped, or timeoutMs (>= 0) ran out.
    bool waitPlayed(Channel ch, int timeoutMs = -1);
    bool isIdle(Channel ch) const;

    // Frames the device has played; the clock of "heard".
    std::int64_t playedFrames() const;

    // Frames (at the mix rate) appended and waiting to be mixed; a feeder keeps this bounded.
    std::int64_t queuedFrames(Channel ch) const;
    // Blocks until fewer than `frames` wait to be mixed on the channel. False when the channel
    // was cleared meanwhile, the engine is not running, or timeoutMs (>= 0) ran out.
    bool waitQueuedBelow(Channel ch, std::int64_t frames, int timeoutMs = -1);
    // Frames of the channel's own sound the device has played since its last clear(): where
    // a listener is in what was appended, gaps of silence not counted.
    std::int64_t channelPlayedFrames(Channel ch) const;
    // Frames of the channel's own sound appended since its last clear(), at the mix rate (what
    // the resampler still holds not counted): where the next append will start.
    std::int64_t appendedFrames(Channel ch) const;

    // Receives every mixed block (mixer thread, keep it short): the recorder's tap.
    using Tap = std::function<void(const float* interleaved, std::size_t frames)>;
    void setTap(Tap tap);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace sayvell::audio
