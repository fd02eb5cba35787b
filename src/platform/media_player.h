#pragma once
// One player in the desktop's media controls (media keys, the media panel, a lock screen's
// buttons). The real one is MPRIS on the session bus; where there is no session bus the
// do-nothing one says why once and the program goes on without it.
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace sayvell::platform {

// What the desktop is told; sent again whenever a field changes.
struct MediaPlayerState {
    enum class Status { Stopped, Playing, Paused };
    Status status = Status::Stopped;
    // The "track": a path of its own for each (an object path), what it is called, where it
    // comes from, who speaks or plays it, and its file.
    QString trackId;
    QString title;
    QString album;
    QStringList artists;
    QString url;
    qint64 lengthUs = 0;  // 0: not known
    double volume = 1.0;  // 0.0 .. 1.0
    bool canPlay = false;
    bool canPause = false;
    bool canGoNext = false;
    bool canGoPrevious = false;

    bool operator==(const MediaPlayerState&) const = default;
};

// Who the player is on the bus and in the desktop's list.
struct MediaPlayerIdentity {
    QString busSuffix;     // org.mpris.MediaPlayer2.<busSuffix>
    QString identity;      // the name the desktop shows
    QString desktopEntry;  // the .desktop file's name without ".desktop"
};

class MediaPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~MediaPlayer() override = default;

    virtual void publish(const MediaPlayerState& state) = 0;
    virtual MediaPlayerState published() const = 0;
    // Asked whenever the desktop reads the position (it is never sent by itself).
    virtual void setPositionSource(std::function<qint64()> positionUs) = 0;
    // Why the desktop cannot reach this player; empty when it can.
    virtual QString unavailableReason() const { return {}; }

    // The desktop's requests. They arrive queued, after the desktop has had its answer, so a
    // command may open a window of its own.
signals:
    void playRequested();
    void pauseRequested();
    void playPauseRequested();
    void stopRequested();
    void nextRequested();
    void previousRequested();
    void volumeRequested(double volume);
    void raiseRequested();
    void quitRequested();
};

using MediaPlayerFactory = std::function<std::unique_ptr<MediaPlayer>(const MediaPlayerIdentity&)>;

// MPRIS on the session bus (DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus), on a
// connection of its own; the do-nothing player with a reason when there is no bus.
std::unique_ptr<MediaPlayer> makeMprisPlayer(const MediaPlayerIdentity& identity);
std::unique_ptr<MediaPlayer> makeNoMediaPlayer(const QString& reason);

}  // namespace sayvell::platform
