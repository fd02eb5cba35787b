// Cost of making the spoken copy (pronunciation table, then numbers) for every piece of a
// 20 MB text, against cutting and the date token alone. Goal: at most 0.05 ms per piece.
#include "reading/date_format.h"
#include "reading/spoken_text.h"
#include "store/pronunciation_table.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

using namespace sayvell;
using namespace sayvell::reading;
using Steady = std::chrono::steady_clock;

namespace {

QString bigText(qsizetype bytes) {
    const QString sentences[] = {
        QStringLiteral("本店營業時間為9:00-21:30，今天是%Date%。"),
        QStringLiteral("全場商品8.5折，滿NT$1,299再享30%回饋！"),
        QStringLiteral("請2位家長到銀行辦理重新登記，電話0912-345-678。"),
        QStringLiteral("他慢慢長大了，覺得音樂比什麼都重要；"),
        QStringLiteral("氣溫25°C，降雨機率百分之二十，請攜帶雨具。"),
        QStringLiteral("那是一個很長很長的故事，沒有人知道結局，"),
        QStringLiteral("第3章共有12節，每節約2,500字。"),
    };
    QString text;
    text.reserve(bytes / 2 + 64);
    // A Chinese character is 2 bytes and ASCII 1; count roughly by UTF-16 units and weights.
    qsizetype size = 0;
    for (int k = 0; size < bytes; ++k) {
        const QString& s = sentences[k % 7];
        text += s;
        for (QChar c : s) size += c.unicode() < 0x80 ? 1 : 2;
    }
    return text;
}

DelimiterTable delimiters() {
    DelimiterTable t;
    t.marks = {QStringLiteral("。"), QStringLiteral("；"), QStringLiteral("："), QStringLiteral("？"),
               QStringLiteral("！"), QStringLiteral("，"), QStringLiteral(","),  QStringLiteral(";"),
               QStringLiteral(":"),  QStringLiteral("?"),  QStringLiteral("!")};
    t.delays = {600, 400, 300, 600, 600, 250, 250, 400, 300, 600, 600};
    return t;
}

struct Figures {
    long pieces = 0;
    double ms = 0;
    qsizetype spokenSize = 0;
};

// Walks the text piece by piece as the worker does (a window, a cut), making each spoken copy.
template <typename MakeCopy>
Figures walk(const QString& text, SpeechLanguage language, MakeCopy makeCopy) {
    const DelimiterTable table = delimiters();
    Figures f;
    const auto start = Steady::now();
    for (qsizetype at = 0; at < text.size();) {
        const QStringView window = QStringView(text).mid(at, 250);
        const Piece piece = cutSpokenPiece(window, table, language);
        f.spokenSize += makeCopy(piece.text).size();
        at += piece.text.size();
        ++f.pieces;
    }
    f.ms = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
    return f;
}

}  // namespace

int main() {
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("draft.dat"));
    {
        QFile empty(db);  // an empty file is an empty database: the table and its rows get made
        if (!empty.open(QIODevice::WriteOnly)) return 1;
    }
    QString error;
    auto table = store::PronunciationTable::open(db, &error);
    if (!table) {
        std::fprintf(stderr, "pronunciation table: %s\n", qPrintable(error));
        return 1;
    }
    const auto lexicon = table->lexicon();
    const DateFormatter formatter(QLocale(QLocale::Chinese, QLocale::Taiwan));
    const DateSubstitution date = [&formatter](const QString& piece, int type, const QDateTime& now) {
        return formatter.substitute(piece, type, now);
    };
    const QDateTime now = QDateTime::currentDateTime();

    const QString text = bigText(20 * 1000 * 1000);
    std::printf("text: %lld UTF-16 units, %d table rows\n", static_cast<long long>(text.size()), lexicon->size());

    // What the worker did before: the date token and the delay symbol only.
    const Figures before = walk(text, SpeechLanguage::Other, [&](const QString& piece) {
        QString s = date(piece, 1, now);
        s.remove(QChar(kDelaySymbol));
        return s;
    });
    for (SpeechLanguage language : {SpeechLanguage::Mandarin, SpeechLanguage::Cantonese}) {
        SpokenSettings settings;
        settings.language = language;
        settings.dateFormatType = 1;
        settings.now = now;
        settings.date = &date;
        settings.lexicon = lexicon.get();
        const Figures after = walk(text, language, [&](const QString& piece) { return spokenCopy(piece, settings); });
        std::printf(
            "%s: %ld pieces, %.1f ms, %.5f ms per piece (date token only: %.5f ms per piece), "
            "spoken %lld units\n",
            language == SpeechLanguage::Mandarin ? "Mandarin" : "Cantonese", after.pieces, after.ms,
            after.ms / double(after.pieces), before.ms / double(before.pieces),
            static_cast<long long>(after.spokenSize));
    }
    return 0;
}
