// libpulse output: one float32 stereo 48 kHz playback stream on a threaded main loop, fed
// from the stream's write callback. The played position comes from the server's timing
// (interpolated), so "played" means heard, not merely handed over.
//
// While nothing has been queued for a few seconds (and no tap listens) the stream is corked, so
// an idle program does not wake a hundred times a second; the next append uncorks it and fills
// the buffer at once. A stream that runs has up to its target latency of silence queued ahead
// of new sound; when sound arrives, that silence (less a safety margin) is written over, so the
// sound starts at once. The frames written over count as played.
//
// If the server goes away while running, the output turns into a paced null output: the mix
// keeps being pulled in real time so that waiters finish and nothing hangs.
#include "audio/audio_output.h"
#include "audio/output_demand.h"
#include "audio/pulse_client_p.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <shared_mutex>

namespace sayvell::audio {
namespace {

constexpr int kRate = 48000;
constexpr std::size_t kFrameBytes = 2 * sizeof(float);
constexpr pa_usec_t kTargetLatencyUs = 40000;
constexpr pa_usec_t kMinRequestUs = 10000;
constexpr std::int64_t kCorkAfterIdleFrames = 5 * kRate;
// Silence closer to the server's read position than this is left as it is: the position is
// interpolated, and sound written over audio already played would lose its start.
constexpr std::int64_t kKeepAheadFrames = kRate / 100;

class PulseOutput final : public AudioOutput, public DemandAware {
public:
    explicit PulseOutput(QString applicationName) : appName_(std::move(applicationName)) {}
    ~PulseOutput() override { stop(); }

    bool start(Pull pull, QString* error) override;
    void stop() override;
    std::int64_t playedFrames() const override;
    std::int64_t writtenFrames() const override { return written_.load(); }
    bool isNull() const override { return lost_.load(); }
    bool moveTo(const QString& sink, QString* error) override;

    void setDemandProbe(std::function<Demand()> probe) override { probe_ = std::move(probe); }
    void workArrived() override;

private:
    static void onContextState(pa_context* c, void* self);
    static void onStreamState(pa_stream* s, void* self);
    static void onWrite(pa_stream* s, std::size_t nbytes, void* self);

    // Main loop locked.
    void serverLost();
    // The first write goes back over the last rewind frames written.
    void fill(std::size_t nbytes, std::int64_t rewind = 0);
    void skipSilenceAhead();
    void cork();
    void uncork();
    void teardown();  // life_ held exclusively

    const QString appName_;
    Pull pull_;
    std::function<Demand()> probe_;
    std::atomic<bool> corked_{false};
    std::int64_t idleFrames_ = 0;  // main loop lock

    mutable std::shared_mutex life_;  // start/stop against position queries
    PulseClient client_;
    pa_stream* stream_ = nullptr;
    bool running_ = false;  // main loop lock

