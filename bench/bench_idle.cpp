// Idle cost of the running program: CPU share of one core and resident memory, measured on
// the real executable after it has settled.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace {

long long cpuTicks(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();  // utime + stime
}

long long rssKb(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir, runtime;
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/sayvell"), dir.filePath("sayvell"));
    QFile::setPermissions(dir.filePath("sayvell"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
    QFile::setPermissions(dir.filePath("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains("DISPLAY")) env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    p.setProcessEnvironment(env);
    p.start(dir.filePath("sayvell"), {});
    if (!p.waitForStarted(5000)) return 1;
    QThread::sleep(4);  // let start-up finish
    const long hz = sysconf(_SC_CLK_TCK);
    const long long before = cpuTicks(p.processId());
    const int seconds = 20;
    QThread::sleep(seconds);
    const long long after = cpuTicks(p.processId());
    const long long rss = rssKb(p.processId());
    std::printf("sound: %s\n", qEnvironmentVariableIsSet("PULSE_SERVER") ? "PulseAudio" : "default server or none");
    std::printf("idle CPU: %.2f %% of a core over %d s (goal <= 0.5 %%)\n",
                100.0 * double(after - before) / double(hz) / seconds, seconds);
    std::printf("resident memory: %.1f MB (goal <= 80 MB)\n", rss / 1024.0);
    p.kill();
    p.waitForFinished(5000);
    return 0;
}
