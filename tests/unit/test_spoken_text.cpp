// What the Chinese voices are given for numbers, dates, times, money and the like: the text as
// written goes in, the words the listener should hear come out.
#include "reading/spoken_text.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace sayvell::reading;

namespace {

constexpr auto M = SpeechLanguage::Mandarin;
constexpr auto Y = SpeechLanguage::Cantonese;

struct Case {
    SpeechLanguage language;
    const char16_t* written;
    const char16_t* spoken;
};

const Case kCases[] = {
    // Numbers at the edges and the zero rules
    {M, u"0", u"零"},
    {M, u"10", u"十"},
    {M, u"11", u"十一"},
    {M, u"12", u"十二"},
    {M, u"20", u"二十"},
    {M, u"100", u"一百"},
    {M, u"101", u"一百零一"},
    {M, u"102", u"一百零二"},
    {M, u"110", u"一百一十"},
    {M, u"1000", u"一千"},
    {M, u"1001", u"一千零一"},
    {M, u"1005", u"一千零五"},
    {M, u"10000", u"一萬"},
    {M, u"10010", u"一萬零一十"},
    {M, u"12000", u"一萬二千"},
    {M, u"120000", u"十二萬"},
    {M, u"1000100", u"一百萬零一百"},
    {M, u"100000000", u"一億"},
    {M, u"100010000", u"一億零一萬"},
    {M, u"200", u"兩百"},
    {M, u"2000", u"兩千"},
    {M, u"20000", u"兩萬"},
    {M, u"22000", u"兩萬二千"},
    // 兩 counts; a rank keeps 二
    {M, u"2位", u"兩位"},
    {M, u"2個人", u"兩個人"},
    {M, u"12個", u"十二個"},
    {M, u"第2名", u"第二名"},
    {M, u"2年級", u"二年級"},
    {M, u"2樓", u"二樓"},
    {M, u"2", u"二"},
    // Grouping, sign, decimals, fractions
    {M, u"1,299", u"一千二百九十九"},
    {M, u"溫差-5", u"溫差負五"},
    {M, u"3.5", u"三點五"},
    {M, u"0.25", u"零點二五"},
    {M, u"3/4杯", u"四分之三杯"},
    // Years and dates
    {M, u"2024年", u"二零二四年"},
    {M, u"113年", u"一百一十三年"},
    {M, u"2026-12-09", u"二零二六年十二月九日"},
    {M, u"2026/12/09", u"二零二六年十二月九日"},
    {M, u"2026.12.09", u"二零二六年十二月九日"},
    {M, u"12月09日", u"十二月九日"},
    {M, u"2026年2月2日", u"二零二六年二月二日"},
    {M, u"今天是2026-12-09，天氣晴。", u"今天是二零二六年十二月九日，天氣晴。"},
    // Clock times and ranges
    {M, u"9:05", u"九點零五分"},
    {M, u"15:30", u"十五點三十分"},
    {M, u"21:30:15", u"二十一點三十分十五秒"},
    {M, u"9:00", u"九點"},
    {M, u"2:00", u"兩點"},
    {M, u"09:05", u"九點零五分"},
    {M, u"2014-04-07 09:05", u"二零一四年四月七日 九點零五分"},
    {M, u"3-5天", u"三到五天"},
    {M, u"營業時間9:00-21:00", u"營業時間九點到二十一點"},
    {M, u"3~5", u"三到五"},
    // Percentages, discounts, money
    {M, u"30%", u"百分之三十"},
    {M, u"全場30%折扣", u"全場百分之三十折扣"},
    {M, u"12.5%", u"百分之十二點五"},
    {M, u"8.5折", u"八五折"},
    {M, u"75折", u"七五折"},
    {M, u"9折", u"九折"},
    {M, u"NT$1,299", u"新台幣一千二百九十九元"},
    {M, u"$50", u"五十元"},
    {M, u"$2", u"兩元"},
    {M, u"1,299元", u"一千二百九十九元"},
    {M, u"50.5元", u"五十點五元"},
    // Temperatures and units
    {M, u"25°C", u"攝氏二十五度"},
    {M, u"25℃", u"攝氏二十五度"},
    {M, u"-5°C", u"攝氏零下五度"},
    {M, u"5kg", u"五公斤"},
    {M, u"2kg", u"兩公斤"},
    {M, u"10km", u"十公里"},
    {M, u"30cm", u"三十公分"},
    {M, u"500ml", u"五百毫升"},
    // Phone numbers and codes, digit by digit
    {M, u"0912-345-678", u"零九一二 三四五 六七八"},
    {M, u"02-2345-6789", u"零二 二三四五 六七八九"},
    {M, u"電話22345678", u"電話二二三四五六七八"},
    {M, u"訂單編號123456", u"訂單編號一二三四五六"},
    {M, u"007", u"零零七"},
    // Numbers inside words stay as written
    {M, u"型號A380", u"型號A380"},
    {M, u"3D電影", u"3D電影"},
    {M, u"5G手機", u"5G手機"},
    {M, u"沒有數字的句子。", u"沒有數字的句子。"},
    // Full-width digits and signs
    {M, u"２０２６年", u"二零二六年"},
    {M, u"３０％", u"百分之三十"},
    {M, u"９：０５", u"九點零五分"},
    // Bad input: read digit by digit, never guessed
    {M, u"1,2,3,4", u"一,二,三,四"},
    {M, u"1.2.3", u"一點二點三"},
    {M, u"12:99", u"一二 九九"},
    {M, u"2026-13-45", u"二零二六 一三 四五"},
    {M, u"2026-02-30", u"二零二六 零二 三零"},
    {M, u"1234567890123456789012345678901234567890",
     u"一二三四五六七八九零一二三四五六七八九零一二三四五六七八九零一二三四五六七八九零"},
    // Cantonese where it differs
    {Y, u"2200", u"兩千兩百"},
    {Y, u"22000", u"兩萬兩千"},
    {Y, u"3-5", u"三至五"},
    {Y, u"2位", u"兩位"},
    {Y, u"2蚊", u"兩蚊"},
    {Y, u"5m", u"五米"},
    {Y, u"9:05", u"九點零五分"},
    {Y, u"2026-12-09", u"二零二六年十二月九日"},
    {Y, u"30%", u"百分之三十"},
    {Y, u"101", u"一百零一"},
    // Other languages are left alone
    {SpeechLanguage::Other, u"2026-12-09 15:30 30%", u"2026-12-09 15:30 30%"},
};

QString phonemes(const QString& voice, const QString& text) {
    QProcess p;
    p.start(QStringLiteral("espeak-ng"),
            {QStringLiteral("-v"), voice, QStringLiteral("-q"), QStringLiteral("-x"), text});
    if (!p.waitForFinished(10000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace

TEST(SpokenText, WrittenFormsAreSpokenAsAChineseListenerExpects) {
    ASSERT_GE(std::size(kCases), 80u);
    for (const Case& c : kCases) {
        const QString written = QString::fromUtf16(c.written);
        EXPECT_EQ(speakNumbers(written, c.language), QString::fromUtf16(c.spoken)) << written.toStdString();
    }
}

TEST(SpokenText, HugeAndHostileInputEndsQuickly) {
    // Every separator in a row, a 10,000-digit number, separators with nothing between them.
    QString hostile;
    for (int k = 0; k < 2000; ++k) hostile += QStringLiteral("1,2.3:4-5/6~7%8°");
    hostile += QString(10000, u'9') + QStringLiteral("--::,,..$$NT$");
    const QString spoken = speakNumbers(hostile, M);
    EXPECT_FALSE(spoken.isEmpty());
    EXPECT_FALSE(spoken.contains(u'9'));
}

TEST(SpokenText, VoiceIdsGiveTheirLanguage) {
    EXPECT_EQ(languageOfVoice(u"cmn-latn-pinyin+f3"), M);
    EXPECT_EQ(languageOfVoice(u"cmn"), M);
    EXPECT_EQ(languageOfVoice(u"yue+m1"), Y);
    EXPECT_EQ(languageOfVoice(u"en-us"), SpeechLanguage::Other);
    EXPECT_EQ(languageOfVoice(u""), SpeechLanguage::Other);
}

TEST(SpokenText, SpokenCopyReplacesTokenDropsDelaySymbolAndKeepsTablePinyinFromTheNumbers) {
    const DateSubstitution date = [](const QString& piece, int type, const QDateTime&) {
        return type == 1 ? QString(piece).replace(QStringLiteral("%Date%"), QStringLiteral("2026-12-09")) : piece;
    };
    const PronunciationLexicon lexicon({{QStringLiteral("銀行"), QStringLiteral("yin2 hang2"), QStringLiteral("cmn")}});
    SpokenSettings s;
    s.language = M;
    s.date = &date;
    s.lexicon = &lexicon;
    EXPECT_EQ(spokenCopy(QStringLiteral("※今天是%Date%，2位去銀行。"), s),
              QStringLiteral("今天是二零二六年十二月九日，兩位去 yin2 hang2 。"));
    s.language = SpeechLanguage::Other;
    EXPECT_EQ(spokenCopy(QStringLiteral("※%Date% 銀行"), s), QStringLiteral("2026-12-09 銀行"));
}

TEST(SpokenText, NumberSeparatorsDoNotCutAPieceForChineseVoices) {
    DelimiterTable table;
    table.marks = {QStringLiteral("，"), QStringLiteral(","), QStringLiteral(":"), QStringLiteral("。")};
    table.delays = {250, 250, 300, 600};
    const Piece piece = cutSpokenPiece(u"21:30打烊,售價1,299元。下一句", table, M);
    EXPECT_EQ(piece.text, QStringLiteral("21:30打烊,"));
    EXPECT_EQ(piece.delayMs, 250);
    EXPECT_EQ(cutSpokenPiece(u"21:30", table, SpeechLanguage::Other).text, QStringLiteral("21:"));
}

// Other voices get cutPiece's cut, and a Chinese voice the same away from digits: for marks of
// several characters, an empty row, a mark beyond the BMP (and a character that shares its
// first unit), and characters that share a mark's low bits (U+430C and U+FF0C, U+042C and
// U+002C) without being one.
TEST(SpokenText, TheCutIsCutPiecesCutForEveryKindOfMark) {
    DelimiterTable table;
    table.marks = {QString(), QStringLiteral("。！"), QStringLiteral("，"), QStringLiteral(","), QStringLiteral("𠀋")};
    table.delays = {100, 600, 250, 200, 900};
    const QStringList windows{QStringLiteral("甲䌌乙，丙"), QStringLiteral("Ь,x"),    QStringLiteral("好！再見。"),
                              QStringLiteral("字𠀋之後"),   QStringLiteral("無標點"), QString(),
                              QStringLiteral("𠀀𠀁，"),     QStringLiteral("，"),     QStringLiteral("a\nb,c")};
    for (const QString& w : windows) {
        SCOPED_TRACE(w.toStdString());
        const Piece expected = cutPiece(w, table);
        for (SpeechLanguage language : {SpeechLanguage::Other, M}) {
            const Piece cut = cutSpokenPiece(w, table, language);
            EXPECT_EQ(cut.text, expected.text);
            EXPECT_EQ(cut.delayMs, expected.delayMs);
        }
    }
}

// The rules change what the voice says, not only the letters: the real engine's phonemes for
// the spoken copy differ from those for the text as written.
TEST(SpokenText, TheEngineSaysSomethingElseForTheSpokenCopy) {
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty()) GTEST_SKIP() << "no espeak-ng program";
    const char16_t* sample[] = {u"2026-12-09", u"15:30", u"30%",          u"2024年", u"2位", u"NT$1,299",
                                u"25°C",       u"8.5折", u"0912-345-678", u"5kg",    u"3-5", u"101"};
    for (const char16_t* w : sample) {
        const QString written = QString::fromUtf16(w);
        const QString raw = phonemes(QStringLiteral("cmn-latn-pinyin"), written);
        const QString spoken = phonemes(QStringLiteral("cmn-latn-pinyin"), speakNumbers(written, M));
        ASSERT_FALSE(raw.isEmpty());
        EXPECT_NE(raw, spoken) << written.toStdString();
    }
    // Cantonese: the range word and the 兩 are heard.
    EXPECT_NE(phonemes(QStringLiteral("yue"), QStringLiteral("3-5")),
              phonemes(QStringLiteral("yue"), speakNumbers(u"3-5", Y)));
    EXPECT_NE(phonemes(QStringLiteral("yue"), QStringLiteral("2200")),
              phonemes(QStringLiteral("yue"), speakNumbers(u"2200", Y)));
}