    std::atomic<std::int64_t> written_{0};
    std::atomic<std::int64_t> skipped_{0};      // written, then written over before being played
    std::atomic<std::int64_t> silentAhead_{0};  // the last frames written, all silent
    mutable std::atomic<std::int64_t> played_{0};
    std::atomic<bool> lost_{false};
    std::unique_ptr<AudioOutput> fallback_;
    QByteArray homeSink_;  // where the stream played before the first move; main loop lock
};

void PulseOutput::onContextState(pa_context* c, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    const pa_context_state_t st = pa_context_get_state(c);
    if (out->running_ && (st == PA_CONTEXT_FAILED || st == PA_CONTEXT_TERMINATED)) out->serverLost();
    pa_threaded_mainloop_signal(out->client_.loop(), 0);
}

void PulseOutput::onStreamState(pa_stream* s, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    const pa_stream_state_t st = pa_stream_get_state(s);
    if (out->running_ && (st == PA_STREAM_FAILED || st == PA_STREAM_TERMINATED)) out->serverLost();
    pa_threaded_mainloop_signal(out->client_.loop(), 0);
}

void PulseOutput::onWrite(pa_stream*, std::size_t nbytes, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    if (out->lost_.load() || out->corked_.load()) return;
    if (out->probe_ && out->probe_() == Demand::None) {
        out->idleFrames_ += static_cast<std::int64_t>(nbytes / kFrameBytes);
        if (out->idleFrames_ >= kCorkAfterIdleFrames) {
            out->cork();
            return;
        }
    } else {
        out->idleFrames_ = 0;
    }
    out->fill(nbytes);
}

void PulseOutput::fill(std::size_t nbytes, std::int64_t rewind) {
    while (nbytes >= kFrameBytes) {
        void* data = nullptr;
        std::size_t size = nbytes;
        if (pa_stream_begin_write(stream_, &data, &size) < 0 || !data) return;
        const std::size_t frames = std::min(size, nbytes) / kFrameBytes;
        if (frames == 0) {
            pa_stream_cancel_write(stream_);
            return;
        }
        auto* mixed = static_cast<float*>(data);
        pull_(mixed, frames);
        std::size_t silent = 0;
        while (silent < frames && mixed[2 * (frames - silent) - 1] == 0.0f && mixed[2 * (frames - silent) - 2] == 0.0f)
            ++silent;
        silentAhead_.store(silent == frames ? silentAhead_.load() + std::int64_t(frames) : std::int64_t(silent));
        const std::int64_t seek = -rewind * std::int64_t(kFrameBytes);
        if (pa_stream_write(stream_, data, frames * kFrameBytes, nullptr, seek, PA_SEEK_RELATIVE) < 0) return;
        rewind = 0;
        written_.fetch_add(static_cast<std::int64_t>(frames));
        nbytes -= frames * kFrameBytes;
    }
}

void PulseOutput::cork() {
    corked_.store(true);
    if (pa_operation* op = pa_stream_cork(stream_, 1, nullptr, nullptr)) pa_operation_unref(op);
    // Sound queued between the probe and the flag above found the stream still running.
    if (probe_() != Demand::None) uncork();
}

void PulseOutput::uncork() {
    if (!stream_ || !corked_.exchange(false)) return;
    idleFrames_ = 0;
    if (pa_operation* op = pa_stream_cork(stream_, 0, nullptr, nullptr)) pa_operation_unref(op);
    // Fill now rather than at the server's next request: that is the first sound's latency.
    const std::size_t writable = pa_stream_writable_size(stream_);
    if (writable != static_cast<std::size_t>(-1)) fill(writable);
}

void PulseOutput::skipSilenceAhead() {
    pa_usec_t usec = 0;
    if (pa_stream_get_time(stream_, &usec) < 0) return;
    const std::int64_t queued = written_.load() - skipped_.load() - static_cast<std::int64_t>(usec * kRate / 1000000);
    const std::int64_t rewind = std::min(silentAhead_.load(), queued - kKeepAheadFrames);
    if (rewind <= 0) return;
    skipped_.fetch_add(rewind);
    fill(static_cast<std::size_t>(rewind) * kFrameBytes, rewind);
}

void PulseOutput::workArrived() {
    if (!corked_.load() && silentAhead_.load() <= kKeepAheadFrames) return;
    // Never wait for a start or stop in progress: a stream that is being set up is not corked.
    std::shared_lock life(life_, std::try_to_lock);
    if (!life.owns_lock() || !client_.loop()) return;
    pa_threaded_mainloop* loop = client_.loop();
    const bool inLoop = pa_threaded_mainloop_in_thread(loop);
    if (!inLoop) pa_threaded_mainloop_lock(loop);
    if (running_ && !lost_.load() && stream_) {
        if (corked_.load())
            uncork();
        else
            skipSilenceAhead();
    }
    if (!inLoop) pa_threaded_mainloop_unlock(loop);
}

void PulseOutput::serverLost() {
    if (lost_.exchange(true)) return;
    // What sat in the server's buffer is gone: count it as played.
    played_.store(written_.load());
    fallback_ = makeNullOutput(true);
    fallback_->start(
        [this](float* buf, std::size_t frames) {
            pull_(buf, frames);
            written_.fetch_add(static_cast<std::int64_t>(frames));
        },
        nullptr);
}

bool PulseOutput::start(Pull pull, QString* error) {
    stop();
    std::unique_lock life(life_);
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        teardown();
        return false;
    };

    pull_ = std::move(pull);
    written_.store(0);
    skipped_.store(0);
    silentAhead_.store(0);
    played_.store(0);
    lost_.store(false);
    corked_.store(false);
    idleFrames_ = 0;

    if (!client_.open(appName_, &PulseOutput::onContextState, this, error)) return false;
    const auto unlockWith = [&](const QString& why) {
        client_.endSetUp();
        return fail(why);
    };

