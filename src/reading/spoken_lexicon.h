#pragma once
// Words whose reading the voice gets wrong, each with the form to give the engine instead
// (other characters, or the Mandarin voice's inline pinyin such as "yin2 hang2").
//
// Immutable once built: the reading worker holds a shared copy while the settings page
// builds the next one, so neither waits for the other.
#include <QHash>
#include <QString>
#include <QStringView>

#include <unordered_map>
#include <vector>

namespace sayvell::reading {

enum class SpeechLanguage { Other, Mandarin, Cantonese };

struct PronunciationEntry {
    QString written;
    QString spoken;
    QString language;  // "cmn" or "yue"
};

// A stretch of text the lexicon replaced: `length` units at `start` are spoken as `spoken`.
struct LexiconMatch {
    qsizetype start = 0;
    qsizetype length = 0;
    const QString* spoken = nullptr;
};

class PronunciationLexicon {
public:
    PronunciationLexicon() = default;
    // Entries with an empty written or spoken form, or an unknown language, are left out; of
    // two entries for the same word and language the later one wins.
    explicit PronunciationLexicon(const std::vector<PronunciationEntry>& entries);

    // Left to right, the longest entry starting at each place wins; matches never overlap.
    std::vector<LexiconMatch> matches(QStringView text, SpeechLanguage language) const;
    // The text with every match replaced.
    QString apply(QStringView text, SpeechLanguage language) const;

    int size() const { return count_; }

private:
    // Looked up with a stretch of the text, which needs no copy of its own.
    struct ViewHash {
        using is_transparent = void;
        std::size_t operator()(QStringView s) const { return qHash(s); }
    };
    struct ViewEqual {
        using is_transparent = void;
        bool operator()(QStringView a, QStringView b) const { return a == b; }
    };
    // The words that start with one character, found by length, longest first.
    struct Bucket {
        std::vector<qsizetype> lengths;
        std::unordered_map<QString, QString, ViewHash, ViewEqual> words;
    };
    struct Index {
        QHash<char16_t, Bucket> buckets;
        std::vector<bool> starts = std::vector<bool>(0x10000);  // a bucket's character, for a quick no
    };
    const Index* indexOf(SpeechLanguage language) const;

    Index mandarin_;
    Index cantonese_;
    int count_ = 0;
};

// "cmn" / "yue" for the languages the table serves, empty for the others.
QString languageCode(SpeechLanguage language);
SpeechLanguage languageOfCode(QStringView code);

}  // namespace sayvell::reading
