#include "reading/espeak_engine_p.h"

#include "audio/audio_engine.h"
#include "reading/spoken_segments.h"

#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace sayvell::reading {
namespace {

using audio::Channel;

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

using detail::Job;
using detail::JobPtr;

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

void EspeakEngine::Impl::release() {
    std::lock_guard lock(m);
    if (released) return;
    released = true;
    wake.notify_all();
}

bool EspeakEngine::Impl::waitStarted() {
    release();
    std::unique_lock lock(m);
    changed.wait(lock, [this] { return started; });
    return ok;
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
    if (job->done) return;
    job->done = true;
    job->result = result;
    if (job->kind == Job::Kind::Speak) --pendingSpeech;
    changed.notify_all();
}

void EspeakEngine::Impl::purge() {
    std::vector<JobPtr> dropped;
    std::lock_guard lock(m);
    {
        std::lock_guard feedLock(feedMutex);
        generation.fetch_add(1);
        for (Pending& p : backlog)
            if (p.endOf) dropped.push_back(std::move(p.endOf));
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
    for (const JobPtr& job : dropped) finishLocked(job, false);
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
                if (p.endOf) finishLocked(p.endOf, false);
            backlog.clear();
        }
        for (const JobPtr& job : queue) finishLocked(job, false);
        queue.clear();
        wake.notify_all();
    }
    if (thread.joinable()) thread.join();
}

// ---- EspeakEngine -----------------------------------------------------------------------------

EspeakEngine::EspeakEngine(audio::AudioEngine& audio, const QString& dataPath, Start start)
    : d(std::make_unique<Impl>(audio, dataPath)) {
    d->released = start == Start::Now;
    Impl* impl = d.get();
    // Loading espeak takes a few milliseconds: the caller goes on meanwhile, and whatever needs
    // the engine waits for it.
    d->thread = std::thread([impl] { impl->run(); });
}

EspeakEngine::~EspeakEngine() { d->shutdown(); }

bool EspeakEngine::ok() const { return d->waitStarted(); }

QString EspeakEngine::errorText() const {
    d->waitStarted();
    return d->error;
}

QList<Voice> EspeakEngine::voices() {
    if (!d->waitStarted()) return {};
    JobPtr job;
    {
        std::lock_guard lock(d->m);
        if (d->voiceList) return *d->voiceList;
        job = std::exchange(d->voiceJob, nullptr);
    }
    if (!job) {
        job = std::make_shared<Job>(Job::Kind::ListVoices);
        d->enqueue(job);
    }
    d->waitDone(job);
    std::lock_guard lock(d->m);
    // Listing reads every voice file (a few ms): the installed voices do not change while the
    // program runs, and the window, the plan and the media controls ask for them often.
    if (!d->voiceList) d->voiceList = job->voices;
    return *d->voiceList;
}

void EspeakEngine::prefetchVoices() {
    d->release();
    auto job = std::make_shared<Job>(Job::Kind::ListVoices);
    {
        std::lock_guard lock(d->m);
        if (d->voiceList || d->voiceJob) return;
        d->voiceJob = job;
    }
    d->enqueue(job);
}

void EspeakEngine::setVoice(const Voice& voice) {
    std::lock_guard lock(d->m);
    d->voiceId = voice.id;
    d->voiceDirty = true;
}

int EspeakEngine::rate() const { return d->rateSteps.load(); }

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

int EspeakEngine::volume() const { return d->volume.load(); }

bool EspeakEngine::speak(const QString& text, int flags) {
    if (!d->waitStarted()) return false;
    const bool purgeFirst = (flags & PurgeBeforeSpeak) != 0;
    if (purgeFirst) d->purge();
    const QString plain = plainText(text);
    if (plain.trimmed().isEmpty()) return true;

    auto job = std::make_shared<Job>(Job::Kind::Speak);
    const std::vector<SpokenSegment> segments = splitSegments(plain);
    if (segments.size() == 1 && segments.front().language.isEmpty()) {
        job->utf8 = plain.toStdString();
    } else {
        for (const SpokenSegment& segment : segments)
            job->segments.emplace_back(segment.language, segment.text.toStdString());
    }
    d->enqueue(job);
    if (flags & Async) return true;

    d->waitDone(job);
    bool toFile = false;
    {
        std::lock_guard lock(d->m);
        if (!job->result) return false;
        toFile = job->file != nullptr;
    }
    if (toFile) return true;
    // Spoken means heard: wait for the device, and a purge meanwhile makes it unspoken.
    const bool played = d->audio.waitPlayed(Channel::Speech);
    return played && job->generation == d->generation.load();
}

void EspeakEngine::waitUntilDone() {
    if (!d->waitStarted()) return;
    {
        std::unique_lock lock(d->m);
        d->changed.wait(lock, [this] { return d->pendingSpeech == 0 || d->stopping; });
    }
    d->audio.waitPlayed(Channel::Speech);
}

}  // namespace sayvell::reading
