#pragma once
// Readings of Mandarin words from a real dictionary, made by the build (tools/make_readings)
// from the Rime pinyin data: the words the voice reads wrong with the reading to give it, and
// the tone of each character's usual reading for the tone rules of 一 and 不.
//
// Immutable once loaded. The installed one is loaded at its first use, not at start-up.
#include "reading/spoken_lexicon.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

namespace sayvell::reading {

class ReadingDictionary {
public:
    // From the text of a readings file (see tools/make_readings.cpp); lines it cannot use are
    // skipped.
    static std::shared_ptr<const ReadingDictionary> fromText(QStringView text);
    // Null with the reason in *error when the file cannot be read.
    static std::shared_ptr<const ReadingDictionary> load(const QString& path, QString* error);
    // The delivered file, loaded once on the first call from any thread; null when it is
    // missing (said once on standard error: the pronunciation table still works).
    static const ReadingDictionary* installed();
    // Why the installed one could not be read, as the user is told; empty when it was. Valid
    // once installed() has returned.
    static QString installedProblem();
    static constexpr const char* kFileName = "readings-cmn.tsv";

    // Appends the Mandarin reading of free text (no digits left, no table words) to *out:
    // the dictionary's words, longest first, as inline pinyin where the voice would be wrong,
    // and 一 and 不 with the tone speech gives them. toneAfter: the tone of what follows the
    // text (a word of the pronunciation table), 0 for nothing that counts.
    void read(QStringView text, QString* out, int toneAfter = 0) const;

    int wordCount() const { return words_.size(); }
    // Tone digit 1..5 of a character's usual reading, 0 when unknown.
    int toneOf(QChar c) const { return tones_[c.unicode()]; }

private:
    ReadingDictionary() = default;
    int toneAt(QStringView text, qsizetype k, const std::vector<LexiconMatch>& found, size_t next, int toneAfter) const;
    const char16_t* sandhi(QStringView text, qsizetype k, qsizetype end, int nextTone, bool more) const;

    PronunciationLexicon words_;
    std::vector<std::uint8_t> tones_ = std::vector<std::uint8_t>(0x10000);
};

}  // namespace sayvell::reading
