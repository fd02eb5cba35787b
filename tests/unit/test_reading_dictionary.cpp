// The dictionary of Mandarin readings: made by the build from the Rime data, read after the
// user's pronunciation table, with the tones speech gives 一 and 不.
#include "reading/reading_dictionary.h"
#include "reading/spoken_text.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace sayvell::reading;

namespace {

QString phonemes(const QString& text) {
    QProcess p;
    p.start(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), QStringLiteral("cmn-latn-pinyin"), QStringLiteral("-q"),
                                          QStringLiteral("-x"), text});
    if (!p.waitForFinished(10000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).remove(u'\'').remove(u',').simplified();
}

QString read(const ReadingDictionary& d, const QString& text, const PronunciationLexicon* table = nullptr) {
    SpokenSettings settings;
    settings.language = SpeechLanguage::Mandarin;
    settings.dictionary = &d;
    settings.lexicon = table;
    return spokenCopy(text, settings).simplified();
}

// Tones: 個 定 萬 4, 千 1, 人 2, 好 百 3.
const char16_t* const kSmall =
    u"# test\n個\t4\n定\t4\n萬\t4\n千\t1\n人\t2\n好\t3\n百\t3\n規\t1\n是\t4\n要\t4\n會\t4\n"
    u"銀行\tyin2 hang2\n一般\tyi4 ban1\n一一\t=\n統一\t~\n一定\t~\n不是\tbu2 shi4\n";

}  // namespace

