#include "audio/wav_writer.h"

#include <QFileInfo>
#include <QSaveFile>

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sayvell::audio {
namespace {

QString cannotWrite(const QString& target, const QString& why) {
    return QStringLiteral("無法寫入聲音文件 %1：%2").arg(target, why);
}

bool opusRate(int rate) { return rate == 8000 || rate == 12000 || rate == 16000 || rate == 24000 || rate == 48000; }

int sndfileFormat(FileKind kind, int bits) {
    switch (kind) {
    case FileKind::Mp3: return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    case FileKind::OggVorbis: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case FileKind::Opus: return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case FileKind::Flac: return SF_FORMAT_FLAC | (bits == 8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16);
    case FileKind::Wav: break;
    }
    return SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
}

}  // namespace

const std::vector<SoundKind>& soundKinds() {
    static const std::vector<SoundKind> kinds{
        {FileKind::Wav, {QStringLiteral("wav")}},
        {FileKind::Mp3, {QStringLiteral("mp3")}},
        {FileKind::OggVorbis, {QStringLiteral("ogg"), QStringLiteral("oga")}},
        {FileKind::Opus, {QStringLiteral("opus")}},
        {FileKind::Flac, {QStringLiteral("flac")}},
    };
    return kinds;
}

std::optional<FileKind> soundKindOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const SoundKind& k : soundKinds())
        if (k.extensions.contains(suffix)) return k.kind;
    return std::nullopt;
}

QString soundExtensions(const QString& pattern) {
    QStringList out;
    for (const SoundKind& k : soundKinds()) out << pattern.arg(k.extensions.first());
    return out.join(u' ');
}

FileKind fileKindOf(const QString& path) { return soundKindOf(path).value_or(FileKind::Wav); }

int fileRateFor(FileKind kind, int rate) { return kind == FileKind::Opus && !opusRate(rate) ? 48000 : rate; }

QString extensionOf(FileKind kind) {
    for (const SoundKind& k : soundKinds())
        if (k.kind == kind) return QLatin1Char('.') + k.extensions.first();
    return QStringLiteral(".wav");
}

struct WavWriter::Impl {
    QString target;
    std::unique_ptr<QSaveFile> file;
    SNDFILE* snd = nullptr;
    soxr_t soxr = nullptr;
    FileKind kind = FileKind::Wav;
    PcmFormat format;
    int inputRate = 0;
    int inputChannels = 1;
    std::int64_t frames = 0;
    std::int64_t taken = 0;
    QString error;  // first failure
    std::vector<float> in, resampled, out;

    void fail(const QString& why) {
        if (error.isEmpty()) error = why;
    }

    // Frames at the file's rate, still at the input's channel count.
    void writeFrames(const float* src, std::size_t count) {
        if (count == 0 || !error.isEmpty()) return;
        const float* data = src;
        if (format.channels != inputChannels) {
            out.resize(count * static_cast<std::size_t>(format.channels));
            if (format.channels == 2) {
                for (std::size_t i = 0; i < count; ++i) out[2 * i] = out[2 * i + 1] = src[i];
            } else {
                for (std::size_t i = 0; i < count; ++i) out[i] = 0.5f * (src[2 * i] + src[2 * i + 1]);
            }
            data = out.data();
        }
        const auto want = static_cast<sf_count_t>(count);
        const sf_count_t done = sf_writef_float(snd, data, want);
        if (done != want) {
            fail(cannotWrite(target, QString::fromLocal8Bit(sf_strerror(snd))));
            return;
        }
        frames += done;
    }

    void take(const float* samples, std::size_t count) {
        taken += static_cast<std::int64_t>(count);
        if (!soxr) {
            writeFrames(samples, count);
            return;
        }
        const auto ch = static_cast<std::size_t>(inputChannels);
        const std::size_t cap =
            static_cast<std::size_t>(static_cast<double>(count) * format.sampleRate / inputRate) + 256;
        resampled.resize(std::max<std::size_t>(cap, 1024) * ch);
        const std::size_t room = resampled.size() / ch;
        std::size_t left = count;
        while (left > 0 && error.isEmpty()) {
            std::size_t used = 0;
            std::size_t produced = 0;
            if (soxr_error_t err = soxr_process(soxr, samples, left, &used, resampled.data(), room, &produced)) {
                fail(QStringLiteral("聲音轉換失敗：%1").arg(QString::fromLatin1(err)));
                return;
            }
            writeFrames(resampled.data(), produced);
            samples += used * ch;
            left -= used;
            if (used == 0 && produced == 0) break;
        }
    }

    void drainResampler() {
        if (!soxr) return;
        const auto ch = static_cast<std::size_t>(inputChannels);
        resampled.resize(4096 * ch);
        for (;;) {
            std::size_t produced = 0;
            if (soxr_process(soxr, nullptr, 0, nullptr, resampled.data(), 4096, &produced) || produced == 0) break;
            writeFrames(resampled.data(), produced);
        }
    }

    void release() {
        if (snd) {
            sf_close(snd);
            snd = nullptr;
        }
        if (soxr) {
            soxr_delete(soxr);
            soxr = nullptr;
        }
    }

    void drop() {
        release();
        if (file) {
            file->cancelWriting();
            file.reset();  // removes the temporary file
        }
    }
};

WavWriter::WavWriter() : d(std::make_unique<Impl>()) {}

WavWriter::~WavWriter() { abandon(); }

bool WavWriter::isValidFormat(const PcmFormat& format) {
    return format.sampleRate >= 1000 && format.sampleRate <= 384000 && (format.bits == 8 || format.bits == 16) &&
           (format.channels == 1 || format.channels == 2);
}

