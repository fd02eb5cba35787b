#pragma once
// The words numbers are spoken with, per language; shared by the spoken copy's sources only.
#include "reading/reading_dictionary.h"
#include "reading/spoken_lexicon.h"

#include <QString>

#include <array>
#include <vector>

namespace sayvell::reading::detail {

struct WordPair {
    QString written;
    QString spoken;
};

// Everything a language says differently, in one place.
struct NumberWords {
    std::array<QString, 10> digits;
    QString liang;     // the "two" of a quantity
    bool liangInside;  // 兩 for every 2 before 百 and 千, not only at the head of the number
    QString ten, hundred, thousand;
    std::array<QString, 5> groups;  // "", 萬, 億, 兆: every four digits
    QString point, negative, belowZero, range, percent, fractionOf;
    QString hour, minute, second, year, month, day;
    QString celsius, fahrenheit, degree, yuan;
    std::vector<WordPair> currencies;       // prefix before the amount, longest first
    std::vector<WordPair> units;            // letters after the amount
    std::vector<QString> measureWords;      // after a 2 that counts: 兩個, 兩位
    std::vector<QString> notMeasures;       // starts of words that look like one but name a rank: 2年級
    QString ordinalBefore;                  // a 2 right after one of these is a rank: 第2, 12月2日
    std::vector<QString> codeWords;         // long numbers after one of these are read digit by digit
    QString dateUnits;                      // 09日, 05分: the leading zero is not spoken
    QString letterJoiner;                   // between letters spelled out (VIP)
    std::vector<WordPair> letterCodeWords;  // Tel, Fax, No before a number: said in Chinese
};

// Null for a language whose numbers are left as written.
const NumberWords* wordsFor(SpeechLanguage language);

// Full-width forms are recognised as their ASCII twins; the text copied out keeps them.
char16_t foldWidth(QChar c);

// Chinese text with no table word in it: numbers as words, then for Mandarin the dictionary's
// readings (a number read digit by digit, a date and a time keep theirs).
// toneAfter: the tone of what follows (see ReadingDictionary::read).
void appendChinese(QStringView text, const NumberWords* words, const ReadingDictionary* dictionary, QString* out,
                   int toneAfter = 0);

// The same with Latin letters in it: acronyms and codes spelled, English words in the English
// form of spoken_segments.h.
void appendSpokenGap(QStringView text, const NumberWords* words, const ReadingDictionary* dictionary, QString* out,
                     int toneAfter = 0);

}  // namespace sayvell::reading::detail
