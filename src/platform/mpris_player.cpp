// The desktop's media controls through MPRIS (org.mpris.MediaPlayer2) on the session bus.
// Each player has a connection of its own: the interface lives at one fixed object path, so
// two players cannot share a connection.
#include "platform/media_player.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QVariantMap>
#include <algorithm>

namespace sayvell::platform {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kBusPrefix = QStringLiteral("org.mpris.MediaPlayer2.");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
const QString kNoBus = QStringLiteral("沒有工作階段匯流排（D-Bus）：媒體鍵和桌面的媒體面板無法控制 Sayvell。");
const QString kNameRefused = QStringLiteral("桌面的媒體面板無法登記 Sayvell（%1）：媒體鍵無法控制 Sayvell。");

QString statusName(MediaPlayerState::Status status) {
    switch (status) {
    case MediaPlayerState::Status::Playing: return QStringLiteral("Playing");
    case MediaPlayerState::Status::Paused: return QStringLiteral("Paused");
    case MediaPlayerState::Status::Stopped: break;
    }
    return QStringLiteral("Stopped");
}

QVariantMap metadataOf(const MediaPlayerState& s) {
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(s.trackId.isEmpty() ? kNoTrack : s.trackId)));
    if (!s.title.isEmpty()) m.insert(QStringLiteral("xesam:title"), s.title);
    if (!s.album.isEmpty()) m.insert(QStringLiteral("xesam:album"), s.album);
    if (!s.artists.isEmpty()) m.insert(QStringLiteral("xesam:artist"), s.artists);
    if (!s.url.isEmpty()) m.insert(QStringLiteral("xesam:url"), s.url);
    if (s.lengthUs > 0) m.insert(QStringLiteral("mpris:length"), s.lengthUs);
    return m;
}

bool sameTrack(const MediaPlayerState& a, const MediaPlayerState& b) {
    return a.trackId == b.trackId && a.title == b.title && a.album == b.album && a.artists == b.artists &&
           a.url == b.url && a.lengthUs == b.lengthUs;
}

// Hands a request to the program after the desktop has had its answer.
template <typename Signal>
void later(MediaPlayer* player, Signal signal) {
    QMetaObject::invokeMethod(
        player, [player, signal] { emit(player->*signal)(); }, Qt::QueuedConnection);
}

class NoMediaPlayer : public MediaPlayer {
public:
    explicit NoMediaPlayer(QString reason) : reason_(std::move(reason)) {}
    void publish(const MediaPlayerState& state) override { state_ = state; }
    MediaPlayerState published() const override { return state_; }
    void setPositionSource(std::function<qint64()>) override {}
    QString unavailableReason() const override { return reason_; }

private:
    QString reason_;
    MediaPlayerState state_;
};

class MprisPlayer;

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
public:
    RootAdaptor(MediaPlayer* player, MediaPlayerIdentity identity)
        : QDBusAbstractAdaptor(player), player_(player), identity_(std::move(identity)) {}
    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return identity_.identity; }
    QString desktopEntry() const { return identity_.desktopEntry; }
    QStringList none() const { return {}; }

public slots:
    void Raise() { later(player_, &MediaPlayer::raiseRequested); }
    void Quit() { later(player_, &MediaPlayer::quitRequested); }

private:
    MediaPlayer* player_;
    MediaPlayerIdentity identity_;
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ one WRITE setRate)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
public:
    PlayerAdaptor(MediaPlayer* player, std::function<qint64()>& position)
        : QDBusAbstractAdaptor(player), player_(player), position_(position) {}
    QString playbackStatus() const { return statusName(state().status); }
    double one() const { return 1.0; }
    void setRate(double) {}  // one speed only; MPRIS asks that other rates be ignored
    QVariantMap metadata() const { return metadataOf(state()); }
    double volume() const { return state().volume; }
    void setVolume(double v) {
        v = std::clamp(v, 0.0, 1.0);
        QMetaObject::invokeMethod(
            player_, [p = player_, v] { emit p->volumeRequested(v); }, Qt::QueuedConnection);
    }
    qlonglong position() const { return position_ ? position_() : 0; }
    bool canGoNext() const { return state().canGoNext; }
    bool canGoPrevious() const { return state().canGoPrevious; }
    bool canPlay() const { return state().canPlay; }
    bool canPause() const { return state().canPause; }
    bool yes() const { return true; }
    bool no() const { return false; }

