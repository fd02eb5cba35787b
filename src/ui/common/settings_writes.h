#pragma once
// A command's writes to setinfo.ini. A write the system refuses shows "Unable to write to …"
// in an error box and makes none of the command's later writes.
#include "store/settings_file.h"
#include "ui/common/dialogs.h"

namespace sayvell::ui {

// False when a write was refused (the user has been told).
template <typename Writes>
bool writeSettings(Dialogs& dialogs, Writes&& writes) {
    try {
        store::SettingsFile ini;
        writes(ini);
        return true;
    } catch (const store::SettingsWriteError& e) {
        dialogs.error(QString::fromUtf8(e.what()));
        return false;
    }
}

}  // namespace sayvell::ui
