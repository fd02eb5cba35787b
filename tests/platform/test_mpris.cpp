// The reading and the background music in the desktop's media controls, driven as a desktop
// drives them: gdbus and dbus-send calls and property reads on a private session bus.
#include "music/music_player.h"
#include "platform/media_player.h"
#include "platform/private_servers.h"
#include "support/fakes.h"
#include "ui/mpris/mpris_controller.h"
#include "ui/music/music_panel.h"
#include "ui/window_rig.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QSpinBox>
#include <QStatusBar>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

const QString kReading = QStringLiteral("org.mpris.MediaPlayer2.sayvell");
const QString kMusic = QStringLiteral("org.mpris.MediaPlayer2.sayvell.music");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// What a desktop's media panel hears: the player's PropertiesChanged signals.
class PanelListener : public QObject {
    Q_OBJECT
public:
    QStringList statuses;
    QStringList titles;

public slots:
    void changed(const QString& interface, const QVariantMap& properties, const QStringList&) {
        if (interface != kPlayer) return;
        if (properties.contains(QStringLiteral("PlaybackStatus")))
            statuses << properties.value(QStringLiteral("PlaybackStatus")).toString();
        if (properties.contains(QStringLiteral("Metadata"))) {
            const auto metadata = qdbus_cast<QVariantMap>(properties.value(QStringLiteral("Metadata")));
            titles << metadata.value(QStringLiteral("xesam:title")).toString();
        }
    }
};

// A music player that plays nothing: every file starts, each lasts 245 s.
class QuietPlayer : public music::MusicPlayer {
public:
    bool create(const QString& path) override {
        path_ = path;
        return true;
    }
    void free() override { path_.clear(); }
    bool live() const override { return !path_.isEmpty(); }
    void play() override {}
    void stop() override {}
    void setVolume(float) override {}
    double lengthSeconds() const override { return live() ? 245.0 : 0.0; }
    double positionSeconds() const override { return live() ? 12.5 : 0.0; }
    bool finished() const override { return false; }
    QString lastError() const override { return {}; }

private:
    QString path_;
};

class Mpris : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("gdbus")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("dbus-send")).isEmpty() || !bus_.start())
            GTEST_SKIP() << "needs dbus-daemon, gdbus and dbus-send";
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().toUtf8());
        openWindow();
        listener_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus_.address(), QStringLiteral("media-panel")));
        ASSERT_TRUE(listener_->connect(
            kReading, QStringLiteral("/org/mpris/MediaPlayer2"), QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"), &panel_, SLOT(changed(QString, QVariantMap, QStringList))));
    }
    void TearDown() override {
        rig_.reset();
        listener_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("media-panel"));
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        bus_.stop();
    }
    void openWindow() {
        rig_ = std::make_unique<WindowRig>(QByteArray(), false);
        rig_->mediaPlayers = platform::makeMprisPlayer;
        rig_->open();
        mpris_ = rig_->window->findChild<ui::MprisController*>(QStringLiteral("mpris"));
        ASSERT_TRUE(mpris_);
        // The players go on the bus once the window's event loop runs.
        ASSERT_TRUE(waitFor([this] { return mpris_->readingPlayer() && mpris_->musicPlayer(); }));
    }

    // A client tool run beside the window, which goes on serving the bus meanwhile; its
    // output, or why it failed.
    QString run(const QString& program, const QStringList& args) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
        p.setProcessEnvironment(env);
        p.start(program, args);
        if (!waitFor([&] { return p.state() == QProcess::NotRunning; }, 20000)) {
            p.kill();
            p.waitForFinished();
            return QStringLiteral("timed out");
        }
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return QStringLiteral("failed: ") + QString::fromUtf8(p.readAllStandardError());
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    QString call(const QString& dest, const QString& method, const QStringList& args = {}) const {
        return run(QStringLiteral("gdbus"),
                   QStringList{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"), dest,
                               QStringLiteral("--object-path"), QStringLiteral("/org/mpris/MediaPlayer2"),
                               QStringLiteral("--method"), method} +
                       args);
    }
    QString command(const QString& dest, const QString& name) const { return call(dest, kPlayer + u'.' + name); }
    QString get(const QString& dest, const QString& property) const {
        return call(dest, QStringLiteral("org.freedesktop.DBus.Properties.Get"), {kPlayer, property});
    }
    QString selected() const { return rig_->memo()->textCursor().selectedText(); }
    // The worker needs this thread to reach the editor: wait serving it.
    bool spoken(size_t count) const {
        return waitFor([&] { return rig_->engine.spoken().size() >= count; });
    }

    PrivateBus bus_;
    std::unique_ptr<WindowRig> rig_;
    ui::MprisController* mpris_ = nullptr;
    std::unique_ptr<QDBusConnection> listener_;
    PanelListener panel_;
};

