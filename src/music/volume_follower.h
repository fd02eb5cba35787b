#pragma once
// The music's volume under a reading, decided once per 20 ms tick: held at the reading volume
// while a reading runs, then rising one hundredth a tick back to the music volume.
#include <optional>

namespace sayvell::music {

struct FollowerInput {
    bool readingActive = false;
    bool live = false;       // a track is loaded
    int musicVolume = 40;    // bj_v, hundredths
    int readingVolume = 10;  // bj_v1, hundredths
    int level = 10;          // musicLevel before the tick
};

struct FollowerStep {
    int level = 0;              // musicLevel after the tick
    std::optional<int> volume;  // hundredths to apply now, when the tick sets one
};

FollowerStep followVolume(const FollowerInput& in);

}  // namespace sayvell::music
