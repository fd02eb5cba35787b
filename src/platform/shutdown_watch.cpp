#include "platform/shutdown_watch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QMutex>
#include <QPointer>
#include <QSocketNotifier>
#include <QUuid>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace sayvell::platform {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");

QMutex makerMutex;
std::function<std::unique_ptr<ShutdownWatch>()> testMaker;  // guarded by makerMutex

// SIGTERM reaches the event loop through a pipe: the handler may only write(2).
int termPipe[2] = {-1, -1};

void onTerm(int) {
    const char byte = 't';
    const ssize_t n = ::write(termPipe[1], &byte, 1);
    (void)n;  // a full pipe already holds a notice
}

class TermDispatch : public QObject {
public:
    static TermDispatch& instance() {
        static auto* d = new TermDispatch;  // lives as long as the signal handler may
        return *d;
    }
    // SIGTERM is ours while a watch listens; without one it ends the program as usual.
    void add(ShutdownWatch* w) {
        watches_.push_back(w);
        if (watches_.size() == 1 && notifier_) {
            struct sigaction sa {};
            sa.sa_handler = onTerm;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESTART;
            ::sigaction(SIGTERM, &sa, &previous_);
        }
    }
    void remove(ShutdownWatch* w) {
        std::erase(watches_, w);
        if (watches_.empty() && notifier_) ::sigaction(SIGTERM, &previous_, nullptr);
    }

private:
    TermDispatch() {
        if (::pipe2(termPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        notifier_ = new QSocketNotifier(termPipe[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            char buf[64];
            while (::read(termPipe[0], buf, sizeof buf) > 0) {}
            // A copy: a watch may go away while the notice is handled.
            std::vector<QPointer<ShutdownWatch>> watches(watches_.begin(), watches_.end());
            for (const auto& w : watches)
                if (w) emit w->shutdownComing(ShutdownWatch::Reason::Terminate);
        });
    }
    std::vector<ShutdownWatch*> watches_;
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_ {};
};

class SystemShutdownWatch : public ShutdownWatch {
    Q_OBJECT
public:
    SystemShutdownWatch() {
        TermDispatch::instance().add(this);
        busName_ = QStringLiteral("sayvell-shutdown-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        // By address when one is named: libdbus reads the variable only once per process.
        const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
        QDBusConnection bus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, busName_)
                                                : QDBusConnection::connectToBus(address, busName_);
        if (!bus.isConnected()) {
            reason_ = QStringLiteral("找不到系統匯流排（D-Bus）");
            return;
        }
        if (!bus.connect(kService, kPath, kInterface, QStringLiteral("PrepareForShutdown"), this,
                         SLOT(prepareForShutdown(bool)))) {
            reason_ = QStringLiteral("無法接收系統的關機通知");
            return;
        }
        takeLock();
    }
    ~SystemShutdownWatch() override {
        TermDispatch::instance().remove(this);
        lock_ = {};
        QDBusConnection::disconnectFromBus(busName_);
    }

    void release() override { lock_ = QDBusUnixFileDescriptor(); }
    QString unavailableReason() const override { return reason_; }

private slots:
    void prepareForShutdown(bool starting) {
        if (starting) {
            emit shutdownComing(Reason::SystemShutdown);
        } else if (!lock_.isValid()) {
            takeLock();  // the shutdown was called off: be ready for the next one
        }
    }

private:
    void takeLock() {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
        call << QStringLiteral("shutdown") << QStringLiteral("Sayvell") << QStringLiteral("保存未保存的文章")
             << QStringLiteral("delay");
        // Asynchronous: a slow or absent logind never holds up the window.
        auto* watcher = new QDBusPendingCallWatcher(QDBusConnection(busName_).asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
            w->deleteLater();
            if (reply.isError()) {
                reason_ = QStringLiteral("系統不接受關機延遲（%1）").arg(reply.error().message());
                return;
            }
            lock_ = reply.value();
            reason_.clear();
        });
    }

    QString busName_;
    QString reason_;
    QDBusUnixFileDescriptor lock_;  // closing the last copy lets the shutdown go on
};

}  // namespace

std::unique_ptr<ShutdownWatch> makeShutdownWatch() {
    {
        QMutexLocker lock(&makerMutex);
        if (testMaker) return testMaker();
    }
    return std::make_unique<SystemShutdownWatch>();
}

void setShutdownWatchMakerForTesting(std::function<std::unique_ptr<ShutdownWatch>()> maker) {
    QMutexLocker lock(&makerMutex);
    testMaker = std::move(maker);
}

}  // namespace sayvell::platform

#include "shutdown_watch.moc"
