#pragma once
// Music files made at test time: tones of a known length written with libsndfile, MP3s
// encoded from them with lame. Nothing binary lives in the repository.
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace sayvell::testing {

inline bool haveLame() { return !QStandardPaths::findExecutable(QStringLiteral("lame")).isEmpty(); }

// A sine of `hz` at `amplitude` (0..1) in a file whose type libsndfile takes from `format`.
inline bool writeTone(const QString& path, double seconds, int rate, int channels, double hz, double amplitude,
                      int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f) return false;
    const auto frames = static_cast<std::size_t>(std::llround(seconds * rate));
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double v = amplitude * 32767.0 * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c)
            pcm[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>(std::lround(v));
    }
    const bool ok = sf_writef_short(f, pcm.data(), static_cast<sf_count_t>(frames)) == static_cast<sf_count_t>(frames);
    sf_close(f);
    return ok;
}

// An MP3 of the tone, encoded by lame (its gapless header lets the decoder give back exactly
// the tone's frames).
inline bool writeMp3Tone(const QString& path, double seconds, int rate = 44100, int channels = 2, double hz = 440,
                         double amplitude = 0.5) {
    const QString wav = path + QStringLiteral(".src.wav");
    if (!writeTone(wav, seconds, rate, channels, hz, amplitude)) return false;
    // Not QProcess: its child runs in the parent's memory until it execs, and ThreadSanitizer
    // then takes the child's steps for the parent's, which hides the parent's later locking.
    QByteArray in = QFile::encodeName(wav), out = QFile::encodeName(path);
    char lame[] = "lame", quiet[] = "--quiet", bitrate[] = "-b", kbits[] = "128";
    char* argv[] = {lame, quiet, bitrate, kbits, in.data(), out.data(), nullptr};
    pid_t pid = -1;
    int status = 0;
    const bool ok = posix_spawnp(&pid, lame, nullptr, nullptr, argv, environ) == 0 && waitpid(pid, &status, 0) == pid &&
                    WIFEXITED(status) && WEXITSTATUS(status) == 0;
    QFile::remove(wav);
    return ok && QFile::exists(path);
}

}  // namespace sayvell::testing