TEST_F(Mpris, TheReadingIsPlayedSteppedAndPausedFromTheDesktop) {
    rig_->type(QStringLiteral("甲。乙。丙。\n丁。戊。"));
    EXPECT_EQ(get(kReading, QStringLiteral("PlaybackStatus")), QStringLiteral("(<'Stopped'>,)"));
    EXPECT_TRUE(get(kReading, QStringLiteral("Metadata")).contains(QStringLiteral("'xesam:title': <'未命名'>")));

    // Nothing read: Next and Previous move the caret by paragraphs.
    EXPECT_EQ(command(kReading, QStringLiteral("Next")), QStringLiteral("()"));
    ASSERT_TRUE(waitFor([this] { return rig_->window->memoPort().selStart() == 14; }));
    EXPECT_EQ(get(kReading, QStringLiteral("CanGoNext")), QStringLiteral("(<false>,)"));
    command(kReading, QStringLiteral("Previous"));
    ASSERT_TRUE(waitFor([this] { return rig_->window->memoPort().selStart() == 0; }));
    EXPECT_TRUE(rig_->engine.texts().isEmpty());

    // Play reads from the caret; Next cuts the piece being spoken and reads the next at once
    // (the engine holds every piece until it is cut, so only a cut moves the reading on).
    rig_->engine.hold();
    command(kReading, QStringLiteral("Play"));
    ASSERT_TRUE(spoken(1));
    ASSERT_TRUE(waitFor([this] { return selected() == QStringLiteral("甲。"); }));
    EXPECT_EQ(get(kReading, QStringLiteral("PlaybackStatus")), QStringLiteral("(<'Playing'>,)"));
    ASSERT_TRUE(
        waitFor([this] { return get(kReading, QStringLiteral("Metadata")).contains(QStringLiteral("<'甲。'>")); }));
    command(kReading, QStringLiteral("Next"));
    ASSERT_TRUE(spoken(2));
    ASSERT_TRUE(waitFor([this] { return selected() == QStringLiteral("乙。"); }));
    command(kReading, QStringLiteral("Next"));
    ASSERT_TRUE(spoken(3));
    ASSERT_TRUE(waitFor([this] { return selected() == QStringLiteral("丙。"); }));
    command(kReading, QStringLiteral("Previous"));
    ASSERT_TRUE(spoken(4));
    ASSERT_TRUE(waitFor([this] { return selected() == QStringLiteral("乙。"); }));
    EXPECT_EQ(rig_->engine.spoken().size(), 4u);
    EXPECT_EQ(rig_->engine.spoken().back().selStart, 4);
    EXPECT_TRUE(rig_->clock.sleeps().empty()) << "a piece cut short keeps no pause";

    // Pause ends the reading after the piece; Play goes on after it.
    command(kReading, QStringLiteral("Pause"));
    rig_->engine.release();
    ASSERT_TRUE(rig_->waitIdle());
    ASSERT_TRUE(
        waitFor([this] { return get(kReading, QStringLiteral("PlaybackStatus")) == QStringLiteral("(<'Paused'>,)"); }));
    EXPECT_EQ(rig_->window->memoPort().selStart(), 8);
    command(kReading, QStringLiteral("PlayPause"));
    ASSERT_TRUE(spoken(5));
    EXPECT_EQ(rig_->engine.spoken()[4].selStart, 8);
    ASSERT_TRUE(rig_->waitIdle());
    ASSERT_TRUE(waitFor([this] {
        return get(kReading, QStringLiteral("PlaybackStatus")) == QStringLiteral("(<'Stopped'>,)");
    })) << "a reading that ended by itself shows as "
        << get(kReading, QStringLiteral("PlaybackStatus")).toStdString();

    // The desktop heard every change of state and each piece as it came, without asking.
    ASSERT_TRUE(waitFor([this] { return panel_.statuses.size() >= 4; }));
    EXPECT_EQ(panel_.statuses.mid(0, 4), (QStringList{"Playing", "Paused", "Playing", "Stopped"}));
    EXPECT_TRUE(panel_.titles.contains(QStringLiteral("甲。")));
    EXPECT_TRUE(panel_.titles.contains(QStringLiteral("丙。")));
    // Each piece is told once, and never a blank between two.
    for (qsizetype i = 0; i < panel_.titles.size(); ++i) {
        EXPECT_FALSE(panel_.titles[i].isEmpty());
        if (i > 0) {
            EXPECT_NE(panel_.titles[i], panel_.titles[i - 1]) << i;
        }
    }

    // Raise brings a hidden window back.
    rig_->window->hide();
    call(kReading, QStringLiteral("org.mpris.MediaPlayer2.Raise"));
    EXPECT_TRUE(waitFor([this] { return rig_->window->isVisible(); }));
}

