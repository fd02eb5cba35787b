// Latin letters, English words and numbers inside Chinese: what the voices are given, and what
// they then say (espeak-ng's phonemes).
#include "reading/spoken_segments.h"
#include "reading/spoken_text.h"

#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <gtest/gtest.h>

using namespace sayvell::reading;

namespace {

constexpr auto M = SpeechLanguage::Mandarin;
constexpr auto Y = SpeechLanguage::Cantonese;

// What the listener should hear: letter names, English, a number read in its context, or
// what the voice said right already.
enum class Kind { Letters, English, Number, Kept };

struct Case {
    SpeechLanguage language;
    Kind kind;
    const char16_t* written;
    const char16_t* spoken;
};

const Case kCases[] = {
    // Acronyms and codes, letter by letter
    {M, Kind::Letters, u"VIP會員", u"V I P 會員"},
    {M, Kind::Letters, u"提款請到ATM", u"提款請到 A T M "},
    {M, Kind::Letters, u"B1美食街", u"B 一 美食街"},
    {M, Kind::Letters, u"3C產品", u"三 C 產品"},
    {M, Kind::Letters, u"H1N1疫苗", u"H 一 N 一 疫苗"},
    {M, Kind::Letters, u"DIY教室", u"D I Y 教室"},
    {M, Kind::Letters, u"A區入口", u"A 區入口"},
    {M, Kind::Letters, u"HTML網頁", u"H T M L 網頁"},
    {M, Kind::Letters, u"5G手機", u"五 G 手機"},
    {M, Kind::Letters, u"A380客機", u"A 三 八 零 客機"},
    {M, Kind::Letters, u"OK", u"O K "},
    {M, Kind::Letters, u"ＶＩＰ室", u"V I P 室"},
    {Y, Kind::Letters, u"VIP會員", u"V-I-P 會員"},
    {Y, Kind::Letters, u"B1美食街", u"B 一 美食街"},
    {Y, Kind::Letters, u"ATM", u"A-T-M "},
    {Y, Kind::Letters, u"3C產品", u"三 C 產品"},
    // English words to the English voice, numbers of a name with them
    {M, Kind::English, u"歡迎使用LINE Pay付款", u"歡迎使用 [en:LINE Pay] 付款"},
    {M, Kind::English, u"全館Wi-Fi免費", u"全館 [en:Wi-Fi] 免費"},
    {M, Kind::English, u"COVID-19快篩", u"[en:COVID-19] 快篩"},
    {M, Kind::English, u"iPhone 15上市", u"[en:iPhone 15] 上市"},
    {M, Kind::English, u"買iPhone 2支", u"買 [en:iPhone] 兩支"},
    {M, Kind::English, u"Happy New Year！", u"[en:Happy New Year] ！"},
    {M, Kind::English, u"請用e-mail聯絡", u"請用 [en:e-mail] 聯絡"},
    {M, Kind::English, u"NASA發射", u"[en:NASA] 發射"},
    {M, Kind::English, u"SOGO週年慶", u"[en:SOGO] 週年慶"},
    {M, Kind::English, u"Windows 11更新", u"[en:Windows 11] 更新"},
    {M, Kind::English, u"T-shirt特價", u"[en:T-shirt] 特價"},
    {M, Kind::English, u"facebook粉絲團", u"[en:facebook] 粉絲團"},
    {Y, Kind::English, u"歡迎使用LINE Pay付款", u"歡迎使用 [en:LINE Pay] 付款"},
    {Y, Kind::English, u"COVID-19快篩", u"[en:COVID-19] 快篩"},
    {Y, Kind::English, u"全館Wi-Fi免費", u"全館 [en:Wi-Fi] 免費"},
    // Units, currencies and code words stay with the numbers
    {M, Kind::Number, u"5kg裝", u"五公斤裝"},
    {M, Kind::Number, u"NT$100", u"新台幣一百元"},
    {M, Kind::Number, u"Tel 0912345678", u"電話零九一二三四五六七八"},
    {M, Kind::Number, u"No.25", u"編號二五"},
    // Leading zeros
    {M, Kind::Number, u"007號", u"零零七號"},
    {M, Kind::Number, u"編號0050", u"編號零零五零"},
    {M, Kind::Number, u"代號007", u"代號零零七"},
    {M, Kind::Number, u"09日", u"九日"},
    {Y, Kind::Number, u"007號", u"零零七號"},
    // Digit by digit after a code word, however short
    {M, Kind::Number, u"請撥分機123", u"請撥分機一二三"},
    {M, Kind::Number, u"房302", u"房三零二"},
    {M, Kind::Number, u"房號 1208", u"房號 一二零八"},
    {M, Kind::Number, u"號碼：56", u"號碼：五六"},
    {M, Kind::Number, u"電話110", u"電話一一零"},
    {M, Kind::Number, u"車次152", u"車次一五二"},
    {M, Kind::Number, u"郵遞區號100", u"郵遞區號一零零"},
    {M, Kind::Number, u"編號#25", u"編號二五"},
    {Y, Kind::Number, u"請撥分機123", u"請撥分機一二三"},
    {Y, Kind::Number, u"車次152", u"車次一五二"},
    {M, Kind::Kept, u"3房2廳", u"三房二廳"},  // 房 after a number is no code word
    // Month and day with a slash, where it is a date
    {M, Kind::Number, u"12/25聖誕節", u"十二月二十五日聖誕節"},
    {M, Kind::Number, u"2/29", u"二月二十九日"},
    {M, Kind::Number, u"12/31前", u"十二月三十一日前"},
    {M, Kind::Number, u"13/25", u"二十五分之十三"},
    {M, Kind::Number, u"2/30", u"三十分之二"},
    {M, Kind::Number, u"3/4杯", u"四分之三杯"},
    {M, Kind::Number, u"1/2的人", u"二分之一的人"},
    {Y, Kind::Number, u"12/25聖誕節", u"十二月二十五日聖誕節"},
    // Years of the Republic are numbers, western years digit by digit
    {M, Kind::Number, u"民國115年", u"民國一百一十五年"},
    {M, Kind::Number, u"民國99年", u"民國九十九年"},
    {M, Kind::Number, u"2026年", u"二零二六年"},
    {Y, Kind::Number, u"民國115年", u"民國一百一十五年"},
    // A Chinese comma ends a number
    {M, Kind::Number, u"302，007", u"三百零二，零零七"},
    {M, Kind::Number, u"1,299", u"一千二百九十九"},
};

QString spoken(const Case& c) {
    SpokenSettings settings;
    settings.language = c.language;
    settings.useInstalledDictionary = false;  // the dictionary is the subject of its own tests
    return spokenCopy(QString::fromUtf16(c.written), settings);
}

QString phonemes(const QString& voice, const QString& text) {
    QProcess p;
    p.start(QStringLiteral("espeak-ng"),
            {QStringLiteral("-v"), voice, QStringLiteral("-q"), QStringLiteral("-x"), text});
    if (!p.waitForFinished(10000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

// The Chinese voices write a tone as two digits or more (55, 214); English phonemes have none.
bool hasToneDigits(const QString& phonemes) {
    for (qsizetype i = 1; i < phonemes.size(); ++i)
        if (phonemes[i].isDigit() && phonemes[i - 1].isDigit()) return true;
    return false;
}

// Letters the voice could take for a word, or a digit it could drop after a letter: B1, VIP.
bool voiceWouldMisread(const QString& written) {
    for (qsizetype i = 1; i < written.size(); ++i) {
        const char16_t a = written[i - 1].unicode();
        const char16_t b = written[i].unicode();
        const bool letterA = (a >= u'A' && a <= u'Z') || (a >= u'a' && a <= u'z');
        const bool letterB = (b >= u'A' && b <= u'Z') || (b >= u'a' && b <= u'z');
        if (letterA && (letterB || (b >= u'0' && b <= u'9'))) return true;
    }
    return false;
}

}  // namespace

TEST(SpokenContext, LettersEnglishAndNumbersInChineseAreGivenAsTheListenerHearsThem) {
    ASSERT_GE(std::size(kCases), 60u);
    for (const Case& c : kCases)
        EXPECT_EQ(spoken(c), QString::fromUtf16(c.spoken)) << QString::fromUtf16(c.written).toStdString();
}

// Letters are letter names, English words English sounds, and the Chinese around them Chinese.
TEST(SpokenContext, TheVoicesSayLetterNamesEnglishAndChinese) {
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty()) GTEST_SKIP() << "no espeak-ng";
    for (const Case& c : kCases) {
        const QString written = QString::fromUtf16(c.written);
        const QString voice = c.language == M ? QStringLiteral("cmn-latn-pinyin") : QStringLiteral("yue");
        const QString copy = spoken(c);
        SCOPED_TRACE(written.toStdString() + " -> " + copy.toStdString());
        for (const SpokenSegment& segment : splitSegments(copy)) {
            const QString said = phonemes(segmentVoice(segment.language, voice), segment.text);
            if (std::none_of(segment.text.begin(), segment.text.end(), [](QChar ch) { return ch.isLetterOrNumber(); }))
                continue;  // a mark alone: nothing to say
            ASSERT_FALSE(said.isEmpty());
            if (!segment.language.isEmpty()) {
                // English phonemes, no Chinese tone anywhere
                EXPECT_FALSE(hasToneDigits(said)) << said.toStdString();
            } else if (c.language == M) {
                // The Mandarin voice switches to no English of its own: every letter a name
                EXPECT_FALSE(said.contains(QStringLiteral("(en)"))) << said.toStdString();
            }
        }
        // What was changed is heard: "VIP" was one word, "B1" lost its digit, 分機123 a hundred
        // (3C, 5G the voice read right already)
        const bool misread = c.kind == Kind::Number || (c.kind == Kind::Letters && voiceWouldMisread(written));
        if (misread && copy != written && splitSegments(copy).size() == 1) {
            EXPECT_NE(phonemes(voice, written), phonemes(voice, copy));
        }
    }
}

TEST(SpokenContext, TheInlineFormOfEnglishIsSplitIntoStretches) {
    const auto parts = splitSegments(u"歡迎[en:LINE Pay]付款[en:]。[en:broken");
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].text, QStringLiteral("歡迎"));
    EXPECT_EQ(parts[1].language, QStringLiteral("en"));
    EXPECT_EQ(parts[1].text, QStringLiteral("LINE Pay"));
    EXPECT_EQ(parts[2].text, QStringLiteral("付款。[en:broken"));  // no "]": as written
    EXPECT_EQ(englishSegment(u"a]b"), QStringLiteral("[en:ab]"));
    EXPECT_EQ(segmentVoice(u"en", u"cmn-latn-pinyin+f3"), QStringLiteral("en-us+f3"));
    EXPECT_EQ(segmentVoice(u"", u"yue"), QStringLiteral("yue"));
}

TEST(SpokenContext, HostileLatinInputEndsAndSplitsBack) {
    QString hostile;
    for (int k = 0; k < 500; ++k)
        hostile += QStringLiteral("A1-b'c-VIP Tel 1 No.#2 [en:x] ]%Date%一不-一 iPhone 15支 COVID-19- Ｗｉ－Ｆｉ ");
    for (const SpeechLanguage language : {M, Y}) {
        SpokenSettings settings;
        settings.language = language;
        const QString copy = spokenCopy(hostile, settings);
        EXPECT_FALSE(copy.isEmpty());
        qsizetype english = 0;
        for (const SpokenSegment& segment : splitSegments(copy)) english += !segment.language.isEmpty();
        EXPECT_GE(english, 1000);  // iPhone 15 and COVID-19, every time
    }
}
