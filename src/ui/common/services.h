#pragma once
// What the main window is given at start-up. The program passes the real services; tests
// pass fakes. Each may be a do-nothing stand-in when the machine lacks it.
#include "platform/media_player.h"

#include <QString>

namespace sayvell::audio {
class AudioEngine;
}
namespace sayvell::reading {
class Clock;
class SpeechEngine;
}  // namespace sayvell::reading
namespace sayvell::store {
class TDM;
}
namespace sayvell::platform {
class PowerControl;
}

namespace sayvell::ui {

class Dialogs;

struct Services {
    reading::SpeechEngine& speech;
    store::TDM& dm;
    Dialogs& dialogs;
    reading::Clock& clock;
    audio::AudioEngine* audio = nullptr;  // null when tests run without one
    // Said once, at the first reading, when the sound goes nowhere.
    QString noSoundReason;
    // Null where the program is not to power the machine off (tests): a power-off task then
    // ends the program only.
    platform::PowerControl* power = nullptr;
    // Puts a player in the desktop's media controls; empty where none is wanted (tests).
    platform::MediaPlayerFactory mediaPlayers;
};

}  // namespace sayvell::ui
