#include "audio/wav_writer.h"

#include <QFile>
#include <QFileInfo>

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sayvell::reading {
namespace {

// The mode a plain new file would get; mkstemp's 0600 would hide the export from other users.
mode_t newFileMode() {
    mode_t mask = 022;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned int m = 0;
            if (std::sscanf(line, "Umask: %o", &m) == 1) {
                mask = static_cast<mode_t>(m);
                break;
            }
        }
        std::fclose(f);
    }
    return 0666 & ~mask;
}

QString systemError(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

}  // namespace

struct WavWriter::Impl {
    QString target;
    QByteArray tempName;  // encoded for the file system
    int fd = -1;
    SNDFILE* snd = nullptr;
    soxr_t soxr = nullptr;
    PcmFormat format;
    int inputRate = 0;
    std::int64_t frames = 0;
    QString error;  // first failure
    std::vector<float> in, resampled, out;

    void fail(const QString& why) {
        if (error.isEmpty())
            error = why;
    }

    void writeFrames(const float* mono, std::size_t count) {
        if (count == 0 || !error.isEmpty())
            return;
        const float* src = mono;
        if (format.channels == 2) {
            out.resize(count * 2);
            for (std::size_t i = 0; i < count; ++i)
                out[2 * i] = out[2 * i + 1] = mono[i];
            src = out.data();
        }
        const sf_count_t want = static_cast<sf_count_t>(count);
        const sf_count_t done = sf_writef_float(snd, src, want);
        if (done != want) {
            fail(QStringLiteral("Unable to write to %1: %2")
                     .arg(target, QString::fromLocal8Bit(sf_strerror(snd))));
            return;
        }
        frames += done;
    }

    void drainResampler() {
        if (!soxr)
            return;
        resampled.resize(4096);
        for (;;) {
            std::size_t produced = 0;
            if (soxr_process(soxr, nullptr, 0, nullptr, resampled.data(), resampled.size(), &produced) ||
                produced == 0)
                break;
            writeFrames(resampled.data(), produced);
        }
    }

    void release() {
        if (snd) {
            sf_close(snd);
            snd = nullptr;
        }
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        if (soxr) {
            soxr_delete(soxr);
            soxr = nullptr;
        }
    }

    void removeTemp() {
        if (!tempName.isEmpty()) {
            ::unlink(tempName.constData());
            tempName.clear();
        }
    }
};

WavWriter::WavWriter() : d(std::make_unique<Impl>()) {}

WavWriter::~WavWriter() {
    abandon();
}

bool WavWriter::isValidFormat(const PcmFormat& format) {
    return format.sampleRate >= 1000 && format.sampleRate <= 384000 && (format.bits == 8 || format.bits == 16) &&
           (format.channels == 1 || format.channels == 2);
}

bool WavWriter::open(const QString& path, int inputRate, const PcmFormat& format, QString* error) {
    abandon();
    d->error.clear();
    d->frames = 0;
    auto refuse = [&](const QString& why) {
        d->release();
        d->removeTemp();
        if (error)
            *error = why;
        return false;
    };
    if (path.isEmpty())
        return refuse(QStringLiteral("No file name was given."));
    if (!isValidFormat(format) || inputRate <= 0)
        return refuse(QStringLiteral("Unsupported WAV format: %1 Hz, %2 bit, %3 channel(s).")
                          .arg(format.sampleRate)
                          .arg(format.bits)
                          .arg(format.channels));
    const QFileInfo info(path);
    if (info.isDir())
        return refuse(QStringLiteral("Unable to write to %1: it is a folder.").arg(path));
    d->target = info.absoluteFilePath();
    d->format = format;
    d->inputRate = inputRate;

    QByteArray tmpl = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName() +
                                        QLatin1String(".XXXXXX"));
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return refuse(QStringLiteral("Unable to write to %1: %2").arg(d->target, systemError(errno)));
    d->fd = fd;
    d->tempName = tmpl;
    ::fchmod(fd, newFileMode());

    SF_INFO sf{};
    sf.samplerate = format.sampleRate;
    sf.channels = format.channels;
    sf.format = SF_FORMAT_WAV | (format.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    d->snd = sf_open_fd(fd, SFM_WRITE, &sf, SF_FALSE);
    if (!d->snd)
        return refuse(QStringLiteral("Unable to write to %1: %2")
                          .arg(d->target, QString::fromLocal8Bit(sf_strerror(nullptr))));
    // Out-of-range samples clip instead of wrapping round.
    sf_command(d->snd, SFC_SET_CLIPPING, nullptr, SF_TRUE);

    if (inputRate != format.sampleRate) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t err = nullptr;
        d->soxr = soxr_create(inputRate, format.sampleRate, 1, &err, &io, &quality, nullptr);
        if (err || !d->soxr)
            return refuse(QStringLiteral("Cannot convert speech to %1 Hz: %2")
                              .arg(format.sampleRate)
                              .arg(QString::fromLatin1(err ? err : "unknown error")));
    }
    return true;
}

