// The reading, export as read, the preview and `sayvell pieces` must say the same pieces with
// the same pauses: one table of texts, what a listener gets from each, run through each of them.
#include "audio/speech_export.h"
#include "cli/piece_list.h"
#include "reading/date_format.h"
#include "reading/tts.h"
#include "support/fakes.h"
#include "ui/reading/preview/preview_pieces.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace sayvell;

namespace {

const QDateTime kNow(QDate(2014, 4, 7), QTime(9, 5, 3));
constexpr int kSymbolMs = 800;

struct Expected {
    int start;
    QString written;
    QString spoken;
    int before;  // the delay symbol's wait
    int after;   // the delimiter's pause
};

struct Case {
    const char* name;
    QString text;
    int start;  // where the reading starts; only the reading and the preview start elsewhere than 0
    std::vector<Expected> pieces;
};

// What a consumer gave: texts, and the silences around the pieces (before each, then after the
// last), as a listener hears them.
struct Seen {
    std::vector<int> starts;  // -1: the consumer does not show it
    QStringList written;      // empty: the consumer does not show it
    QStringList spoken;
    std::vector<int> silences;
};

reading::DelimiterTable marks() {
    reading::DelimiterTable t;
    t.marks = QStringList{QStringLiteral("，"), QStringLiteral("。"), QStringLiteral("!")};
    t.delays[0] = 250;
    t.delays[1] = 600;
    t.delays[2] = 500;
    return t;
}

reading::DateSubstitution dates() {
    return [](const QString& piece, int type, const QDateTime& at) {
        return reading::DateFormatter().substitute(piece, type, at);
    };
}

std::vector<Case> cases() {
    const QString date = reading::DateFormatter().formatType(1, kNow);
    const QString spaces(102, u' ');
    return {
        {"delimiters",
         QStringLiteral("甲乙，丙丁。戊"),
         0,
         {{0, "甲乙，", "甲乙，", 0, 250}, {6, "丙丁。", "丙丁。", 0, 600}, {12, "戊", "戊", 0, 0}}},
        {"from the middle",
         QStringLiteral("甲乙，丙丁。戊"),
         6,
         {{6, "丙丁。", "丙丁。", 0, 600}, {12, "戊", "戊", 0, 0}}},
        {"delay symbol",
         QStringLiteral("※請注意!好"),
         0,
         {{0, "※請注意!", "請注意!", kSymbolMs, 500}, {9, "好", "好", 0, 0}}},
        {"date token",
         QStringLiteral("今天%Date%，%date%。"),
         0,
         {{0, "今天%Date%，", "今天" + date + "，", 0, 250}, {12, "%date%。", "%date%。", 0, 600}}},
        {"500-byte window",
         QString(260, u'長'),
         0,
         {{0, QString(250, u'長'), QString(250, u'長'), 0, 0}, {500, QString(10, u'長'), QString(10, u'長'), 0, 0}}},
        {"blank window",
         QStringLiteral("甲。\n") + QString(600, u' ') + QStringLiteral("\n乙。"),
         0,
         {{0, "甲。", "甲。", 0, 600}, {504, spaces + "\n乙。", spaces + "\n乙。", 0, 600}}},
        {"trailing blank lines", QStringLiteral("甲。\n\n  \n"), 0, {{0, "甲。", "甲。", 0, 600}}},
        {"beyond Big5",
         QStringLiteral("𠮷野家，好。"),
         0,
         {{0, "𠮷野家，", "𠮷野家，", 0, 250}, {8, "好。", "好。", 0, 600}}},
    };
}

std::vector<int> silencesOf(const std::vector<int>& before, const std::vector<int>& after) {
    std::vector<int> s;
    for (std::size_t i = 0; i < before.size(); ++i) s.push_back((i > 0 ? after[i - 1] : 0) + before[i]);
    s.push_back(after.empty() ? 0 : after.back());
    return s;
}

// ---- the consumers -------------------------------------------------------------------------

Seen byTheReading(const Case& c) {
    sayvell::testing::FakeEditor editor(c.text);
    sayvell::testing::FakeClock clock(kNow);
    sayvell::testing::FakeSpeechEngine engine(&editor, &clock);
    reading::ReadingState state;
    state.setDelimiterTable(marks());
    state.symbolDelayMs = kSymbolMs;
    state.dateFormatType = 1;
    {
        reading::TtsRunner runner(state, editor, engine, clock);
        runner.setDateSubstitution(dates());
        editor.setSelection(c.start, 0);
        state.beginRun();
        runner.start({c.start, 0, QStringLiteral("en")});
        EXPECT_TRUE(runner.waitIdle(10000));
    }
    Seen seen;
    const text::ByteText bytes(c.text);
    QDateTime last = kNow;
    for (const auto& s : engine.spoken()) {
        seen.starts.push_back(s.selStart);
        seen.written << bytes.window(s.selStart, s.selLength);
        seen.spoken << s.text;
        seen.silences.push_back(static_cast<int>(last.msecsTo(s.at)));
        last = s.at;
    }
    seen.silences.push_back(static_cast<int>(last.msecsTo(clock.now())));
    return seen;
}

Seen byThePreview(const Case& c) {
    ui::PreviewRequest r;
    r.text = text::ByteText(c.text);
    r.startByte = c.start;
    r.table = marks();
    r.language = reading::SpeechLanguage::Other;
    r.dateFormatType = 1;
    r.now = kNow;
    r.date = dates();
    r.symbolDelayMs = kSymbolMs;
    Seen seen;
    std::vector<int> before, after;
    for (const ui::PreviewPiece& p : ui::previewPieces(r, 1000).pieces) {
        seen.starts.push_back(p.byteStart);
        seen.written << p.written;
        seen.spoken << p.spoken;
        before.push_back(std::max(0, p.symbolWaitMs));
        after.push_back(p.delayMs);
    }
    seen.silences = silencesOf(before, after);
    return seen;
}

QString unescaped(const QString& s) {
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const QChar e = s[++i];
        out += e == u'n' ? QChar(u'\n') : e == u't' ? QChar(u'\t') : e;
    }
    return out;
}