bool WavWriter::open(const QString& path, int inputRate, const PcmFormat& format, QString* error, int inputChannels,
                     FileKind kind) {
    abandon();
    d->error.clear();
    d->frames = 0;
    d->taken = 0;
    auto refuse = [&](const QString& why) {
        d->drop();
        if (error) *error = why;
        return false;
    };
    if (path.isEmpty()) return refuse(QStringLiteral("沒有給出文件名。"));
    if (!isValidFormat(format) || inputRate <= 0 || (inputChannels != 1 && inputChannels != 2))
        return refuse(QStringLiteral("不支援的聲音格式：%1 Hz，%2 位，%3 通道。")
                          .arg(format.sampleRate)
                          .arg(format.bits)
                          .arg(format.channels));
    const QFileInfo info(path);
    d->target = info.absoluteFilePath();
    if (info.isDir()) return refuse(cannotWrite(d->target, QStringLiteral("這是一個文件夾。")));
    d->kind = kind;
    d->format = format;
    d->format.sampleRate = fileRateFor(kind, format.sampleRate);
    d->inputRate = inputRate;
    d->inputChannels = inputChannels;

    d->file = std::make_unique<QSaveFile>(d->target);
    if (!d->file->open(QIODevice::WriteOnly)) return refuse(cannotWrite(d->target, d->file->errorString()));

    SF_INFO sf{};
    sf.samplerate = d->format.sampleRate;
    sf.channels = d->format.channels;
    sf.format = sndfileFormat(kind, d->format.bits);
    d->snd = sf_open_fd(d->file->handle(), SFM_WRITE, &sf, SF_FALSE);
    if (!d->snd) return refuse(cannotWrite(d->target, QString::fromLocal8Bit(sf_strerror(nullptr))));
    // Out-of-range samples clip instead of wrapping round.
    sf_command(d->snd, SFC_SET_CLIPPING, nullptr, SF_TRUE);

    if (inputRate != d->format.sampleRate) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t err = nullptr;
        d->soxr = soxr_create(inputRate, d->format.sampleRate, static_cast<unsigned>(inputChannels), &err, &io,
                              &quality, nullptr);
        if (err || !d->soxr)
            return refuse(QStringLiteral("無法把聲音轉換為 %1 Hz：%2")
                              .arg(d->format.sampleRate)
                              .arg(QString::fromLatin1(err ? err : "unknown error")));
    }
    return true;
}

void WavWriter::write(const std::int16_t* samples, std::size_t frames, float gain) {
    if (!d->snd || !samples || frames == 0 || !d->error.isEmpty()) return;
    const std::size_t count = frames * static_cast<std::size_t>(d->inputChannels);
    d->in.resize(count);
    const float scale = std::max(gain, 0.0f) / 32768.0f;
    for (std::size_t i = 0; i < count; ++i) d->in[i] = static_cast<float>(samples[i]) * scale;
    d->take(d->in.data(), frames);
}

void WavWriter::writeFloat(const float* samples, std::size_t frames) {
    if (!d->snd || !samples || frames == 0 || !d->error.isEmpty()) return;
    d->take(samples, frames);
}

void WavWriter::writeSilence(std::size_t frames) {
    if (!d->snd || frames == 0 || !d->error.isEmpty()) return;
    constexpr std::size_t kBlock = 4096;
    std::vector<float> zeros(kBlock * static_cast<std::size_t>(d->inputChannels), 0.0f);
    while (frames > 0 && d->error.isEmpty()) {
        const std::size_t n = std::min(frames, kBlock);
        d->take(zeros.data(), n);
        frames -= n;
    }
}

bool WavWriter::finish(QString* error) {
    if (!d->snd) {
        if (error) *error = d->error.isEmpty() ? QStringLiteral("沒有打開的聲音文件。") : d->error;
        d->drop();
        return false;
    }
    d->drainResampler();
    if (d->error.isEmpty() && sf_error(d->snd) != SF_ERR_NO_ERROR)
        d->fail(cannotWrite(d->target, QString::fromLocal8Bit(sf_strerror(d->snd))));
    // Closing writes the final header sizes (and a compressed kind's last pages).
    const int closed = sf_close(d->snd);
    d->snd = nullptr;
    if (closed != 0) d->fail(cannotWrite(d->target, QString::fromLocal8Bit(sf_error_number(closed))));

    if (d->error.isEmpty() && d->kind == FileKind::Wav) {
        // The header must say what the data holds: a short write anywhere shows as a short file.
        struct stat st {};
        const std::int64_t bytes = d->frames * d->format.channels * (d->format.bits / 8);
        if (::fstat(d->file->handle(), &st) != 0 || static_cast<std::int64_t>(st.st_size) < 44 + bytes)
            d->fail(cannotWrite(d->target, QStringLiteral("文件不完整（磁盤已滿？）")));
    }
    if (d->error.isEmpty() && ::fsync(d->file->handle()) != 0)
        d->fail(cannotWrite(d->target, QString::fromLocal8Bit(std::strerror(errno))));
    if (d->error.isEmpty() && !d->file->commit()) d->fail(cannotWrite(d->target, d->file->errorString()));
    if (d->error.isEmpty()) d->file.reset();

    d->drop();
    if (!d->error.isEmpty()) {
        if (error) *error = d->error;
        return false;
    }
    return true;
}

void WavWriter::abandon() { d->drop(); }

bool WavWriter::isOpen() const { return d->snd != nullptr; }

bool WavWriter::failed() const { return !d->error.isEmpty(); }

std::int64_t WavWriter::framesWritten() const { return d->frames; }

std::int64_t WavWriter::framesTaken() const { return d->taken; }

int WavWriter::fileRate() const { return d->format.sampleRate; }

QString WavWriter::path() const { return d->target; }

}  // namespace sayvell::audio
