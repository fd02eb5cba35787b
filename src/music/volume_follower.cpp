#include "music/volume_follower.h"

namespace sayvell::music {

FollowerStep followVolume(const FollowerInput& in) {
    FollowerStep step{in.level, std::nullopt};
    if (!in.live) return step;
    if (in.readingActive) {
        // Every tick, so a change of the reading volume during the reading lands within one.
        step.level = in.readingVolume;
        step.volume = in.readingVolume;
    } else if (in.musicVolume > in.level) {
        step.level = in.level + 1;
        step.volume = step.level;
    }
    return step;
}

}  // namespace sayvell::music
