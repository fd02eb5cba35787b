#pragma once
// A music file decoded into 16-bit PCM, a block at a time, so a track of any length costs the
// same memory. MP3 goes through libmpg123; Ogg Vorbis, Opus, FLAC and WAV through libsndfile.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace sayvell::music {

class MusicDecoder {
public:
    virtual ~MusicDecoder() = default;

    // Opens the file and decodes its first frame; null with *error set when it holds no music
    // we can decode (also a text file that merely carries a music file's name).
    static std::unique_ptr<MusicDecoder> open(const QString& path, QString* error = nullptr);

    // Format of the frames the last read() returned (before any read: of the first frame).
    virtual int rate() const = 0;
    virtual int channels() const = 0;

    // Length in frames at rate(): exact after scanLength(), an estimate from the file's header
    // before it (-1 when there is none).
    virtual std::int64_t lengthFrames() const = 0;
    // Finds the exact length; reads through the whole file, so never on the UI thread. The
    // next read() starts from the beginning again.
    virtual std::int64_t scanLength() = 0;
    double lengthSeconds() const {
        const std::int64_t n = lengthFrames();
        return n > 0 && rate() > 0 ? static_cast<double>(n) / rate() : 0.0;
    }

    // Back to the first frame.
    virtual bool rewind() = 0;
    // Replaces *pcm with up to maxFrames interleaved frames (rate() and channels() describe
    // them); 0 at the end of the music or when decoding stopped on damage (see failed()).
    virtual std::size_t read(std::vector<std::int16_t>* pcm, std::size_t maxFrames) = 0;
    // Decoding stopped before the end of the file because of damage.
    virtual bool failed() const = 0;
};

// File-name patterns the music list offers ("*.mp3" first).
QStringList musicNameFilters();

}  // namespace sayvell::music