public slots:
    void Play() { later(player_, &MediaPlayer::playRequested); }
    void Pause() { later(player_, &MediaPlayer::pauseRequested); }
    void PlayPause() { later(player_, &MediaPlayer::playPauseRequested); }
    void Stop() { later(player_, &MediaPlayer::stopRequested); }
    void Next() { later(player_, &MediaPlayer::nextRequested); }
    void Previous() { later(player_, &MediaPlayer::previousRequested); }
    // CanSeek is false: these have no effect, as MPRIS asks.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

signals:
    void Seeked(qlonglong position);

private:
    MediaPlayerState state() const { return player_->published(); }

    MediaPlayer* player_;
    std::function<qint64()>& position_;
};

class MprisPlayer : public MediaPlayer {
public:
    MprisPlayer(QDBusConnection bus, QString connectionName, const MediaPlayerIdentity& identity)
        : bus_(std::move(bus)), connectionName_(std::move(connectionName)) {
        new RootAdaptor(this, identity);
        new PlayerAdaptor(this, position_);
    }
    ~MprisPlayer() override {
        if (!busName_.isEmpty()) bus_.unregisterService(busName_);
        bus_.unregisterObject(kObjectPath);
        bus_ = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(connectionName_);
    }

    // The object first, then the name: whoever sees the name finds the object. A name taken
    // (Sayvell on another display of the same session) makes this one an instance of its own.
    bool registerOnBus(const QString& suffix, QString* error) {
        if (!bus_.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) {
            *error = bus_.lastError().message();
            return false;
        }
        const QString name = kBusPrefix + suffix;
        const QString instance =
            name + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
        for (const QString& candidate : {name, instance}) {
            if (bus_.registerService(candidate)) {
                busName_ = candidate;
                return true;
            }
        }
        *error = bus_.lastError().message();
        return false;
    }

    void publish(const MediaPlayerState& s) override {
        QVariantMap changed;
        if (s.status != state_.status) changed.insert(QStringLiteral("PlaybackStatus"), statusName(s.status));
        if (!sameTrack(s, state_)) changed.insert(QStringLiteral("Metadata"), metadataOf(s));
        if (s.volume != state_.volume) changed.insert(QStringLiteral("Volume"), s.volume);
        if (s.canPlay != state_.canPlay) changed.insert(QStringLiteral("CanPlay"), s.canPlay);
        if (s.canPause != state_.canPause) changed.insert(QStringLiteral("CanPause"), s.canPause);
        if (s.canGoNext != state_.canGoNext) changed.insert(QStringLiteral("CanGoNext"), s.canGoNext);
        if (s.canGoPrevious != state_.canGoPrevious) changed.insert(QStringLiteral("CanGoPrevious"), s.canGoPrevious);
        state_ = s;
        if (changed.isEmpty()) return;
        QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << kPlayerInterface << changed << QStringList();
        bus_.send(signal);
    }
    MediaPlayerState published() const override { return state_; }
    void setPositionSource(std::function<qint64()> positionUs) override { position_ = std::move(positionUs); }

private:
    QDBusConnection bus_;
    QString connectionName_;
    QString busName_;
    MediaPlayerState state_;
    std::function<qint64()> position_;
};

// The session's bus: the address the session gives, else the user bus of systemd. Read at
// each start (libdbus would keep the first address it saw for good), and never a bus launched
// on demand, which no media key would ever reach.
QString sessionBusAddress() {
    const QString given = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!given.isEmpty()) return given;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString userBus = runtime + QStringLiteral("/bus");
    if (!runtime.isEmpty() && QFileInfo(userBus).exists()) return QStringLiteral("unix:path=") + userBus;
    return {};
}

}  // namespace

std::unique_ptr<MediaPlayer> makeNoMediaPlayer(const QString& reason) {
    return std::make_unique<NoMediaPlayer>(reason.isEmpty() ? kNoBus : reason);
}

std::unique_ptr<MediaPlayer> makeMprisPlayer(const MediaPlayerIdentity& identity) {
    const QString address = sessionBusAddress();
    if (address.isEmpty()) return makeNoMediaPlayer({});
    const QString connectionName = QStringLiteral("sayvell-mpris-") + identity.busSuffix;
    QDBusConnection bus = QDBusConnection::connectToBus(address, connectionName);
    if (!bus.isConnected()) {
        bus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(connectionName);
        return makeNoMediaPlayer({});
    }
    auto player = std::make_unique<MprisPlayer>(bus, connectionName, identity);
    QString error;
    if (!player->registerOnBus(identity.busSuffix, &error)) return makeNoMediaPlayer(kNameRefused.arg(error));
    return player;
}

}  // namespace sayvell::platform

#include "mpris_player.moc"
