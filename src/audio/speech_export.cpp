#include "audio/speech_export.h"

#include "music/music_decoder.h"
#include "music/track_list.h"
#include "music/volume_follower.h"
#include "reading/date_format.h"
#include "reading/piece_cutter.h"
#include "reading/spoken_text.h"
#include "text/byte_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace sayvell::audio {
namespace {

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
        const QString name = info.absolutePath() + QStringLiteral("/.%1.%2.part")
                                                       .arg(info.fileName())
                                                       .arg(QRandomGenerator::global()->generate(), 0, 36);
        if (!QFileInfo::exists(name))
            return name;
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
                if (sentenceEnds.contains(text[i]))
                    cut = i + 1;
            for (qsizetype i = end - 1; i > from && cut < 0; --i)
                if (softEnds.contains(text[i]))
                    cut = i + 1;
            if (cut > from)
                end = cut;
            if (end < text.size() && text[end - 1].isHighSurrogate())
                ++end;
        }
        parts << text.mid(from, end - from);
        from = end;
    }
    return parts;
}

bool renameOver(const QString& from, const QString& to, QString* error) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (error)
        *error = QStringLiteral("無法寫入聲音文件 %1：%2").arg(to, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

// Mono floats of a 16-bit mono WAV file.
bool readMono(const QString& path, std::vector<float>* out) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return false;
    out->assign(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0) * info.channels), 0.0f);
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

// Keeps the speech between the first and last sample above the floor.
void trimSilence(std::vector<float>* s) {
    auto loud = [](float v) { return std::fabs(v) > kSpeechFloor; };
    const auto first = std::find_if(s->begin(), s->end(), loud);
    if (first == s->end()) {
        s->clear();
        return;
    }
    const auto last = std::find_if(s->rbegin(), s->rend(), loud).base();
    *s = std::vector<float>(first, last);
}

// The music of the panel's list as an endless stereo stream at the mix rate.
class MusicSource {
public:
    MusicSource(const MusicBed& bed, int rate)
        : bed_(bed), rate_(rate), index_(std::clamp(bed.startIndex, 0, std::max(0, int(bed.files.size()) - 1))),
          random_(std::random_device{}()) {}
    ~MusicSource() { dropResampler(); }

    // Interleaved stereo; silence when nothing in the list can be decoded.
    void read(float* out, std::size_t frames) {
        std::size_t filled = 0;
        while (filled < frames) {
            if (taken_ >= buffer_.size()) {
                buffer_.clear();
                taken_ = 0;
                if (!refill()) {
                    std::fill(out + 2 * filled, out + 2 * frames, 0.0f);
                    return;
                }
            }
            const std::size_t n = std::min(frames - filled, (buffer_.size() - taken_) / 2);
            std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(taken_), 2 * n, out + 2 * filled);
            taken_ += 2 * n;
            filled += n;
        }
    }

private:
    bool openTrack() {
        dropResampler();
        decoder_.reset();
        const int count = static_cast<int>(bed_.files.size());
        // Every line may be tried once before the list counts as silent.
        for (int tries = 0; tries < count && !decoder_; ++tries) {
            if (started_)
                index_ = bed_.random ? music::randomTrack(index_, count, random_) : music::nextTrack(index_, count);
            started_ = true;
            decoder_ = music::MusicDecoder::open(bed_.files[index_]);
        }
        if (!decoder_) {
            dead_ = true;
            return false;
        }
        if (decoder_->rate() != rate_) {
            const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t q = soxr_quality_spec(SOXR_MQ, 0);
            soxr_ = soxr_create(decoder_->rate(), rate_, 2, nullptr, &io, &q, nullptr);
        }
        return true;
    }

    bool refill() {
        if (dead_ || bed_.files.isEmpty())
            return false;
        for (int attempts = 0; attempts < 4 && buffer_.empty(); ++attempts) {
            if (!decoder_ && !openTrack())
                return false;
            const std::size_t n = decoder_->read(&pcm_, 4096);
            if (n == 0) {
                flushResampler();
                decoder_.reset();  // next track
                if (!buffer_.empty())
                    break;
                continue;
            }
            const int ch = std::max(1, decoder_->channels());
            stereo_.resize(2 * n);
            for (std::size_t i = 0; i < n; ++i) {
                const float l = pcm_[i * static_cast<std::size_t>(ch)] / 32768.0f;
                const float r = ch > 1 ? pcm_[i * static_cast<std::size_t>(ch) + 1] / 32768.0f : l;
                stereo_[2 * i] = l;
                stereo_[2 * i + 1] = r;
            }
            if (!soxr_) {
                buffer_.insert(buffer_.end(), stereo_.begin(), stereo_.end());
                continue;
            }
            resampled_.resize(2 * (n * static_cast<std::size_t>(rate_) / static_cast<std::size_t>(decoder_->rate()) + 512));
            std::size_t used = 0, produced = 0;
            soxr_process(soxr_, stereo_.data(), n, &used, resampled_.data(), resampled_.size() / 2, &produced);
            buffer_.insert(buffer_.end(), resampled_.begin(), resampled_.begin() + static_cast<std::ptrdiff_t>(2 * produced));
        }
        return !buffer_.empty();
    }

    void flushResampler() {
        if (!soxr_)
            return;
        resampled_.resize(2 * 4096);
        for (;;) {
            std::size_t produced = 0;
            if (soxr_process(soxr_, nullptr, 0, nullptr, resampled_.data(), 4096, &produced) || produced == 0)
                break;
            buffer_.insert(buffer_.end(), resampled_.begin(), resampled_.begin() + static_cast<std::ptrdiff_t>(2 * produced));
        }
        dropResampler();
    }

    void dropResampler() {
        if (soxr_) {
            soxr_delete(soxr_);
            soxr_ = nullptr;
        }
    }

    const MusicBed bed_;
    const int rate_;
    int index_;
    bool started_ = false;
    bool dead_ = false;
    std::mt19937 random_;
    std::unique_ptr<music::MusicDecoder> decoder_;
    soxr_t soxr_ = nullptr;
    std::vector<std::int16_t> pcm_;
    std::vector<float> stereo_, resampled_;
    std::vector<float> buffer_;  // decoded, from taken_ on not yet read
    std::size_t taken_ = 0;
};

