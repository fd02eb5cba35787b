#include "audio/subtitles.h"

#include <QSaveFile>

#include <cmath>

namespace sayvell::audio {
namespace {

qint64 roundMs(double ms) { return std::max<qint64>(0, std::llround(ms)); }

QString srtTime(double ms) {
    const qint64 t = roundMs(ms);
    return QStringLiteral("%1:%2:%3,%4")
        .arg(t / 3600000, 2, 10, QLatin1Char('0'))
        .arg(t / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(t / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(t % 1000, 3, 10, QLatin1Char('0'));
}

QString lrcTime(double ms) {
    const qint64 cs = roundMs(ms / 10.0);  // hundredths
    return QStringLiteral("[%1:%2.%3]")
        .arg(cs / 6000, 2, 10, QLatin1Char('0'))
        .arg(cs / 100 % 60, 2, 10, QLatin1Char('0'))
        .arg(cs % 100, 2, 10, QLatin1Char('0'));
}

// One line a cue: line breaks inside a piece would end the cue early in most players.
QString oneLine(const QString& s) {
    QString out = s;
    out.replace(QLatin1String("\r\n"), QLatin1String(" "));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    out.replace(QChar(0x2029), QLatin1Char(' '));
    return out.simplified();
}

}  // namespace

QString srtText(const QList<Cue>& cues) {
    QString out;
    int n = 0;
    for (const Cue& c : cues) {
        out +=
            QStringLiteral("%1\n%2 --> %3\n%4\n\n").arg(++n).arg(srtTime(c.startMs), srtTime(c.endMs), oneLine(c.text));
    }
    return out;
}

QString lrcText(const QList<Cue>& cues) {
    QString out;
    for (qsizetype i = 0; i < cues.size(); ++i) {
        const Cue& c = cues[i];
        out += lrcTime(c.startMs) + oneLine(c.text) + QLatin1Char('\n');
        const bool nextStartsHere =
            i + 1 < cues.size() && roundMs(cues[i + 1].startMs / 10.0) == roundMs(c.endMs / 10.0);
        if (!nextStartsHere) out += lrcTime(c.endMs) + QLatin1Char('\n');
    }
    return out;
}

bool writeTextFile(const QString& path, const QString& text, QString* error) {
    QSaveFile f(path);
    const QByteArray bytes = text.toUtf8();
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        if (error) *error = QStringLiteral("無法寫入 %1：%2").arg(path, f.errorString());
        return false;
    }
    return true;
}

}  // namespace sayvell::audio
