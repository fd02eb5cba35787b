#include "audio/speech_export.h"

#include "audio/export_timeline_p.h"
#include "reading/date_format.h"
#include "reading/piece_walk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace sayvell::audio {
namespace {

using detail::Timeline;
using reading::SpeechEngine;

constexpr qsizetype kPartChars = 400;

QString folderMissing(const QString& path) {
    return QStringLiteral("文件夾 %1 不存在或無法進入。").arg(QFileInfo(path).absolutePath());
}

// A name beside the target that no one else uses; the engine's writer creates it with the
// mode a new file gets.
QString partNameFor(const QString& target) {
    const QFileInfo info(target);
    for (;;) {
        const QString name =
            info.absolutePath() +
            QStringLiteral("/.%1.%2.part").arg(info.fileName()).arg(QRandomGenerator::global()->generate(), 0, 36);
        if (!QFileInfo::exists(name)) return name;
    }
}

// Parts of about kPartChars, ending after a sentence mark where there is one, else after a
// comma or blank, else anywhere.
QStringList splitIntoParts(const QString& text) {
    static const QString sentenceEnds = QStringLiteral("。！？!?；;\n");
    static const QString softEnds = QStringLiteral("，,、： \t");
    QStringList parts;
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = std::min(text.size(), from + kPartChars);
        if (end < text.size()) {
            qsizetype cut = -1;
            for (qsizetype i = end - 1; i > from && cut < 0; --i)
                if (sentenceEnds.contains(text[i])) cut = i + 1;
            for (qsizetype i = end - 1; i > from && cut < 0; --i)
                if (softEnds.contains(text[i])) cut = i + 1;
            if (cut > from) end = cut;
            if (end < text.size() && text[end - 1].isHighSurrogate()) ++end;
        }
        parts << text.mid(from, end - from);
        from = end;
    }
    return parts;
}

bool renameOver(const QString& from, const QString& to, QString* error) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) return true;
    if (error) *error = QStringLiteral("無法寫入聲音文件 %1：%2").arg(to, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

// Mono floats of a 16-bit mono WAV file.
bool readMono(const QString& path, std::vector<float>* out) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) return false;
    out->resize(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0) * info.channels));
    const sf_count_t got = sf_readf_float(f, out->data(), info.frames);
    sf_close(f);
    out->resize(static_cast<std::size_t>(std::max<sf_count_t>(got, 0) * info.channels));
    if (info.channels > 1) {
        for (std::size_t i = 0; i < out->size() / static_cast<std::size_t>(info.channels); ++i)
            (*out)[i] = (*out)[i * static_cast<std::size_t>(info.channels)];
        out->resize(out->size() / static_cast<std::size_t>(info.channels));
    }
    return true;
}

// The speech between the first and last sample above the floor. The piece's file is read into
// one buffer for the whole export; only what is kept is copied out of it.
std::vector<float> trimmedSpeech(const std::vector<float>& s) {
    auto loud = [](float v) { return std::fabs(v) > kSpeechFloor; };
    const auto first = std::find_if(s.begin(), s.end(), loud);
    if (first == s.end()) return {};
    const auto last = std::find_if(s.rbegin(), s.rend(), loud).base();
    return std::vector<float>(first, last);
}

// Each piece makes a small file and syncs it: in memory where the system offers a place.
QString scratchFolder() {
    for (const QString& dir : {QStringLiteral("/dev/shm"), qEnvironmentVariable("XDG_RUNTIME_DIR")}) {
        const QFileInfo info(dir);
        if (!dir.isEmpty() && info.isDir() && info.isWritable()) return dir;
    }
    return QDir::tempPath();
}

std::size_t framesOfMs(int ms, int rate) {
    return ms > 0 ? static_cast<std::size_t>(static_cast<std::int64_t>(ms) * rate / 1000) : 0;
}

}  // namespace

ExportResult exportSpeech(SpeechEngine& engine, const PlainExport& job, ExportControl& control) {
    ExportResult r;
    if (!QFileInfo(QFileInfo(job.path).absolutePath()).isDir()) {
        r.error = folderMissing(job.path);
        return r;
    }
    const QString part = partNameFor(job.path);
    if (!engine.setOutputFile(part, job.format, &r.error)) return r;
    const QString tag = languageTag(job.languageCode);
    const QStringList parts = splitIntoParts(job.text);
    const double total = std::max<qsizetype>(1, job.text.size());
    qsizetype done = 0;
    bool spoken = true;
    if (parts.isEmpty()) engine.speak(tag, 0);  // the tag alone: a file of no sound
    for (const QString& p : parts) {
        if (control.cancel.load()) break;
        if (!engine.speak(tag + p, 0)) {
            spoken = control.cancel.load();
            break;
        }
        done += p.size();
        if (control.progress) control.progress(static_cast<int>(1000.0 * static_cast<double>(done) / total));
    }
    QString closeError;
    const bool closed = engine.setOutputDefault(&closeError);
    const auto dropPart = [&] { QFile::remove(part); };
    if (control.cancel.load()) {
        dropPart();
        r.cancelled = true;
        return r;
    }
    if (!closed || !spoken) {
        dropPart();
        r.error = !closed ? closeError : QStringLiteral("語音引擎未能完成轉換。");
        return r;
    }
    if (!renameOver(part, job.path, &r.error)) {
        dropPart();
        return r;
    }
    r.ok = true;
    r.written << job.path;
    return r;
}