void WavWriter::write(const std::int16_t* samples, std::size_t count, float gain) {
    if (!d->snd || !samples || count == 0 || !d->error.isEmpty())
        return;
    d->in.resize(count);
    const float scale = std::max(gain, 0.0f) / 32768.0f;
    for (std::size_t i = 0; i < count; ++i)
        d->in[i] = static_cast<float>(samples[i]) * scale;
    if (!d->soxr) {
        d->writeFrames(d->in.data(), count);
        return;
    }
    const std::size_t cap = static_cast<std::size_t>(static_cast<double>(count) * d->format.sampleRate / d->inputRate) + 256;
    d->resampled.resize(std::max<std::size_t>(cap, 1024));
    const float* src = d->in.data();
    std::size_t left = count;
    while (left > 0 && d->error.isEmpty()) {
        std::size_t used = 0;
        std::size_t produced = 0;
        if (soxr_error_t err =
                soxr_process(d->soxr, src, left, &used, d->resampled.data(), d->resampled.size(), &produced)) {
            d->fail(QStringLiteral("Cannot convert speech: %1").arg(QString::fromLatin1(err)));
            return;
        }
        d->writeFrames(d->resampled.data(), produced);
        src += used;
        left -= used;
        if (used == 0 && produced == 0)
            break;
    }
}

bool WavWriter::finish(QString* error) {
    if (!d->snd) {
        if (error)
            *error = d->error.isEmpty() ? QStringLiteral("No WAV file is open.") : d->error;
        return false;
    }
    d->drainResampler();
    if (d->error.isEmpty() && sf_error(d->snd) != SF_ERR_NO_ERROR)
        d->fail(QStringLiteral("Unable to write to %1: %2")
                    .arg(d->target, QString::fromLocal8Bit(sf_strerror(d->snd))));
    // Closing writes the final header sizes.
    const int closed = sf_close(d->snd);
    d->snd = nullptr;
    if (closed != 0)
        d->fail(QStringLiteral("Unable to write to %1: %2")
                    .arg(d->target, QString::fromLocal8Bit(sf_error_number(closed))));

    if (d->error.isEmpty()) {
        // The header must say what the data holds: a short write anywhere shows up as a short file.
        struct stat st {};
        const std::int64_t bytes = d->frames * d->format.channels * (d->format.bits / 8);
        if (::fstat(d->fd, &st) != 0 || static_cast<std::int64_t>(st.st_size) < 44 + bytes)
            d->fail(QStringLiteral("Unable to write to %1: the file is incomplete (is the disk full?)")
                        .arg(d->target));
    }
    if (d->error.isEmpty() && ::fsync(d->fd) != 0)
        d->fail(QStringLiteral("Unable to write to %1: %2").arg(d->target, systemError(errno)));
    const int fd = d->fd;
    d->fd = -1;
    if (::close(fd) != 0)
        d->fail(QStringLiteral("Unable to write to %1: %2").arg(d->target, systemError(errno)));
    if (d->error.isEmpty() && ::rename(d->tempName.constData(), QFile::encodeName(d->target).constData()) != 0)
        d->fail(QStringLiteral("Unable to write to %1: %2").arg(d->target, systemError(errno)));
    else if (d->error.isEmpty())
        d->tempName.clear();  // it is the target now

    d->release();
    d->removeTemp();
    if (!d->error.isEmpty()) {
        if (error)
            *error = d->error;
        return false;
    }
    return true;
}

void WavWriter::abandon() {
    d->release();
    d->removeTemp();
}

bool WavWriter::isOpen() const {
    return d->snd != nullptr;
}

bool WavWriter::failed() const {
    return !d->error.isEmpty();
}

std::int64_t WavWriter::framesWritten() const {
    return d->frames;
}

QString WavWriter::path() const {
    return d->target;
}

}  // namespace sayvell::reading
