#pragma once
// The desktop's media controls (media keys, the media panel, a lock screen's buttons) as two
// players: the reading and the background music.
//
// Decisions a user can notice:
//  - Play reads from the caret, as the tool bar's button does. Pause and Stop end the reading
//    after the piece being spoken; the caret then stands after it, so Play after Pause goes
//    on where the reading stopped, and the desktop shows the reading paused, not stopped.
//  - Next and Previous go by pieces during a reading, at once (the piece being spoken is cut
//    short), and move the caret by paragraphs when nothing is read. A loop reading keeps its
//    own course and offers neither.
//  - The title is the piece being read, or the document's name when nothing is read; the
//    album is the document's name and the artist the voice.
//  - The music's Pause stops it: the panel has no pause, so Play starts the track again.
//  - Without a session bus this is said once and nothing else changes.
#include "platform/media_player.h"

#include <QObject>
#include <functional>
#include <memory>

class QTimer;

namespace sayvell::reading {
struct ReadingState;
}

namespace sayvell::ui {

class MemoPort;

// The reading as the media controls see it; each command runs as its control would.
struct MprisReading {
    MemoPort* port = nullptr;
    reading::ReadingState* state = nullptr;
    std::function<void()> play;              // SB_playClick
    std::function<void()> stop;              // SB_stopClick
    std::function<void(int offset)> skipTo;  // a run in progress goes on from offset at once
    std::function<void(int offset)> moveCaret;
    std::function<bool()> startPending;     // the prompt tone's lead-in
    std::function<bool()> looping;          // a loop reading, passes and intervals
    std::function<QString()> documentPath;  // empty for an untitled text
    std::function<QString()> voiceName;
    std::function<QString()> voiceId;
    std::function<int()> volume;  // 0..100
    std::function<void(int)> setVolume;
};

// The music panel as the media controls see it; each command is a click on its button.
struct MprisMusic {
    std::function<void()> play, stop, next, previous;
    std::function<bool()> playing;
    std::function<int()> trackCount;
    std::function<int()> trackIndex;
    std::function<QString()> trackPath;  // the track last started; empty before the first
    std::function<double()> lengthSeconds;
    std::function<double()> positionSeconds;
    std::function<int()> volume;  // 0..100
    std::function<void(int)> setVolume;
};

// What both players share with the window.
struct MprisWindow {
    std::function<void()> raise;
    std::function<void()> quit;  // the exit command, with its question about unsaved text
    std::function<void(const QString&)> tell;
};

class MprisController : public QObject {
    Q_OBJECT
public:
    MprisController(MprisReading reading, MprisMusic music, MprisWindow window, platform::MediaPlayerFactory factory,
                    QObject* parent = nullptr);
    ~MprisController() override;

    // Puts both players on the desktop (kept out of the constructor: the bus is asked only
    // once the window is up).
    void start();

    platform::MediaPlayer* readingPlayer() const { return readingPlayer_.get(); }
    platform::MediaPlayer* musicPlayer() const { return musicPlayer_.get(); }

public slots:
    // Something the players show may have changed; both gather such calls into one update.
    void readingChanged();
    void musicChanged();

private:
    bool readingRuns() const;
    bool singleRunActive() const;
    int readingStatusBits() const;
    int pieceStart() const;
    int nextPieceStart() const;
    platform::MediaPlayerState readingState() const;
    platform::MediaPlayerState musicState() const;
    void publishReading();
    void publishMusic();
    void watchStatus();

    void play();
    void pause();
    void stop();
    void next();
    void previous();
    void musicPlay();
    void musicPause();

    MprisReading reading_;
    MprisMusic music_;
    MprisWindow window_;
    platform::MediaPlayerFactory factory_;
    std::unique_ptr<platform::MediaPlayer> readingPlayer_;
    std::unique_ptr<platform::MediaPlayer> musicPlayer_;
    QTimer* statusPoll_ = nullptr;
    QTimer* readingUpdate_ = nullptr;
    QTimer* musicUpdate_ = nullptr;
    bool paused_ = false;
    int readingBits_ = -1;  // readingStatusBits() when the reading was last told
    bool musicPlaying_ = false;
};

}  // namespace sayvell::ui
