#pragma once
// Writes mono 16-bit speech into a PCM WAV file of a chosen format: resampled, converted to
// 8 or 16 bits and duplicated to stereo as the format asks.
//
// The file is written as a temporary beside the target and renamed over it only when finish()
// succeeds, so an existing file is never left half-written and a failed write leaves nothing.
#include "reading/speech_engine.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace sayvell::reading {

class WavWriter {
public:
    WavWriter();
    ~WavWriter();  // a writer not finished is abandoned: its temporary file is removed
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    static bool isValidFormat(const PcmFormat& format);

    // Creates the temporary file; false with *error when the target's folder cannot take it.
    bool open(const QString& path, int inputRate, const PcmFormat& format, QString* error);
    // Appends mono samples at the input rate, scaled by gain. The first failure is kept;
    // later writes are ignored and finish() reports it.
    void write(const std::int16_t* samples, std::size_t count, float gain = 1.0f);
    // Completes the file and moves it into place. False with *error when anything failed.
    bool finish(QString* error);
    // Drops the temporary file.
    void abandon();

    bool isOpen() const;
    bool failed() const;
    // Frames in the output format written so far.
    std::int64_t framesWritten() const;
    QString path() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace sayvell::reading
