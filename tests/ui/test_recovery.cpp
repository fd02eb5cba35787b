// Unsaved texts survive a crash, a kill and a shutdown; a save or a normal exit lets them go.
#include "platform/fake_services.h"
#include "platform/private_servers.h"
#include "platform/shutdown_watch.h"
#include "store/recovery.h"
#include "support/fakes.h"
#include "support/iconv_fixture.h"
#include "ui/schedule/tf_sch.h"
#include "window_rig.h"

#include <QAction>
#include <QApplication>
#include <QDBusUnixFileDescriptor>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>

#include <sqlite3.h>

#include <csignal>
#include <poll.h>

namespace sayvell::testing {
namespace {

using platform::ShutdownWatch;

// What the record in the rig's draft.dat holds now, read as the next start would.
std::optional<store::RecoveryRecord> recordIn(const WindowRig& rig) {
    auto s = store::RecoveryStore::open(rig.path("draft.dat"));
    return s ? s->load() : std::nullopt;
}

class FakeWatch : public ShutdownWatch {
public:
    void release() override { ++releases; }
    int releases = 0;
};

// The window gets a fake watch that the test drives.
struct WatchedRig : WindowRig {
    static inline FakeWatch* watch = nullptr;
    WatchedRig() : WindowRig({}, false) {
        platform::setShutdownWatchMakerForTesting([] {
            auto w = std::make_unique<FakeWatch>();
            watch = w.get();
            return w;
        });
        open();
        QCoreApplication::processEvents();  // the start-up's deferred steps
    }
    ~WatchedRig() { platform::setShutdownWatchMakerForTesting({}); }
    // A kill or power cut: the window goes without its exit command.
    void crash() {
        window.reset();
        watch = nullptr;
    }
    void restart() {
        open();
        QCoreApplication::processEvents();
    }
};

TEST(Recovery, KeeperWritesAfterAQuietSpellAndDuringEndlessTyping) {
    QTemporaryDir dir;
    const QString db = dir.filePath("draft.dat");
    ASSERT_TRUE(QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), db));
    QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
    QString text = QStringLiteral("一");
    auto readBack = [&] {
        auto s = store::RecoveryStore::open(db);
        auto r = s ? s->load() : std::nullopt;
        return r ? r->text : QString();
    };

    {
        store::RecoveryKeeper keeper(std::make_unique<store::RecoveryWriter>(store::RecoveryStore::open(db)),
                                     [&] {
                                         return store::RecoveryRecord{text, {}, 0, {}};
                                     },
                                     {30, 60'000});
        keeper.changed();
        EXPECT_TRUE(waitFor([&] { return readBack() == QStringLiteral("一"); }));
        keeper.settled();
        EXPECT_TRUE(waitFor([&] { return readBack().isEmpty(); }));
    }
    {
        // Typing that never pauses long enough still gets kept, by the longest wait.
        store::RecoveryKeeper keeper(std::make_unique<store::RecoveryWriter>(store::RecoveryStore::open(db)),
                                     [&] {
                                         return store::RecoveryRecord{text, {}, 0, {}};
                                     },
                                     {60'000, 100});
        QTimer typing;
        QObject::connect(&typing, &QTimer::timeout, [&] {
            text += u'字';
            keeper.changed();
        });
        typing.start(5);
        EXPECT_TRUE(waitFor([&] { return readBack().startsWith(QStringLiteral("一字")); }));
        EXPECT_TRUE(typing.isActive());
        typing.stop();
        // A normal end takes the record away, and nothing comes back after it.
        keeper.finish();
        keeper.changed();
        EXPECT_TRUE(readBack().isEmpty());
    }
}

TEST(Recovery, AfterACrashTheNextStartOffersTheTextBack) {
    WatchedRig rig;
    rig.memo()->insertPlainText(QStringLiteral("今日特價：蘋果\n每斤二十元"));
    QTextCursor c = rig.memo()->textCursor();
    c.setPosition(5);
    rig.memo()->setTextCursor(c);
    // The desktop is shutting down: the text is on disk before the lock is let go.
    emit rig.watch->shutdownComing(ShutdownWatch::Reason::SystemShutdown);
    EXPECT_EQ(rig.watch->releases, 1);
    auto kept = recordIn(rig);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->text, QStringLiteral("今日特價：蘋果\n每斤二十元"));
    EXPECT_EQ(rig.exitCode, -1);  // a system shutdown ends us later, by SIGTERM

    rig.crash();
    rig.dialogs.confirmAnswer = true;  // keep
    rig.restart();
    ASSERT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_TRUE(rig.dialogs.shown[0].startsWith("confirm:" + store::kRecoveryOffer.arg(QString()).left(10)));
    EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("今日特價：蘋果\n每斤二十元"));
    EXPECT_EQ(rig.memo()->textCursor().position(), 5);
    EXPECT_TRUE(rig.memo()->document()->isModified());  // the exit will still ask to save it

    // Kept, so a second crash right away still finds it; this time it is thrown away.
    rig.crash();
    rig.dialogs.shown.clear();
    rig.dialogs.confirmAnswer = false;
    rig.restart();
    ASSERT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_TRUE(rig.memo()->toPlainText().isEmpty());
    EXPECT_FALSE(rig.memo()->document()->isModified());
    EXPECT_TRUE(waitFor([&] { return !recordIn(rig).has_value(); }));
}

TEST(Recovery, ASaveOrANormalExitLetsTheRecordGo) {
    WatchedRig rig;
    rig.type(QStringLiteral("要保存的廣告"));
    emit rig.watch->shutdownComing(ShutdownWatch::Reason::SystemShutdown);
    ASSERT_TRUE(recordIn(rig).has_value());
    rig.dialogs.saveAnswer = rig.path("ad");
    rig.window->ui.SB_save->click();
    ASSERT_TRUE(QFile::exists(rig.path("ad.txt")));
    EXPECT_TRUE(waitFor([&] { return !recordIn(rig).has_value(); }));

    // Changed again, then the exit command with "no" to saving: the user chose to drop it.
    rig.memo()->insertPlainText(QStringLiteral("，再改"));
    emit rig.watch->shutdownComing(ShutdownWatch::Reason::SystemShutdown);
    ASSERT_TRUE(recordIn(rig).has_value());
    rig.dialogs.confirmAnswer = false;
    rig.window->ui.N_exit->trigger();
    EXPECT_EQ(rig.exitCode, 0);
    EXPECT_FALSE(recordIn(rig).has_value());

    rig.crash();
    rig.dialogs.shown.clear();
    rig.restart();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty());
}

TEST(Recovery, AScheduledPowerOffKeepsTheTextWithoutAskingAndItGoesBackToItsFile) {
    WatchedRig rig;  // the fake clock stands at 09:05:03; the rig has no power control
    const QString file = rig.path("notice.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xEF\xBB\xBF" + QStringLiteral("今日\n特價").toUtf8());  // UTF-8 with a mark, LF
    }
    rig.dialogs.openAnswer = file;
    rig.window->ui.SB_open->click();
    ASSERT_EQ(rig.memo()->toPlainText(), QStringLiteral("今日\n特價"));
    rig.memo()->moveCursor(QTextCursor::End);
    rig.memo()->insertPlainText(QStringLiteral("，九點半關門"));

