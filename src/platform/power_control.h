#pragma once
// Asking the system to power off. The real one is systemd-logind over the system bus; it never
// forces, so inhibitors and the desktop's own questions still apply.
#include <QString>
#include <memory>

namespace sayvell::platform {

class PowerControl {
public:
    virtual ~PowerControl() = default;
    // False with *error (ready to show) when the request was refused or no service answers.
    virtual bool powerOff(QString* error) = 0;
};

// logind's PowerOff on the system bus named by DBUS_SYSTEM_BUS_ADDRESS (or the default one).
std::unique_ptr<PowerControl> makeLogindPowerControl();

}  // namespace sayvell::platform
