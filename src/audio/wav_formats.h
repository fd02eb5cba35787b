#pragma once
// The 36 PCM formats an export can be written in, the time estimate shown before an export,
// the language code of a voice for the tag in front of the exported text, and file names.
#include "reading/speech_engine.h"

#include <QString>
#include <array>
#include <cstdint>

namespace sayvell::audio {

using reading::PcmFormat;

struct WavFormatEntry {
    const char* name;         // in the main window's hidden format list
    const char* displayName;  // in the settings window, inner blanks kept
    int rate;
    int bits;
    int channels;
};

inline constexpr int kWavFormatCount = 36;
inline constexpr int kDefaultWavFormat = 24;  // 32 kHz 8-bit mono

// The table in list order.
const std::array<WavFormatEntry, kWavFormatCount>& wavFormats();
// The format value of a list index: index + 4.
constexpr int formatValueOf(int index) { return index + 4; }
// An index outside the table gives the default format.
PcmFormat pcmFormatOf(int index);

struct ExportEstimate {
    std::int64_t seconds = 0;
    std::int64_t minutes = 0;
};
// 6 ms for every two bytes of text, in whole seconds and whole minutes.
ExportEstimate estimateFor(std::int64_t textBytes);
QString estimateMessage(std::int64_t textBytes);

// The code after LANGID= for a voice ("cmn-latn-pinyin+f3" -> "804"); empty when unknown.
QString languageCodeOf(const QString& voiceId);
// <LANG LANGID="code"> (never closed).
QString languageTag(const QString& code);

// `name` with `extension` (".wav") appended unless it already ends so, in any letter case.
QString withExtension(const QString& name, const QString& extension);

}  // namespace sayvell::audio
