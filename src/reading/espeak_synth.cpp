#include "reading/espeak_engine_p.h"

#include "audio/audio_engine.h"
#include "reading/spoken_segments.h"

#include <espeak-ng/espeak_ng.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace sayvell::reading {
namespace {

using audio::Channel;

// Size of the pieces espeak hands to the callback; small, so that sound starts early and a
// purge is seen between pieces.
constexpr int kBufferMs = 40;
// Speech handed to the audio engine ahead of what has been heard. The rest waits here as
// 16-bit mono, a tenth of the room it takes once mixed.
constexpr double kFeedAheadSeconds = 8.0;
constexpr auto kFeedPoll = std::chrono::milliseconds(20);
// A device whose position stands still this long (stopped engine, hung server) gets the rest
// anyway: holding it back here would leave speak() waiting for ever.
constexpr auto kStallTime = std::chrono::seconds(2);
constexpr int kNormalWordsPerMinute = 175;

int wordsPerMinute(int rate) {
    // Far outside the usable range the result is held anyway; keep pow() finite.
    const int steps = std::clamp(rate, -100, 100);
    const double wpm = kNormalWordsPerMinute * std::pow(3.0, steps / 10.0);
    return std::clamp(static_cast<int>(std::lround(wpm)), 80, 450);
}

}  // namespace

namespace detail {

EspeakGlobal& espeakGlobal() {
    static EspeakGlobal g;
    return g;
}

}  // namespace detail

using detail::espeakGlobal;
using detail::Job;

thread_local EspeakEngine::Impl* EspeakEngine::Impl::synthEngine = nullptr;
thread_local Job* EspeakEngine::Impl::synthJob = nullptr;

// ---- engine thread --------------------------------------------------------------------------

void EspeakEngine::Impl::initialise() {
    EspeakGlobal& g = espeakGlobal();
    QString why;
    {
        std::lock_guard lock(g.m);
        // espeak_ng_Terminate hangs once espeak has been initialised twice in a process, so
        // espeak is never terminated: a working initialisation is kept for later engines. One
        // data path per process is assumed; a failed load leaves espeak unusable until the next
        // engine loads it again.
        bool loaded = false;
        if (!dataPath.isEmpty() && !QFileInfo(dataPath).isDir()) {
            why = QStringLiteral("No speech data in %1: the folder does not exist.").arg(dataPath);
        } else if (g.ready && g.path == dataPath) {
            loaded = true;
        } else {
            g.ready = false;
            g.configuredBy = 0;
            const QByteArray path = QFile::encodeName(dataPath);
            espeak_ng_InitializePath(dataPath.isEmpty() ? nullptr : path.constData());
            espeak_ng_ERROR_CONTEXT context = nullptr;
            espeak_ng_STATUS status = espeak_ng_Initialize(&context);
            if (context) espeak_ng_ClearErrorContext(&context);
            if (status == ENS_OK) status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, kBufferMs, nullptr);
            if (status == ENS_OK) {
                g.ready = loaded = true;
                g.path = dataPath;
                g.sampleRate = espeak_ng_GetSampleRate();
                espeak_SetSynthCallback(&Impl::synthCallback);
            } else {
                char text[512] = {};
                espeak_ng_GetStatusCodeMessage(status, text, sizeof text);
                why = QStringLiteral("espeak-ng could not load its speech data (%1): %2")
                          .arg(dataPath.isEmpty() ? QStringLiteral("installed data") : dataPath,
                               QString::fromLocal8Bit(text));
            }
        }
        ok = loaded && g.sampleRate > 0;
        sampleRate = g.sampleRate;
        if (loaded && !ok) why = QStringLiteral("espeak-ng reports no sample rate.");
    }
    std::lock_guard lock(m);
    error = why;
    started = true;
    changed.notify_all();
}

void EspeakEngine::Impl::run() {
    {
        std::unique_lock lock(m);
        wake.wait(lock, [this] { return released || stopping; });
        if (!released) {
            // Ended before anything needed it: nothing to load.
            started = true;
            changed.notify_all();
            return;
        }
    }
    initialise();
    for (;;) {
        feed();
        JobPtr job;
        {
            std::unique_lock lock(m);
            if (stopping) break;
            if (queue.empty()) {
                if (hasBacklog())
                    wake.wait_for(lock, kFeedPoll);
                else
                    wake.wait(lock);
                continue;
            }
            job = queue.front();
            queue.pop_front();
        }
        execute(job);
    }
}

void EspeakEngine::Impl::execute(const JobPtr& job) {
    switch (job->kind) {
    case Job::Kind::Speak: synthesise(job); return;
    case Job::Kind::ListVoices: {
        QList<Voice> list = ok ? listVoices() : QList<Voice>();
        std::lock_guard lock(m);
        job->voices = std::move(list);
        finishLocked(job, true);
        return;
    }
    case Job::Kind::CloseFile: {
        QString why;
        const bool done = job->file->finish(&why);
        std::lock_guard lock(m);
        job->error = why;
        job->file.reset();
        finishLocked(job, done);
        return;
    }
    }
}