// The printed lines; the listing shows no wait before a piece, so that one comes from the table.
Seen byThePieceList(const Case& c, const std::vector<Expected>& expected) {
    reading::MemoryText source(c.text);
    reading::RunSettings settings;
    settings.delimiters = marks();
    settings.symbolDelayMs = kSymbolMs;
    settings.now = kNow;
    settings.date = dates();
    std::FILE* f = std::tmpfile();
    app::cli::printPieces(source, settings, f);
    std::rewind(f);
    QByteArray printed;
    char buf[4096];
    while (const std::size_t n = std::fread(buf, 1, sizeof buf, f)) printed.append(buf, static_cast<qsizetype>(n));
    std::fclose(f);
    Seen seen;
    std::vector<int> before, after;
    for (const QString& line : QString::fromUtf8(printed).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() != 5) return {};
        seen.starts.push_back(fields[0].toInt());
        seen.written << unescaped(fields[3]);
        seen.spoken << unescaped(fields[4]);
        before.push_back(before.size() < expected.size() ? expected[before.size()].before : 0);
        after.push_back(fields[2].toInt());
    }
    seen.silences = silencesOf(before, after);
    return seen;
}

// Speaks every text as 100 ms of tone into the file it is given.
class ToneEngine : public sayvell::testing::FakeSpeechEngine {
public:
    bool setOutputFile(const QString& path, const reading::PcmFormat& format, QString*) override {
        path_ = path;
        rate_ = format.sampleRate;
        return true;
    }
    bool speak(const QString& text, int flags) override {
        FakeSpeechEngine::speak(text, flags);
        const int frames = rate_ / 10;
        QByteArray pcm;
        for (int i = 0; i < frames; ++i) {
            const auto v = static_cast<qint16>(8000 * std::sin(0.2 * (i + 1)) + (i == 0 || i == frames - 1 ? 4000 : 0));
            pcm.append(reinterpret_cast<const char*>(&v), 2);
        }
        QByteArray wav("RIFF");
        const auto u32 = [&wav](quint32 v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
        const auto u16 = [&wav](quint16 v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
        u32(36 + static_cast<quint32>(pcm.size()));
        wav += "WAVEfmt ";
        u32(16), u16(1), u16(1), u32(static_cast<quint32>(rate_)), u32(static_cast<quint32>(rate_) * 2), u16(2),
            u16(16);
        wav += "data";
        u32(static_cast<quint32>(pcm.size()));
        QFile f(path_);
        return f.open(QIODevice::WriteOnly) && f.write(wav + pcm) > 0;
    }

private:
    QString path_;
    int rate_ = 22050;
};

// The engine's texts, and the silences between the subtitles' cues.
Seen byTheExport(const Case& c) {
    QTemporaryDir dir;
    ToneEngine engine;
    audio::ReadExport job;
    job.path = dir.filePath(QStringLiteral("read.wav"));
    job.text = c.text;
    job.format = {22050, 16, 1};
    job.delimiters = marks();
    job.symbolDelayMs = kSymbolMs;
    job.now = kNow;
    job.voiceId = QStringLiteral("en");
    job.subtitles = true;
    audio::ExportControl control;
    const audio::ExportResult r = audio::exportAsRead(engine, job, control);
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    Seen seen;
    seen.spoken = engine.texts();
    QFile srt(dir.filePath(QStringLiteral("read.srt")));
    if (!srt.open(QIODevice::ReadOnly)) return seen;
    auto msOf = [](const QString& t) {  // HH:MM:SS,mmm
        return ((t.mid(0, 2).toInt() * 60 + t.mid(3, 2).toInt()) * 60 + t.mid(6, 2).toInt()) * 1000 +
               t.mid(9, 3).toInt();
    };
    int last = 0;
    for (const QString& block : QString::fromUtf8(srt.readAll()).trimmed().split(QStringLiteral("\n\n"))) {
        const QStringList times = block.split(u'\n').value(1).split(QStringLiteral(" --> "));
        seen.starts.push_back(-1);
        seen.silences.push_back(msOf(times.value(0)) - last);
        last = msOf(times.value(1));
    }
    seen.silences.push_back(static_cast<int>(std::lround(r.seconds * 1000)) - last);
    return seen;
}

void expectSame(const Seen& seen, const std::vector<Expected>& expected, int toleranceMs) {
    ASSERT_EQ(seen.spoken.size(), static_cast<qsizetype>(expected.size())) << seen.spoken.join(u'|').toStdString();
    std::vector<int> before, after;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto k = static_cast<qsizetype>(i);
        EXPECT_EQ(seen.spoken[k], expected[i].spoken) << "piece " << i;
        if (!seen.written.isEmpty()) {
            EXPECT_EQ(seen.written[k], expected[i].written) << "piece " << i;
        }
        if (seen.starts[i] >= 0) {
            EXPECT_EQ(seen.starts[i], expected[i].start) << "piece " << i;
        }
        before.push_back(expected[i].before);
        after.push_back(expected[i].after);
    }
    const std::vector<int> silences = silencesOf(before, after);
    ASSERT_EQ(seen.silences.size(), silences.size());
    for (std::size_t i = 0; i < silences.size(); ++i)
        EXPECT_NEAR(seen.silences[i], silences[i], toleranceMs) << "silence " << i;
}

}  // namespace

TEST(PieceWalk, TheReadingTheExportThePreviewAndThePieceListSayTheSamePieces) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        {
            SCOPED_TRACE("the reading");
            expectSame(byTheReading(c), c.pieces, 0);
        }
        {
            SCOPED_TRACE("the preview");
            expectSame(byThePreview(c), c.pieces, 0);
        }
        if (c.start != 0) continue;  // the others always start at the top
        {
            SCOPED_TRACE("sayvell pieces");
            expectSame(byThePieceList(c, c.pieces), c.pieces, 0);
        }
        {
            SCOPED_TRACE("export as read");
            // The export's last silence is the music's tail: none here.
            expectSame(byTheExport(c), c.pieces, 2);
        }
    }
}
