// The command line as a user runs it: the real executable, the real speech engine and, for
// speak, the private PulseAudio of with_pulse.sh.
#include "audio/wav_formats.h"
#include "cli/piece_list.h"
#include "reading/date_format.h"
#include "reading/tts.h"
#include "support/fakes.h"
#include "support/iconv_fixture.h"
#include "support/sound_capture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <csignal>
#include <gtest/gtest.h>

namespace sayvell {
namespace {

// A portable copy of the program with its own database and settings.
struct Copy {
    QTemporaryDir dir;
    explicit Copy(const QByteArray& settings = {}) {
        QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/sayvell"), exe());
        QFile::setPermissions(exe(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
        QFile::setPermissions(dir.filePath("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
        // The readings of words go with a portable copy as they do with the build.
        QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/readings-cmn.tsv"), dir.filePath("readings-cmn.tsv"));
        QFile ini(dir.filePath("setinfo.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write(settings);
    }
    QString exe() const { return dir.filePath("sayvell"); }
    QString file(const QString& name, const QByteArray& content = {}) const {
        QFile f(dir.filePath(name));
        if (!content.isNull() && f.open(QIODevice::WriteOnly)) f.write(content);
        return f.fileName();
    }
};

struct Outcome {
    int code = -1;
    QString out;
    QString err;
};

Outcome run(const Copy& c, const QStringList& args, const QByteArray& input = {}, int timeoutMs = 60000) {
    QProcess p;
    p.start(c.exe(), args);
    p.waitForStarted(5000);
    p.write(input);
    p.closeWriteChannel();
    Outcome r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

int englishVoice(const Copy& c) {
    const Outcome r = run(c, {"voices"});
    for (const QString& line : r.out.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(u'\t');
        if (f.size() == 3 && f[2].startsWith(QLatin1String("en"))) return f[0].toInt();
    }
    return -1;
}

struct WavInfo {
    int rate = 0;
    int bits = 0;
    int channels = 0;
    double seconds = 0;
};

// The fmt and data chunks of a RIFF/WAVE file, read as a player would.
bool readWav(const QString& path, WavInfo* info) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray b = f.readAll();
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE") return false;
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); };
    qsizetype at = 12;
    int blockAlign = 0;
    while (at + 8 <= b.size()) {
        const QByteArray id = b.mid(at, 4);
        const quint32 size = u32(at + 4);
        if (id == "fmt ") {
            info->channels = u16(at + 10);
            info->rate = static_cast<int>(u32(at + 12));
            blockAlign = u16(at + 20);
            info->bits = u16(at + 22);
        } else if (id == "data") {
            if (blockAlign == 0 || info->rate == 0) return false;
            info->seconds = double(size) / blockAlign / info->rate;
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

}  // namespace

TEST(CommandLine, PiecesPrintsOnePieceALineWithPausesDateAndDelaySymbol) {
    Copy c("[Speaker]\r\nDatetimetype=1\r\n");
    const int en = englishVoice(c);
    ASSERT_GE(en, 0);
    const QString input = c.file("a.txt", QStringLiteral("早安，今天是%Date%。\r\n※請\t注意！").toUtf8());
    const reading::DateFormatter formatter(QLocale::system());
    const QString before = formatter.formatType(5, QDateTime::currentDateTime());
    const Outcome r = run(c, {"pieces", input, "--voice", QString::number(en), "--date-format", "5"});
    const QString after = formatter.formatType(5, QDateTime::currentDateTime());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    auto expected = [](const QString& date) {
        return QStringLiteral(
                   "0\t6\t250\t早安，\t早安，\n"
                   "6\t14\t600\t今天是%Date%。\t今天是%1。\n"
                   "20\t13\t600\t\\n※請\\t注意！\t\\n請\\t注意！\n")
            .arg(date);
    };
    EXPECT_TRUE(r.out == expected(before) || r.out == expected(after)) << r.out.toStdString();

    // A Chinese voice hears the numbers in words; the text as written stays as it was.
    const Outcome zh = run(c, {"pieces", "-", "--voice", "0"}, QStringLiteral("第2位。").toUtf8());
    ASSERT_EQ(zh.code, 0) << zh.err.toStdString();
    const QStringList fields = zh.out.trimmed().split(u'\t');
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[3], QStringLiteral("第2位。"));
    EXPECT_FALSE(fields[4].contains(u'2')) << fields[4].toStdString();
}

// More lines than the program writes out at once, with every character it escapes: each line
// is the listed piece's, in order, none lost or split where one block of output ends.
TEST(CommandLine, PiecesOfALongTextAreEveryListedPieceEscaped) {
    Copy c;
    const int en = englishVoice(c);
    ASSERT_GE(en, 0);
    QString text;
    for (int i = 0; text.size() < 400000; ++i) {
        text += QStringLiteral("第%1段，有\t跳格與\\反斜線。").arg(i);
        if (i % 7 == 0) text += QChar(0x2029);
        if (i % 11 == 0) text += u'\n';
    }
    const QString input = c.file("long.txt", text.toUtf8());
    const Outcome r = run(c, {"pieces", input, "--voice", QString::number(en)}, {}, 120000);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();

    auto escaped = [](QString s) {
        s.replace(u'\\', QStringLiteral("\\\\"));
        s.replace(u'\t', QStringLiteral("\\t"));
        s.replace(u'\n', QStringLiteral("\\n"));
        s.replace(QChar(0x2029), QStringLiteral("\\n"));
        return s;
    };
    reading::DelimiterTable table;  // the delivered database's marks
    table.marks = QStringList{QStringLiteral("。"), QStringLiteral("；"), QStringLiteral("："), QStringLiteral("？"),
                              QStringLiteral("！"), QStringLiteral("，"), QStringLiteral(","),  QStringLiteral(";"),
                              QStringLiteral(":"),  QStringLiteral("?"),  QStringLiteral("!")};
    table.delays = {600, 400, 300, 600, 600, 250, 250, 400, 300, 600, 600};
    reading::RunSettings settings;
    settings.delimiters = table;
    QStringList expected;
    reading::MemoryText source(text);
    app::cli::listPieces(source, settings, [&](const app::cli::ListedPiece& p) {
        expected << QStringLiteral("%1\t%2\t%3\t%4\t%5")
                        .arg(p.start)
                        .arg(p.length)
                        .arg(p.pauseMs)
                        .arg(escaped(p.written), escaped(p.spoken));
    });
    ASSERT_GT(r.out.size(), 600000);
    ASSERT_TRUE(r.out.endsWith(u'\n'));
    const QStringList lines = r.out.chopped(1).split(u'\n');
    ASSERT_EQ(lines.size(), expected.size());
    for (qsizetype i = 0; i < lines.size(); ++i) ASSERT_EQ(lines[i], expected[i]) << i;
}

// A file of any common Chinese encoding reads as written; --encoding settles what the
// detector cannot, and bytes of no encoding are said, not hidden.
TEST(CommandLine, TextsOfEveryEncodingReadAsWritten) {
    Copy c;
    auto written = [](const Outcome& r) {
        QString text;
        for (const QString& line : r.out.split(u'\n', Qt::SkipEmptyParts)) text += line.section(u'\t', 3, 3);
        return text;
    };
    const QString gb = QStringLiteral("各位顾客您好，欢迎光临。");
    const QString big5 = QStringLiteral("各位顧客您好，歡迎光臨。");
    const QString hk = QStringLiteral("香港銅鑼灣嘅茶餐廳，啲嘢食好正。");
    const std::pair<QString, QByteArray> files[] = {
        {gb, testing::iconvBytes(gb, "GBK")},
        {big5, testing::iconvBytes(big5, "BIG5")},
        {hk, testing::iconvBytes(hk, "BIG5-HKSCS")},
        {gb, "\xFF\xFE" + testing::iconvBytes(gb, "UTF-16LE")},
    };
    for (const auto& [text, bytes] : files) {
        SCOPED_TRACE(text.toStdString());
        const Outcome fromFile = run(c, {"pieces", c.file("in.txt", bytes)});
        ASSERT_EQ(fromFile.code, 0) << fromFile.err.toStdString();
        EXPECT_EQ(written(fromFile), text);
        EXPECT_TRUE(fromFile.err.isEmpty()) << fromFile.err.toStdString();
        const Outcome fromStdin = run(c, {"pieces", "-"}, bytes);
        EXPECT_EQ(written(fromStdin), text);
    }
    // Short GBK that is valid Big5 too: Big5 unless told.
    const QByteArray shortGbk = testing::iconvBytes(QStringLiteral("您好"), "GBK");
    const QString input = c.file("short.txt", shortGbk);
    EXPECT_NE(written(run(c, {"pieces", input})), QStringLiteral("您好"));
    EXPECT_EQ(written(run(c, {"pieces", input, "--encoding", "GBK"})), QStringLiteral("您好"));
    EXPECT_EQ(written(run(c, {"pieces", "-", "--encoding", "gb18030"}, shortGbk)), QStringLiteral("您好"));

    const Outcome wrong = run(c, {"pieces", input, "--encoding", "utf-8"});
    EXPECT_EQ(wrong.code, 0);
    EXPECT_EQ(wrong.err.count(u'\n'), 1);
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("不是 UTF-8 文字"))) << wrong.err.toStdString();
    const Outcome bad = run(c, {"pieces", input, "--encoding", "latin-9"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("latin-9")) && bad.err.contains(QStringLiteral("gb18030")))
        << bad.err.toStdString();
}

TEST(CommandLine, BadUsageAndFailuresExitWithOneLineOnStandardError) {
    Copy c;
    const QString text = c.file("t.txt", QByteArray("abc."));
    struct Case {
        QStringList args;
        int code;
    };
    const std::vector<Case> cases{
        {{"bogus"}, 2},
        {{"speak"}, 2},
        {{"speak", text, "--rate", "16"}, 2},
        {{"speak", text, "--interval", "5"}, 2},
        {{"pieces", text, "--loop", "2"}, 2},
        {{"pieces", text, text}, 2},
        {{"export", text}, 2},
        {{"export", text, "-o", c.dir.filePath("x.txt")}, 2},
        {{"pieces", text, "--voice", "no-such-voice"}, 2},
        {{"pieces", text, "--encoding", "latin-9"}, 2},
        {{"pieces", c.dir.filePath("missing.txt")}, 1},
        {{"export", text, "-o", c.dir.filePath("no/such/folder/x.wav")}, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.args.join(u' ').toStdString());
        const Outcome r = run(c, k.args);
        EXPECT_EQ(r.code, k.code);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.startsWith(QLatin1String("sayvell: ")));
        EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(c.dir.filePath("x.txt")));

    const Outcome help = run(c, {"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* word : {"speak", "export", "pieces", "voices", "--loop", "--as-read"})
        EXPECT_TRUE(help.out.contains(QLatin1String(word))) << word;
    EXPECT_EQ(run(c, {"speak", "--help"}).out, help.out);
    const Outcome version = run(c, {"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^sayvell \\d+\\.\\d+\\.\\d+\\n$")).match(version.out).hasMatch());
}

TEST(CommandLine, FoldersDevicesEmptyTextsAndAFullStandardOutputAreFailures) {
    Copy c;
    const QString text = c.file("t.txt", QByteArray("abc."));
    QDir(c.dir.path()).mkdir("out");
    const QString folder = c.dir.filePath("out");
    for (const QString& output : {folder + "/", folder, QStringLiteral("/dev/null")}) {
        SCOPED_TRACE(output.toStdString());
        const Outcome r = run(c, {"export", text, "-o", output});
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("sayvell: 輸出檔不能是"))) << r.err.toStdString();
    }
    EXPECT_TRUE(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_FALSE(QFile::exists("/dev/null.wav"));

    const QString blank = c.file("blank.txt", QByteArray(" \r\n\t\r\n"));
    for (const QStringList& args :
         {QStringList{"export", blank, "-o", c.dir.filePath("blank.mp3")},
          QStringList{"export", "-", "-o", c.dir.filePath("blank.flac"), "--as-read"}, QStringList{"speak", blank}}) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const Outcome r = run(c, args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, QStringLiteral("sayvell: 沒有可朗讀的文字\n"));
    }
    EXPECT_FALSE(QFile::exists(c.dir.filePath("blank.mp3")));
    EXPECT_FALSE(QFile::exists(c.dir.filePath("blank.flac")));

    for (const QStringList& args : {QStringList{"formats"}, QStringList{"voices"}, QStringList{"--paths"},
                                    QStringList{"--help"}, QStringList{"--version"}, QStringList{"pieces", text}}) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(c.exe(), args);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).startsWith(QLatin1String("sayvell: ")));
    }
}