void EspeakEngine::Impl::configure(EspeakGlobal& g) {
    QString voice;
    bool setVoice = false;
    bool setRate = false;
    {
        std::lock_guard lock(m);
        voice = voiceId;
        setVoice = voiceDirty || g.configuredBy != id;
        setRate = rateDirty || setVoice;
        voiceDirty = rateDirty = false;
    }
    activeVoice = voice;
    if (setVoice) {
        const QByteArray name = voice.isEmpty() ? QByteArrayLiteral("en") : voice.toUtf8();
        espeak_SetVoiceByName(name.constData());
    }
    if (setRate) espeak_SetParameter(espeakRATE, wordsPerMinute(rateSteps.load()), 0);
    g.configuredBy = id;
}

void EspeakEngine::Impl::synthesise(const JobPtr& job) {
    if (job->generation != generation.load()) {
        finish(job, false);
        return;
    }
    espeak_ERROR status = EE_INTERNAL_ERROR;
    {
        EspeakGlobal& g = espeakGlobal();
        std::lock_guard lock(g.m);
        if (g.ready) {
            configure(g);
            synthEngine = this;
            synthJob = job.get();
            status = job->segments.empty() ? espeak_Synth(job->utf8.c_str(), job->utf8.size() + 1, 0, POS_CHARACTER, 0,
                                                          espeakCHARS_UTF8, nullptr, nullptr)
                                           : synthSegments(*job);
            if (!job->segments.empty())
                g.configuredBy = 0;  // another voice may be set: the next job sets its own again
            synthEngine = nullptr;
            synthJob = nullptr;
        }
    }
    if (job->file) {
        finish(job, status == EE_OK && job->generation == generation.load() && !job->file->failed());
        return;
    }
    bool purged = false;
    bool ended = false;
    {
        std::lock_guard lock(feedMutex);
        purged = job->generation != generation.load();
        if (!purged) {
            if (backlog.empty()) {
                audio.flush(Channel::Speech);
                ended = true;
            } else {
                backlog.push_back(Pending{{}, job});
            }
        }
    }
    if (purged)
        finish(job, false);
    else if (ended)
        finish(job, status == EE_OK);
}

// Each stretch with its own voice: inline voice changes let the other language's sounds leak
// into the text after them. Needs the espeak lock.
espeak_ERROR EspeakEngine::Impl::synthSegments(const Job& job) {
    espeak_ERROR status = EE_OK;
    QString current = activeVoice;
    for (const auto& [language, utf8] : job.segments) {
        if (job.generation != generation.load()) break;
        const QString voice = segmentVoice(language, activeVoice);
        if (voice != current) {
            const QByteArray name = voice.isEmpty() ? QByteArrayLiteral("en") : voice.toUtf8();
            espeak_SetVoiceByName(name.constData());
            espeak_SetParameter(espeakRATE, wordsPerMinute(rateSteps.load()), 0);
            current = voice;
        }
        const espeak_ERROR one =
            espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
        if (one != EE_OK) status = one;
    }
    return status;
}

int EspeakEngine::Impl::synthCallback(short* wav, int count, espeak_EVENT*) {
    Impl* engine = synthEngine;
    Job* job = synthJob;
    if (!engine || !job) return 1;
    return engine->onSamples(*job, wav, count) ? 0 : 1;
}

// False stops the synthesis.
bool EspeakEngine::Impl::onSamples(Job& job, const short* wav, int count) {
    if (job.generation != generation.load()) return false;
    if (!wav || count <= 0) return true;
    const auto n = static_cast<std::size_t>(count);
    if (job.file) {
        job.file->write(wav, n, static_cast<float>(volume.load()) / 100.0f);
        return !job.file->failed();
    }
    std::lock_guard lock(feedMutex);
    // Checked again under the lock a purge takes: nothing of a purged job reaches the mixer
    // after its clear().
    if (job.generation != generation.load()) return false;
    if (backlog.empty() && roomAhead())
        appendNow(wav, n);
    else
        backlog.push_back(Pending{std::vector<std::int16_t>(wav, wav + n), nullptr});
    return true;
}

// Needs feedMutex.
void EspeakEngine::Impl::appendNow(const std::int16_t* samples, std::size_t count) {
    if (audio.isIdle(Channel::Speech)) {
        fedSamples = 0;
        playedAtReset = audio.playedFrames();
    }
    audio.append(Channel::Speech, samples, count, sampleRate, 1);
    fedSamples += static_cast<std::int64_t>(count);
}

// Needs feedMutex. Whether the mixer may take more now.
bool EspeakEngine::Impl::roomAhead() {
    const std::int64_t played = audio.playedFrames();
    const auto now = std::chrono::steady_clock::now();
    if (played != lastPlayed) {
        lastPlayed = played;
        lastProgress = now;
    }
    const double fed = static_cast<double>(fedSamples) / sampleRate;
    const double heard = static_cast<double>(played - playedAtReset) / audio::AudioEngine::kRate;
    return fed - heard < kFeedAheadSeconds || now - lastProgress > kStallTime;
}

void EspeakEngine::Impl::feed() {
    std::vector<JobPtr> ended;
    {
        std::lock_guard lock(feedMutex);
        while (!backlog.empty()) {
            Pending& p = backlog.front();
            if (p.endOf) {
                audio.flush(Channel::Speech);
                ended.push_back(std::move(p.endOf));
            } else {
                if (!roomAhead()) break;
                appendNow(p.samples.data(), p.samples.size());
            }
            backlog.pop_front();
        }
    }
    for (const JobPtr& job : ended) finish(job, true);
}

bool EspeakEngine::Impl::hasBacklog() {
    std::lock_guard lock(feedMutex);
    return !backlog.empty();
}

}  // namespace sayvell::reading
