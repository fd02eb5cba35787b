#pragma once
// logind's idle-sleep inhibitor for the announcement plan. An explicit power-off still wins:
// the lock is "idle:sleep" only, in "block" mode.
#include "plan/plan_player.h"

#include <memory>

namespace sayvell::platform {

// The real one on the system bus named by DBUS_SYSTEM_BUS_ADDRESS (or the default one); where
// there is no bus or no logind, a version that says so once (to *notice) and does nothing.
std::unique_ptr<plan::SleepInhibitor> makeLogindSleepInhibitor(QString* notice = nullptr);

}  // namespace sayvell::platform
