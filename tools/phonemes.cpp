#include "phonemes.h"

#include <espeak-ng/speak_lib.h>

namespace sayvell::tools {

Phonemes::Phonemes(const char* voice) {
    if (espeak_Initialize(AUDIO_OUTPUT_RETRIEVAL, 0, nullptr, 0) <= 0) return;
    ready_ = espeak_SetVoiceByName(voice) == EE_OK;
}

std::string Phonemes::of(const std::string& utf8) const {
    std::string out;
    const void* text = utf8.c_str();
    while (text) {
        const char* p = espeak_TextToPhonemes(&text, espeakCHARS_UTF8, espeakPHONEMES_SHOW);
        if (!p) break;
        if (!out.empty()) out += ' ';
        for (; *p; ++p)
            if (*p != '\'' && *p != ',') out += *p;
    }
    return out;
}

}  // namespace sayvell::tools
