#pragma once
// What the espeak engine's sources share: the job queue, the feed to the audio engine and the
// process-wide espeak state. Not for use outside them.
#include "reading/espeak_engine.h"

#include "audio/wav_writer.h"

#include <espeak-ng/speak_lib.h>

#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sayvell::audio {
class AudioEngine;
}

namespace sayvell::reading {
namespace detail {

// espeak's state is global to the process; every engine shares it.
struct EspeakGlobal {
    std::mutex m;  // held around every call into espeak
    bool ready = false;
    QString path;  // data path of the working initialisation
    int sampleRate = 22050;
    std::uint64_t configuredBy = 0;  // the engine whose voice and rate espeak holds now
    std::atomic<std::uint64_t> nextEngineId{1};
};

EspeakGlobal& espeakGlobal();

struct Job {
    enum class Kind { Speak, ListVoices, CloseFile };
    explicit Job(Kind k) : kind(k) {}
    const Kind kind;
    std::string utf8;
    // A text with stretches in other languages: each with its voice ("" the chosen one).
    std::vector<std::pair<QString, std::string>> segments;
    std::uint64_t generation = 0;
    std::shared_ptr<audio::WavWriter> file;  // null: to the audio engine
    // Results, guarded by Impl::m.
    bool done = false;
    bool result = false;
    QList<Voice> voices;
    QString error;
};
using JobPtr = std::shared_ptr<Job>;

// Samples that wait for the audio engine, or the mark where a speak job's sound ends.
struct Pending {
    std::vector<std::int16_t> samples;
    JobPtr endOf;
};

}  // namespace detail

struct EspeakEngine::Impl {
    using EspeakGlobal = detail::EspeakGlobal;
    using Job = detail::Job;
    using JobPtr = detail::JobPtr;
    using Pending = detail::Pending;

    Impl(audio::AudioEngine& a, const QString& path)
        : audio(a), dataPath(path), id(detail::espeakGlobal().nextEngineId.fetch_add(1)) {}

    audio::AudioEngine& audio;
    const QString dataPath;
    const std::uint64_t id;

    // Set by the engine thread once, before `started`; callers read them after waitStarted().
    bool ok = false;
    QString error;
    int sampleRate = 22050;

    mutable std::mutex m;             // lock order: m, then feedMutex
    std::condition_variable wake;     // the engine thread: work or stop
    std::condition_variable changed;  // callers: a job finished, or the engine started
    bool released = false;            // the engine thread may load espeak
    bool started = false;
    bool stopping = false;
    std::deque<JobPtr> queue;
    int pendingSpeech = 0;  // speak jobs not finished yet
    QString voiceId;
    bool voiceDirty = false;
    bool rateDirty = false;
    std::shared_ptr<audio::WavWriter> file;

    std::atomic<int> rateSteps{0};
    std::atomic<int> volume{100};
    // Bumped by each purge; a job of an older generation is dead.
    std::atomic<std::uint64_t> generation{0};

    // Feeding the audio engine (engine thread), purging (any thread).
    std::mutex feedMutex;
    std::deque<Pending> backlog;
    std::int64_t fedSamples = 0;
    std::int64_t playedAtReset = 0;
    std::int64_t lastPlayed = -1;
    std::chrono::steady_clock::time_point lastProgress{};

    std::thread thread;

    static thread_local Impl* synthEngine;
    static thread_local Job* synthJob;

    void run();
    void initialise();
    void execute(const JobPtr& job);
    void synthesise(const JobPtr& job);
    void configure(EspeakGlobal& g);
    espeak_ERROR synthSegments(const Job& job);
    QString activeVoice;  // engine thread: the chosen voice as last configured
    QList<Voice> listVoices();
    std::optional<QList<Voice>> voiceList;  // guarded by m; listed once
    JobPtr voiceJob;                        // guarded by m; the listing asked for ahead
    // Any thread: lets the engine thread load espeak, if it was waiting to.
    void release();
    // Any thread: blocks until the engine thread has loaded espeak; whether that worked.
    bool waitStarted();
    bool onSamples(Job& job, const short* wav, int count);
    void appendNow(const std::int16_t* samples, std::size_t count);
    bool roomAhead();
    void feed();
    bool hasBacklog();

    void enqueue(const JobPtr& job);
    void waitDone(const JobPtr& job);
    void finish(const JobPtr& job, bool result);
    void finishLocked(const JobPtr& job, bool result);
    void purge();
    void shutdown();

    static int synthCallback(short* wav, int count, espeak_EVENT* events);
};

}  // namespace sayvell::reading