TEST_F(Mpris, TheMusicShowsItsTrackAndTakesVolumeStepsAndQuit) {
    auto* panel = rig_->window->findChild<ui::MusicPanel*>(QStringLiteral("musicPanel"));
    ASSERT_TRUE(panel);
    panel->setPlayer(std::make_unique<QuietPlayer>());
    for (const char* name : {"一.mp3", "二.mp3"}) {
        QFile f(rig_->path(QString::fromUtf8(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    panel->showFolder(rig_->dir.path());
    ASSERT_TRUE(waitFor([this] { return get(kMusic, QStringLiteral("CanPlay")) == QStringLiteral("(<true>,)"); }));
    EXPECT_EQ(call(kMusic, QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                   {QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Identity")}),
              QStringLiteral("(<'Sayvell 背景音樂'>,)"));

    command(kMusic, QStringLiteral("Play"));
    ASSERT_TRUE(waitFor([&] { return panel->player().live(); }));
    ASSERT_TRUE(
        waitFor([this] { return get(kMusic, QStringLiteral("PlaybackStatus")) == QStringLiteral("(<'Playing'>,)"); }));
    QString metadata = get(kMusic, QStringLiteral("Metadata"));
    EXPECT_TRUE(metadata.contains(QStringLiteral("'xesam:title': <'一.mp3'>"))) << metadata.toStdString();
    EXPECT_TRUE(metadata.contains(QStringLiteral("'mpris:length': <int64 245000000>"))) << metadata.toStdString();
    EXPECT_EQ(get(kMusic, QStringLiteral("Position")), QStringLiteral("(<int64 12500000>,)"));

    command(kMusic, QStringLiteral("Next"));
    ASSERT_TRUE(
        waitFor([this] { return get(kMusic, QStringLiteral("Metadata")).contains(QStringLiteral("<'二.mp3'>")); }));

    // The volume is the panel's music volume, both ways.
    EXPECT_TRUE(get(kMusic, QStringLiteral("Volume")).startsWith(QStringLiteral("(<0.4")));
    EXPECT_EQ(run(QStringLiteral("dbus-send"),
                  {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=") + kMusic,
                   QStringLiteral("/org/mpris/MediaPlayer2"), QStringLiteral("org.freedesktop.DBus.Properties.Set"),
                   QStringLiteral("string:") + kPlayer, QStringLiteral("string:Volume"),
                   QStringLiteral("variant:double:0.25")})
                  .startsWith(QStringLiteral("method return")),
              true);
    ASSERT_TRUE(waitFor([this] { return rig_->window->ui.bj_v->value() == 25; }));
    EXPECT_EQ(get(kMusic, QStringLiteral("Volume")), QStringLiteral("(<0.25>,)"));

    command(kMusic, QStringLiteral("PlayPause"));
    ASSERT_TRUE(waitFor([&] { return !panel->player().live(); }));
    ASSERT_TRUE(
        waitFor([this] { return get(kMusic, QStringLiteral("PlaybackStatus")) == QStringLiteral("(<'Stopped'>,)"); }));

    // Quit is the exit command, with its question about the changed text.
    rig_->type(QStringLiteral("未存的字。"));
    rig_->dialogs.confirmAnswer = false;
    call(kMusic, QStringLiteral("org.mpris.MediaPlayer2.Quit"));
    ASSERT_TRUE(waitFor([this] { return rig_->exitCode == 0; }));
    EXPECT_EQ(rig_->dialogs.shown.filter(QStringLiteral("confirm:")),
              QStringList{QStringLiteral("confirm:文章已被修改，要保存嗎？")});
}

TEST(MprisAbsent, WithoutASessionBusTheProgramSaysSoOnceAndReads) {
    QTemporaryDir nowhere;
    // No address and no user bus: none, and no bus launched for it.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", nowhere.path().toUtf8());
    EXPECT_FALSE(platform::makeMprisPlayer({QStringLiteral("sayvell"), QStringLiteral("Sayvell"), QString()})
                     ->unavailableReason()
                     .isEmpty());
    if (runtime.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtime);

    qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + nowhere.filePath(QStringLiteral("bus"))).toUtf8());
    WindowRig rig(QByteArray(), false);
    rig.mediaPlayers = platform::makeMprisPlayer;
    rig.open();
    auto* mpris = rig.window->findChild<ui::MprisController*>(QStringLiteral("mpris"));
    ASSERT_TRUE(mpris);
    ASSERT_TRUE(waitFor([&] { return mpris->readingPlayer() && mpris->musicPlayer(); }));
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    const QString said = rig.window->statusBar()->currentMessage();
    EXPECT_EQ(said.count(QStringLiteral("媒體鍵")), 1) << said.toStdString();
    EXPECT_FALSE(mpris->readingPlayer()->unavailableReason().isEmpty());

    rig.type(QStringLiteral("照常朗讀。"));
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(waitFor([&] { return rig.engine.spoken().size() >= 1; }));
    ASSERT_TRUE(rig.waitIdle());
}

}  // namespace
}  // namespace sayvell::testing

#include "test_mpris.moc"
