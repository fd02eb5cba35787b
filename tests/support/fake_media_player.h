#pragma once
// A player of the desktop's media controls that keeps what it was told, and factories that
// hand such players out; a test sends the desktop's requests by emitting its signals.
#include "platform/media_player.h"

#include <memory>
#include <vector>

namespace sayvell::testing {

class FakeMediaPlayer : public platform::MediaPlayer {
public:
    void publish(const platform::MediaPlayerState& state) override { state_ = state; }
    platform::MediaPlayerState published() const override { return state_; }
    void setPositionSource(std::function<qint64()> positionUs) override { position = std::move(positionUs); }

    std::function<qint64()> position;

private:
    platform::MediaPlayerState state_;
};

// made[0] is the reading, made[1] the music, in the order the program asks for them.
struct FakeMediaPlayers {
    std::shared_ptr<std::vector<FakeMediaPlayer*>> made = std::make_shared<std::vector<FakeMediaPlayer*>>();
    platform::MediaPlayerFactory factory() const {
        return [made = made](const platform::MediaPlayerIdentity&) {
            auto player = std::make_unique<FakeMediaPlayer>();
            made->push_back(player.get());
            return std::unique_ptr<platform::MediaPlayer>(std::move(player));
        };
    }
};

}  // namespace sayvell::testing
