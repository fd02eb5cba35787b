// The spoken copy of a piece, and where a piece ends for the Chinese voices.
#include "reading/spoken_data_p.h"
#include "reading/spoken_text.h"

#include <QDateTime>

#include <array>
#include <cstdint>

namespace sayvell::reading {
namespace {

using detail::NumberWords;
using detail::wordsFor;

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
char16_t fold(QChar c) { return detail::foldWidth(c); }

bool hasLetter(QStringView text) {
    for (QChar c : text)
        if (isLetter(fold(c))) return true;
    return false;
}

bool hasDigit(QStringView text) {
    for (QChar c : text)
        if (isDigit(fold(c))) return true;
    return false;
}

// The code units the table's marks hold, hashed into a bitmap: a character whose first unit is
// in no mark cannot be a delimiter, and most characters of a text are not.
class DelimiterFilter {
public:
    explicit DelimiterFilter(const DelimiterTable& table) {
        for (qsizetype row = 0; row < table.marks.size() && row < kMaxDelimiterRows; ++row)
            for (const QChar c : table.marks[row]) bits_[slot(c)] |= bit(c);
    }
    bool mayStart(QChar c) const { return (bits_[slot(c)] & bit(c)) != 0; }

private:
    static std::size_t slot(QChar c) { return (c.unicode() >> 6) & 15; }
    static std::uint64_t bit(QChar c) { return std::uint64_t{1} << (c.unicode() & 63); }
    std::array<std::uint64_t, 16> bits_{};
};

bool joinsDigits(QChar c) {
    const char16_t f = fold(c);
    return f == u',' || f == u':' || f == u'.';
}

// The tone a table word starts with: its first pinyin syllable's, or its first character's.
int toneOfReading(QStringView spoken, const ReadingDictionary* dictionary) {
    if (!dictionary) return 0;
    for (QChar c : spoken) {
        if (c >= u'1' && c <= u'5') return c.unicode() - u'0';
        if (c.unicode() >= 0x3400 && c.unicode() <= 0x9FFF) return dictionary->toneOf(c);
        if (c == u' ' || c == u'[') return 0;
    }
    return 0;
}

}  // namespace

SpeechLanguage languageOfVoice(QStringView voiceId) {
    QStringView lang = voiceId.trimmed();
    const qsizetype plus = lang.indexOf(u'+');
    if (plus >= 0) lang = lang.left(plus);
    const QString id = lang.toString().toLower();
    if (id == u"yue" || id == u"zh-yue" || id == u"zhy") return SpeechLanguage::Cantonese;
    if (id == u"cmn" || id.startsWith(u"cmn-") || id == u"zh" || id.startsWith(u"zh-")) return SpeechLanguage::Mandarin;
    return SpeechLanguage::Other;
}

QString spokenCopy(const QString& piece, const SpokenSettings& settings) {
    QString s =
        settings.date && *settings.date ? (*settings.date)(piece, settings.dateFormatType, settings.now) : piece;
    s.remove(QChar(kDelaySymbol));
    if (settings.language == SpeechLanguage::Other) return s;
    const NumberWords* words = wordsFor(settings.language);
    const ReadingDictionary* dictionary = settings.language != SpeechLanguage::Mandarin ? nullptr
                                          : settings.dictionary                         ? settings.dictionary
                                          : settings.useInstalledDictionary             ? ReadingDictionary::installed()
                                                                                        : nullptr;
    const std::vector<LexiconMatch> found =
        settings.lexicon ? settings.lexicon->matches(s, settings.language) : std::vector<LexiconMatch>{};
    if (found.empty() && !dictionary && (!words || (!hasDigit(s) && !hasLetter(s)))) return s;  // no copy
    QString out;
    qsizetype at = 0;
    for (const LexiconMatch& m : found) {
        detail::appendSpokenGap(QStringView(s).mid(at, m.start - at), words, dictionary, &out,
                                toneOfReading(*m.spoken, dictionary));
        // Inline pinyin must stand apart from the characters around it to be read as pinyin.
        const bool apart = hasLetter(*m.spoken);
        if (apart && !out.isEmpty() && !out.back().isSpace()) out += u' ';
        out += *m.spoken;
        if (apart) out += u' ';
        at = m.start + m.length;
    }
    detail::appendSpokenGap(QStringView(s).mid(at), words, dictionary, &out);
    return out;
}

Piece cutSpokenPiece(QStringView window, const DelimiterTable& table, SpeechLanguage language) {
    // cutPiece's cut, with the table asked only about characters that may be a delimiter.
    const DelimiterFilter filter(table);
    const bool chinese = language != SpeechLanguage::Other;
    for (qsizetype i = 0; i < window.size();) {
        const int units =
            window[i].isHighSurrogate() && i + 1 < window.size() && window[i + 1].isLowSurrogate() ? 2 : 1;
        if (filter.mayStart(window[i])) {
            const int delay = table.delayOf(window.mid(i, units));
            if (delay >= 0) {
                const bool inNumber = chinese && units == 1 && joinsDigits(window[i]) && i > 0 &&
                                      isDigit(fold(window[i - 1])) && i + 1 < window.size() &&
                                      isDigit(fold(window[i + 1]));
                if (!inNumber) return {window.left(i + units).toString(), delay};
            }
        }
        i += units;
    }
    return {window.toString(), 0};
}

}  // namespace sayvell::reading
