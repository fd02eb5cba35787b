#include "reading/espeak_engine_p.h"

namespace sayvell::reading {

using audio::WavWriter;
using detail::Job;

bool EspeakEngine::setOutputFile(const QString& path, const PcmFormat& format, QString* error) {
    if (!d->waitStarted()) {
        if (error) *error = d->error.isEmpty() ? QStringLiteral("The speech engine is not available.") : d->error;
        return false;
    }
    // A file still open is completed first; its failure must not go unreported.
    if (!setOutputDefault(error)) return false;
    auto writer = std::make_shared<WavWriter>();
    if (!writer->open(path, d->sampleRate, format, error)) return false;
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
    if (!writer) return true;
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
