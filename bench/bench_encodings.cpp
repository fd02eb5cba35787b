// Opening a 20 MB text in GB18030 against the same text in Big5, side by side in one run:
// the file read and decoded (the encoding found first), then the whole open through the window
// until the editor has drawn it. Also a simplified-Chinese text of the same size in GB18030, as
// a mainland editor saves it. Goal: GB18030 within 1.5x of Big5.
#include "bench_window.h"
#include "document/text_file.h"
#include "text/charset.h"
#include "ui/common/memo_port.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace sayvell;
using bench::msSince;
using bench::settle;
using bench::Steady;

namespace {

struct Sample {
    const char* label;
    QString path;
    double decodeMs = 0;
    double openMs = 0;
};

QString write(const QString& path, const QString& text, const char* charset) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text::encodeCharset(charset, text));
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::FakeSpeechEngine engine;
    bench::BenchWindow bw(engine);
    ui::Tf_speaker& w = *bw.window;
    settle(w);

    QString traditional = bench::novel(20 * 1000 * 1000);
    traditional.replace(u'\n', QStringLiteral("\r\n"));
    QString simplified = traditional;
    const QString from = QStringLiteral("覺處聞鳥來風聲"), to = QStringLiteral("觉处闻鸟来风声");
    for (qsizetype i = 0; i < from.size(); ++i) simplified.replace(from[i], to[i]);
    std::vector<Sample> samples{
        {"Big5", write(bw.dir.filePath("big5.txt"), traditional, "CP950")},
        {"GB18030, same text", write(bw.dir.filePath("gb.txt"), traditional, "GB18030")},
        {"GB18030, simplified", write(bw.dir.filePath("gb-simplified.txt"), simplified, "GB18030")},
    };

    constexpr int kRounds = 3;  // the best of three, each file in turn so load drifts alike
    for (Sample& s : samples) s.decodeMs = s.openMs = 1e12;
    for (int round = 0; round < kRounds; ++round) {
        for (Sample& s : samples) {
            document::DecodedText decoded;
            QString error;
            auto start = Steady::now();
            document::readTextFile(s.path, &decoded, &error);
            s.decodeMs = std::min(s.decodeMs, msSince(start));
            if (round == 0)
                std::printf("  %-20s read as %s, %lld characters\n", s.label,
                            qPrintable(document::encodingName(decoded.format.encoding)),
                            static_cast<long long>(decoded.text.size()));

            w.ui.Memo1->clear();
            w.ui.Memo1->document()->setModified(false);
            bw.dialogs.openAnswer = s.path;
            start = Steady::now();
            w.SB_openClick();
            settle(w);
            s.openMs = std::min(s.openMs, msSince(start));
        }
    }
    // Big5 as it was read before the encoding was detected: the whole file tried as UTF-8, then CP950.
    double beforeMs = 1e12;
    for (int round = 0; round < kRounds; ++round) {
        QFile f(samples.front().path);
        const auto start = Steady::now();
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString asUtf8 = utf8.decode(bytes);
        const QString text = utf8.hasError() ? text::decodeCharset("CP950", bytes) : asUtf8;
        beforeMs = std::min(beforeMs, msSince(start));
    }
    const Sample& big5 = samples.front();
    std::printf("  Big5 read as before detection: %.0f ms\n", beforeMs);
    std::printf("open 20 MB (%lld bytes), best of %d:\n", static_cast<long long>(QFileInfo(big5.path).size()), kRounds);
    for (const Sample& s : samples)
        std::printf("  %-20s read %6.0f ms (%.2fx)   open until drawn %6.0f ms (%.2fx)\n", s.label, s.decodeMs,
                    s.decodeMs / big5.decodeMs, s.openMs, s.openMs / big5.openMs);
    std::printf("goal: GB18030 within 1.5x of Big5\n");
    return 0;
}
