#pragma once
// A private system bus with a fake logind on it: while it lives, every system-bus call of this
// process goes there, never to the machine's own logind.
#include "platform/fake_services.h"
#include "platform/private_servers.h"

#include <memory>

namespace sayvell::testing {

class FakeLogindBus {
public:
    // False when dbus-daemon is missing.
    bool start() {
        saved_ = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (!bus_.start()) return false;
        redirected_ = true;
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus_.address().toUtf8());
        return true;
    }
    // The fake logind on the bus; null when it could not be registered.
    FakeLogind* serveLogind() {
        service_ = std::make_unique<ServiceThread>(bus_.address(), QStringLiteral("org.freedesktop.login1"),
                                                   QStringLiteral("/org/freedesktop/login1"),
                                                   [this](QDBusConnection) { return logind_ = new FakeLogind; });
        return service_->startServing() ? logind_ : nullptr;
    }
    ~FakeLogindBus() {
        service_.reset();
        if (!redirected_) return;
        bus_.stop();
        if (saved_.isNull())
            qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        else
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", saved_);
    }

private:
    PrivateBus bus_;
    std::unique_ptr<ServiceThread> service_;
    FakeLogind* logind_ = nullptr;
    QByteArray saved_;
    bool redirected_ = false;
};

}  // namespace sayvell::testing
