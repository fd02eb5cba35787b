// Command-line figures, the program run as a user runs it (the sayvell beside this benchmark):
//  - `sayvell pieces` over a 20 MB text (goal <= 2 s);
//  - `sayvell export` of a 6,000-character text at format 30 (44.1 kHz 16-bit mono) against
//    espeak-ng -w followed by sox to the same rate, in the same run (goal <= 1.1x);
//  - `sayvell export --as-read` of the same text (pieces, pauses as silence), for comparison
//    from one version to the next.
//   bench_cli [MEGABYTES]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

QString shopText(qsizetype bytes) {
    const QStringList sentences{
        QStringLiteral("各位顧客您好，歡迎光臨本店。"),
        QStringLiteral("今天的新鮮水果放在入口右邊的貨架上，歡迎選購！"),
        QStringLiteral("本店營業時間為早上9點至晚上10點，週末照常營業。"),
        QStringLiteral("請帶好您的隨身物品，小心地滑；"),
        QStringLiteral("會員購物滿500元可以換領精美禮品一份，數量有限，送完即止。"),
        QStringLiteral("※現在時間%Date%，如果需要幫忙，請到服務台找我們的工作人員？"),
    };
    QString text;
    qsizetype size = 0;
    for (int i = 0; size < bytes; ++i) {
        const QString& s = sentences[i % sentences.size()];
        text += s;
        size += s.toUtf8().size();
        if (i % 9 == 8) text += QLatin1Char('\n');
    }
    return text;
}

bool writeFile(const QString& path, const QString& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0;
}

double run(const QString& program, const QStringList& args, int* rc) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    p.waitForFinished(-1);
    *rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString sayvell = QCoreApplication::applicationDirPath() + QStringLiteral("/sayvell");
    const int megabytes = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;
    QTemporaryDir dir;

    const QString big = dir.filePath(QStringLiteral("big.txt"));
    writeFile(big, shopText(qsizetype(megabytes) * 1000 * 1000));
    int rc = 0;
    const double pieces =
        run(sayvell, {QStringLiteral("pieces"), big, QStringLiteral("--voice"), QStringLiteral("0")}, &rc);
    std::printf("sayvell pieces, %d MB: %.2f s (rc %d; goal <= 2 s)\n", megabytes, pieces, rc);

    const QString text = dir.filePath(QStringLiteral("text.txt"));
    writeFile(text, shopText(18000).left(6000));  // three bytes a character in UTF-8
    int exportRc = 0;
    const double exported =
        run(sayvell,
            {QStringLiteral("export"), text, QStringLiteral("-o"), dir.filePath(QStringLiteral("out.wav")),
             QStringLiteral("--format"), QStringLiteral("30"), QStringLiteral("--voice"), QStringLiteral("0")},
            &exportRc);
    int espeakRc = 0;
    int soxRc = 0;
    const double espeak = run(QStringLiteral("espeak-ng"),
                              {QStringLiteral("-v"), QStringLiteral("cmn-latn-pinyin"), QStringLiteral("-w"),
                               dir.filePath(QStringLiteral("e.wav")), QStringLiteral("-f"), text},
                              &espeakRc);
    const double sox = run(QStringLiteral("sox"),
                           {dir.filePath(QStringLiteral("e.wav")), QStringLiteral("-r"), QStringLiteral("44100"),
                            dir.filePath(QStringLiteral("e44.wav"))},
                           &soxRc);
    std::printf("sayvell export, 6000 characters at format 30: %.2f s (rc %d)\n", exported, exportRc);
    std::printf("espeak-ng -w + sox: %.2f s (rc %d, %d); export / pair = %.2f (goal <= 1.1)\n", espeak + sox, espeakRc,
                soxRc, exported / (espeak + sox));
    int asReadRc = 0;
    const double asRead =
        run(sayvell,
            {QStringLiteral("export"), text, QStringLiteral("-o"), dir.filePath(QStringLiteral("read.wav")),
             QStringLiteral("--format"), QStringLiteral("30"), QStringLiteral("--voice"), QStringLiteral("0"),
             QStringLiteral("--as-read")},
            &asReadRc);
    std::printf("sayvell export --as-read, 6000 characters at format 30: %.2f s (rc %d)\n", asRead, asReadRc);
    return pieces >= 0 && rc == 0 && exportRc == 0 && asReadRc == 0 ? 0 : 1;
}
