#include "audio/sound_recorder.h"

#include "audio/pulse_client_p.h"

#include <pulse/pulseaudio.h>

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace sayvell::audio {
namespace {

void put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::array<std::uint8_t, 4> le32(std::uint32_t v) {
    std::array<std::uint8_t, 4> b{};
    put32(b.data(), v);
    return b;
}

constexpr std::int64_t kMaxDataBytes = 0xFFFFFFFFLL - 36;
constexpr pa_usec_t kFragmentUs = 50000;

}  // namespace

std::array<std::uint8_t, 44> wavHeader(const PcmFormat& format, std::uint32_t dataBytes) {
    std::array<std::uint8_t, 44> h{};
    const auto channels = static_cast<std::uint32_t>(format.channels);
    const auto rate = static_cast<std::uint32_t>(format.sampleRate);
    const auto bytesPerSample = static_cast<std::uint32_t>(format.bits / 8);
    std::memcpy(h.data(), "RIFF", 4);
    put32(h.data() + 4, 36 + dataBytes);
    std::memcpy(h.data() + 8, "WAVE", 4);
    std::memcpy(h.data() + 12, "fmt ", 4);
    put32(h.data() + 16, 16);
    put16(h.data() + 20, 1);
    put16(h.data() + 22, channels);
    put32(h.data() + 24, rate);
    put32(h.data() + 28, channels * rate * bytesPerSample);
    put16(h.data() + 32, channels * bytesPerSample);
    put16(h.data() + 34, static_cast<std::uint32_t>(format.bits));
    std::memcpy(h.data() + 36, "data", 4);
    put32(h.data() + 40, dataBytes);
    return h;
}

// ---- RecordingFile ------------------------------------------------------------------------

bool RecordingFile::open(const QString& path, const PcmFormat& format, QString* error) {
    if (file_.isOpen()) file_.close();
    format_ = format;
    dataBytes_ = 0;
    failed_ = false;
    if (QFileInfo(path).isDir()) {
        if (error) *error = QStringLiteral("%1 是一個文件夾。").arg(path);
        return false;
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error) *error = file_.errorString();
        return false;
    }
    const auto header = wavHeader(format);
    if (file_.write(reinterpret_cast<const char*>(header.data()), 44) != 44 || !file_.flush()) {
        if (error) *error = file_.errorString();
        file_.close();
        file_.remove();
        return false;
    }
    return true;
}

void RecordingFile::append(const void* bytes, std::size_t count) {
    if (!file_.isOpen() || failed_ || count == 0) return;
    // The lengths are 32-bit: beyond that the file keeps what it can describe.
    count =
        static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), kMaxDataBytes - dataBytes_));
    if (count == 0) return;
    const auto written = file_.write(static_cast<const char*>(bytes), static_cast<qint64>(count));
    if (written != static_cast<qint64>(count)) failed_ = true;
    if (written > 0) dataBytes_ += written;
}

void RecordingFile::appendSilence(std::size_t count) {
    // 8-bit samples are unsigned: their silence is 128.
    const std::vector<char> zeros(std::min<std::size_t>(count, 65536), format_.bits == 8 ? char(0x80) : char(0));
    while (count > 0 && !failed_) {
        const std::size_t n = std::min(count, zeros.size());
        append(zeros.data(), n);
        count -= n;
    }
}

bool RecordingFile::close(QString* error) {
    if (!file_.isOpen()) {
        if (error) *error = QStringLiteral("沒有打開的聲音文件。");
        return false;
    }
    bool ok = !failed_ && file_.flush();
    const auto data = static_cast<std::uint32_t>(dataBytes_);
    const auto riff = le32(36 + data);
    const auto size = le32(data);
    ok = ok && file_.seek(4) && file_.write(reinterpret_cast<const char*>(riff.data()), 4) == 4;
    ok = ok && file_.seek(40) && file_.write(reinterpret_cast<const char*>(size.data()), 4) == 4;
    ok = ok && file_.flush();
    const QString why = file_.errorString();
    file_.close();
    if (!ok && error) *error = why;
    return ok;
}

// ---- the libpulse recorder ---------------------------------------------------------------------

namespace {

class PulseRecorder final : public SoundRecorder {
public:
    PulseRecorder(QString app, QString device) : app_(std::move(app)), device_(std::move(device)) {}
    ~PulseRecorder() override {
        QString ignored;
        if (recording()) stop(&ignored);
        teardown();
    }

    bool start(const QString& path, const PcmFormat& format, QString* error) override;
    bool stop(QString* error) override;
    bool recording() const override { return recording_.load(); }
    bool lost() const override { return lost_.load(); }
    std::int64_t framesRecorded() const override { return frames_.load(); }

private:
    static void onContextState(pa_context* c, void* self) {
        auto* r = static_cast<PulseRecorder*>(self);
        const pa_context_state_t state = pa_context_get_state(c);
        if (r->recording_.load() && (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED))
            r->lost_.store(true);
        pa_threaded_mainloop_signal(r->client_.loop(), 0);
    }
    static void onStreamState(pa_stream* s, void* self) {
        auto* r = static_cast<PulseRecorder*>(self);
        const pa_stream_state_t state = pa_stream_get_state(s);
        if (r->recording_.load() && (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)) r->lost_.store(true);
        pa_threaded_mainloop_signal(r->client_.loop(), 0);
    }
    static void onRead(pa_stream* s, std::size_t, void* self);
    void teardown();

