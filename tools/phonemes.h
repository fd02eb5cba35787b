#pragma once
// The voice's phonemes for a text (what `espeak-ng -x` prints), stress marks left out, for
// checking a reading against the voice. Own espeak-ng state: not for a process that speaks.
#include <string>

namespace sayvell::tools {

class Phonemes {
public:
    explicit Phonemes(const char* voice);
    bool ready() const { return ready_; }
    std::string of(const std::string& utf8) const;

private:
    bool ready_ = false;
};

}  // namespace sayvell::tools