TEST(CommandLine, VoicesAreListedWithIndexNameAndLanguage) {
    Copy c;
    const Outcome r = run(c, {"voices"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 4);
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList f = lines[i].split(u'\t');
        ASSERT_EQ(f.size(), 3) << lines[i].toStdString();
        EXPECT_EQ(f[0], QString::number(i));
        EXPECT_FALSE(f[1].isEmpty());
    }
    EXPECT_EQ(lines[0].section(u'\t', 2), QStringLiteral("cmn-latn-pinyin"));
}

TEST(CommandLine, ExportWritesTheFormatAskedAndAsReadAddsThePauses) {
    Copy c;
    const QString text = c.file("t.txt", QStringLiteral("一，二。三！").toUtf8());
    const auto& format = audio::wavFormats()[30];

    const QString plain = c.dir.filePath("plain.wav");
    const Outcome r = run(c, {"export", text, "-o", plain, "--format", "30", "--voice", "0"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, plain + u'\n');
    WavInfo a;
    ASSERT_TRUE(readWav(plain, &a));
    EXPECT_EQ(a.rate, format.rate);
    EXPECT_EQ(a.bits, format.bits);
    EXPECT_EQ(a.channels, format.channels);
    EXPECT_GT(a.seconds, 0.5);

    // As read: the pauses of "，" (250 ms) and "。" and "！" (600 ms each) are in the sound.
    const QString asRead = c.dir.filePath("read");
    const Outcome ar = run(c, {"export", text, "-o", asRead, "--format", "30", "--voice", "0", "--as-read"});
    ASSERT_EQ(ar.code, 0) << ar.err.toStdString();
    WavInfo b;
    ASSERT_TRUE(readWav(asRead + QStringLiteral(".wav"), &b));
    EXPECT_GT(b.seconds, a.seconds + 1.0);

    const QString flac = c.dir.filePath("read.flac");
    const Outcome fr = run(c, {"export", text, "-o", flac, "--voice", "0", "--srt"});
    ASSERT_EQ(fr.code, 0) << fr.err.toStdString();
    QFile f(flac);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(4), QByteArray("fLaC"));
    QFile srt(c.dir.filePath("read.srt"));
    ASSERT_TRUE(srt.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(srt.readAll()).count(QStringLiteral(" --> ")), 3);
}

