// The pronunciation table: matching, the table in draft.dat, and its CSV files.
#include "reading/spoken_lexicon.h"
#include "store/pronunciation_table.h"
#include "store/tdm.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace sayvell;
using reading::PronunciationLexicon;
using reading::SpeechLanguage;
using store::PronunciationTable;

namespace {

void runSql(const QString& path, const QByteArray& statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* err = nullptr;
    const int rc = sqlite3_exec(db, statements.constData(), nullptr, nullptr, &err);
    EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
}

class PronunciationTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile schema(QStringLiteral(SAYVELL_SOURCE_DIR "/resources/draft.sql"));
        ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
        runSql(path, schema.readAll());
    }
    std::unique_ptr<PronunciationTable> openTable() {
        QString error;
        auto t = PronunciationTable::open(path, &error);
        EXPECT_TRUE(t) << error.toStdString();
        return t;
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("draft.dat"));
};

// The voice's phonemes for each text, one espeak-ng run for all of them.
QStringList phonemesOf(const QString& voice, const QStringList& texts) {
    QProcess p;
    p.start(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), voice, QStringLiteral("-q"), QStringLiteral("-x")});
    p.write((texts.join(QStringLiteral(".\n")) + QStringLiteral(".\n")).toUtf8());
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace

TEST(PronunciationLexicon, LongestMatchWinsLeftToRightPerLanguage) {
    const PronunciationLexicon lexicon({{"銀行", "yin2 hang2", "cmn"},
                                        {"銀行卡", "yin2 hang2 ka3", "cmn"},
                                        {"行長", "hang2 zhang3", "cmn"},
                                        {"重新", "蟲新", "yue"},
                                        {"空", "", "cmn"},  // an empty reading is no entry
                                        {"長大", "chang2 da4", "cmn"},
                                        {"長大", "zhang3 da4", "cmn"},  // the later row wins
                                        {"了", "liao3", "en"}});
    EXPECT_EQ(lexicon.size(), 5);
    EXPECT_EQ(lexicon.apply(u"辦銀行卡", SpeechLanguage::Mandarin), QStringLiteral("辦yin2 hang2 ka3"));
    // 銀行 starts first, so 行長 cannot take its 行.
    EXPECT_EQ(lexicon.apply(u"銀行長", SpeechLanguage::Mandarin), QStringLiteral("yin2 hang2長"));
    EXPECT_EQ(lexicon.apply(u"行長長大", SpeechLanguage::Mandarin), QStringLiteral("hang2 zhang3zhang3 da4"));
    EXPECT_EQ(lexicon.apply(u"重新空了", SpeechLanguage::Mandarin), QStringLiteral("重新空了"));
    EXPECT_EQ(lexicon.apply(u"重新銀行", SpeechLanguage::Cantonese), QStringLiteral("蟲新銀行"));
    EXPECT_EQ(lexicon.apply(u"銀行", SpeechLanguage::Other), QStringLiteral("銀行"));
}

TEST_F(PronunciationTableTest, EveryDeliveredRowChangesWhatTheVoiceSays) {
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty()) GTEST_SKIP() << "no espeak-ng";
    auto table = openTable();
    ASSERT_TRUE(table);
    for (const auto& [language, voice] : {std::pair{QStringLiteral("cmn"), QStringLiteral("cmn-latn-pinyin")},
                                          std::pair{QStringLiteral("yue"), QStringLiteral("yue")}}) {
        QStringList written, spoken;
        for (const auto& row : table->rows()) {
            if (row.language != language) continue;
            written << row.written;
            spoken << row.spoken;
        }
        if (written.isEmpty()) continue;
        const QStringList before = phonemesOf(voice, written);
        const QStringList after = phonemesOf(voice, spoken);
        ASSERT_EQ(before.size(), written.size()) << voice.toStdString();
        ASSERT_EQ(after.size(), written.size()) << voice.toStdString();
        for (qsizetype i = 0; i < written.size(); ++i)
            EXPECT_NE(before[i], after[i]) << written[i].toStdString() << " -> " << spoken[i].toStdString();
    }
}

TEST_F(PronunciationTableTest, AnOlderFileGetsTheTableWithItsDeliveredRows) {
    runSql(path, "DROP TABLE pronunciation");
    QString error;
    ASSERT_TRUE(store::TDM::open(path, &error)) << error.toStdString();
    auto table = openTable();
    ASSERT_TRUE(table);
    EXPECT_GE(table->rows().size(), 200u);
    const auto lexicon = table->lexicon();
    EXPECT_EQ(lexicon->apply(u"去銀行重新辦理", SpeechLanguage::Mandarin),
              QStringLiteral("去yin2 hang2chong2 xin1辦理"));
    // Opening again adds nothing.
    const size_t rows = table->rows().size();
    table.reset();
    ASSERT_TRUE(store::TDM::open(path));
    EXPECT_EQ(openTable()->rows().size(), rows);
}

