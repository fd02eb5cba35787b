#pragma once
// Global keys for tests: press() is the desktop delivering a key; held() marks a key another
// program holds.
#include "platform/global_hotkeys.h"

#include <array>

namespace sayvell::testing {

class FakeHotkeys : public platform::GlobalHotkeys {
public:
    bool registerHotkey(int index) override {
        ++registrations;
        if (index < 0 || index >= platform::kHotkeyCount || held[static_cast<size_t>(index)]) return false;
        registered[static_cast<size_t>(index)] = true;
        return true;
    }
    void unregisterHotkey(int index) override { registered[static_cast<size_t>(index)] = false; }
    bool isRegistered(int index) const override { return registered[static_cast<size_t>(index)]; }
    // Only a registered key reaches the program, as with a real grab.
    void press(int index) {
        if (isRegistered(index)) emit activated(index);
    }

    std::array<bool, platform::kHotkeyCount> registered{};
    std::array<bool, platform::kHotkeyCount> held{};
    int registrations = 0;
};

}  // namespace sayvell::testing