    const QString app_;
    const QString device_;
    PulseClient client_;
    pa_stream* stream_ = nullptr;
    std::mutex fileMutex_;  // the loop thread writes, stop() closes
    RecordingFile file_;
    std::size_t frameBytes_ = 1;
    std::atomic<bool> recording_{false};
    std::atomic<bool> lost_{false};
    std::atomic<std::int64_t> frames_{0};
};

void PulseRecorder::onRead(pa_stream* s, std::size_t, void* self) {
    auto* r = static_cast<PulseRecorder*>(self);
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(s) > 0) {
        if (pa_stream_peek(s, &data, &bytes) < 0) return;
        if (bytes == 0) return;  // nothing buffered after all
        {
            std::lock_guard lock(r->fileMutex_);
            if (data)
                r->file_.append(data, bytes);
            else
                r->file_.appendSilence(bytes);  // a hole: keep the time it took
            r->frames_.store(r->file_.dataBytes() / static_cast<std::int64_t>(r->frameBytes_));
        }
        pa_stream_drop(s);
    }
}

bool PulseRecorder::start(const QString& path, const PcmFormat& format, QString* error) {
    if (recording_.load()) {
        if (error) *error = QStringLiteral("錄音已在進行。");
        return false;
    }
    teardown();
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        teardown();
        std::lock_guard lock(fileMutex_);
        QString ignored;
        if (file_.isOpen()) file_.close(&ignored);
        return false;
    };
    if ((format.bits != 8 && format.bits != 16) || (format.channels != 1 && format.channels != 2) ||
        format.sampleRate < 1000)
        return fail(QStringLiteral("不支援的錄音格式。"));
    frames_.store(0);
    lost_.store(false);
    frameBytes_ = static_cast<std::size_t>(format.channels * (format.bits / 8));

    if (QString why; !client_.open(app_, &PulseRecorder::onContextState, this, &why)) return fail(why);
    const auto unlockWith = [&](const QString& why) {
        client_.endSetUp();
        return fail(why);
    };

    pa_sample_spec sampleSpec{};
    sampleSpec.format = format.bits == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    sampleSpec.rate = static_cast<std::uint32_t>(format.sampleRate);
    sampleSpec.channels = static_cast<std::uint8_t>(format.channels);
    pa_channel_map map;
    pa_channel_map_init_auto(&map, sampleSpec.channels, PA_CHANNEL_MAP_DEFAULT);
    stream_ = pa_stream_new(client_.context(), "Recording", &sampleSpec, &map);
    if (!stream_) return unlockWith(client_.lastError("無法建立錄音串流"));
    pa_stream_set_state_callback(stream_, &PulseRecorder::onStreamState, this);
    pa_stream_set_read_callback(stream_, &PulseRecorder::onRead, this);

    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUs, &sampleSpec));
    const QByteArray device = device_.toUtf8();
    if (pa_stream_connect_record(stream_, device.isEmpty() ? nullptr : device.constData(), &attr,
                                 PA_STREAM_ADJUST_LATENCY) < 0)
        return unlockWith(client_.lastError("無法打開錄音串流"));
    if (QString why; !client_.waitReady(stream_, &why)) return unlockWith(why);
    // The header goes down before any sample: the loop cannot deliver one while it is locked.
    {
        std::lock_guard lock(fileMutex_);
        QString why;
        if (!file_.open(path, format, &why)) return unlockWith(why);
    }
    recording_.store(true);
    client_.endSetUp();
    return true;
}

bool PulseRecorder::stop(QString* error) {
    if (!recording_.exchange(false)) {
        if (error) *error = QStringLiteral("沒有正在進行的錄音。");
        return false;
    }
    if (pa_threaded_mainloop* loop = client_.loop()) {
        // What the server still holds belongs to the recording.
        pa_threaded_mainloop_lock(loop);
        if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) onRead(stream_, 0, this);
        pa_threaded_mainloop_unlock(loop);
    }
    teardown();
    std::lock_guard lock(fileMutex_);
    return file_.close(error);
}

void PulseRecorder::teardown() { client_.close(&stream_); }

class NullRecorder final : public SoundRecorder {
public:
    explicit NullRecorder(QString reason) : reason_(std::move(reason)) {}
    bool start(const QString&, const PcmFormat&, QString* error) override {
        if (error) *error = reason_;
        return false;
    }
    bool stop(QString* error) override {
        if (error) *error = QStringLiteral("沒有正在進行的錄音。");
        return false;
    }
    bool recording() const override { return false; }
    std::int64_t framesRecorded() const override { return 0; }

private:
    QString reason_;
};

}  // namespace

std::unique_ptr<SoundRecorder> makePulseRecorder(const QString& applicationName, const QString& device) {
    return std::make_unique<PulseRecorder>(applicationName, device);
}

std::unique_ptr<SoundRecorder> makeNullRecorder(const QString& reason) {
    return std::make_unique<NullRecorder>(reason);
}

}  // namespace sayvell::audio