TEST(ReadingDictionary, OneAndNotTakeTheToneSpeechGivesThem) {
    const auto d = ReadingDictionary::fromText(kSmall);
    EXPECT_EQ(d->wordCount(), 6);
    EXPECT_EQ(d->toneOf(u'千'), 1);
    EXPECT_EQ(d->toneOf(u'龘'), 0);
    const struct {
        const char16_t* written;
        const char16_t* spoken;
    } cases[] = {
        {u"一個", u"yi2 個"},  // before a fourth tone: second
        {u"一千", u"yi4 千"},  // before the others: fourth
        {u"一百", u"yi4 百"},       {u"一萬", u"yi2 萬"}, {u"一人", u"yi4 人"},   {u"一", u"一"},  // alone
        {u"十一", u"十一"},                                                        // the end of a number
        {u"十一人", u"十一人"},     {u"第一", u"第一"},                            // ordinals and dates
        {u"第一個", u"第一個"},     {u"一月", u"一月"},   {u"一二三", u"一二三"},  // digits one by one
        {u"一定", u"yi2 定"},        // a word of the list: the rules within it
        {u"統一規定", u"統一規定"},  // 一 ends the word 統一
        {u"一一", u"一一"},          // the dictionary's own reading
        {u"一般", u"yi4 ban1"},     {u"不要", u"bu2 要"}, {u"不是", u"bu2 shi4"}, {u"不好", u"不好"}, {u"不", u"不"},
        {u"一。", u"一。"},         {u"一A", u"一 A"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read(*d, QString::fromUtf16(c.written)), QString::fromUtf16(c.spoken))
            << QString::fromUtf16(c.written).toStdString();
}

TEST(ReadingDictionary, DigitsReadOneByOneAndDatesKeepTheirOne) {
    const auto d = ReadingDictionary::fromText(kSmall);
    EXPECT_EQ(read(*d, QStringLiteral("分機111")), QStringLiteral("分機一一一"));
    EXPECT_EQ(read(*d, QStringLiteral("0912-111-111")), QStringLiteral("零九一二 一一一 一一一"));
    EXPECT_EQ(read(*d, QStringLiteral("1/1")), QStringLiteral("一月一日"));
    EXPECT_EQ(read(*d, QStringLiteral("1:05")), QStringLiteral("一點零五分"));
    EXPECT_EQ(read(*d, QStringLiteral("1個")), QStringLiteral("yi2 個"));
    EXPECT_EQ(read(*d, QStringLiteral("1000人")), QStringLiteral("yi4 千人"));
    // A 1 that counts nothing, and a 1 that ends a number, keep the first tone
    EXPECT_EQ(read(*d, QStringLiteral("1樓")), QStringLiteral("一樓"));
    EXPECT_EQ(read(*d, QStringLiteral("買1送1")), QStringLiteral("買一送一"));
    EXPECT_EQ(read(*d, QStringLiteral("1月1日")), QStringLiteral("一月一日"));
    const auto withWord = ReadingDictionary::fromText(QStringLiteral("個\t4\n百\t3\n一個\tyi2 ge4\n"));
    EXPECT_EQ(read(*withWord, QStringLiteral("101個")), QStringLiteral("yi4 百零一個"));
    EXPECT_EQ(read(*withWord, QStringLiteral("1個")), QStringLiteral("yi2 ge4"));
}

TEST(ReadingDictionary, TheUsersTableComesFirst) {
    const auto d = ReadingDictionary::fromText(kSmall);
    const PronunciationLexicon table({{"銀行", "yin2 xing2", "cmn"}, {"一個", "yi1 ge4", "cmn"}});
    EXPECT_EQ(read(*d, QStringLiteral("銀行一個"), &table), QStringLiteral("yin2 xing2 yi1 ge4"));
    EXPECT_EQ(read(*d, QStringLiteral("去銀行")), QStringLiteral("去 yin2 hang2"));
    // 一 and 不 before a table word take its first tone
    const PronunciationLexicon moment({{"剎那", "cha4 na4", "cmn"}, {"便宜", "pian2 yi2", "cmn"}});
    EXPECT_EQ(read(*d, QStringLiteral("一剎那"), &moment), QStringLiteral("yi2 cha4 na4"));
    EXPECT_EQ(read(*d, QStringLiteral("不便宜"), &moment), QStringLiteral("不 pian2 yi2"));
    // Cantonese has no pinyin: the dictionary is not used
    SpokenSettings yue;
    yue.language = SpeechLanguage::Cantonese;
    yue.dictionary = d.get();
    EXPECT_EQ(spokenCopy(QStringLiteral("銀行一個"), yue), QStringLiteral("銀行一個"));
}

TEST(ReadingDictionary, AMissingFileLeavesTheTableWorking) {
    QString error;
    EXPECT_FALSE(ReadingDictionary::load(QStringLiteral("/nonexistent/readings-cmn.tsv"), &error));
    EXPECT_FALSE(error.isEmpty());
    const PronunciationLexicon table({{"銀行", "yin2 hang2", "cmn"}});
    SpokenSettings settings;
    settings.language = SpeechLanguage::Mandarin;
    settings.lexicon = &table;
    settings.useInstalledDictionary = false;
    EXPECT_EQ(spokenCopy(QStringLiteral("銀行一個"), settings), QStringLiteral("yin2 hang2 一個"));
    // Lines it cannot use are skipped, the rest is read
    const auto d = ReadingDictionary::fromText(u"\t\nx\n地方\n地方\tdi4 fang1\n好\t9\n");
    EXPECT_EQ(d->wordCount(), 1);
    EXPECT_EQ(d->toneOf(u'好'), 0);
}

#ifdef SAYVELL_MAKE_READINGS
// The build's conversion: the words the voice reads wrong with their reading, the others left
// out, words with 一 and 不 marked, each character's usual tone.
TEST(ReadingDictionary, TheBuildConvertsTheRimeDataIntoWhatTheVoiceNeeds) {
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty()) GTEST_SKIP() << "no espeak-ng";
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QString& text) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
        return f.fileName();
    };
    const QString dict = write(QStringLiteral("t.dict.yaml"),
                               QStringLiteral("---\nname: t\n...\n\n銀\tyin2\n行\txing2\t80%\n行\thang2\t20%\n"
                                              "一\tyi1\t98%\n一\tyi2\t1%\n不\tbu4\t99%\n不\tbu2\t1%\n個\tge4\n"
                                              "定\tding4\n好\thao3\n人\tren2\n地\tdi4\t90%\n地\tde5\t10%\n方\tfang1\n"
                                              "銀行\tyin2 hang2\n行人\txing2 ren2\n一個\tyi2 ge4\n不好\tbu4 hao3\n"
                                              "地方\tdi4 fang5\n地方\tdi4 fang1\n一下兒\tyi2 xia4 r5\n"));
    const QString list = write(QStringLiteral("words.txt"), QStringLiteral("一定\t100\n好人\t50\n"));
    const QString out = dir.filePath(QStringLiteral("readings.tsv"));
    QProcess p;
    p.start(QStringLiteral(SAYVELL_MAKE_READINGS), {out, dict, QStringLiteral("--words"), list});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(QStringLiteral("銀行\tyin2 hang2")));  // the voice says yin2 xing2
    EXPECT_TRUE(lines.contains(QStringLiteral("一個\tyi2 ge4")));
    EXPECT_TRUE(lines.contains(QStringLiteral("地方\tdi4 fang1")));  // Taiwan's full tone
    EXPECT_TRUE(lines.contains(QStringLiteral("不好\t=")));          // right already, kept for 不
    EXPECT_TRUE(lines.contains(QStringLiteral("一定\t~")));          // listed: the rules apply
    EXPECT_TRUE(lines.contains(QStringLiteral("行\t2")));            // the usual reading's tone
    EXPECT_TRUE(lines.contains(QStringLiteral("個\t4")));
    for (const QString& line : lines) {
        EXPECT_FALSE(line.startsWith(QStringLiteral("行人\t"))) << "the voice reads it right";
        EXPECT_FALSE(line.startsWith(QStringLiteral("好人\t"))) << "no character of several readings";
        EXPECT_FALSE(line.startsWith(QStringLiteral("一下兒\t"))) << "erhua is no syllable of its own";
    }
    // What it made is what the program loads
    QString error;
    const auto d = ReadingDictionary::load(out, &error);
    ASSERT_TRUE(d) << error.toStdString();
    EXPECT_EQ(read(*d, QStringLiteral("銀行")), QStringLiteral("yin2 hang2"));

    // Bad input: no file, no readings
    QProcess bad;
    bad.start(QStringLiteral(SAYVELL_MAKE_READINGS), {out, dir.filePath(QStringLiteral("none.yaml"))});
    ASSERT_TRUE(bad.waitForFinished(60000));
    EXPECT_NE(bad.exitCode(), 0);
}
#endif

