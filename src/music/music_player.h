#pragma once
// One music stream at a time: the operations the music panel needs. The real player feeds the
// audio engine's music channel from a decoding thread of its own; the UI thread only gives
// orders and asks questions, it never decodes.
#include <QString>

#include <functional>
#include <memory>

namespace sayvell::audio {
class AudioEngine;
}

namespace sayvell::music {

class MusicPlayer {
public:
    virtual ~MusicPlayer() = default;

    // Empty when the player can make sound (or silently pretend to); otherwise why not.
    virtual QString startError() const { return {}; }

    // Replaces the current stream by one of the file, ready to play. False (and no stream)
    // when the file cannot be decoded; lastError() says why. A finished() stream is not cut:
    // its last moments play out and the new one follows without a gap.
    virtual bool create(const QString& path) = 0;
    // Stops and drops the current stream.
    virtual void free() = 0;
    // A stream exists (created and not freed).
    virtual bool live() const = 0;
    // Plays the stream from its beginning.
    virtual void play() = 0;
    virtual void stop() = 0;
    // 0.0 .. 1.0; kept for the streams that follow. Changes glide, so they make no click.
    virtual void setVolume(float volume) = 0;
    // Length of the stream (exact once the decoding thread has scanned it) and how much of
    // it has been heard, in seconds; 0 without a stream.
    virtual double lengthSeconds() const = 0;
    virtual double positionSeconds() const = 0;
    // The playing stream has given all of its sound to the mixer and is about to end: the
    // moment to create and play the next one.
    virtual bool finished() const = 0;
    virtual QString lastError() const = 0;

    // Called (from any thread) when the playing stream becomes finished().
    void setFinishedHandler(std::function<void()> handler) { finishedHandler_ = std::move(handler); }

protected:
    void notifyFinished() {
        if (finishedHandler_) finishedHandler_();
    }

private:
    std::function<void()> finishedHandler_;
};

// Plays through the engine's music channel.
std::unique_ptr<MusicPlayer> makeEngineMusicPlayer(audio::AudioEngine& engine);
// No sound output: streams are created and report their length but make no sound and never end.
std::unique_ptr<MusicPlayer> makeSilentMusicPlayer();

}  // namespace sayvell::music