    QTimer::singleShot(0, [] {
        auto* w = qobject_cast<ui::Tf_sch*>(QApplication::activeModalWidget());
        ASSERT_TRUE(w);
        w->TimeEdit1->setTime(QTime(9, 6));
        w->RadioButton2->setChecked(true);
        w->BitBtn1->click();
    });
    rig.window->ui.SB_schedule->click();
    rig.dialogs.shown.clear();
    rig.clock.advance(60 * 1000);
    ASSERT_TRUE(waitFor([&] { return rig.exitCode == 0; }, 3000));
    // Nobody was asked anything, and the text waits for the next start.
    EXPECT_TRUE(rig.dialogs.shown.filter(QStringLiteral("confirm:")).isEmpty())
        << rig.dialogs.shown.join('|').toStdString();
    auto kept = recordIn(rig);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->text, QStringLiteral("今日\n特價，九點半關門"));
    EXPECT_EQ(kept->fileName, file);

    rig.crash();
    rig.dialogs.confirmAnswer = true;
    rig.restart();
    EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("今日\n特價，九點半關門"));
    EXPECT_EQ(rig.window->ui.statusPanel[2]->text(), file);
    // Save writes back to where the text came from, in that file's encoding and line breaks.
    rig.dialogs.shown.clear();
    rig.window->ui.SB_save->click();
    EXPECT_TRUE(rig.dialogs.shown.filter(QStringLiteral("save:")).isEmpty());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("\xEF\xBB\xBF") + QStringLiteral("今日\n特價，九點半關門").toUtf8());
    EXPECT_TRUE(waitFor([&] { return !recordIn(rig).has_value(); }));
}

