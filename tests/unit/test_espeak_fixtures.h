#pragma once
// The real espeak-ng through the real mixer on a null output: what reaches the mix is what the
// user would hear; WAV files are read back with libsndfile.
#include "audio/audio_engine.h"
#include "reading/espeak_engine.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace sayvell::testing::espeak_rig {

using audio::AudioEngine;
using reading::EspeakEngine;
using reading::PcmFormat;
using Clock = std::chrono::steady_clock;

constexpr float kQuiet = 1e-3f;
inline const QString kCounting = QStringLiteral("一，二，三，四，五，六，七，八，九，十。");

inline double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Seconds from the first to the last sample above the noise floor; -1 when silent.
inline double soundSeconds(const std::vector<float>& mono, int rate) {
    std::size_t first = mono.size(), last = 0;
    for (std::size_t i = 0; i < mono.size(); ++i)
        if (std::fabs(mono[i]) > kQuiet) {
            first = std::min(first, i);
            last = i + 1;
        }
    return first >= last ? -1.0 : static_cast<double>(last - first) / rate;
}

// Seconds of sound above the noise floor. Unlike the span it ignores the gaps an unpaced
// output leaves when it mixes faster than speech arrives.
inline double activeSeconds(const std::vector<float>& mono, int rate) {
    return static_cast<double>(std::count_if(mono.begin(), mono.end(), [](float v) { return std::fabs(v) > kQuiet; })) /
           rate;
}

inline double energy(const std::vector<float>& s) {
    double e = 0;
    for (float v : s) e += static_cast<double>(v) * v;
    return e;
}

inline float peak(const std::vector<float>& s) {
    float p = 0;
    for (float v : s) p = std::max(p, std::fabs(v));
    return p;
}

// Everything the mixer produces, left channel.
class Tap {
public:
    explicit Tap(AudioEngine& engine) : engine_(engine) {
        engine.setTap([this](const float* s, std::size_t frames) {
            {
                std::lock_guard lk(m_);
                for (std::size_t i = 0; i < frames; ++i) left_.push_back(s[2 * i]);
            }
            cv_.notify_all();
        });
    }
    ~Tap() { engine_.setTap(nullptr); }
    void reset() {
        std::lock_guard lk(m_);
        left_.clear();
    }
    std::vector<float> left() {
        std::lock_guard lk(m_);
        return left_;
    }
    std::size_t frames() {
        std::lock_guard lk(m_);
        return left_.size();
    }
    template <class Pred>
    bool waitUntil(Pred pred, int timeoutMs = 10000) {
        std::unique_lock lk(m_);
        return cv_.wait_for(lk, std::chrono::milliseconds(timeoutMs), [&] { return pred(left_); });
    }

private:
    AudioEngine& engine_;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<float> left_;
};

inline bool anySound(const std::vector<float>& s, std::size_t from = 0) {
    return std::any_of(s.begin() + static_cast<std::ptrdiff_t>(std::min(from, s.size())), s.end(),
                       [](float v) { return std::fabs(v) > kQuiet; });
}

struct WavContent {
    int rate = 0;
    int channels = 0;
    int format = 0;
    std::vector<float> left, right;
};

inline WavContent readWav(const QString& path) {
    WavContent w;
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) return w;
    w.rate = info.samplerate;
    w.channels = info.channels;
    w.format = info.format;
    std::vector<float> all(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, all.data(), info.frames);
    sf_close(f);
    for (sf_count_t i = 0; i < info.frames; ++i) {
        w.left.push_back(all[static_cast<std::size_t>(i * info.channels)]);
        if (info.channels > 1) w.right.push_back(all[static_cast<std::size_t>(i * info.channels + 1)]);
    }
    return w;
}

struct Rig {
    explicit Rig(bool paced = false) : audio(audio::makeNullOutput(paced)), tap(audio) {
        audio.start();
        speech.setVoice({QStringLiteral("cmn-latn-pinyin"), {}});
    }
    // Speaks synchronously and returns how much sound was heard.
    double heard(const QString& text) {
        tap.reset();
        EXPECT_TRUE(speech.speak(text, 0)) << text.toStdString();
        return activeSeconds(tap.left(), AudioEngine::kRate);
    }
    // The span of the speech written to a file.
    double fileSeconds(const QString& text, const PcmFormat& format = {22050, 16, 1}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("span.wav"));
        EXPECT_TRUE(speech.setOutputFile(path, format, nullptr));
        EXPECT_TRUE(speech.speak(text, 0));
        EXPECT_TRUE(speech.setOutputDefault(nullptr));
        return soundSeconds(readWav(path).left, format.sampleRate);
    }
    AudioEngine audio;
    Tap tap;
    EspeakEngine speech{audio};
};

}  // namespace sayvell::testing::espeak_rig
