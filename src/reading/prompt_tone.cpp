#include "reading/prompt_tone.h"

#include "audio/audio_engine.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
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

quint16 u16(const char* p) { return qFromLittleEndian<quint16>(p); }
quint32 u32(const char* p) { return qFromLittleEndian<quint32>(p); }

void put16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
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
        if (t > total - kFadeOutS) mix[i] *= 0.5 + 0.5 * std::cos(std::numbers::pi * (t - (total - kFadeOutS)) / kFadeOutS);
        peak = std::max(peak, std::abs(mix[i]));
    }
    Pcm16 pcm{kPromptRate, 1, std::vector<std::int16_t>(mix.size())};
    for (size_t i = 0; i < mix.size(); ++i)
        pcm.samples[i] = static_cast<std::int16_t>(std::lround(mix[i] / peak * kPeak * 32767.0));
    return pcm;
}

QByteArray encodeWav(const Pcm16& pcm) {
    const quint32 dataBytes = static_cast<quint32>(pcm.samples.size() * 2);
    QByteArray out;
    out.reserve(static_cast<qsizetype>(44 + dataBytes));
    out.append("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.append("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, static_cast<quint16>(pcm.channels));
    put32(out, static_cast<quint32>(pcm.rate));
    put32(out, static_cast<quint32>(pcm.rate * pcm.channels * 2));
    put16(out, static_cast<quint16>(pcm.channels * 2));
    put16(out, 16);
    out.append("data", 4);
    put32(out, dataBytes);
    for (std::int16_t s : pcm.samples) put16(out, static_cast<quint16>(s));
    return out;
}

std::optional<Pcm16> decodeWav(const QByteArray& bytes) {
    const char* p = bytes.constData();
    const qsizetype size = bytes.size();
    if (size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) return std::nullopt;
    Pcm16 pcm;
    bool haveFormat = false;
    qsizetype pos = 12;
    while (pos + 8 <= size) {
        const quint32 chunk = u32(p + pos + 4);
        const qsizetype body = pos + 8;
        const qsizetype available = size - body;
        if (std::memcmp(p + pos, "fmt ", 4) == 0) {
            if (chunk < 16 || available < 16) return std::nullopt;
            const quint16 tag = u16(p + body);
            pcm.channels = u16(p + body + 2);
            pcm.rate = static_cast<int>(u32(p + body + 4));
            const quint16 bits = u16(p + body + 14);
            if ((tag != 1 && tag != 0xFFFE) || bits != 16 || pcm.channels < 1 || pcm.channels > 8 || pcm.rate < 1000 ||
                pcm.rate > 384000)
                return std::nullopt;
            haveFormat = true;
        } else if (std::memcmp(p + pos, "data", 4) == 0) {
            if (!haveFormat) return std::nullopt;
            // A truncated file plays what it holds.
            const qsizetype dataBytes = std::min<qsizetype>(chunk, available);
            const qsizetype frameBytes = 2 * pcm.channels;
            const qsizetype usable = dataBytes - dataBytes % frameBytes;
            pcm.samples.resize(static_cast<size_t>(usable / 2));
            for (qsizetype i = 0; i < usable / 2; ++i)
                pcm.samples[static_cast<size_t>(i)] = static_cast<std::int16_t>(u16(p + body + 2 * i));
            return pcm;
        }
        if (chunk > static_cast<quint32>(available)) return std::nullopt;
        pos = body + chunk + (chunk & 1);
    }
    return std::nullopt;
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
