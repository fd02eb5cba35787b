#pragma once
// Servers the desktop tests start for themselves: a private X server (Xvfb), a private D-Bus
// daemon, a tray host. Each is a child process stopped by its PID, never by name, and ended
// by the system if the test process dies first.
#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace sayvell::testing {

class ServerProcess {
public:
    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess() { stop(); }

    // Starts argv; every "{fd}" in it becomes the number of a pipe whose first line is
    // returned by firstLine() (empty when nothing came within timeoutMs). env: "NAME=value".
    bool start(QStringList argv, const QStringList& env = {}, int timeoutMs = 10000) {
        if (argv.isEmpty() || QStandardPaths::findExecutable(argv.first()).isEmpty()) return false;
        int fds[2];
        if (pipe(fds) != 0) return false;
        bool reports = false;
        for (QString& a : argv) {
            reports = reports || a.contains(QStringLiteral("{fd}"));
            a.replace(QStringLiteral("{fd}"), QString::number(fds[1]));
        }
        std::vector<std::string> args;
        for (const QString& a : argv) args.push_back(a.toStdString());
        std::vector<std::string> envs;
        for (const QString& e : env) envs.push_back(e.toStdString());
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            setpgid(0, 0);
            // A test that crashes must not leave its servers behind.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            for (std::string& e : envs) putenv(e.data());
            std::vector<char*> cargs;
            for (std::string& a : args) cargs.push_back(a.data());
            cargs.push_back(nullptr);
            execvp(cargs[0], cargs.data());
            _exit(127);
        }
        close(fds[1]);
        if (pid_ < 0) {
            close(fds[0]);
            return false;
        }
        if (reports) readLine(fds[0], timeoutMs);
        close(fds[0]);
        return running();
    }

    bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    const QString& firstLine() const { return line_; }
    pid_t pid() const { return pid_; }

    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                break;
            }
            usleep(10000);
        }
        pid_ = -1;
    }

private:
    void readLine(int fd, int timeoutMs) {
        QByteArray got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!got.contains('\n')) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buf[256];
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, n);
        }
        line_ = QString::fromUtf8(got.left(got.indexOf('\n'))).trimmed();
    }

    pid_t pid_ = -1;
    QString line_;
};

// Xvfb on the first free display (it picks the number itself); display() is ":N".
class PrivateXServer {
public:
    bool start() {
        if (!server_.start({QStringLiteral("Xvfb"), QStringLiteral("-displayfd"), QStringLiteral("{fd}"),
                            QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24"),
                            QStringLiteral("-nolisten"), QStringLiteral("tcp")}))
            return false;
        if (server_.firstLine().isEmpty()) {
            server_.stop();
            return false;
        }
        display_ = u':' + server_.firstLine();
        return true;
    }
    void stop() { server_.stop(); }
    QString display() const { return display_; }

private:
    ServerProcess server_;
    QString display_;
};

// A dbus-daemon of the test's own, with no service files: nothing is started on demand.
class PrivateBus {
public:
    bool start() {
        if (!dir_.isValid()) return false;
        QFile config(dir_.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly)) return false;
        config.write(
            QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                           "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                .arg(dir_.path())
                .toUtf8());
        config.close();
        if (!daemon_.start({QStringLiteral("dbus-daemon"), QStringLiteral("--nofork"),
                            QStringLiteral("--config-file=") + config.fileName(),
                            QStringLiteral("--print-address={fd}")}))
            return false;
        address_ = daemon_.firstLine();
        return !address_.isEmpty();
    }
    void stop() { daemon_.stop(); }
    QString address() const { return address_; }

private:
    QTemporaryDir dir_;
    ServerProcess daemon_;
    QString address_;
};

}  // namespace sayvell::testing