TEST_F(PronunciationTableTest, ChangesReachTheFileAndTheNextSnapshot) {
    auto table = openTable();
    const auto source = table->source();
    const auto before = source();
    ASSERT_TRUE(table->add(QStringLiteral("O'Neil \"老\"店"), QStringLiteral("lao3 dian4"), QStringLiteral("cmn")));
    ASSERT_TRUE(table->add(QStringLiteral("銀行"), QStringLiteral("ngan4 hong4"), QStringLiteral("粵語")));
    // A word the language has already gets the new reading, not a second row.
    const size_t rows = table->rows().size();
    ASSERT_TRUE(table->add(QStringLiteral("銀行"), QStringLiteral("yin2 hang2"), QStringLiteral("cmn")));
    EXPECT_EQ(table->rows().size(), rows);
    EXPECT_EQ(table->add(QStringLiteral("空"), QStringLiteral("  "), QStringLiteral("cmn")).message,
              store::kEmptyReadingMessage);
    EXPECT_EQ(table->add(QStringLiteral("空"), QStringLiteral("kong4"), QStringLiteral("fr")).message,
              store::kBadLanguageMessage);

    // The worker's copy taken before the change stays as it was.
    EXPECT_EQ(before->apply(u"O'Neil \"老\"店", SpeechLanguage::Mandarin), QStringLiteral("O'Neil \"老\"店"));
    EXPECT_EQ(source()->apply(u"O'Neil \"老\"店", SpeechLanguage::Mandarin), QStringLiteral("lao3 dian4"));

    const int last = int(table->rows().size()) - 1;
    ASSERT_TRUE(table->remove(last - 1));  // the O'Neil row
    table.reset();
    auto again = openTable();
    EXPECT_EQ(again->rows().size(), rows - 1);
    EXPECT_EQ(again->rows().back().spoken, QStringLiteral("ngan4 hong4"));
    EXPECT_EQ(again->lexicon()->apply(u"銀行", SpeechLanguage::Cantonese), QStringLiteral("ngan4 hong4"));
    EXPECT_FALSE(again->update(int(again->rows().size()), "a", "b", "cmn"));
}

TEST_F(PronunciationTableTest, CsvRoundTripKeepsQuotesCommasAndLineBreaks) {
    runSql(path, "DELETE FROM pronunciation");
    auto table = openTable();
    ASSERT_TRUE(table->add(QStringLiteral("甲,乙"), QStringLiteral("jia3, \"yi3\""), QStringLiteral("cmn")));
    ASSERT_TRUE(table->add(QStringLiteral("重新"), QStringLiteral("蟲新"), QStringLiteral("yue")));
    const QString file = dir.filePath(QStringLiteral("table.csv"));
    ASSERT_TRUE(table->exportCsv(file));
    runSql(path, "DELETE FROM pronunciation");

    auto other = openTable();
    store::CsvImport counts;
    ASSERT_TRUE(other->importCsvFile(file, &counts));
    EXPECT_EQ(counts.imported, 2);
    ASSERT_EQ(other->rows().size(), 2u);
    EXPECT_EQ(other->rows()[0].written, QStringLiteral("甲,乙"));
    EXPECT_EQ(other->rows()[0].spoken, QStringLiteral("jia3, \"yi3\""));
    EXPECT_EQ(other->rows()[1].language, QStringLiteral("yue"));

    // A hand-made file: BOM, no header, a quoted line break, rows without a reading or a
    // language, an unknown language.
    const QByteArray hand =
        "\xEF\xBB\xBF長大,zhang3 da4\r\n\"多\n行\",duo1 hang2,cmn\n空,,cmn\n了,liao3,xx\n重新,蟲新,yue\n";
    ASSERT_TRUE(other->importCsv(hand, &counts));
    EXPECT_EQ(counts.imported, 3);
    EXPECT_EQ(counts.skipped, 2);
    EXPECT_EQ(other->rows().size(), 4u);  // 重新/yue was there already
    EXPECT_EQ(other->rows()[3].written, QStringLiteral("多\n行"));
}

TEST_F(PronunciationTableTest, TenThousandRowsImportAndMatchQuickly) {
    QByteArray csv = "詞語,讀音,語言\n";
    for (int k = 0; k < 10000; ++k) csv += QStringLiteral("詞%1,ci2 %1,cmn\n").arg(k).toUtf8();
    auto table = openTable();
    store::CsvImport counts;
    ASSERT_TRUE(table->importCsv(csv, &counts));
    EXPECT_EQ(counts.imported, 10000);
    const auto lexicon = table->lexicon();
    QString text;
    for (int k = 0; k < 2000; ++k) text += QStringLiteral("詞詞語");
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(lexicon->apply(text, SpeechLanguage::Mandarin), text);  // "詞" alone is no entry
    EXPECT_EQ(lexicon->apply(u"詞9999。", SpeechLanguage::Mandarin), QStringLiteral("ci2 9999。"));
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST_F(PronunciationTableTest, ModelEditsTheFileAndSaysWhyAnEditIsRefused) {
    runSql(path, "DELETE FROM pronunciation");
    auto table = openTable();
    store::PronunciationModel model(*table);
    ASSERT_TRUE(model.addRow(QStringLiteral("音樂"), QStringLiteral("yin1 yue4"), QStringLiteral("cmn")));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("讀音"));
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), QStringLiteral("普通話"));
    EXPECT_FALSE(model.setData(model.index(0, 1), QString()));
    EXPECT_EQ(model.lastError(), store::kEmptyReadingMessage);
    ASSERT_TRUE(model.setData(model.index(0, 1), QStringLiteral("yin1 yue4 ")));
    ASSERT_TRUE(model.setData(model.index(0, 2), QStringLiteral("粵語")));
    table.reset();
    auto again = openTable();
    ASSERT_EQ(again->rows().size(), 1u);
    EXPECT_EQ(again->rows()[0].spoken, QStringLiteral("yin1 yue4"));
    EXPECT_EQ(again->rows()[0].language, QStringLiteral("yue"));
}
