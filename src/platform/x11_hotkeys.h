#pragma once
// Bare-key grabs on the root window of the X display Qt is connected to. Only valid when
// QGuiApplication::platformName() is "xcb".
#include "platform/global_hotkeys.h"

namespace sayvell::platform {

std::unique_ptr<GlobalHotkeys> makeX11Hotkeys();

}  // namespace sayvell::platform
