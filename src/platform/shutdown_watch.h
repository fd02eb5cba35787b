#pragma once
// Notice that the session is about to end, early enough to put unsaved work on disk: SIGTERM
// (the desktop's or a user's kill) and systemd-logind's PrepareForShutdown, which we delay
// with a "delay" inhibitor lock until released.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace sayvell::platform {

class ShutdownWatch : public QObject {
    Q_OBJECT
public:
    enum class Reason {
        Terminate,       // SIGTERM: the program is to end once its work is safe
        SystemShutdown,  // the machine powers off or reboots; the session ends us later
    };
    using QObject::QObject;

    // Lets the shutdown go on: call once the work is safe (after shutdownComing). A later
    // cancelled shutdown takes the lock again.
    virtual void release() {}
    // Why the watch cannot see a system shutdown; empty when it can (or is still asking).
    virtual QString unavailableReason() const { return {}; }

signals:
    void shutdownComing(sayvell::platform::ShutdownWatch::Reason reason);
};

// SIGTERM, plus logind on the system bus named by DBUS_SYSTEM_BUS_ADDRESS (or the default
// one); without a bus or logind it still sees SIGTERM.
std::unique_ptr<ShutdownWatch> makeShutdownWatch();

// Tests replace the watch the window makes; an empty function restores the real one.
void setShutdownWatchMakerForTesting(std::function<std::unique_ptr<ShutdownWatch>()> maker);

}  // namespace sayvell::platform
