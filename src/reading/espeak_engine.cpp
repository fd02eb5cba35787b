#include "reading/espeak_engine.h"

#include "audio/audio_engine.h"
#include "audio/wav_writer.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sayvell::reading {
namespace {

using audio::Channel;
using audio::WavWriter;

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

// espeak's state is global to the process; every engine shares it.
struct EspeakGlobal {
    std::mutex m;  // held around every call into espeak
    bool ready = false;
    QString path;  // data path of the working initialisation
    int sampleRate = 22050;
    std::uint64_t configuredBy = 0;  // the engine whose voice and rate espeak holds now
    std::atomic<std::uint64_t> nextEngineId{1};
};

EspeakGlobal& espeakGlobal() {
    static EspeakGlobal g;
    return g;
}

struct Job {
    enum class Kind { Speak, ListVoices, CloseFile };
    explicit Job(Kind k) : kind(k) {}
    const Kind kind;
    std::string utf8;
    std::uint64_t generation = 0;
    std::shared_ptr<WavWriter> file;  // null: to the audio engine
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

// The tag an export puts in front of its text, and its closing form; never spoken.
QString plainText(const QString& text) {
    const QRegularExpression open(QStringLiteral(R"(^\s*<\s*LANG\s+LANGID\s*=\s*("[0-9A-F]*"|'[0-9A-F]*')\s*>)"),
                                  QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression close(QStringLiteral(R"(<\s*/\s*LANG\s*>\s*$)"),
                                   QRegularExpression::CaseInsensitiveOption);
    QString s = text;
    s.remove(open);
    s.remove(close);
    // Control characters mean nothing to a listener; keep them away from the synthesiser.
    for (QChar& c : s)
        if ((c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t')) || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    return s;
}

}  // namespace

struct EspeakEngine::Impl {
    Impl(audio::AudioEngine& a, const QString& path)
        : audio(a), dataPath(path), id(espeakGlobal().nextEngineId.fetch_add(1)) {}

    audio::AudioEngine& audio;
    const QString dataPath;
    const std::uint64_t id;

    // Set by the engine thread before the constructor returns; constant afterwards.
    bool ok = false;
    QString error;
    int sampleRate = 22050;

    mutable std::mutex m;             // lock order: m, then feedMutex
    std::condition_variable wake;     // the engine thread: work or stop
    std::condition_variable changed;  // callers: a job finished
    bool started = false;
    bool stopping = false;
    std::deque<JobPtr> queue;
    int pendingSpeech = 0;  // speak jobs not finished yet
    QString voiceId;
    bool voiceDirty = false;
    bool rateDirty = false;
    std::shared_ptr<WavWriter> file;

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
    QList<Voice> listVoices();
    std::optional<QList<Voice>> prefetched;  // guarded by m
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
            if (context)
                espeak_ng_ClearErrorContext(&context);
            if (status == ENS_OK)
                status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, kBufferMs, nullptr);
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
        if (loaded && !ok)
            why = QStringLiteral("espeak-ng reports no sample rate.");
    }
    std::lock_guard lock(m);
    error = why;
    started = true;
    changed.notify_all();
}

void EspeakEngine::Impl::run() {
    initialise();
    for (;;) {
        feed();
        JobPtr job;
        {
            std::unique_lock lock(m);
            if (stopping)
                break;
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
    case Job::Kind::Speak:
        synthesise(job);
        return;
    case Job::Kind::ListVoices: {
        QList<Voice> list = listVoices();
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
    if (setVoice) {
        const QByteArray name = voice.isEmpty() ? QByteArrayLiteral("en") : voice.toUtf8();
        espeak_SetVoiceByName(name.constData());
    }
    if (setRate)
        espeak_SetParameter(espeakRATE, wordsPerMinute(rateSteps.load()), 0);
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
            status = espeak_Synth(job->utf8.c_str(), job->utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                                  nullptr, nullptr);
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

int EspeakEngine::Impl::synthCallback(short* wav, int count, espeak_EVENT*) {
    Impl* engine = synthEngine;
    Job* job = synthJob;
    if (!engine || !job)
        return 1;
    return engine->onSamples(*job, wav, count) ? 0 : 1;
}

// False stops the synthesis.
bool EspeakEngine::Impl::onSamples(Job& job, const short* wav, int count) {
    if (job.generation != generation.load())
        return false;
    if (!wav || count <= 0)
        return true;
    const auto n = static_cast<std::size_t>(count);
    if (job.file) {
        job.file->write(wav, n, static_cast<float>(volume.load()) / 100.0f);
        return !job.file->failed();
    }
    std::lock_guard lock(feedMutex);
    // Checked again under the lock a purge takes: nothing of a purged job reaches the mixer
    // after its clear().
    if (job.generation != generation.load())
        return false;
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
                if (!roomAhead())
                    break;
                appendNow(p.samples.data(), p.samples.size());
            }
            backlog.pop_front();
        }
    }
    for (const JobPtr& job : ended)
        finish(job, true);
}

bool EspeakEngine::Impl::hasBacklog() {
    std::lock_guard lock(feedMutex);
    return !backlog.empty();
}

QList<Voice> EspeakEngine::Impl::listVoices() {
    struct Entry {
        QString id;    // file name of the voice, what espeak_SetVoiceByName takes
        QString name;  // espeak's own name
        QString language;
    };
    std::vector<Entry> all;
    bool female = false;
    {
        EspeakGlobal& g = espeakGlobal();
        std::lock_guard lock(g.m);
        if (!g.ready)
            return {};
        // The list points into espeak's storage, which the next listing replaces: copy first.
        if (const espeak_VOICE** list = espeak_ListVoices(nullptr)) {
            for (; *list; ++list) {
                const espeak_VOICE* v = *list;
                if (!v->identifier || !v->name || !v->languages)
                    continue;
                const QString identifier = QString::fromUtf8(v->identifier);
                const QString language = QString::fromUtf8(v->languages + 1);  // after the priority byte
                if (identifier.startsWith(QLatin1String("mb/")) || identifier.contains(QLatin1String("!v")) ||
                    language == QLatin1String("variant"))
                    continue;
                all.push_back({identifier.section(QLatin1Char('/'), -1), QString::fromUtf8(v->name).trimmed(),
                               language});
            }
        }
        espeak_VOICE variants{};
        variants.languages = "variant";
        if (const espeak_VOICE** list = espeak_ListVoices(&variants))
            for (; *list; ++list)
                if ((*list)->identifier && QString::fromUtf8((*list)->identifier).endsWith(QLatin1String("!v/f3")))
                    female = true;
    }

    const QString mandarin = QStringLiteral("cmn-latn-pinyin");
    const QString cantonese = QStringLiteral("yue");
    auto installed = [&](const QString& voice) {
        return std::any_of(all.begin(), all.end(), [&](const Entry& e) { return e.id.toLower() == voice; });
    };
    QList<Voice> out;
    auto addChinese = [&](const QString& voice, const QString& male, const QString& woman) {
        if (!installed(voice))
            return;
        out.append({voice, male});
        if (female)
            out.append({voice + QLatin1String("+f3"), woman});
    };
    addChinese(mandarin, QStringLiteral("普通話（男聲）"), QStringLiteral("普通話（女聲）"));
    addChinese(cantonese, QStringLiteral("粵語（男聲）"), QStringLiteral("粵語（女聲）"));

    auto listed = [&](const Entry& e) { return e.id.toLower() == mandarin || e.id.toLower() == cantonese; };
    auto english = [](const Entry& e) {
        return e.language == QLatin1String("en") || e.language.startsWith(QLatin1String("en-"));
    };
    for (const Entry& e : all)
        if (!listed(e) && english(e))
            out.append({e.id, QStringLiteral("%1 [%2]").arg(e.name, e.id)});
    for (const Entry& e : all)
        if (!listed(e) && !english(e))
            out.append({e.id, QStringLiteral("%1 [%2]").arg(e.name, e.id)});
    return out;
}

// ---- any thread -----------------------------------------------------------------------------

void EspeakEngine::Impl::enqueue(const JobPtr& job) {
    std::lock_guard lock(m);
    if (stopping) {
        job->done = true;
        return;
    }
    if (job->kind == Job::Kind::Speak) {
        job->generation = generation.load();
        job->file = file;
        ++pendingSpeech;
    }
    queue.push_back(job);
    wake.notify_one();
}

void EspeakEngine::Impl::waitDone(const JobPtr& job) {
    std::unique_lock lock(m);
    changed.wait(lock, [&] { return job->done; });
}

void EspeakEngine::Impl::finish(const JobPtr& job, bool result) {
    std::lock_guard lock(m);
    finishLocked(job, result);
}

void EspeakEngine::Impl::finishLocked(const JobPtr& job, bool result) {
    if (job->done)
        return;
    job->done = true;
    job->result = result;
    if (job->kind == Job::Kind::Speak)
        --pendingSpeech;
    changed.notify_all();
}

void EspeakEngine::Impl::purge() {
    std::vector<JobPtr> dropped;
    std::lock_guard lock(m);
    {
        std::lock_guard feedLock(feedMutex);
        generation.fetch_add(1);
        for (Pending& p : backlog)
            if (p.endOf)
                dropped.push_back(std::move(p.endOf));
        backlog.clear();
        audio.clear(Channel::Speech);
    }
    for (auto it = queue.begin(); it != queue.end();) {
        if ((*it)->kind == Job::Kind::Speak) {
            dropped.push_back(*it);
            it = queue.erase(it);
        } else {
            ++it;
        }
    }
    for (const JobPtr& job : dropped)
        finishLocked(job, false);
    wake.notify_all();
}

void EspeakEngine::Impl::shutdown() {
    {
        std::lock_guard lock(m);
        stopping = true;
        {
            std::lock_guard feedLock(feedMutex);
            generation.fetch_add(1);
            for (Pending& p : backlog)
                if (p.endOf)
                    finishLocked(p.endOf, false);
            backlog.clear();
        }
        for (const JobPtr& job : queue)
            finishLocked(job, false);
        queue.clear();
        wake.notify_all();
    }
    if (thread.joinable())
        thread.join();
}

// ---- EspeakEngine -----------------------------------------------------------------------------

EspeakEngine::EspeakEngine(audio::AudioEngine& audio, const QString& dataPath)
    : d(std::make_unique<Impl>(audio, dataPath)) {
    Impl* impl = d.get();
    d->thread = std::thread([impl] { impl->run(); });
    std::unique_lock lock(d->m);
    d->changed.wait(lock, [impl] { return impl->started; });
}

EspeakEngine::~EspeakEngine() {
    d->shutdown();
}

bool EspeakEngine::ok() const {
    return d->ok;
}

QString EspeakEngine::errorText() const {
    return d->error;
}

QList<Voice> EspeakEngine::voices() {
    if (!d->ok)
        return {};
    {
        std::lock_guard lock(d->m);
        if (d->prefetched) {
            QList<Voice> list = std::move(*d->prefetched);
            d->prefetched.reset();
            return list;
        }
    }
    auto job = std::make_shared<Job>(Job::Kind::ListVoices);
    d->enqueue(job);
    d->waitDone(job);
    std::lock_guard lock(d->m);
    return job->voices;
}

void EspeakEngine::prefetchVoices() {
    QList<Voice> list = voices();
    std::lock_guard lock(d->m);
    d->prefetched = std::move(list);
}

void EspeakEngine::setVoice(const Voice& voice) {
    std::lock_guard lock(d->m);
    d->voiceId = voice.id;
    d->voiceDirty = true;
}

int EspeakEngine::rate() const {
    return d->rateSteps.load();
}

void EspeakEngine::setRate(int rate) {
    std::lock_guard lock(d->m);
    d->rateSteps.store(rate);
    d->rateDirty = true;
}

void EspeakEngine::setVolume(int volume) {
    const int v = std::clamp(volume, 0, 100);
    d->volume.store(v);
    d->audio.setVolume(Channel::Speech, static_cast<float>(v) / 100.0f);
}

int EspeakEngine::volume() const {
    return d->volume.load();
}

bool EspeakEngine::speak(const QString& text, int flags) {
    if (!d->ok)
        return false;
    const bool purgeFirst = (flags & PurgeBeforeSpeak) != 0;
    if (purgeFirst)
        d->purge();
    const QString plain = plainText(text);
    if (plain.trimmed().isEmpty())
        return true;

    auto job = std::make_shared<Job>(Job::Kind::Speak);
    job->utf8 = plain.toStdString();
    d->enqueue(job);
    if (flags & Async)
        return true;

    d->waitDone(job);
    bool toFile = false;
    {
        std::lock_guard lock(d->m);
        if (!job->result)
            return false;
        toFile = job->file != nullptr;
    }
    if (toFile)
        return true;
    // Spoken means heard: wait for the device, and a purge meanwhile makes it unspoken.
    const bool played = d->audio.waitPlayed(Channel::Speech);
    return played && job->generation == d->generation.load();
}

void EspeakEngine::waitUntilDone() {
    if (!d->ok)
        return;
    {
        std::unique_lock lock(d->m);
        d->changed.wait(lock, [this] { return d->pendingSpeech == 0 || d->stopping; });
    }
    d->audio.waitPlayed(Channel::Speech);
}

bool EspeakEngine::setOutputFile(const QString& path, const PcmFormat& format, QString* error) {
    if (!d->ok) {
        if (error)
            *error = d->error.isEmpty() ? QStringLiteral("The speech engine is not available.") : d->error;
        return false;
    }
    // A file still open is completed first; its failure must not go unreported.
    if (!setOutputDefault(error))
        return false;
    auto writer = std::make_shared<WavWriter>();
    if (!writer->open(path, d->sampleRate, format, error))
        return false;
    std::lock_guard lock(d->m);
    d->file = std::move(writer);
    return true;
}

bool EspeakEngine::setOutputDefault(QString* error) {
    std::shared_ptr<WavWriter> writer;
    {
        std::lock_guard lock(d->m);
        writer = std::move(d->file);
        d->file.reset();
    }
    if (!writer)
        return true;
    auto job = std::make_shared<Job>(Job::Kind::CloseFile);
    job->file = std::move(writer);
    d->enqueue(job);
    d->waitDone(job);
    std::lock_guard lock(d->m);
    if (!job->result && error)
        *error = job->error.isEmpty() ? QStringLiteral("The WAV file could not be completed.") : job->error;
    return job->result;
}

}  // namespace sayvell::reading
