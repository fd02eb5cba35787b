#include "reading/prompt_tone.h"

#include "audio/audio_engine.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace sayvell::reading {

namespace {

struct Note {
    double startS;
    double hz;
};

// A rising G-C-E-G arpeggio, each note a soft bell: a few partials, the higher ones dying
// faster, so that it sounds like a shop's announcement chime rather than a beep.
constexpr std::array<Note, 4> kNotes{{{0.00, 392.00}, {0.32, 523.25}, {0.64, 659.26}, {0.96, 783.99}}};
constexpr std::array<std::pair<double, double>, 4> kPartials{{{1.0, 1.0}, {2.0, 0.35}, {3.0, 0.12}, {4.16, 0.06}}};
constexpr double kDecayS = 0.9;
constexpr double kAttackS = 0.008;
constexpr double kFadeOutS = 0.4;
constexpr double kPeak = 0.5;

// An in-memory file for libsndfile's virtual I/O: reads from the bytes, writes grow them.
struct MemoryFile {
    QByteArray bytes;
    sf_count_t pos = 0;
};

MemoryFile& memory(void* user) { return *static_cast<MemoryFile*>(user); }

SF_VIRTUAL_IO memoryIo() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) -> sf_count_t { return memory(user).bytes.size(); };
    io.seek = [](sf_count_t offset, int whence, void* user) -> sf_count_t {
        MemoryFile& f = memory(user);
        const sf_count_t base = whence == SEEK_CUR ? f.pos : whence == SEEK_END ? f.bytes.size() : 0;
        if (base + offset < 0) return -1;
        f.pos = base + offset;
        return f.pos;
    };
    io.read = [](void* ptr, sf_count_t count, void* user) -> sf_count_t {
        MemoryFile& f = memory(user);
        const sf_count_t n = std::clamp<sf_count_t>(f.bytes.size() - f.pos, 0, count);
        if (n > 0) std::memcpy(ptr, f.bytes.constData() + f.pos, static_cast<size_t>(n));
        f.pos += n;
        return n;
    };
    io.write = [](const void* ptr, sf_count_t count, void* user) -> sf_count_t {
        MemoryFile& f = memory(user);
        if (f.pos + count > f.bytes.size()) f.bytes.resize(static_cast<qsizetype>(f.pos + count), '\0');
        std::memcpy(f.bytes.data() + f.pos, ptr, static_cast<size_t>(count));
        f.pos += count;
        return count;
    };
    io.tell = [](void* user) -> sf_count_t { return memory(user).pos; };
    return io;
}

}  // namespace

Pcm16 synthesizePromptTone() {
    const int frames = kPromptRate * kPromptMs / 1000;
    std::vector<double> mix(static_cast<size_t>(frames), 0.0);
    for (const Note& note : kNotes) {
        const int first = static_cast<int>(note.startS * kPromptRate);
        for (int i = first; i < frames; ++i) {
            const double t = static_cast<double>(i - first) / kPromptRate;
            const double attack = t < kAttackS ? 0.5 - 0.5 * std::cos(std::numbers::pi * t / kAttackS) : 1.0;
            double v = 0;
            for (const auto& [ratio, amp] : kPartials)
                v += amp * std::exp(-t * ratio / kDecayS) * std::sin(2 * std::numbers::pi * note.hz * ratio * t);
            mix[static_cast<size_t>(i)] += attack * v;
        }
    }
    const double total = static_cast<double>(frames) / kPromptRate;
    double peak = 0;
    for (size_t i = 0; i < mix.size(); ++i) {
        const double t = static_cast<double>(i) / kPromptRate;
        if (t > total - kFadeOutS)
            mix[i] *= 0.5 + 0.5 * std::cos(std::numbers::pi * (t - (total - kFadeOutS)) / kFadeOutS);
        peak = std::max(peak, std::abs(mix[i]));
    }
    Pcm16 pcm{kPromptRate, 1, std::vector<std::int16_t>(mix.size())};
    for (size_t i = 0; i < mix.size(); ++i)
        pcm.samples[i] = static_cast<std::int16_t>(std::lround(mix[i] / peak * kPeak * 32767.0));
    return pcm;
}

QByteArray encodeWav(const Pcm16& pcm) {
    MemoryFile file;
    SF_VIRTUAL_IO io = memoryIo();
    SF_INFO info{};
    info.samplerate = pcm.rate;
    info.channels = pcm.channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* sf = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (!sf) return {};
    const sf_count_t frames = pcm.frames();
    const bool complete = sf_writef_short(sf, pcm.samples.data(), frames) == frames;
    sf_close(sf);
    return complete ? file.bytes : QByteArray();
}

std::optional<Pcm16> decodeWav(const QByteArray& bytes) {
    MemoryFile file{bytes};
    SF_VIRTUAL_IO io = memoryIo();
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!sf) return std::nullopt;
    const int container = info.format & SF_FORMAT_TYPEMASK;
    const bool wave = container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX;
    if (!wave || (info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_PCM_16 || info.channels < 1 || info.channels > 8 ||
        info.samplerate < 1000 || info.samplerate > 384000) {
        sf_close(sf);
        return std::nullopt;
    }
    // A truncated file plays what it holds: libsndfile counts the frames actually there, and
    // no count is trusted beyond what the bytes could hold.
    const sf_count_t frames = std::clamp<sf_count_t>(info.frames, 0, bytes.size() / (2 * info.channels));
    Pcm16 pcm{info.samplerate, info.channels, {}};
    pcm.samples.resize(static_cast<size_t>(frames * info.channels));
    const sf_count_t got = sf_readf_short(sf, pcm.samples.data(), frames);
    sf_close(sf);
    pcm.samples.resize(static_cast<size_t>(std::max<sf_count_t>(got, 0) * info.channels));
    return pcm;
}

bool playPromptTone(audio::AudioEngine& audio, const QByteArray& wav) {
    const std::optional<Pcm16> pcm = decodeWav(wav);
    if (!pcm || pcm->samples.empty()) return false;
    audio.clear(audio::Channel::Effects);
    audio.append(audio::Channel::Effects, pcm->samples.data(), static_cast<size_t>(pcm->frames()), pcm->rate,
                 pcm->channels);
    audio.flush(audio::Channel::Effects);
    return true;
}

void stopPromptTone(audio::AudioEngine& audio) { audio.clear(audio::Channel::Effects); }

}  // namespace sayvell::reading
