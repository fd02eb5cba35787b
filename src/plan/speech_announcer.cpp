#include "plan/speech_announcer.h"

#include "audio/audio_engine.h"
#include "music/music_decoder.h"

#include <QFile>
#include <QPointer>
#include <cmath>

namespace sayvell::plan {

reading::Pcm16 synthesizeChime() {
    constexpr int rate = 48000;
    // Two notes a major third apart (E5, C5), each a bell: a fundamental with a soft octave
    // and a fast attack, ringing down exponentially.
    const double notes[2] = {659.25, 523.25};
    const int noteFrames = rate * 8 / 10;
    reading::Pcm16 pcm{rate, 1, std::vector<std::int16_t>(std::size_t(noteFrames) * 2, 0)};
    for (int n = 0; n < 2; ++n)
        for (int i = 0; i < noteFrames; ++i) {
            const double t = double(i) / rate;
            const double attack = std::min(1.0, t / 0.005);
            const double env = attack * std::exp(-t * 4.0);
            const double s = std::sin(2 * M_PI * notes[n] * t) + 0.3 * std::sin(4 * M_PI * notes[n] * t);
            pcm.samples[std::size_t(n * noteFrames + i)] = std::int16_t(std::lround(s * env * 0.45 * 32767 / 1.3));
        }
    return pcm;
}

SpeechAnnouncer::SpeechAnnouncer(audio::AudioEngine& audio, reading::SpeechEngine& engine, QObject* parent)
    : QObject(parent), audio_(audio), engine_(engine) {}

SpeechAnnouncer::~SpeechAnnouncer() {
    stop();
    if (worker_.joinable()) worker_.join();
}

void SpeechAnnouncer::setRunSettings(reading::RunSettings settings) { settings_ = std::move(settings); }

void SpeechAnnouncer::setDefaults(const reading::Voice& voice, int baseRate, int rate, int volume) {
    voice_ = voice;
    baseRate_ = baseRate;
    rate_ = rate;
    volume_ = volume;
}

void SpeechAnnouncer::play(const Entry& entry, const QString& text, Done done) {
    if (worker_.joinable()) worker_.join();
    if (source_) settings_ = source_();
    stop_ = false;
    active_ = true;
    QPointer<SpeechAnnouncer> self(this);
    worker_ = std::thread([this, self, entry, text, done = std::move(done)] {
        QString error;
        const bool ok = run(entry, text, &error);
        active_ = false;
        QMetaObject::invokeMethod(
            this,
            [self, ok, error, done] {
                if (self && done) done(ok, error);
            },
            Qt::QueuedConnection);
    });
}

void SpeechAnnouncer::stop() {
    if (!active_.load()) return;
    {
        std::lock_guard lock(waitMutex_);
        stop_ = true;
    }
    waitCv_.notify_all();
    audio_.clear(audio::Channel::Effects);
    engine_.speak(QString(), reading::SpeechEngine::PurgeBeforeSpeak);
}

void SpeechAnnouncer::pause(int ms) {
    if (ms <= 0) return;
    std::unique_lock lock(waitMutex_);
    waitCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

bool SpeechAnnouncer::run(const Entry& entry, const QString& text, QString* error) {
    reading::Voice voice = voice_;
    if (!entry.voice.isEmpty()) {
        bool found = false;
        for (const reading::Voice& v : engine_.voices())
            if (v.id == entry.voice || v.displayName == entry.voice) {
                voice = v;
                found = true;
                break;
            }
        if (!found) {
            *error = QStringLiteral("沒有這個語音：%1").arg(entry.voice);
            return false;
        }
    }
    if (voice.id.isEmpty()) {
        *error = QStringLiteral("沒有可用的語音");
        return false;
    }
    const bool moved = !entry.sink.isEmpty();
    if (moved && !audio_.moveToSink(entry.sink, error)) return false;

    bool ok = true;
    // The chime starts on the due second; the voice is set while it sounds.
    if (!entry.chime.isEmpty()) ok = startChime(entry.chime, error);
    engine_.setVoice(voice);
    engine_.setRate(baseRate_ + entry.rate);
    engine_.setVolume(entry.volume);
    if (ok && !entry.chime.isEmpty()) audio_.waitPlayed(audio::Channel::Effects);
    for (int pass = 0; ok && pass < entry.repeat && !stop_.load(); ++pass) {
        if (pass > 0) pause(entry.gapSeconds * 1000);
        if (!stop_.load()) sayText(text, voice);
    }
    // What a reading set comes back for it.
    engine_.setVoice(voice_);
    engine_.setRate(baseRate_ + rate_);
    engine_.setVolume(volume_);
    if (moved) audio_.moveToSink(QString(), nullptr);
    if (ok && stop_.load()) {
        *error = QStringLiteral("已按停止");
        return false;
    }
    return ok;
}

bool SpeechAnnouncer::startChime(const QString& chime, QString* error) {
    reading::Pcm16 pcm;
    if (chime == kBuiltinChime) {
        // Made at the first chime, not with the window: it costs tens of milliseconds.
        static const reading::Pcm16 builtin = synthesizeChime();
        pcm = builtin;
    } else {
        QFile f(chime);
        std::optional<reading::Pcm16> wav;
        if (f.open(QIODevice::ReadOnly)) wav = reading::decodeWav(f.readAll());
        if (wav) {
            pcm = std::move(*wav);
        } else {
            // Any other sound the music panel plays (MP3, FLAC, Ogg).
            QString why;
            auto decoder = music::MusicDecoder::open(chime, &why);
            if (!decoder) {
                *error = QStringLiteral("無法播放提示音 %1：%2").arg(chime, why);
                return false;
            }
            std::vector<std::int16_t> block;
            // A chime is short; a long file is cut at a minute.
            while (pcm.samples.size() < std::size_t(60 * 48000 * 2) && decoder->read(&block, 4096) > 0) {
                pcm.rate = decoder->rate();
                pcm.channels = decoder->channels();
                pcm.samples.insert(pcm.samples.end(), block.begin(), block.end());
            }
        }
    }
    if (pcm.frames() > 0) {
        audio_.append(audio::Channel::Effects, pcm.samples.data(), std::size_t(pcm.frames()), pcm.rate, pcm.channels);
        audio_.flush(audio::Channel::Effects);
    }
    return true;
}

bool SpeechAnnouncer::sayText(const QString& text, const reading::Voice& voice) {
    reading::MemoryText source(text);
    reading::RunSettings settings = settings_;
    settings.language = reading::languageOfVoice(voice.id);
    reading::PieceWalk walk(source, 0, reading::WalkMode::FromCaret, settings);
    std::optional<reading::WalkPiece> piece = walk.next();
    while (piece && !stop_.load()) {
        std::optional<reading::WalkPiece> following = walk.next();
        if (piece->speaks) {
            pause(piece->pauseBeforeMs);
            if (stop_.load()) break;
            engine_.speak(piece->spoken, reading::SpeechEngine::PurgeBeforeSpeak);
            // The last piece's pause would lengthen the gap the entry asks for.
            if (following) pause(piece->pauseAfterMs);
        }
        piece = std::move(following);
    }
    return !stop_.load();
}

}  // namespace sayvell::plan
