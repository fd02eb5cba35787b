#include "platform/power_control.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QUuid>
#include <QtGlobal>

namespace sayvell::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");
// The desktop may ask for a password (polkit) before it answers.
constexpr int kAnswerTimeoutMs = 60000;

class LogindPowerControl : public PowerControl {
public:
    explicit LogindPowerControl(QString connectionName) : name_(std::move(connectionName)) {}
    ~LogindPowerControl() override { QDBusConnection::disconnectFromBus(name_); }

    bool powerOff(QString* error) override {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("PowerOff"));
        // "interactive": lets polkit ask the user; it does not force past inhibitors.
        call << true;
        // The window keeps drawing and answering while polkit's question is open.
        const QDBusMessage reply = QDBusConnection(name_).call(call, QDBus::BlockWithGui, kAnswerTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage) return true;
        if (error) *error = describe(reply.errorName(), reply.errorMessage());
        return false;
    }

private:
    static QString describe(const QString& name, const QString& message) {
        const QDBusError::ErrorType type = QDBusError(QDBusMessage::createError(name, message)).type();
        switch (type) {
        case QDBusError::ServiceUnknown: return QStringLiteral("系統沒有提供關機服務（systemd-logind），無法關機。");
        case QDBusError::NoReply:
        case QDBusError::Timeout:
        case QDBusError::TimedOut: return QStringLiteral("系統沒有回應關機要求。");
        case QDBusError::AccessDenied: return QStringLiteral("沒有關機的權限：%1").arg(message);
        default: return QStringLiteral("系統拒絕關機：%1").arg(message.isEmpty() ? name : message);
        }
    }

    QString name_;
};

class NoPowerControl : public PowerControl {
public:
    explicit NoPowerControl(QString reason) : reason_(std::move(reason)) {}
    bool powerOff(QString* error) override {
        if (error) *error = reason_;
        return false;
    }

private:
    QString reason_;
};

}  // namespace

std::unique_ptr<PowerControl> makeLogindPowerControl() {
    // A connection of its own, so the bus named by DBUS_SYSTEM_BUS_ADDRESS now is the one used.
    const QString name = QStringLiteral("sayvell-power-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    // libdbus reads the variable once per process; it is read here at every call instead.
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    const QDBusConnection bus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, name)
                                                  : QDBusConnection::connectToBus(address, name);
    if (!bus.isConnected()) {
        const QString why = bus.lastError().message();
        QDBusConnection::disconnectFromBus(name);
        return std::make_unique<NoPowerControl>(
            QStringLiteral("找不到系統匯流排（D-Bus），無法關機%1。").arg(why.isEmpty() ? QString() : u'：' + why));
    }
    return std::make_unique<LogindPowerControl>(name);
}

}  // namespace sayvell::platform
