// How many frequent Mandarin words the voice reads as the dictionary does: the voice's phonemes
// for the spoken copy against its phonemes for the dictionary's pinyin.
//  - the 2,000 most frequent two-character words with a character of several readings
//  - the most frequent words with 一 or 不 whose reading the dictionary gives (tone rules)
// each raw, through the delivered pronunciation table, and with the dictionary as well.
// Also the normaliser's cost per piece with the dictionary.
#include "phonemes.h"
#include "reading/reading_dictionary.h"
#include "reading/spoken_text.h"
#include "rime_readings.h"
#include "store/pronunciation_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace sayvell;
using reading::SpeechLanguage;

namespace {

struct Word {
    std::string written;
    std::string reading;
    long weight;
};

// Frequent words from the word list, with the reference reading each has.
std::vector<Word> frequentWords(const tools::RimeReadings& rime, const std::string& list, bool toned, size_t count) {
    std::vector<Word> all;
    std::ifstream in(list);
    for (std::string line; std::getline(in, line);) {
        const auto f = tools::splitTabs(line);
        if (f.size() < 2) continue;
        const auto cs = tools::characters(f[0]);
        const bool hasTone = std::any_of(cs.begin(), cs.end(), [](auto& c) { return c == "一" || c == "不"; });
        const auto listed = rime.words.find(f[0]);
        if (toned) {
            // Only where the dictionary says how the word is read.
            if (!hasTone || listed == rime.words.end()) continue;
            all.push_back({f[0], listed->second, std::atol(f[1].c_str())});
            continue;
        }
        if (cs.size() != 2 || std::none_of(cs.begin(), cs.end(), [&](auto& c) { return rime.several.count(c) > 0; }))
            continue;
        if (hasTone && listed == rime.words.end()) continue;  // no reading to hold it against
        const std::string reading = listed != rime.words.end() ? listed->second : rime.usualReading(f[0]);
        if (!reading.empty()) all.push_back({f[0], reading, std::atol(f[1].c_str())});
    }
    std::stable_sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.weight > b.weight; });
    if (all.size() > count) all.resize(count);
    return all;
}

struct Score {
    int raw = 0, table = 0, dictionary = 0;
};

Score score(const std::vector<Word>& words, const tools::Phonemes& voice, const reading::PronunciationLexicon* lexicon,
            const reading::ReadingDictionary* dictionary, bool show) {
    Score s;
    for (const Word& w : words) {
        const std::string want = voice.of(w.reading);
        const QString written = QString::fromStdString(w.written);
        reading::SpokenSettings settings;
        settings.language = SpeechLanguage::Mandarin;
        settings.lexicon = lexicon;
        settings.useInstalledDictionary = false;
        const QString withTable = reading::spokenCopy(written, settings);
        settings.dictionary = dictionary;
        const QString withDictionary = reading::spokenCopy(written, settings);
        s.raw += voice.of(w.written) == want;
        s.table += voice.of(withTable.toStdString()) == want;
        const bool right = voice.of(withDictionary.toStdString()) == want;
        s.dictionary += right;
        if (show && !right)
            std::printf("  wrong: %s (%s) -> %s\n", w.written.c_str(), w.reading.c_str(),
                        withDictionary.toStdString().c_str());
    }
    return s;
}

void report(const char* what, const std::vector<Word>& words, const Score& s) {
    const double n = std::max<size_t>(1, words.size());
    std::printf("%s: %zu words; raw voice %.1f %%, with the table %.1f %%, with the dictionary %.1f %%\n", what,
                words.size(), 100.0 * s.raw / n, 100.0 * s.table / n, 100.0 * s.dictionary / n);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool show = app.arguments().contains(QStringLiteral("--show"));
    const std::string twDir = SAYVELL_READINGS_WORK;
    tools::RimeReadings rime;
    if (!rime.addDictionary(SAYVELL_RIME_DATA "/terra_pinyin.dict.yaml") ||
        !rime.addDictionary(twDir + "/terra_pinyin_tw.yaml"))
        return 1;
    rime.finish();
    tools::Phonemes voice("cmn-latn-pinyin");
    if (!voice.ready()) {
        std::fprintf(stderr, "no espeak-ng voice cmn-latn-pinyin\n");
        return 1;
    }
    QString error;
    const auto dictionary = reading::ReadingDictionary::load(
        QStringLiteral(SAYVELL_BIN_DIR "/") + reading::ReadingDictionary::kFileName, &error);
    const auto table = store::PronunciationTable::open(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), &error);
    if (!dictionary || !table) {
        std::fprintf(stderr, "cannot load: %s\n", error.toStdString().c_str());
        return 1;
    }
    const auto lexicon = table->lexicon();
    const std::string list = twDir + "/essay_tw.txt";

    const auto several = frequentWords(rime, list, false, 2000);
    report("two-character words with a character of several readings", several,
           score(several, voice, lexicon.get(), dictionary.get(), show));
    const auto toned = frequentWords(rime, list, true, 300);
    report("words with 一 or 不", toned, score(toned, voice, lexicon.get(), dictionary.get(), show));

    // Cost per piece: sentences of ordinary text, numbers and Latin letters.
    const QStringList pieces = {QStringLiteral("各位顧客您好，歡迎光臨本公司的地方銀行分行，"),
                                QStringLiteral("今天VIP會員一律打8.5折，"),
                                QStringLiteral("請於12/25前到B1美食街領取一個不一樣的禮物。"),
                                QStringLiteral("我們認為成為一家好的商店，不要只看價格，"),
                                QStringLiteral("客服專線分機123，LINE Pay付款享有回饋。")};
    reading::SpokenSettings settings;
    settings.language = SpeechLanguage::Mandarin;
    settings.lexicon = lexicon.get();
    settings.dictionary = dictionary.get();
    const int rounds = 40000;
    QElapsedTimer timer;
    timer.start();
    qsizetype sink = 0;
    for (int r = 0; r < rounds; ++r) sink += reading::spokenCopy(pieces[r % pieces.size()], settings).size();
    const double perPiece = double(timer.nsecsElapsed()) / 1e6 / rounds;
    std::printf("normaliser with table and dictionary: %.4f ms per piece (%lld)\n", perPiece, (long long)sink);
    QElapsedTimer load;
    load.start();
    const auto again = reading::ReadingDictionary::load(
        QStringLiteral(SAYVELL_BIN_DIR "/") + reading::ReadingDictionary::kFileName, &error);
    std::printf("loading the dictionary (%d words): %lld ms\n", again ? again->wordCount() : 0,
                (long long)load.elapsed());
    return 0;
}
