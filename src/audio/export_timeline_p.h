#pragma once
// The sound of an export as read, laid down in order: speech, silence and the music bed.
#include "audio/speech_export.h"
#include "audio/wav_writer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace sayvell::audio::detail {

class MusicSource;

// Speech and silence laid down in order, with the music under them following the volume rule
// once every 20 ms.
class Timeline {
public:
    Timeline(WavWriter& out, int rate, const MusicBed* bed);
    ~Timeline();

    void speech(const std::vector<float>& s) { lay(s.data(), s.size(), true); }
    void silence(std::size_t frames) { lay(nullptr, frames, false); }
    // After the last piece the music rises back, plays a second and fades out.
    void finishMusic();
    std::int64_t frames() const { return frames_; }
    double ms() const { return 1000.0 * static_cast<double>(frames_) / rate_; }

private:
    void lay(const float* speech, std::size_t frames, bool active);

    WavWriter& out_;
    const int rate_;
    const int tick_;
    std::unique_ptr<MusicSource> music_;
    int musicVolume_ = 0;
    int readingVolume_ = 0;
    int level_ = 0;
    float gain_ = 0, startGain_ = 0, targetGain_ = 0;
    int inTick_ = 0;
    std::size_t fadeFrames_ = 0, fadeLeft_ = 0;
    std::int64_t frames_ = 0;
    std::vector<float> mix_;
};

}  // namespace sayvell::audio::detail
