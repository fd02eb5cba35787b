#pragma once
// The prompt tone played before a reading: a rising four-note chime, 3 s of mono 16-bit PCM
// at 16 kHz, stored in the program's resources as the WAVE "prompt_wav". The chime is made by
// synthesizePromptTone(); resources/prompt.wav is its output written by encodeWav().
#include <QByteArray>

#include <cstdint>
#include <optional>
#include <vector>

namespace sayvell::audio {
class AudioEngine;
}

namespace sayvell::reading {

inline constexpr int kPromptRate = 16000;
inline constexpr int kPromptMs = 3000;
// Reading starts this long after the click, while the tail of the tone still sounds.
inline constexpr int kPromptLeadMs = 2300;

struct Pcm16 {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;  // interleaved
    int frames() const { return channels > 0 ? static_cast<int>(samples.size()) / channels : 0; }
};

Pcm16 synthesizePromptTone();
QByteArray encodeWav(const Pcm16& pcm);
// A RIFF/WAVE file of 16-bit PCM; nullopt for anything else or a damaged file.
std::optional<Pcm16> decodeWav(const QByteArray& bytes);

// Starts the tone on the effects channel and returns at once; a tone still sounding is cut off.
// False when `wav` is not a playable WAVE.
bool playPromptTone(audio::AudioEngine& audio, const QByteArray& wav);
// Silences the tone (the stop command during the lead-in).
void stopPromptTone(audio::AudioEngine& audio);

}  // namespace sayvell::reading