TEST(CommandLine, SpeakPlaysEachPieceWithItsPauseAndEnds) {
    if (!testing::pulseAvailable()) GTEST_SKIP() << "needs with_pulse.sh";
    Copy c;
    testing::MonitorRecorder rec;
    std::string error;
    ASSERT_TRUE(rec.start(&error)) << error;
    const Outcome r = run(c, {"speak", "-", "--voice", "0"}, QStringLiteral("一。二。三。").toUtf8());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    ASSERT_TRUE(rec.recordUntil(testing::burstsHeard(3, -40.0, 300)));
    const auto bursts = testing::findBursts(rec.stop(), testing::MonitorRecorder::kRate, -40.0, 300);
    ASSERT_EQ(bursts.size(), 3u);
    // 600 ms after each "。" (the delivered pause table), minus what the engine's own edges blur.
    for (std::size_t i = 1; i < bursts.size(); ++i) EXPECT_GT(bursts[i].startMs - bursts[i - 1].endMs, 550.0);
}

TEST(CommandLine, CtrlCStopsAfterThePieceBeingSpoken) {
    if (!testing::pulseAvailable()) GTEST_SKIP() << "needs with_pulse.sh";
    Copy c;
    const QString piece = QStringLiteral("一二三四五六七八九十。");
    const QString text = c.file("long.txt", (piece + piece + piece).toUtf8());
    testing::MonitorRecorder all;
    std::string error;
    ASSERT_TRUE(all.start(&error)) << error;
    QProcess p;
    p.start(c.exe(), {"speak", text, "--voice", "0"});
    ASSERT_TRUE(p.waitForStarted(5000));
    // Listen until the first piece is heard, then interrupt it.
    ASSERT_TRUE(all.recordUntil(
        [](const testing::Samples& s) { return !testing::findBursts(s, testing::MonitorRecorder::kRate).empty(); }));
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(20000));
    ASSERT_TRUE(all.recordUntil(testing::burstsHeard(1, -40.0, 400)));
    EXPECT_EQ(p.exitCode(), 130);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("讀完這一段就停止")));
    // One piece, heard to its end: ten syllables last well over a second.
    const auto bursts = testing::findBursts(all.stop(), testing::MonitorRecorder::kRate, -40.0, 400);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_GT(bursts[0].lengthMs(), 1200.0);
}

}  // namespace sayvell
