#pragma once
// A sound device the mixer feeds. The device pulls mixed frames from its own thread.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace sayvell::audio {

class AudioOutput {
public:
    // Fills `frames` interleaved stereo float frames at the mix rate.
    using Pull = std::function<void(float* interleaved, std::size_t frames)>;

    virtual ~AudioOutput() = default;
    // Starts pulling; false with *error set when the device cannot be opened.
    virtual bool start(Pull pull, QString* error) = 0;
    virtual void stop() = 0;
    // Frames that have really been heard (the device's play position), not merely handed over.
    virtual std::int64_t playedFrames() const = 0;
    // Frames handed to the device so far.
    virtual std::int64_t writtenFrames() const = 0;
    virtual bool isNull() const = 0;
    // Sends the sound to the sound server's sink of that name from now on; an empty name sends
    // it back where it played before the first move. False with *error where there is no such
    // sink or no sound server.
    virtual bool moveTo(const QString& sink, QString* error) {
        (void)sink;
        if (error) *error = QStringLiteral("沒有聲音伺服器");
        return false;
    }
};

// libpulse output (PulseAudio or pipewire-pulse); start() fails at once when no server answers.
std::unique_ptr<AudioOutput> makePulseOutput(const QString& applicationName);
// No device: pulls in real time when paced, as fast as it can otherwise (tests).
std::unique_ptr<AudioOutput> makeNullOutput(bool paced);

}  // namespace sayvell::audio