// The delivered dictionary, a sample of frequent words: the voice now says the dictionary's reading.
TEST(ReadingDictionary, TheDeliveredDictionaryMakesTheVoiceSayFrequentWordsRight) {
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty()) GTEST_SKIP() << "no espeak-ng";
    const ReadingDictionary* d = ReadingDictionary::installed();
    if (!d) GTEST_SKIP() << "no readings-cmn.tsv in this build";
    const struct {
        const char16_t* written;
        const char* reading;
    } sample[] = {
        {u"地方", "di4 fang1"},  {u"土地", "tu3 di4"},  {u"地區", "di4 qu1"},   {u"成為", "cheng2 wei2"},
        {u"認為", "ren4 wei2"},  {u"以為", "yi3 wei2"}, {u"女兒", "nv3 er2"},   {u"哪裡", "na3 li3"},
        {u"銀行", "yin2 hang2"}, {u"一個", "yi2 ge4"},  {u"一定", "yi2 ding4"}, {u"不要", "bu2 yao4"},
        {u"一樣", "yi2 yang4"},  {u"不會", "bu2 hui4"}, {u"一般", "yi4 ban1"},  {u"重新", "chong2 xin1"},
        {u"音樂", "yin1 yue4"},  {u"覺得", "jue2 de5"}, {u"統一", "tong3 yi1"},
    };
    int right = 0;
    for (const auto& w : sample) {
        SpokenSettings settings;
        settings.language = SpeechLanguage::Mandarin;
        const QString copy = spokenCopy(QString::fromUtf16(w.written), settings);
        const bool same = phonemes(copy) == phonemes(QString::fromLatin1(w.reading));
        right += same;
        EXPECT_TRUE(same) << QString::fromUtf16(w.written).toStdString() << " -> " << copy.toStdString();
    }
    EXPECT_EQ(right, int(std::size(sample)));
}