// Speech and silence laid down in order, with the music under them following the volume rule
// once every 20 ms.
class Timeline {
public:
    Timeline(WavWriter& out, int rate, const MusicBed* bed)
        : out_(out), rate_(rate), tick_(std::max(1, rate / 50)) {
        if (bed && !bed->files.isEmpty()) {
            music_ = std::make_unique<MusicSource>(*bed, rate);
            musicVolume_ = bed->musicVolume;
            readingVolume_ = bed->readingVolume;
            level_ = readingVolume_;
            gain_ = static_cast<float>(level_) / 100.0f;
        }
    }

    void speech(const std::vector<float>& s) { lay(s.data(), s.size(), true); }
    void silence(std::size_t frames) { lay(nullptr, frames, false); }
    // After the last piece the music rises back, plays a second and fades out.
    void finishMusic() {
        if (!music_)
            return;
        for (int guard = 0; level_ < musicVolume_ && guard < 200; ++guard)
            lay(nullptr, tick_, false);
        fadeFrames_ = static_cast<std::size_t>(rate_);
        fadeLeft_ = fadeFrames_;
        lay(nullptr, fadeFrames_, false);
    }
    std::int64_t frames() const { return frames_; }
    double ms() const { return 1000.0 * static_cast<double>(frames_) / rate_; }

private:
    void lay(const float* speech, std::size_t frames, bool active) {
        if (!music_) {
            if (speech)
                out_.writeFloat(speech, frames);
            else
                out_.writeSilence(frames);
            frames_ += static_cast<std::int64_t>(frames);
            return;
        }
        std::size_t done = 0;
        while (done < frames && !out_.failed()) {
            if (inTick_ == 0) {
                const music::FollowerStep step =
                    music::followVolume({active, true, musicVolume_, readingVolume_, level_});
                level_ = step.level;
                startGain_ = gain_;
                targetGain_ = static_cast<float>(level_) / 100.0f;
            }
            const std::size_t n = std::min(frames - done, static_cast<std::size_t>(tick_ - inTick_));
            mix_.resize(2 * n);
            music_->read(mix_.data(), n);
            for (std::size_t i = 0; i < n; ++i) {
                // A ramp across the tick: a change of level never clicks.
                const float t = static_cast<float>(inTick_ + static_cast<int>(i) + 1) / static_cast<float>(tick_);
                gain_ = startGain_ + (targetGain_ - startGain_) * t;
                float g = gain_;
                if (fadeFrames_ > 0) {
                    g *= static_cast<float>(fadeLeft_) / static_cast<float>(fadeFrames_);
                    if (fadeLeft_ > 0)
                        --fadeLeft_;
                }
                const float v = speech ? speech[done + i] : 0.0f;
                mix_[2 * i] = v + g * mix_[2 * i];
                mix_[2 * i + 1] = v + g * mix_[2 * i + 1];
            }
            out_.writeFloat(mix_.data(), n);
            inTick_ = (inTick_ + static_cast<int>(n)) % tick_;
            done += n;
        }
        frames_ += static_cast<std::int64_t>(frames);
    }

    WavWriter& out_;
    const int rate_;
    const int tick_;
    std::unique_ptr<MusicSource> music_;
    int musicVolume_ = 0;
    int readingVolume_ = 0;
    int level_ = 0;
    float gain_ = 0, startGain_ = 0, targetGain_ = 0;
    int inTick_ = 0;
    std::size_t fadeFrames_ = 0, fadeLeft_ = 0;
    std::int64_t frames_ = 0;
    std::vector<float> mix_;
};

