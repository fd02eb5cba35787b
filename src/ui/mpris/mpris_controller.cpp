#include "ui/mpris/mpris_controller.h"

#include "reading/piece_cutter.h"
#include "reading/piece_steps.h"
#include "reading/reading_state.h"
#include "reading/spoken_text.h"
#include "text/byte_text.h"
#include "ui/common/memo_port.h"

#include <QFileInfo>
#include <QTimer>
#include <QUrl>

namespace sayvell::ui {

namespace {

using platform::MediaPlayer;
using platform::MediaPlayerState;
using Status = MediaPlayerState::Status;

const platform::MediaPlayerIdentity kReadingIdentity{QStringLiteral("sayvell"), QStringLiteral("Sayvell"),
                                                     QStringLiteral("org.sayvell.Sayvell")};
const platform::MediaPlayerIdentity kMusicIdentity{QStringLiteral("sayvell.music"), QStringLiteral("Sayvell 背景音樂"),
                                                   QStringLiteral("org.sayvell.Sayvell")};
const QString kUntitled = QStringLiteral("未命名");
const QString kTrackIds = QStringLiteral("/org/sayvell/Sayvell/");

// Starts and ends of a reading are not signalled by the worker; a glance this often keeps
// the desktop's play button true without costing anything noticeable.
constexpr int kStatusPollMs = 250;

// Something to read at or after offset (looking one read window ahead, or beyond it).
bool textFrom(const text::ByteText& bytes, int offset) {
    return offset < bytes.byteLength() && (reading::hasText(bytes.window(offset, reading::kReadWindowBytes)) ||
                                           offset + reading::kReadWindowBytes < bytes.byteLength());
}

QTimer* coalescing(QObject* parent) {
    auto* t = new QTimer(parent);
    t->setSingleShot(true);
    t->setInterval(0);
    return t;
}

}  // namespace

MprisController::MprisController(MprisReading reading, MprisMusic music, MprisWindow window,
                                 platform::MediaPlayerFactory factory, QObject* parent)
    : QObject(parent), reading_(std::move(reading)), music_(std::move(music)), window_(std::move(window)),
      factory_(std::move(factory)) {
    readingUpdate_ = coalescing(this);
    musicUpdate_ = coalescing(this);
    connect(readingUpdate_, &QTimer::timeout, this, &MprisController::publishReading);
    connect(musicUpdate_, &QTimer::timeout, this, &MprisController::publishMusic);
    statusPoll_ = new QTimer(this);
    statusPoll_->setInterval(kStatusPollMs);
    connect(statusPoll_, &QTimer::timeout, this, &MprisController::watchStatus);
}

MprisController::~MprisController() = default;

void MprisController::start() {
    if (readingPlayer_ || !factory_) return;
    readingPlayer_ = factory_(kReadingIdentity);
    musicPlayer_ = factory_(kMusicIdentity);
    QStringList told;
    for (MediaPlayer* p : {readingPlayer_.get(), musicPlayer_.get()}) {
        const QString why = p->unavailableReason();
        if (!why.isEmpty() && !told.contains(why)) {
            told << why;
            if (window_.tell) window_.tell(why);
        }
        connect(p, &MediaPlayer::raiseRequested, this, [this] { window_.raise(); });
        connect(p, &MediaPlayer::quitRequested, this, [this] { window_.quit(); });
    }

    MediaPlayer* r = readingPlayer_.get();
    connect(r, &MediaPlayer::playRequested, this, &MprisController::play);
    connect(r, &MediaPlayer::pauseRequested, this, &MprisController::pause);
    connect(r, &MediaPlayer::playPauseRequested, this, [this] { readingRuns() ? pause() : play(); });
    connect(r, &MediaPlayer::stopRequested, this, &MprisController::stop);
    connect(r, &MediaPlayer::nextRequested, this, &MprisController::next);
    connect(r, &MediaPlayer::previousRequested, this, &MprisController::previous);
    connect(r, &MediaPlayer::volumeRequested, this, [this](double v) {
        reading_.setVolume(qRound(v * 100));
        publishReading();
    });

    MediaPlayer* m = musicPlayer_.get();
    connect(m, &MediaPlayer::playRequested, this, &MprisController::musicPlay);
    connect(m, &MediaPlayer::pauseRequested, this, &MprisController::musicPause);
    connect(m, &MediaPlayer::stopRequested, this, &MprisController::musicPause);
    connect(m, &MediaPlayer::playPauseRequested, this, [this] { music_.playing() ? musicPause() : musicPlay(); });
    connect(m, &MediaPlayer::nextRequested, this, [this] {
        if (music_.trackCount() > 0) music_.next();
        publishMusic();
    });
    connect(m, &MediaPlayer::previousRequested, this, [this] {
        if (music_.trackCount() > 0) music_.previous();
        publishMusic();
    });
    connect(m, &MediaPlayer::volumeRequested, this, [this](double v) {
        music_.setVolume(qRound(v * 100));
        publishMusic();
    });
    m->setPositionSource([this] { return static_cast<qint64>(music_.positionSeconds() * 1e6); });

    publishReading();
    publishMusic();
    statusPoll_->start();
}

void MprisController::readingChanged() {
    if (readingPlayer_) readingUpdate_->start();
}

void MprisController::musicChanged() {
    if (musicPlayer_) musicUpdate_->start();
}

// ---- The reading ---------------------------------------------------------------------------

bool MprisController::readingRuns() const {
    return reading_.state->readingActive.load() || reading_.startPending() || reading_.looping();
}

bool MprisController::singleRunActive() const { return reading_.state->readingActive.load() && !reading_.looping(); }

// During a run the selection is the piece being spoken (or just spoken, in its pause).
int MprisController::pieceStart() const { return reading_.port->selStart(); }

int MprisController::nextPieceStart() const {
    const int start = pieceStart();
    const QString piece = reading_.port->selText();
    if (!piece.isEmpty()) return start + text::byteLength(piece);
    return reading::pieceEnd(reading_.port->bytes(), start, reading_.state->delimiterTable(),
                             reading::languageOfVoice(reading_.voiceId()));
}

MediaPlayerState MprisController::readingState() const {
    const text::ByteText& bytes = reading_.port->bytes();
    const QString path = reading_.documentPath();
    const QString name = path.isEmpty() ? kUntitled : QFileInfo(path).fileName();
    MediaPlayerState s;
    const bool runs = readingRuns();
    s.status = runs ? Status::Playing : paused_ ? Status::Paused : Status::Stopped;
    s.canPlay = reading::hasText(bytes.text());
    s.canPause = runs || s.canPlay;
    s.album = name;
    if (const QString voice = reading_.voiceName(); !voice.isEmpty()) s.artists = QStringList{voice};
    if (!path.isEmpty()) s.url = QUrl::fromLocalFile(path).toString();
    s.volume = reading_.volume() / 100.0;
    const int caret = reading_.port->selStart();
    if (singleRunActive()) {
        const QString piece = reading_.port->selText();
        if (piece.isEmpty()) {
            // Between two pieces: the desktop goes on showing the last one, not a blank.
            const MediaPlayerState last = readingPlayer_->published();
            s.trackId = last.trackId;
            s.title = last.title;
        } else {
            s.trackId = kTrackIds + QStringLiteral("piece") + QString::number(caret);
            s.title = piece.simplified();
        }
        s.canGoNext = textFrom(bytes, caret + text::byteLength(piece));
        s.canGoPrevious = caret > 0;
    } else {
        s.trackId = kTrackIds + QStringLiteral("text");
        s.title = name;
        if (!reading_.looping()) {
            s.canGoNext = reading::nextParagraphStart(bytes, caret) >= 0;
            s.canGoPrevious = caret > 0;
        }
    }
    return s;
}

int MprisController::readingStatusBits() const { return (readingRuns() ? 1 : 0) | (singleRunActive() ? 2 : 0); }

void MprisController::publishReading() {
    if (!readingPlayer_) return;
    if (readingRuns()) paused_ = false;
    readingBits_ = readingStatusBits();
    readingPlayer_->publish(readingState());
}

// Compared with what was last told, so a reading that starts and ends between two glances is
// not left showing as playing.
void MprisController::watchStatus() {
    if (readingStatusBits() != readingBits_) publishReading();
    if (music_.playing() != musicPlaying_) publishMusic();
}

void MprisController::play() {
    if (readingRuns() || !reading::hasText(reading_.port->bytes().text())) return;
    reading_.play();
    publishReading();
}

void MprisController::pause() {
    if (!readingRuns()) return;
    reading_.stop();
    paused_ = true;
    publishReading();
}

void MprisController::stop() {
    reading_.stop();
    paused_ = false;
    publishReading();
}

void MprisController::next() {
    if (reading_.looping()) return;
    const text::ByteText& bytes = reading_.port->bytes();
    if (singleRunActive()) {
        const int target = nextPieceStart();
        if (textFrom(bytes, target)) reading_.skipTo(target);
    } else {
        const int target = reading::nextParagraphStart(bytes, reading_.port->selStart());
        if (target >= 0) reading_.moveCaret(target);
    }
    publishReading();
}

void MprisController::previous() {
    if (reading_.looping()) return;
    const text::ByteText& bytes = reading_.port->bytes();
    if (singleRunActive()) {
        const int start = pieceStart();
        if (start > 0)
            reading_.skipTo(reading::previousPieceStart(bytes, start, reading_.state->delimiterTable(),
                                                        reading::languageOfVoice(reading_.voiceId())));
    } else {
        reading_.moveCaret(reading::previousParagraphStart(bytes, reading_.port->selStart()));
    }
    publishReading();
}

// ---- The music -----------------------------------------------------------------------------

MediaPlayerState MprisController::musicState() const {
    MediaPlayerState s;
    const bool playing = music_.playing();
    const int count = music_.trackCount();
    s.status = playing ? Status::Playing : Status::Stopped;
    s.canPlay = count > 0;
    s.canPause = playing || s.canPlay;
    s.canGoNext = count > 0;
    s.canGoPrevious = count > 0;
    s.volume = music_.volume() / 100.0;
    const QString path = music_.trackPath();
    if (!path.isEmpty()) {
        s.trackId = kTrackIds + QStringLiteral("music") + QString::number(music_.trackIndex());
        s.title = QFileInfo(path).fileName();
        s.url = QUrl::fromLocalFile(path).toString();
        s.lengthUs = static_cast<qint64>(music_.lengthSeconds() * 1e6);
    }
    return s;
}

void MprisController::publishMusic() {
    if (!musicPlayer_) return;
    musicPlaying_ = music_.playing();
    musicPlayer_->publish(musicState());
}

void MprisController::musicPlay() {
    if (!music_.playing() && music_.trackCount() > 0) music_.play();
    publishMusic();
}

void MprisController::musicPause() {
    if (music_.playing()) music_.stop();
    publishMusic();
}

}  // namespace sayvell::ui
