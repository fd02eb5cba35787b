#pragma once
// Recording what the computer plays into a PCM WAV file.
//
// RecordingFile is the file side: it writes the 44-byte header (lengths 0) before any sample,
// appends samples as they come, and patches the two lengths when it is closed, so the file
// is a valid WAV file at every moment of the recording.
//
// SoundRecorder is the device side. The real one is a libpulse record stream on the monitor of
// the default output ("@DEFAULT_MONITOR@"), which the user may move to another source in the
// desktop's sound settings; the null one stands for a machine without a sound server.
#include "audio/wav_formats.h"

#include <QFile>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace sayvell::audio {

// The header as written before recording: RIFF size 36, data size 0.
std::array<std::uint8_t, 44> wavHeader(const PcmFormat& format, std::uint32_t dataBytes = 0);

class RecordingFile {
public:
    // Creates or truncates the file and writes the header. False with *error.
    bool open(const QString& path, const PcmFormat& format, QString* error);
    // Appends sample bytes in the file's format.
    void append(const void* bytes, std::size_t count);
    // Appends silence (a hole in the stream must not shorten the recording).
    void appendSilence(std::size_t count);
    // Patches the two lengths and closes. False with *error when any write failed.
    bool close(QString* error);
    bool isOpen() const { return file_.isOpen(); }
    std::int64_t dataBytes() const { return dataBytes_; }
    const PcmFormat& format() const { return format_; }

private:
    QFile file_;
    PcmFormat format_;
    std::int64_t dataBytes_ = 0;
    bool failed_ = false;
};

class SoundRecorder {
public:
    virtual ~SoundRecorder() = default;
    // Opens the device and the file and starts recording. False with *error when either fails
    // (no file is left open then).
    virtual bool start(const QString& path, const PcmFormat& format, QString* error) = 0;
    // Stops the device and completes the file. False with *error when nothing was recording
    // or the file could not be completed.
    virtual bool stop(QString* error) = 0;
    virtual bool recording() const = 0;
    // The device went away while recording (the sound server ended): nothing more will come,
    // and stop() still completes the file with what was recorded.
    virtual bool lost() const { return false; }
    // Frames written to the file since the start.
    virtual std::int64_t framesRecorded() const = 0;
};

// libpulse on `device`; start() fails at once when no server answers.
std::unique_ptr<SoundRecorder> makePulseRecorder(const QString& applicationName,
                                                 const QString& device = QStringLiteral("@DEFAULT_MONITOR@"));
// No sound server: every start fails with `reason`.
std::unique_ptr<SoundRecorder> makeNullRecorder(const QString& reason);

}  // namespace sayvell::audio
