// The recorder when its sound server goes away mid-recording: a server of the test's own,
// killed while the window records.
#include "../platform/private_servers.h"
#include "../ui/window_rig.h"
#include "audio/sound_recorder.h"
#include "ui/recorder/tfrecunit1.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <sndfile.h>

using namespace sayvell;
using namespace sayvell::testing;

namespace {

// PULSE_SERVER pointed at the test's own server for as long as it lives.
struct ServerAddress {
    explicit ServerAddress(const QString& socket) : saved(qgetenv("PULSE_SERVER")) {
        qputenv("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + socket));
    }
    ~ServerAddress() {
        if (saved.isNull())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", saved);
    }
    QByteArray saved;
};

}  // namespace

TEST(RecorderLost, AKilledServerEndsTheRecordingAsAFailureKeepingWhatWasRecorded) {
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()) GTEST_SKIP() << "needs pulseaudio";
    QTemporaryDir runtime;
    const QString socket = runtime.filePath(QStringLiteral("native"));
    ServerProcess server;
    ASSERT_TRUE(
        server.start({QStringLiteral("pulseaudio"), QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                      QStringLiteral("--system=false"), QStringLiteral("--exit-idle-time=-1"),
                      QStringLiteral("--load=module-null-sink sink_name=lostsink rate=48000"),
                      QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket},
                     {QStringLiteral("XDG_RUNTIME_DIR=") + runtime.path(), QStringLiteral("HOME=") + runtime.path()}));
    const ServerAddress address(socket);
    ASSERT_TRUE(waitFor(
        [&] {
            QProcess pactl;
            pactl.start(QStringLiteral("pactl"),
                        {QStringLiteral("-s"), QStringLiteral("unix:") + socket, QStringLiteral("info")});
            return pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
        },
        10000));
    {
        WindowRig rig({}, false);
        ui::TFrecunit1 window(
            audio::makePulseRecorder(QStringLiteral("Sayvell lost test"), QStringLiteral("lostsink.monitor")),
            rig.dialogs);
        window.show();
        const QString take = rig.path("take.wav");
        window.Edit1->setText(take);
        window.btn_start->click();
        ASSERT_TRUE(window.btn_stop->isEnabled()) << rig.dialogs.shown.join(u'|').toStdString();
        // Something recorded first (an idle sink delivers in blocks of two seconds), then the
        // server is gone.
        ASSERT_TRUE(waitFor([&] { return QFileInfo(take).size() > 44; }, 15000));
        kill(server.pid(), SIGKILL);
        ASSERT_TRUE(waitFor([&] { return !rig.dialogs.shown.isEmpty(); }, 10000));
        EXPECT_EQ(rig.dialogs.shown,
                  QStringList{QStringLiteral("error:錄音失敗：聲音設備已斷開！已錄下的聲音保存在：") + take});
        EXPECT_FALSE(window.Timer1->isActive());
        EXPECT_TRUE(window.btn_start->isEnabled());
        EXPECT_FALSE(window.btn_stop->isEnabled());
        EXPECT_EQ(window.recordingMethod(), 0);

        // A WAV file whose header holds exactly the samples it carries.
        QFile f(take);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        ASSERT_GT(bytes.size(), 44);
        const auto le32 = [&bytes](int at) {
            return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 |
                   quint32(quint8(bytes[at + 2])) << 16 | quint32(quint8(bytes[at + 3])) << 24;
        };
        EXPECT_EQ(le32(40), quint32(bytes.size() - 44));
        EXPECT_EQ(le32(4), quint32(bytes.size() - 8));
        SF_INFO info{};
        SNDFILE* sf = sf_open(QFile::encodeName(take).constData(), SFM_READ, &info);
        ASSERT_TRUE(sf);
        sf_close(sf);
        EXPECT_GT(info.frames, 0);
    }
    server.stop();
}