ExportResult exportAsRead(SpeechEngine& engine, const ReadExport& job, ExportControl& control) {
    ExportResult r;
    if (!QFileInfo(QFileInfo(job.path).absolutePath()).isDir()) {
        r.error = folderMissing(job.path);
        return r;
    }
    const FileKind kind = fileKindOf(job.path);
    QTemporaryDir scratch(scratchFolder() + QStringLiteral("/sayvell-pieces-XXXXXX"));
    if (!scratch.isValid()) {
        r.error = QStringLiteral("無法建立臨時文件夾：%1").arg(scratch.errorString());
        return r;
    }
    const QString piecePath = scratch.filePath(QStringLiteral("piece.wav"));

    WavWriter out;
    const bool withMusic = job.music && !job.music->files.isEmpty();
    // Mixed at the file's own rate and in its channels, so nothing is resampled twice and the
    // writer passes the mix through; speech alone goes in mono.
    PcmFormat format = job.format;
    format.sampleRate = fileRateFor(kind, format.sampleRate);
    const int rate = format.sampleRate;
    const int channels = withMusic ? format.channels : 1;
    if (!out.open(job.path, rate, format, &r.error, channels, kind)) return r;
    Timeline line(out, rate, channels, withMusic ? &*job.music : nullptr);

    const reading::DateFormatter formatter;
    reading::RunSettings settings;
    settings.delimiters = job.delimiters;
    settings.symbolDelayMs = job.symbolDelayMs;
    settings.dateFormatType = job.dateFormatType;
    settings.now = job.now.isValid() ? job.now : QDateTime::currentDateTime();
    settings.date = [&formatter](const QString& piece, int type, const QDateTime& at) {
        return formatter.substitute(piece, type, at);
    };
    settings.language = reading::languageOfVoice(job.voiceId);
    settings.lexicon = job.lexicon;

    reading::MemoryText text(job.text);
    reading::PieceWalk walk(text, 0, reading::WalkMode::FromCaret, std::move(settings));
    const int total = std::max(1, text.byteLength());
    QList<Cue> cues;
    std::vector<float> raw;  // the piece as the engine wrote it
    std::vector<float> speech;
    const auto cancelled = [&] {
        line.abandon();
        out.abandon();
        r.cancelled = true;
        return r;
    };
    const auto failed = [&](const QString& why) {
        line.abandon();
        out.abandon();
        r.error = why;
        return r;
    };

    while (const std::optional<reading::WalkPiece> piece = walk.next()) {
        if (control.cancel.load()) return cancelled();
        if (piece->speaks) {
            if (piece->pauseBeforeMs > 0) line.silence(framesOfMs(piece->pauseBeforeMs, rate));
            speech.clear();
            if (reading::hasText(piece->spoken)) {
                QString why;
                if (!engine.setOutputFile(piecePath, {rate, 16, 1}, &why)) return failed(why);
                const bool said = engine.speak(piece->spoken, 0);
                const bool closed = engine.setOutputDefault(&why);
                if (control.cancel.load()) return cancelled();
                if (!said || !closed) return failed(closed ? QStringLiteral("語音引擎未能完成轉換。") : why);
                if (!readMono(piecePath, &raw)) return failed(QStringLiteral("無法讀回語音。"));
                speech = trimmedSpeech(raw);
            }
            if (!speech.empty()) {
                Cue cue;
                cue.startMs = line.ms();
                line.speech(std::move(speech));
                cue.endMs = line.ms();
                cue.text = piece->heard;
                cues << cue;
            }
            line.silence(framesOfMs(piece->pauseAfterMs, rate));
        }
        if (line.failed()) break;
        if (control.progress) control.progress(static_cast<int>(1000LL * walk.position() / total));
    }
    line.finish();
    if (control.cancel.load()) return cancelled();
    if (!out.finish(&r.error)) return r;
    r.written << job.path;
    r.seconds = line.ms() / 1000.0;
    if (job.subtitles) {
        const QFileInfo info(job.path);
        const QString base = info.absolutePath() + QLatin1Char('/') + info.completeBaseName();
        const QString srt = base + QStringLiteral(".srt");
        const QString lrc = base + QStringLiteral(".lrc");
        if (!writeTextFile(srt, srtText(cues), &r.error) || !writeTextFile(lrc, lrcText(cues), &r.error))
            return r;  // the sound file stays: it is complete
        r.written << srt << lrc;
    }
    r.ok = true;
    return r;
}

}  // namespace sayvell::audio
