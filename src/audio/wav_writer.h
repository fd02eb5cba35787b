#pragma once
// Writes sound into a file: a PCM WAV file in one of the export formats (any rate, 8-bit
// unsigned or 16-bit, mono or stereo), or an MP3, Ogg Vorbis, Opus or FLAC file. Input is
// resampled to the file's rate and mixed or duplicated to its channel count.
//
// The file is written under a temporary name beside the target and renamed over it only when
// finish() succeeds, so an existing file is never replaced by a half-written one and a failed
// or abandoned write leaves nothing behind.
#include "audio/wav_formats.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace sayvell::audio {

enum class FileKind { Wav, Mp3, OggVorbis, Opus, Flac };

// The kinds of sound file this writer makes: the one list the window, the command line and the
// writer go by.
struct SoundKind {
    FileKind kind;
    QStringList extensions;  // without the dot, lower case; the first is the one files get
};
const std::vector<SoundKind>& soundKinds();
// By the name's extension (any letter case); none for an extension no kind has.
std::optional<FileKind> soundKindOf(const QString& path);
// The first extension of every kind, "*.wav *.mp3 ..." with pattern "*.%1", ".wav .mp3 ..." with ".%1".
QString soundExtensions(const QString& pattern);

// By the name's extension (any letter case); WAV for every other name.
FileKind fileKindOf(const QString& path);
// The rate a kind's file is written at for a wanted rate: Opus has only some rates.
int fileRateFor(FileKind kind, int rate);
// The extension a kind is saved with, dot included.
QString extensionOf(FileKind kind);

class WavWriter {
public:
    WavWriter();
    ~WavWriter();  // a writer not finished is abandoned
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    static bool isValidFormat(const PcmFormat& format);

    // Creates the temporary file. `format` gives rate, bits and channels of the file (a
    // compressed kind keeps rate and channels; Opus takes 48 kHz when the rate is not one it
    // has). False with *error when the target's folder cannot take the file.
    bool open(const QString& path, int inputRate, const PcmFormat& format, QString* error, int inputChannels = 1,
              FileKind kind = FileKind::Wav);
    // Appends interleaved frames at the input rate and channel count, scaled by gain. The first
    // failure is kept; later writes are ignored and finish() reports it.
    void write(const std::int16_t* samples, std::size_t frames, float gain = 1.0f);
    void writeFloat(const float* samples, std::size_t frames);
    // Appends `frames` of silence at the input rate.
    void writeSilence(std::size_t frames);
    // Completes the file and moves it into place. False with *error when anything failed.
    bool finish(QString* error);
    // Drops the temporary file; the target is left as it was.
    void abandon();

    bool isOpen() const;
    bool failed() const;
    // Frames in the file's format written so far.
    std::int64_t framesWritten() const;
    // Frames taken at the input rate so far.
    std::int64_t framesTaken() const;
    int fileRate() const;
    QString path() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace sayvell::audio
