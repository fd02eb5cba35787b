#pragma once
#include <functional>

namespace sayvell::app {

// The whole program: single instance, database, sound and speech, the main window, the event
// loop. onShown runs once the window's first frame is drawn (the start-up benchmark uses it).
int runSayvell(int argc, char** argv, const std::function<void()>& onShown = {});

}  // namespace sayvell::app