    pa_sample_spec sampleSpec{};
    sampleSpec.format = PA_SAMPLE_FLOAT32LE;
    sampleSpec.rate = kRate;
    sampleSpec.channels = 2;
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    stream_ = pa_stream_new(client_.context(), "Mix", &sampleSpec, &map);
    if (!stream_) return unlockWith(client_.lastError("無法建立聲音串流"));
    pa_stream_set_state_callback(stream_, &PulseOutput::onStreamState, this);
    pa_stream_set_write_callback(stream_, &PulseOutput::onWrite, this);

    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetLatencyUs, &sampleSpec));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(kMinRequestUs, &sampleSpec));
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                                      PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
        return unlockWith(client_.lastError("無法打開聲音串流"));
    QString why;
    if (!client_.waitReady(stream_, &why)) return unlockWith(why);
    // From here on a lost server or stream switches to the fallback.
    running_ = true;
    client_.endSetUp();
    return true;
}

void PulseOutput::teardown() {
    if (pa_threaded_mainloop* loop = client_.loop()) {
        pa_threaded_mainloop_lock(loop);
        running_ = false;
        pa_threaded_mainloop_unlock(loop);
    }
    client_.close(&stream_);
    if (fallback_) {
        fallback_->stop();
        fallback_.reset();
    }
}

bool PulseOutput::moveTo(const QString& sink, QString* error) {
    std::shared_lock life(life_);
    pa_threaded_mainloop* loop = client_.loop();
    if (!loop || lost_.load()) {
        if (error) *error = QStringLiteral("沒有聲音伺服器");
        return false;
    }
    pa_threaded_mainloop_lock(loop);
    if (!stream_ || !running_) {
        pa_threaded_mainloop_unlock(loop);
        if (error) *error = QStringLiteral("沒有聲音伺服器");
        return false;
    }
    if (homeSink_.isEmpty())
        if (const char* now = pa_stream_get_device_name(stream_)) homeSink_ = now;
    const QByteArray target = sink.isEmpty() ? homeSink_ : sink.toUtf8();
    struct Result {
        pa_threaded_mainloop* loop;
        int success = -1;
    } result{loop};
    pa_operation* op = pa_context_move_sink_input_by_name(
        client_.context(), pa_stream_get_index(stream_), target.constData(),
        [](pa_context*, int success, void* r) {
            auto* res = static_cast<Result*>(r);
            res->success = success;
            pa_threaded_mainloop_signal(res->loop, 0);
        },
        &result);
    if (op) {
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING && result.success < 0)
            pa_threaded_mainloop_wait(loop);
        pa_operation_unref(op);
    }
    pa_threaded_mainloop_unlock(loop);
    if (result.success > 0) return true;
    if (error) *error = QStringLiteral("找不到聲音輸出「%1」").arg(sink.isEmpty() ? QString::fromUtf8(target) : sink);
    return false;
}

void PulseOutput::stop() {
    std::unique_lock life(life_);
    teardown();
}

std::int64_t PulseOutput::playedFrames() const {
    if (lost_.load()) return written_.load();
    // While start/stop holds the output, the last known position is the answer.
    std::shared_lock life(life_, std::try_to_lock);
    if (!life.owns_lock() || !client_.loop()) return played_.load();
    pa_threaded_mainloop* loop = client_.loop();
    const bool inLoop = pa_threaded_mainloop_in_thread(loop);
    if (!inLoop) pa_threaded_mainloop_lock(loop);
    pa_usec_t usec = 0;
    const bool known = stream_ && !lost_.load() && pa_stream_get_time(stream_, &usec) == 0;
    if (!inLoop) pa_threaded_mainloop_unlock(loop);
    if (lost_.load()) return written_.load();
    if (known) {
        // Interpolation may run a little ahead of what was written; never beyond it.
        const auto frames =
            std::min(static_cast<std::int64_t>(usec * kRate / 1000000) + skipped_.load(), written_.load());
        std::int64_t prev = played_.load();
        while (frames > prev && !played_.compare_exchange_weak(prev, frames)) {}
    }
    return played_.load();
}

}  // namespace

std::unique_ptr<AudioOutput> makePulseOutput(const QString& applicationName) {
    return std::make_unique<PulseOutput>(applicationName);
}

}  // namespace sayvell::audio
