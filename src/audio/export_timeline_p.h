#pragma once
// The sound of an export as read, laid down in order: speech, silence and the music bed.
#include "audio/speech_export.h"
#include "audio/wav_writer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sayvell::audio::detail {

class MusicSource;

// Speech and silence laid down in order, with the music under them following the volume rule
// once every 20 ms: held at the reading volume through speech and pauses alike, as under a
// live reading, rising only after finish(). Mixing and writing run on a thread of their own, so that they overlap the
// synthesis of the next piece: the writer belongs to that thread until finish() or abandon()
// has returned. The writer takes mono speech alone, or the mix in `channels` (a mono file gets
// it mixed down as the writer would do it).
class Timeline {
public:
    Timeline(WavWriter& out, int rate, int channels, const MusicBed* bed);
    ~Timeline();  // abandons what is not laid yet

    void speech(std::vector<float> s) { give({std::move(s), 0}); }
    void silence(std::size_t frames) { give({{}, frames}); }
    // Lays everything given; after the last piece the music rises back, plays a second and
    // fades out.
    void finish();
    // Drops what is not laid yet.
    void abandon();
    // The writer failed: what follows is not laid (finish() on the writer says why).
    bool failed() const { return failed_.load(); }
    // Given so far; after finish() with the music's tail.
    std::int64_t frames() const { return frames_ + tailFrames_; }
    double ms() const { return 1000.0 * static_cast<double>(frames()) / rate_; }

private:
    struct Step {
        std::vector<float> speech;  // empty: `silence` frames
        std::size_t silence = 0;
    };
    void give(Step step);
    void run();
    void stop(bool drop);
    void lay(const float* speech, std::size_t frames, bool active);
    void mix(float* out, const float* music, const float* speech, std::size_t from, std::size_t frames);
    void finishMusic();
    void flushMixed();

    WavWriter& out_;
    const int rate_;
    const int channels_;
    const int tick_;
    std::int64_t frames_ = 0;      // the caller's count
    std::int64_t tailFrames_ = 0;  // the music's tail, laid by the thread

    // Shared with the thread.
    std::mutex m_;
    std::condition_variable changed_;
    std::deque<Step> queue_;
    std::size_t queuedSpeech_ = 0;  // frames
    bool closing_ = false;
    bool dropping_ = false;
    std::atomic<bool> failed_{false};
    std::thread thread_;

    // The thread's own.
    std::unique_ptr<MusicSource> music_;
    int musicVolume_ = 0;
    int readingVolume_ = 0;
    int level_ = 0;
    float gain_ = 0, startGain_ = 0, targetGain_ = 0;
    int inTick_ = 0;
    std::size_t fadeFrames_ = 0, fadeLeft_ = 0;
    std::vector<float> mix_;  // the first mixed_ frames are mixed, not yet written
    std::size_t mixed_ = 0;
};

}  // namespace sayvell::audio::detail
