#pragma once
// Listening to what the private PulseAudio of with_pulse.sh plays, and measuring it.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace sayvell::testing {

// Recorded sound, mono s16le at the recorder's rate.
using Samples = std::vector<std::int16_t>;
// Says whether what has been recorded so far holds everything a test measures.
using SoundCheck = std::function<bool(const Samples&)>;
// A recording ends as soon as what it measures has been heard; this is only the limit for a
// sound that never comes, set far beyond any loaded machine's delay.
constexpr int kRecordDeadlineMs = 30000;

// True when the tests run under with_pulse.sh (SAYVELL_TEST_PULSE) and its server answers.
bool pulseAvailable();

// Records the null sink's monitor (mono s16le at 48 kHz) with parecord.
class MonitorRecorder {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kRate = 48000;

    MonitorRecorder() = default;
    // Another source than the null sink's monitor, e.g. "zone2.monitor".
    explicit MonitorRecorder(std::string device) : device_(std::move(device)) {}
    ~MonitorRecorder();
    // Returns once samples flow (false with *error when parecord cannot run or stays silent).
    bool start(std::string* error = nullptr);
    // Stops parecord and returns everything recorded.
    std::vector<std::int16_t> stop();
    // Steady-clock time of the first recorded sample (valid after start()).
    Clock::time_point firstSampleTime() const;
    // Steady-clock time of sample `index`.
    Clock::time_point timeOfSample(std::size_t index) const;
    // Blocks until at least `samples` have arrived or `timeoutMs` ran out.
    bool waitForSamples(std::size_t samples, int timeoutMs) const;
    std::size_t sampleCount() const;
    // What has been recorded so far (recording goes on).
    Samples snapshot() const;
    // Keeps recording, letting Qt events run and looking at the recording as it grows, until
    // `heard` holds. Fails with "recording too short" when the deadline passes first.
    ::testing::AssertionResult recordUntil(const SoundCheck& heard, int deadlineMs = kRecordDeadlineMs);
    // Sample index of steady-clock time `t` (0 before the recording).
    std::size_t sampleAt(Clock::time_point t) const;

private:
    void readLoop(int fd);

    std::string device_ = "nullsink.monitor";
    pid_t pid_ = -1;
    std::thread reader_;
    mutable std::mutex m_;
    Samples samples_;
    bool haveStart_ = false;
    Clock::time_point start_{};
};

struct Burst {
    double startMs = 0;
    double endMs = 0;
    double lengthMs() const { return endMs - startMs; }
};

// Stretches of sound above `thresholdDb` (dBFS over 1 ms windows) separated by at least
// `minGapMs` of quiet.
std::vector<Burst> findBursts(const std::vector<std::int16_t>& samples, int rate, double thresholdDb = -40.0,
                              int minGapMs = 80);
// At least `count` bursts have been heard and the last of them is over: the quiet after it
// (`minGapMs` and more) has been recorded too, so its end is known.
SoundCheck burstsHeard(std::size_t count, double thresholdDb = -40.0, int minGapMs = 80);
// The recording reaches sample `index` and what it holds ends in at least `quietMs` of quiet
// after some sound: whatever was played before that moment has been heard to its end.
SoundCheck soundOverBy(std::size_t index, double thresholdDb = -40.0, int quietMs = 150);
// Both hold.
SoundCheck allOf(SoundCheck a, SoundCheck b);

// Level in dBFS (-inf for silence).
double rmsDb(const std::vector<std::int16_t>& samples);
double rmsDb(const float* samples, std::size_t count);

}  // namespace sayvell::testing
