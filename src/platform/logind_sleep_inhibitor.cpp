#include "platform/sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QUuid>

namespace sayvell::platform {

namespace {

class LogindSleepInhibitor final : public plan::SleepInhibitor {
public:
    explicit LogindSleepInhibitor(QString connectionName) : name_(std::move(connectionName)) {}
    ~LogindSleepInhibitor() override {
        lock_ = QDBusUnixFileDescriptor();
        QDBusConnection::disconnectFromBus(name_);
    }

    void setHeld(bool held) override {
        if (!held) {
            // Closing our copy of the descriptor is what releases the lock.
            lock_ = QDBusUnixFileDescriptor();
            return;
        }
        if (lock_.isValid()) return;
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        call << QStringLiteral("idle:sleep") << QStringLiteral("Sayvell") << QStringLiteral("播報計畫一小時內有播報")
             << QStringLiteral("block");
        const QDBusMessage reply = QDBusConnection(name_).call(call, QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            lock_ = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().first());
    }

private:
    QString name_;
    QDBusUnixFileDescriptor lock_;
};

class NoSleepInhibitor final : public plan::SleepInhibitor {
public:
    void setHeld(bool) override {}
};

}  // namespace

std::unique_ptr<plan::SleepInhibitor> makeLogindSleepInhibitor(QString* notice) {
    const QString name = QStringLiteral("sayvell-inhibit-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    const QDBusConnection bus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, name)
                                                  : QDBusConnection::connectToBus(address, name);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(name);
        if (notice) *notice = QStringLiteral("找不到系統匯流排（D-Bus），電腦閒置時可能進入睡眠而錯過播報。");
        return std::make_unique<NoSleepInhibitor>();
    }
    return std::make_unique<LogindSleepInhibitor>(name);
}

}  // namespace sayvell::platform
