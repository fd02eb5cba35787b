#pragma once
// Stand-ins for systemd-logind and the desktop portal, served on a private bus from a thread
// of their own, so a blocking call of the program under test gets its answer.
#include "platform/portal_hotkeys.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <atomic>
#include <functional>
#include <memory>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace sayvell::testing {

// Runs `make` in its own thread, registers the object it returns under `service` at `path`
// on the bus at `address`, and serves until destroyed.
class ServiceThread : public QThread {
public:
    ServiceThread(QString address, QString service, QString path, std::function<QObject*(QDBusConnection)> make)
        : address_(std::move(address)), service_(std::move(service)), path_(std::move(path)), make_(std::move(make)) {}
    ~ServiceThread() override {
        quit();
        wait();
    }
    // False when the bus refused the name or the object.
    bool startServing() {
        start();
        while (state_ == 0) msleep(2);
        return state_ == 1;
    }

protected:
    void run() override {
        const QString name = QStringLiteral("fake-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        {
            QDBusConnection bus = QDBusConnection::connectToBus(address_, name);
            std::unique_ptr<QObject> object(make_(bus));
            const bool ok =
                bus.isConnected() &&
                bus.registerObject(path_, object.get(),
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
                bus.registerService(service_);
            state_ = ok ? 1 : 2;
            if (ok) exec();
            bus.unregisterService(service_);
        }
        QDBusConnection::disconnectFromBus(name);
    }

private:
    QString address_, service_, path_;
    std::function<QObject*(QDBusConnection)> make_;
    std::atomic<int> state_{0};
};

class FakeLogind : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QStringList calls() const {
        QMutexLocker lock(&mutex_);
        return calls_;
    }
    QString refusal;                     // set before serving: an AccessDenied answer with this text
    std::atomic<int> answerAfterMs = 0;  // the answer comes this late, as while polkit asks

public slots:
    void PowerOff(bool interactive) { note(QStringLiteral("PowerOff(%1)").arg(interactive)); }
    // Present so that a forcing call would be seen, not answered with "unknown method".
    void PowerOffWithFlags(qulonglong flags) { note(QStringLiteral("PowerOffWithFlags(%1)").arg(flags)); }
    void Reboot(bool interactive) { note(QStringLiteral("Reboot(%1)").arg(interactive)); }
    // The caller's lock is the write end of a pipe; the read end here sees it closed.
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode) {
        note(QStringLiteral("Inhibit(%1,%2,%3)").arg(what, mode, who));
        (void)why;
        int fds[2];
        if (::pipe(fds) != 0) return {};
        QDBusUnixFileDescriptor lock(fds[1]);
        ::close(fds[1]);
        QMutexLocker hold(&mutex_);
        inhibitReads_.push_back(fds[0]);
        return lock;
    }

public:
    // True once every lock handed out has been closed by its holder.
    bool inhibitorsReleased() const {
        QMutexLocker hold(&mutex_);
        for (int fd : inhibitReads_) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 0) != 1 || !(p.revents & POLLHUP)) return false;
        }
        return true;
    }
    int inhibitCount() const {
        QMutexLocker hold(&mutex_);
        return int(inhibitReads_.size());
    }

private:
    void note(const QString& call) {
        {
            QMutexLocker lock(&mutex_);
            calls_ << call;
        }
        if (!refusal.isEmpty()) {
            sendErrorReply(QDBusError::AccessDenied, refusal);
        } else if (answerAfterMs > 0) {
            setDelayedReply(true);
            QTimer::singleShot(answerAfterMs.load(), this,
                               [bus = connection(), reply = message().createReply()] { bus.send(reply); });
        }
    }
    mutable QMutex mutex_;
    QStringList calls_;
    std::vector<int> inhibitReads_;
};

class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    explicit FakePortal(QDBusConnection bus) : bus_(bus) { platform::registerPortalTypes(); }
    uint version() const { return 1; }

    struct Bound {
        QString session;
        QStringList ids;
        QStringList triggers;
    };
    std::vector<Bound> bindings() const {
        QMutexLocker lock(&mutex_);
        return bindings_;
    }
    QString session() const {
        QMutexLocker lock(&mutex_);
        return session_;
    }
    // The desktop delivering a key; callable from any thread.
    void activate(const QString& session, const QString& id) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.GlobalShortcuts"),
                                                         QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(1) << QVariantMap();
        bus_.send(signal);
    }
    std::atomic<uint> bindAnswer{0};  // 0 granted, 1 cancelled by the user

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options) {
        const QString sender = senderPart();
        const QString handle = requestPath(options);
        {
            QMutexLocker lock(&mutex_);
            session_ = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                           .arg(sender, options.value(QStringLiteral("session_handle_token")).toString());
        }
        // The documented type of the session handle is a string.
        respondLater(handle, 0, {{QStringLiteral("session_handle"), session()}});
        return QDBusObjectPath(handle);
    }

    QDBusObjectPath BindShortcuts(const QDBusObjectPath& session,
                                  const QList<sayvell::platform::PortalShortcut>& shortcuts, const QString&,
                                  const QVariantMap& options) {
        Bound b{session.path(), {}, {}};
        for (const auto& s : shortcuts) {
            b.ids << s.id;
            b.triggers << s.properties.value(QStringLiteral("preferred_trigger")).toString();
        }
        {
            QMutexLocker lock(&mutex_);
            bindings_.push_back(b);
        }
        const QString handle = requestPath(options);
        QVariantMap results;
        results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts));
        respondLater(handle, bindAnswer, bindAnswer == 0 ? results : QVariantMap());
        return QDBusObjectPath(handle);
    }

private:
    QString senderPart() const { return message().service().mid(1).replace(u'.', u'_'); }
    QString requestPath(const QVariantMap& options) const {
        return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
            .arg(senderPart(), options.value(QStringLiteral("handle_token")).toString());
    }
    // As a real portal does: the method returns first, the Response signal follows.
    void respondLater(const QString& path, uint response, const QVariantMap& results) {
        QMetaObject::invokeMethod(
            this,
            [this, path, response, results] {
                QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                                 QStringLiteral("Response"));
                signal << response << results;
                bus_.send(signal);
            },
            Qt::QueuedConnection);
    }

    QDBusConnection bus_;
    mutable QMutex mutex_;
    QString session_;
    std::vector<Bound> bindings_;
};

}  // namespace sayvell::testing
