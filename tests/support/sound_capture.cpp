#include "support/sound_capture.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <limits>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sayvell::testing {

bool pulseAvailable() {
    const char* flag = std::getenv("SAYVELL_TEST_PULSE");
    if (!flag || !*flag) return false;
    return std::system("pactl info >/dev/null 2>&1") == 0;
}

MonitorRecorder::~MonitorRecorder() { stop(); }

bool MonitorRecorder::start(std::string* error) {
    stop();
    {
        std::lock_guard lk(m_);
        samples_.clear();
        haveStart_ = false;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        if (error) *error = "pipe failed";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    const std::string device = "--device=" + device_;
    const char* argv[] = {"parecord",     device.c_str(), "--format=s16le",   "--rate=48000",
                          "--channels=1", "--raw",        "--latency-msec=5", nullptr};
    const int rc = posix_spawnp(&pid_, "parecord", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        pid_ = -1;
        if (error) *error = "cannot run parecord";
        return false;
    }
    reader_ = std::thread([this, fd = fds[0]] { readLoop(fd); });
    // The monitor of a running sink delivers silence continuously; wait for the first 50 ms.
    if (!waitForSamples(kRate / 20, 5000)) {
        if (error) *error = "parecord delivers nothing";
        stop();
        return false;
    }
    return true;
}

void MonitorRecorder::readLoop(int fd) {
    std::int16_t buf[2048];
    std::size_t leftover = 0;  // an odd byte kept for the next read
    unsigned char odd = 0;
    for (;;) {
        unsigned char* dst = reinterpret_cast<unsigned char*>(buf);
        if (leftover) dst[0] = odd;
        const ssize_t n = read(fd, dst + leftover, sizeof buf - leftover);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const auto now = Clock::now();
        const std::size_t bytes = leftover + static_cast<std::size_t>(n);
        const std::size_t count = bytes / 2;
        leftover = bytes % 2;
        if (leftover) odd = dst[bytes - 1];
        std::lock_guard lk(m_);
        samples_.insert(samples_.end(), buf, buf + count);
        // Each arrival bounds the start from above; the earliest bound is the tightest.
        const auto candidate = now - std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(static_cast<double>(samples_.size()) / kRate));
        if (!haveStart_ || candidate < start_) {
            start_ = candidate;
            haveStart_ = true;
        }
    }
    close(fd);
}

std::vector<std::int16_t> MonitorRecorder::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
        pid_ = -1;
    }
    if (reader_.joinable()) reader_.join();
    std::lock_guard lk(m_);
    return samples_;
}

MonitorRecorder::Clock::time_point MonitorRecorder::firstSampleTime() const {
    std::lock_guard lk(m_);
    return start_;
}

MonitorRecorder::Clock::time_point MonitorRecorder::timeOfSample(std::size_t index) const {
    return firstSampleTime() + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(static_cast<double>(index) / kRate));
}

std::size_t MonitorRecorder::sampleCount() const {
    std::lock_guard lk(m_);
    return samples_.size();
}

bool MonitorRecorder::waitForSamples(std::size_t samples, int timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (sampleCount() >= samples) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return sampleCount() >= samples;
}

Samples MonitorRecorder::snapshot() const {
    std::lock_guard lk(m_);
    return samples_;
}

std::size_t MonitorRecorder::sampleAt(Clock::time_point t) const {
    const auto since = t - firstSampleTime();
    if (since.count() <= 0) return 0;
    return static_cast<std::size_t>(std::chrono::duration<double>(since).count() * kRate);
}

::testing::AssertionResult MonitorRecorder::recordUntil(const SoundCheck& heard, int deadlineMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
    std::size_t looked = 0;
    for (;;) {
        // Analysed again only when something new came in: 50 ms of sound at least.
        const std::size_t have = sampleCount();
        if (have >= looked + kRate / 20 || looked == 0) {
            looked = std::max<std::size_t>(have, 1);
            if (heard(snapshot())) return ::testing::AssertionSuccess();
        }
        if (Clock::now() > deadline)
            return ::testing::AssertionFailure()
                   << "recording too short: what the test measures was not heard within " << deadlineMs << " ms ("
                   << static_cast<double>(sampleCount()) / kRate << " s recorded)";
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

SoundCheck burstsHeard(std::size_t count, double thresholdDb, int minGapMs) {
    return [=](const Samples& s) {
        const std::vector<Burst> bursts = findBursts(s, MonitorRecorder::kRate, thresholdDb, minGapMs);
        if (bursts.size() > count) return true;
        const double recordedMs = 1000.0 * static_cast<double>(s.size()) / MonitorRecorder::kRate;
        return bursts.size() == count && bursts.back().endMs + minGapMs + 20 <= recordedMs;
    };
}

SoundCheck soundOverBy(std::size_t index, double thresholdDb, int quietMs) {
    return [=](const Samples& s) {
        if (s.size() < index) return false;
        const std::vector<Burst> bursts = findBursts(s, MonitorRecorder::kRate, thresholdDb, quietMs);
        const double recordedMs = 1000.0 * static_cast<double>(s.size()) / MonitorRecorder::kRate;
        return !bursts.empty() && bursts.back().endMs + quietMs <= recordedMs;
    };
}

SoundCheck allOf(SoundCheck a, SoundCheck b) {
    return [a = std::move(a), b = std::move(b)](const Samples& s) { return a(s) && b(s); };
}

std::vector<Burst> findBursts(const std::vector<std::int16_t>& samples, int rate, double thresholdDb, int minGapMs) {
    std::vector<Burst> bursts;
    const std::size_t window = static_cast<std::size_t>(std::max(1, rate / 1000));
    const double threshold = 32768.0 * std::pow(10.0, thresholdDb / 20.0);
    const double msPerWindow = 1000.0 * static_cast<double>(window) / rate;
    bool inBurst = false;
    double lastLoudEnd = 0;
    for (std::size_t start = 0; start + window <= samples.size(); start += window) {
        double sum = 0;
        for (std::size_t i = start; i < start + window; ++i) sum += static_cast<double>(samples[i]) * samples[i];
        const bool loud = std::sqrt(sum / static_cast<double>(window)) > threshold;
        if (!loud) continue;
        const double t = 1000.0 * static_cast<double>(start) / rate;
        if (inBurst && t - lastLoudEnd < minGapMs) {
            bursts.back().endMs = t + msPerWindow;
        } else {
            bursts.push_back({t, t + msPerWindow});
            inBurst = true;
        }
        lastLoudEnd = t + msPerWindow;
    }
    return bursts;
}

double rmsDb(const std::vector<std::int16_t>& samples) {
    if (samples.empty()) return -std::numeric_limits<double>::infinity();
    double sum = 0;
    for (const auto s : samples) sum += static_cast<double>(s) * s;
    return 20.0 * std::log10(std::sqrt(sum / static_cast<double>(samples.size())) / 32768.0);
}

double rmsDb(const float* samples, std::size_t count) {
    if (count == 0) return -std::numeric_limits<double>::infinity();
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return 20.0 * std::log10(std::sqrt(sum / static_cast<double>(count)));
}

}  // namespace sayvell::testing
