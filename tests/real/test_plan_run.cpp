// `sayvell plan run` as a shop PC runs it: no display, the real executable, the private
// PulseAudio of with_pulse.sh, a plan whose entry falls a few seconds from now.
#include "support/sound_capture.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

namespace sayvell {
namespace {

using testing::MonitorRecorder;

struct Copy {
    QTemporaryDir dir;
    Copy() {
        QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/sayvell"), exe());
        QFile::setPermissions(exe(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
        QFile::setPermissions(dir.filePath("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
        QFile ini(dir.filePath("setinfo.ini"));
        ini.open(QIODevice::WriteOnly);
    }
    QString exe() const { return dir.filePath("sayvell"); }
};

QProcessEnvironment noDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

struct Outcome {
    int code = -1;
    QString out, err;
};

Outcome run(const Copy& c, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(noDisplay());
    p.start(c.exe(), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// An entry due `inSeconds` from now (on a whole second); returns that second.
qint64 importEntry(const Copy& c, int inSeconds, const QString& extra) {
    const qint64 due = QDateTime::currentSecsSinceEpoch() + inSeconds;
    const QString time = QDateTime::fromSecsSinceEpoch(due).toString(QStringLiteral("HH:mm:ss"));
    QFile f(c.dir.filePath("plan.json"));
    f.open(QIODevice::WriteOnly);
    f.write(QStringLiteral("{\"format\":\"sayvell-plan\",\"version\":1,\"entries\":[{\"name\":\"開門\","
                           "\"text\":\"各位顧客您好，歡迎光臨。\",\"times\":[\"%1\"]%2}]}")
                .arg(time, extra)
                .toUtf8());
    f.close();
    const Outcome r = run(c, {"plan", "import", f.fileName()});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    return due;
}

class Player {
public:
    explicit Player(const Copy& c) {
        p_.setProcessEnvironment(noDisplay());
        p_.start(c.exe(), {"plan", "run"});
    }
    ~Player() {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished(5000);
        }
    }
    // Waits for the n-th line holding `text` on standard output.
    bool waitFor(const QString& text, int n, int timeoutMs) {
        QElapsedTimer t;
        t.start();
        while (out_.count(text) < n && t.elapsed() < timeoutMs) {
            p_.waitForReadyRead(100);
            out_ += QString::fromUtf8(p_.readAllStandardOutput());
            if (p_.state() == QProcess::NotRunning) break;
        }
        return out_.count(text) >= n;
    }
    QProcess& process() { return p_; }
    QString output() const { return out_; }

private:
    QProcess p_;
    QString out_;
};

// The steady-clock moment of a wall-clock second.
MonitorRecorder::Clock::time_point steadyOf(qint64 epochSeconds) {
    const auto steady = MonitorRecorder::Clock::now();
    const qint64 wallMs = QDateTime::currentMSecsSinceEpoch();
    return steady + std::chrono::milliseconds(epochSeconds * 1000 - wallMs);
}

double msBetween(MonitorRecorder::Clock::time_point a, MonitorRecorder::Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

}  // namespace

TEST(PlanRun, PlaysTheChimeAndTheTextTwiceAtItsSecondStopsOnSigtermAndRefusesASecondPlayer) {
    if (!testing::pulseAvailable()) GTEST_SKIP() << "needs with_pulse.sh";
    Copy c;
    const qint64 due = importEntry(c, 5, QStringLiteral(",\"chime\":\"builtin\",\"repeat\":2,\"gapSeconds\":2"));
    MonitorRecorder rec;
    std::string error;
    ASSERT_TRUE(rec.start(&error)) << error;
    Player player(c);
    ASSERT_TRUE(player.waitFor(QStringLiteral("下次播報"), 1, 20000)) << player.output().toStdString();

    const Outcome second = run(c, {"plan", "run"});
    EXPECT_EQ(second.code, 1);
    EXPECT_TRUE(
        second.err.contains(QStringLiteral("已由 sayvell plan run（PID %1）播放").arg(player.process().processId())))
        << second.err.toStdString();

    ASSERT_TRUE(player.waitFor(QStringLiteral("正在播報：開門"), 1, 20000)) << player.output().toStdString();
    ASSERT_TRUE(player.waitFor(QStringLiteral("下次播報"), 2, 60000)) << player.output().toStdString();
    const auto dueAt = steadyOf(due);
    // Half a second more, for the tail of the second pass.
    rec.waitForSamples(rec.sampleCount() + MonitorRecorder::kRate / 2, 5000);
    const std::vector<std::int16_t> samples = rec.stop();

    // Bursts: the chime with the first pass right behind it, a 2 s gap, the second pass.
    const auto bursts = testing::findBursts(samples, MonitorRecorder::kRate, -40.0, 1500);
    ASSERT_EQ(bursts.size(), 2u);
    const auto first = rec.firstSampleTime() + std::chrono::microseconds(qint64(bursts[0].startMs * 1000));
    const double late = msBetween(dueAt, first);
    EXPECT_GT(late, -50.0);
    EXPECT_LT(late, 500.0);
    const double gap = bursts[1].startMs - bursts[0].endMs;
    EXPECT_GT(gap, 1800.0);
    EXPECT_LT(gap, 2600.0);
    // The chime (about 1.6 s) before the text makes the first pass the longer one.
    EXPECT_GT(bursts[0].lengthMs() - bursts[1].lengthMs(), 1000.0);

    QElapsedTimer t;
    t.start();
    ::kill(pid_t(player.process().processId()), SIGTERM);
    ASSERT_TRUE(player.process().waitForFinished(3000));
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(player.process().exitCode(), 0);
    const Outcome log = run(c, {"plan", "log"});
    EXPECT_TRUE(log.out.contains(QStringLiteral("已播放\t開門"))) << log.out.toStdString();
}

TEST(PlanRun, AnEntrySentToASecondSinkIsHeardThereAndNotOnTheDefault) {
    if (!testing::pulseAvailable()) GTEST_SKIP() << "needs with_pulse.sh";
    QProcess load;
    load.start(QStringLiteral("pactl"), {"load-module", "module-null-sink", "sink_name=zone2", "rate=48000"});
    ASSERT_TRUE(load.waitForFinished(10000));
    const QString module = QString::fromUtf8(load.readAllStandardOutput()).trimmed();
    ASSERT_FALSE(module.isEmpty());
    struct Unload {
        QString module;
        ~Unload() { QProcess::execute(QStringLiteral("pactl"), {"unload-module", module}); }
    } unload{module};

    Copy c;
    importEntry(c, 4, QStringLiteral(",\"sink\":\"zone2\""));
    MonitorRecorder home, zone("zone2.monitor");
    std::string error;
    ASSERT_TRUE(home.start(&error)) << error;
    ASSERT_TRUE(zone.start(&error)) << error;
    Player player(c);
    ASSERT_TRUE(player.waitFor(QStringLiteral("正在播報：開門"), 1, 20000)) << player.output().toStdString();
    ASSERT_TRUE(player.waitFor(QStringLiteral("下次播報"), 2, 60000)) << player.output().toStdString();
    zone.waitForSamples(zone.sampleCount() + MonitorRecorder::kRate / 2, 5000);
    const auto there = zone.stop();
    const auto here = home.stop();
    EXPECT_FALSE(testing::findBursts(there, MonitorRecorder::kRate).empty());
    EXPECT_TRUE(testing::findBursts(here, MonitorRecorder::kRate).empty());
    EXPECT_GT(testing::rmsDb(there), -45.0);
}

}  // namespace sayvell
