#include "music/music_decoder.h"

#include <QFile>
#include <QFileInfo>

#include <mpg123.h>
#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace sayvell::music {
namespace {

// libmpg123 reads its input a frame header and a frame at a time; through stdio's buffer the
// file is read in large blocks instead of two small reads per frame.
mpg123_ssize_t readFile(void* file, void* buffer, std::size_t bytes) {
    auto* f = static_cast<std::FILE*>(file);
    const std::size_t got = std::fread(buffer, 1, bytes, f);
    return got == 0 && std::ferror(f) ? -1 : static_cast<mpg123_ssize_t>(got);
}

off_t seekFile(void* file, off_t offset, int whence) {
    auto* f = static_cast<std::FILE*>(file);
    return fseeko(f, offset, whence) == 0 ? ftello(f) : -1;
}

class Mpg123Decoder final : public MusicDecoder {
public:
    ~Mpg123Decoder() override {
        if (mh_) {
            mpg123_close(mh_);
            mpg123_delete(mh_);
        }
        if (file_) std::fclose(file_);
    }

    bool open(const QString& path, QString* error) {
        static std::once_flag once;
        std::call_once(once, [] { mpg123_init(); });
        int err = MPG123_OK;
        mh_ = mpg123_new(nullptr, &err);
        if (!mh_) {
            *error = QString::fromUtf8(mpg123_plain_strerror(err));
            return false;
        }
        // Added, not set: setting MPG123_FLAGS would turn gapless decoding off.
        mpg123_param(mh_, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        // Every rate the file may have, always 16-bit; the mixer resamples and up-mixes.
        mpg123_format_none(mh_);
        const long* rates = nullptr;
        std::size_t count = 0;
        mpg123_rates(&rates, &count);
        for (std::size_t i = 0; i < count; ++i)
            mpg123_format(mh_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        file_ = std::fopen(QFile::encodeName(path).constData(), "rbe");
        if (!file_) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        std::setvbuf(file_, nullptr, _IOFBF, kReadBuffer);
        if (mpg123_replace_reader_handle(mh_, readFile, seekFile, nullptr) != MPG123_OK ||
            mpg123_open_handle(mh_, file_) != MPG123_OK || !readFormat()) {
            *error = QString::fromUtf8(mpg123_strerror(mh_));
            return false;
        }
        length_ = mpg123_length(mh_);
        return length_ != 0;
    }

    int rate() const override { return static_cast<int>(rate_); }
    int channels() const override { return channels_; }
    std::int64_t lengthFrames() const override { return length_ < 0 ? -1 : static_cast<std::int64_t>(length_); }

    std::int64_t scanLength() override {
        if (mpg123_scan(mh_) == MPG123_OK) length_ = mpg123_length(mh_);
        rewind();
        return lengthFrames();
    }

    bool rewind() override {
        failed_ = false;
        formatPending_ = false;
        return mpg123_seek(mh_, 0, SEEK_SET) >= 0;
    }

    std::size_t read(std::vector<std::int16_t>* pcm, std::size_t maxFrames) override {
        // Samples that came with a new format are still in the old one: the change is taken
        // here, before the next samples, so frames and channels() always agree.
        if (formatPending_) {
            formatPending_ = false;
            if (!readFormat()) {
                failed_ = true;
                return 0;
            }
        }
        // A new format comes with no samples; a file announces one at most a few times.
        for (int attempt = 0; attempt < 8; ++attempt) {
            pcm->resize(maxFrames * static_cast<std::size_t>(channels_));
            std::size_t done = 0;
            const int r = mpg123_read(mh_, reinterpret_cast<unsigned char*>(pcm->data()),
                                      pcm->size() * sizeof(std::int16_t), &done);
            const std::size_t frames = done / (sizeof(std::int16_t) * static_cast<std::size_t>(channels_));
            pcm->resize(frames * static_cast<std::size_t>(channels_));
            if (r == MPG123_NEW_FORMAT) {
                if (frames > 0) {
                    formatPending_ = true;
                    return frames;
                }
                if (!readFormat()) {
                    failed_ = true;
                    return 0;
                }
                continue;
            } else if (r == MPG123_ERR) {
                failed_ = frames == 0;
            }
            return frames;
        }
        failed_ = true;
        return 0;
    }

    bool failed() const override { return failed_; }

private:
    bool readFormat() {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        if (mpg123_getformat(mh_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels < 1 ||
            encoding != MPG123_ENC_SIGNED_16)
            return false;
        rate_ = rate;
        channels_ = channels;
        return true;
    }

    static constexpr std::size_t kReadBuffer = 64 * 1024;

    mpg123_handle* mh_ = nullptr;
    std::FILE* file_ = nullptr;  // closed after mh_, which reads from it
    long rate_ = 0;
    int channels_ = 1;
    off_t length_ = -1;
    bool failed_ = false;
    bool formatPending_ = false;
};

class SndfileDecoder final : public MusicDecoder {
public:
    ~SndfileDecoder() override {
        if (file_) sf_close(file_);
    }

    bool open(const QString& path, QString* error) {
        file_ = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info_);
        if (!file_) {
            *error = QString::fromUtf8(sf_strerror(nullptr));
            return false;
        }
        if (info_.samplerate <= 0 || info_.channels < 1 || info_.frames == 0) {
            *error = QStringLiteral("no sound in the file");
            return false;
        }
        return true;
    }

    int rate() const override { return info_.samplerate; }
    int channels() const override { return info_.channels; }
    std::int64_t lengthFrames() const override { return info_.frames > 0 ? info_.frames : -1; }
    std::int64_t scanLength() override { return lengthFrames(); }

    bool rewind() override {
        failed_ = false;
        return sf_seek(file_, 0, SEEK_SET) == 0;
    }

    std::size_t read(std::vector<std::int16_t>* pcm, std::size_t maxFrames) override {
        pcm->resize(maxFrames * static_cast<std::size_t>(info_.channels));
        const sf_count_t got = sf_readf_short(file_, pcm->data(), static_cast<sf_count_t>(maxFrames));
        const auto frames = static_cast<std::size_t>(std::max<sf_count_t>(got, 0));
        pcm->resize(frames * static_cast<std::size_t>(info_.channels));
        if (frames == 0 && sf_error(file_) != SF_ERR_NO_ERROR) failed_ = true;
        return frames;
    }

    bool failed() const override { return failed_; }

private:
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    bool failed_ = false;
};

// A WAV, FLAC or Ogg file under an MP3 name. Anything else is left to libmpg123 alone, as
// libsndfile would only hand it to libmpg123 again.
bool inContainer(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray magic = f.read(4);
    return magic == "RIFF" || magic == "fLaC" || magic == "OggS" || magic == "FORM";
}

template <class D>
std::unique_ptr<MusicDecoder> tryOpen(const QString& path, QString* error) {
    auto d = std::make_unique<D>();
    if (d->open(path, error)) return d;
    return nullptr;
}

}  // namespace

std::unique_ptr<MusicDecoder> MusicDecoder::open(const QString& path, QString* error) {
    QString why;
    const QFileInfo info(path);
    // Never hand a folder or a FIFO to a decoder: it would block or read garbage.
    if (!info.isFile()) {
        if (error) *error = QStringLiteral("not a file");
        return nullptr;
    }
    const bool mp3 = info.suffix().compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0;
    // The name decides which decoder tries first; a file misnamed either way still plays.
    std::unique_ptr<MusicDecoder> d = mp3 ? tryOpen<Mpg123Decoder>(path, &why) : tryOpen<SndfileDecoder>(path, &why);
    if (!d && (!mp3 || inContainer(path))) {
        QString other;
        d = mp3 ? tryOpen<SndfileDecoder>(path, &other) : tryOpen<Mpg123Decoder>(path, &other);
    }
    if (!d && error) *error = why;
    return d;
}

QStringList musicNameFilters() {
    return {QStringLiteral("*.mp3"),  QStringLiteral("*.ogg"),  QStringLiteral("*.oga"),
            QStringLiteral("*.opus"), QStringLiteral("*.flac"), QStringLiteral("*.wav")};
}

}  // namespace sayvell::music
