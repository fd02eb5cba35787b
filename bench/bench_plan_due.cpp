// `sayvell plan run` against the private PulseAudio of with_pulse.sh:
//  1. due second -> first sample of the chime in the sink's monitor, over 6 announcements
//     (goal: median <= 100 ms);
//  2. the player's CPU while nothing is due for an hour, over 30 s (goal: <= 0.1 % of a core).
#include "support/sound_capture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace sayvell::testing;

namespace {

double cpuSeconds(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    if (fields.size() < 15) return 0;
    return double(fields[13].toLongLong() + fields[14].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!pulseAvailable()) {
        std::fprintf(stderr, "run under tests/support/with_pulse.sh\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("sayvell"));
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/sayvell"), exe);
    QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath(QStringLiteral("draft.dat")));
    QFile::setPermissions(dir.filePath(QStringLiteral("draft.dat")), QFile::ReadOwner | QFile::WriteOwner);

    constexpr int kCount = 6, kSpacing = 5;
    const qint64 first = QDateTime::currentSecsSinceEpoch() + 6;
    QStringList times;
    std::vector<qint64> dues;
    for (int i = 0; i < kCount; ++i) {
        dues.push_back(first + i * kSpacing);
        times << QLatin1Char('"') + QDateTime::fromSecsSinceEpoch(dues.back()).toString(QStringLiteral("HH:mm:ss")) +
                     QLatin1Char('"');
    }
    QFile plan(dir.filePath(QStringLiteral("plan.json")));
    plan.open(QIODevice::WriteOnly);
    plan.write(
        QStringLiteral("{\"format\":\"sayvell-plan\",\"version\":1,\"entries\":[{\"name\":\"鐘\",\"text\":\"好。\","
                       "\"chime\":\"builtin\",\"times\":[%1]}]}")
            .arg(times.join(u','))
            .toUtf8());
    plan.close();
    if (QProcess::execute(exe, {QStringLiteral("plan"), QStringLiteral("import"), plan.fileName()}) != 0) return 1;

    MonitorRecorder rec;
    std::string error;
    if (!rec.start(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // The steady-clock moment of each due second.
    const auto steadyNow = MonitorRecorder::Clock::now();
    const qint64 wallNow = QDateTime::currentMSecsSinceEpoch();
    QProcess player;
    player.start(exe, {QStringLiteral("plan"), QStringLiteral("run")});
    player.waitForStarted();
    while (QDateTime::currentSecsSinceEpoch() < dues.back() + 4) QThread::msleep(200);
    const std::vector<std::int16_t> samples = rec.stop();
    const auto bursts = findBursts(samples, MonitorRecorder::kRate, -40.0, 500);
    std::vector<double> late;
    for (qint64 due : dues) {
        const auto dueAt = steadyNow + std::chrono::milliseconds(due * 1000 - wallNow);
        for (const Burst& b : bursts) {
            const auto at = rec.firstSampleTime() + std::chrono::microseconds(qint64(b.startMs * 1000));
            const double ms = std::chrono::duration<double, std::milli>(at - dueAt).count();
            if (ms > -500 && ms < 2000) {
                late.push_back(ms);
                break;
            }
        }
    }
    std::sort(late.begin(), late.end());
    std::printf("due second -> first chime sample: %zu of %d heard", late.size(), kCount);
    for (double ms : late) std::printf(" %.0f", ms);
    const double median = late.empty() ? 1e9 : late[late.size() / 2];
    std::printf(" ms; median %.0f ms (goal <= 100 ms)\n", median);

    // Nothing due before tomorrow now.
    const double before = cpuSeconds(player.processId());
    QElapsedTimer t;
    t.start();
    QThread::sleep(30);
    const double used = cpuSeconds(player.processId()) - before;
    const double percent = 100.0 * used / (double(t.elapsed()) / 1000.0);
    std::printf("idle CPU of plan run, nothing due for an hour: %.3f %% of a core (goal <= 0.1 %%)\n", percent);
    player.terminate();
    player.waitForFinished(3000);
    return median <= 100 && percent <= 0.1 ? 0 : 1;
}