// A file re-opened in the encoding the user chose goes back in that encoding, not the one the
// detector would guess again.
TEST(Recovery, ARecoveredTextSavesBackInTheEncodingItsFileWasReadIn) {
    WatchedRig rig;
    const QString file = rig.path("short.txt");
    const QByteArray gbk = iconvBytes(QStringLiteral("您好"), "GBK");  // valid Big5 too
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(gbk);
    }
    rig.dialogs.openAnswer = file;
    rig.window->ui.SB_open->click();
    for (QAction* a : rig.window->ui.M_reopenAs->actions())
        if (a->text() == QStringLiteral("GB18030")) a->trigger();
    ASSERT_EQ(rig.memo()->toPlainText(), QStringLiteral("您好"));
    rig.memo()->moveCursor(QTextCursor::End);
    rig.memo()->insertPlainText(QStringLiteral("，请明天再来"));
    emit rig.watch->shutdownComing(ShutdownWatch::Reason::SystemShutdown);
    ASSERT_TRUE(recordIn(rig).has_value());

    rig.crash();
    rig.dialogs.confirmAnswer = true;
    rig.restart();
    EXPECT_EQ(rig.window->ui.statusEncoding->text(), QStringLiteral("GB18030"));
    rig.dialogs.shown.clear();
    rig.window->ui.SB_save->click();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty()) << rig.dialogs.shown.join('|').toStdString();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), iconvBytes(QStringLiteral("您好，请明天再来"), "GB18030"));
}

TEST(Recovery, SigtermKeepsTheTextAndEndsTheProgram) {
    WindowRig rig;  // the real watch
    QCoreApplication::processEvents();
    rig.type(QStringLiteral("被終止前的文字"));
    ASSERT_EQ(std::raise(SIGTERM), 0);
    ASSERT_TRUE(waitFor([&] { return rig.exitCode != -1; }));
    EXPECT_EQ(rig.exitCode, 128 + 15);
    auto kept = recordIn(rig);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->text, QStringLiteral("被終止前的文字"));
}

TEST(Recovery, ADatabaseThatCannotHoldTheRecordIsSaidOnceAndTheWindowWorks) {
    WindowRig rig({}, false);
    {
        auto db = store::TDM::open(rig.path("draft.dat"));
        ASSERT_TRUE(db);
    }
    // Another program's table of the same name.
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(rig.path("draft.dat")).constData(), &h), SQLITE_OK);
    sqlite3_exec(h, "CREATE TABLE recovery(other TEXT)", nullptr, nullptr, nullptr);
    sqlite3_close(h);
    rig.open();
    QCoreApplication::processEvents();
    ASSERT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_TRUE(rig.dialogs.shown[0].startsWith("warning:" + store::kRecoveryUnavailable.left(8)));
    rig.type(QStringLiteral("照常編輯"));
    EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("照常編輯"));
}

// logind as the watch meets it: a delay lock handed out as a pipe's write end; the shutdown
// waits until every copy of it is closed.
class InhibitingLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    std::atomic<int> inhibits{0};
    std::atomic<int> lockReadEnd{-1};

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString&, const QString&, const QString& mode) {
        int fds[2];
        if (what != QLatin1String("shutdown") || mode != QLatin1String("delay") || ::pipe(fds) != 0) return {};
        QDBusUnixFileDescriptor lock(fds[1]);  // keeps a copy of its own
        ::close(fds[1]);
        lockReadEnd = fds[0];
        ++inhibits;
        return lock;
    }
};

bool lockReleased(int readEnd) {
    pollfd p{readEnd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
}

TEST(Recovery, TheDesktopsShutdownWaitsUntilTheTextIsOnDisk) {
    PrivateBus bus;
    if (!bus.start()) GTEST_SKIP() << "no dbus-daemon";
    InhibitingLogind* logind = nullptr;
    std::optional<QDBusConnection> logindBus;
    ServiceThread service(bus.address(), "org.freedesktop.login1", "/org/freedesktop/login1", [&](QDBusConnection c) {
        logindBus = c;
        return logind = new InhibitingLogind;
    });
    ASSERT_TRUE(service.startServing());
    const QByteArray saved = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().toUtf8());
    {
        WindowRig rig;                      // the real watch, on the private bus
        QCoreApplication::processEvents();  // the start-up's deferred steps, which begin the keeping
        ASSERT_TRUE(waitFor([&] { return logind->inhibits == 1; }));
        const int lock = logind->lockReadEnd;
        rig.type(QStringLiteral("關機前未保存的公告"));
        EXPECT_FALSE(lockReleased(lock));

        auto shutdown = [&](bool starting) {
            QDBusMessage m = QDBusMessage::createSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                                        "PrepareForShutdown");
            m << starting;
            ASSERT_TRUE(logindBus->send(m));
        };
        shutdown(true);
        ASSERT_TRUE(waitFor([&] { return lockReleased(lock); }));
        auto kept = recordIn(rig);
        ASSERT_TRUE(kept.has_value());
        EXPECT_EQ(kept->text, QStringLiteral("關機前未保存的公告"));
        EXPECT_EQ(rig.exitCode, -1);
        ::close(lock);

        // Called off: the next shutdown is delayed again.
        shutdown(false);
        EXPECT_TRUE(waitFor([&] { return logind->inhibits == 2; }));
    }
    if (saved.isNull())
        qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    else
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", saved);
}

}  // namespace
}  // namespace sayvell::testing

#include "test_recovery.moc"
