#pragma once
// The spoken copy of a piece: what the speech engine is given for a piece as written.
//
// The editor's text, offsets and selection never change; only this copy does. For the Chinese
// voices it spells out what the voice would otherwise read as bare digits or English: numbers
// with the Chinese rules (十二, 一百零二, 兩位), years digit by digit, dates, clock times,
// ranges, percentages, discounts, money, temperatures, units, and phone numbers and codes
// digit by digit. Anything that is not a valid number, date or time is read digit by digit.
// Other languages get the text as written.
#include "reading/piece_cutter.h"
#include "reading/reading_dictionary.h"
#include "reading/spoken_lexicon.h"

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <functional>

namespace sayvell::reading {

// Replaces the date token of a piece about to be spoken (type = dateFormatType).
using DateSubstitution = std::function<QString(const QString& piece, int type, const QDateTime& now)>;

// From an engine voice id ("cmn-latn-pinyin+f3", "yue"); the variant after '+' does not count.
SpeechLanguage languageOfVoice(QStringView voiceId);

// Digits and the signs around them as words of `language`; other languages: unchanged.
QString speakNumbers(QStringView text, SpeechLanguage language);

// What a piece's spoken copy depends on besides the piece.
struct SpokenSettings {
    SpeechLanguage language = SpeechLanguage::Other;
    int dateFormatType = 1;
    QDateTime now;
    const DateSubstitution* date = nullptr;         // none: the token stays
    const PronunciationLexicon* lexicon = nullptr;  // none: no word is replaced
    // Mandarin words of several readings and the tones of 一 and 不: this dictionary, else the
    // installed one unless useInstalledDictionary is false.
    const ReadingDictionary* dictionary = nullptr;
    bool useInstalledDictionary = true;
};

// The date token replaced, every delay symbol removed, then for the Chinese voices the
// pronunciation table, Latin letters (spelled, or English in the form of spoken_segments.h),
// the numbers and, for Mandarin, the dictionary. What the table puts in is not read again
// (its pinyin holds tone digits).
QString spokenCopy(const QString& piece, const SpokenSettings& settings);

// cutPiece, except that for the Chinese voices a ',', ':' or '.' between two digits does not
// end the piece, so that 21:30 and 1,299 reach the voice whole.
Piece cutSpokenPiece(QStringView window, const DelimiterTable& table, SpeechLanguage language);

}  // namespace sayvell::reading