// Each piece makes a small file and syncs it: in memory where the system offers a place.
QString scratchFolder() {
    for (const QString& dir : {QStringLiteral("/dev/shm"), qEnvironmentVariable("XDG_RUNTIME_DIR")}) {
        const QFileInfo info(dir);
        if (!dir.isEmpty() && info.isDir() && info.isWritable())
            return dir;
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
    if (!engine.setOutputFile(part, job.format, &r.error))
        return r;
    const QString tag = languageTag(job.languageCode);
    const QStringList parts = splitIntoParts(job.text);
    const double total = std::max<qsizetype>(1, job.text.size());
    qsizetype done = 0;
    bool spoken = true;
    if (parts.isEmpty())
        engine.speak(tag, 0);  // the tag alone: a file of no sound
    for (const QString& p : parts) {
        if (control.cancel.load())
            break;
        if (!engine.speak(tag + p, 0)) {
            spoken = control.cancel.load();
            break;
        }
        done += p.size();
        if (control.progress)
            control.progress(static_cast<int>(1000.0 * static_cast<double>(done) / total));
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
    const int channels = withMusic ? 2 : 1;
    // Mixed at the file's own rate, so nothing is resampled twice.
    PcmFormat format = job.format;
    format.sampleRate = fileRateFor(kind, format.sampleRate);
    const int rate = format.sampleRate;
    if (!out.open(job.path, rate, format, &r.error, channels, kind))
        return r;
    Timeline line(out, rate, withMusic ? &*job.music : nullptr);

    const reading::DateFormatter formatter;
    const QDateTime now = job.now.isValid() ? job.now : QDateTime::currentDateTime();
    const reading::SpeechLanguage language = reading::languageOfVoice(job.voiceId);
    const reading::DateSubstitution date = [&formatter](const QString& piece, int type, const QDateTime& at) {
        return formatter.substitute(piece, type, at);
    };
    reading::SpokenSettings spokenSettings;
    spokenSettings.language = language;
    spokenSettings.dateFormatType = job.dateFormatType;
    spokenSettings.now = now;
    spokenSettings.date = &date;
    spokenSettings.lexicon = job.lexicon.get();
    const auto cut = [&](QStringView window) { return reading::cutSpokenPiece(window, job.delimiters, language); };
    const auto spokenOf = [&](const QString& piece) { return reading::spokenCopy(piece, spokenSettings); };

    const text::ByteText text(job.text);
    const int total = std::max(1, text.byteLength());
    QList<Cue> cues;
    std::vector<float> speech;
    const auto cancelled = [&] {
        out.abandon();
        r.cancelled = true;
        return r;
    };
    const auto failed = [&](const QString& why) {
        out.abandon();
        r.error = why;
        return r;
    };

    for (int offset = 0; offset < text.byteLength();) {
        if (control.cancel.load())
            return cancelled();
        const QString window = text.window(offset, reading::kReadWindowBytes);
        if (window.isEmpty())
            break;
        if (!reading::hasText(window)) {
            offset += text::byteLength(window);
            continue;
        }
        const reading::Piece piece = cut(window);
        const int length = text::byteLength(piece.text);
        if (length <= 0)
            break;
        offset += length;
        if (reading::hasText(piece.text)) {
            if (piece.text.contains(QChar(reading::kDelaySymbol)))
                line.silence(framesOfMs(job.symbolDelayMs, rate));
            const QString spoken = spokenOf(piece.text);
            speech.clear();
            if (reading::hasText(spoken)) {
                QString why;
                if (!engine.setOutputFile(piecePath, {rate, 16, 1}, &why))
                    return failed(why);
                const bool said = engine.speak(spoken, 0);
                const bool closed = engine.setOutputDefault(&why);
                if (control.cancel.load())
                    return cancelled();
                if (!said || !closed)
                    return failed(closed ? QStringLiteral("語音引擎未能完成轉換。") : why);
                if (!readMono(piecePath, &speech))
                    return failed(QStringLiteral("無法讀回語音。"));
                trimSilence(&speech);
            }
            if (!speech.empty()) {
                Cue cue;
                cue.startMs = line.ms();
                line.speech(speech);
                cue.endMs = line.ms();
                cue.text = QString(piece.text).remove(QChar(reading::kDelaySymbol)).trimmed();
                cues << cue;
            }
            line.silence(framesOfMs(piece.delayMs, rate));
        }
        if (out.failed())
            break;
        if (control.progress)
            control.progress(static_cast<int>(1000LL * offset / total));
    }
    line.finishMusic();
    if (control.cancel.load())
        return cancelled();
    if (!out.finish(&r.error))
        return r;
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
