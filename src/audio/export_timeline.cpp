#include "audio/export_timeline_p.h"

#include "music/music_decoder.h"
#include "music/track_list.h"
#include "music/volume_follower.h"

#include <soxr.h>

#include <algorithm>
#include <random>

namespace sayvell::audio::detail {
namespace {

// Floats that grow without the zeroing of std::vector::resize: every one is written before it
// is read, and the music passes through here a block at a time.
class Samples {
public:
    float* data() { return data_.get(); }
    const float* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() { size_ = 0; }
    void shrink(std::size_t size) { size_ = std::min(size, size_); }
    // Room for n more at the end, counted in size() at once.
    float* append(std::size_t n) {
        if (size_ + n > capacity_) {
            const std::size_t capacity = std::max(size_ + n, 2 * capacity_);
            auto grown = std::make_unique_for_overwrite<float[]>(capacity);
            std::copy_n(data_.get(), size_, grown.get());
            data_ = std::move(grown);
            capacity_ = capacity;
        }
        float* at = data_.get() + size_;
        size_ += n;
        return at;
    }

private:
    std::unique_ptr<float[]> data_;
    std::size_t size_ = 0, capacity_ = 0;
};

// Decoded music kept for the tracks that play again, in floats: about 4.5 minutes of stereo at
// 44.1 kHz.
constexpr std::size_t kCacheFloats = std::size_t{24} << 20;

}  // namespace

// The music of the panel's list as an endless stereo stream at the mix rate. A list shorter
// than the reading plays again: a track is decoded (and resampled) once, as it first plays, and
// then comes from memory, the same samples a second decoding would give.
class MusicSource {
public:
    MusicSource(const MusicBed& bed, int rate)
        : bed_(bed), rate_(rate), index_(std::clamp(bed.startIndex, 0, std::max(0, int(bed.files.size()) - 1))),
          random_(std::random_device{}()), cache_(static_cast<std::size_t>(bed.files.size())),
          kept_(cache_.size(), Kept::Not) {}
    ~MusicSource() { dropResampler(); }

    // The next frames of the stream, interleaved stereo, read in place: at least one and at
    // most `frames` (*got), valid until the next call. Silence when nothing in the list can be
    // decoded.
    const float* take(std::size_t frames, std::size_t* got) {
        if (taken_ >= spanSize_) {
            taken_ = spanSize_ = 0;
            if (!refill()) {
                silence_.resize(std::max(silence_.size(), 2 * frames), 0.0f);
                *got = frames;
                return silence_.data();
            }
        }
        *got = std::min(frames, (spanSize_ - taken_) / 2);
        const float* at = span_ + taken_;
        taken_ += 2 * *got;
        return at;
    }

private:
    enum class Kept { Not, Whole, TooLong };

    bool openTrack() {
        dropResampler();
        decoder_.reset();
        fromCache_ = false;
        const int count = static_cast<int>(bed_.files.size());
        // Every line may be tried once before the list counts as silent.
        for (int tries = 0; tries < count && !decoder_ && !fromCache_; ++tries) {
            if (started_)
                index_ = bed_.random ? music::randomTrack(index_, count, random_) : music::nextTrack(index_, count);
            started_ = true;
            if (kept_[static_cast<std::size_t>(index_)] == Kept::Whole)
                fromCache_ = true;
            else
                decoder_ = music::MusicDecoder::open(bed_.files[index_]);
        }
        if (fromCache_) return true;
        if (!decoder_) {
            dead_ = true;
            return false;
        }
        if (kept_[static_cast<std::size_t>(index_)] == Kept::Not)
            recording_ = &cache_[static_cast<std::size_t>(index_)];
        if (decoder_->rate() != rate_) {
            const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t q = soxr_quality_spec(SOXR_MQ, 0);
            soxr_ = soxr_create(decoder_->rate(), rate_, 2, nullptr, &io, &q, nullptr);
        }
        return true;
    }

    // Sets the span take() reads: the next block decoded, or a kept track whole.
    bool refill() {
        if (dead_ || bed_.files.isEmpty()) return false;
        buffer_.clear();
        for (int attempts = 0; attempts < 4 && buffer_.empty(); ++attempts) {
            if (!decoder_ && !fromCache_ && !openTrack()) return false;
            if (fromCache_) {
                fromCache_ = false;  // next track after this one
                const Samples& track = cache_[static_cast<std::size_t>(index_)];
                if (track.empty()) continue;
                span_ = track.data();
                spanSize_ = track.size();
                return true;
            }
            const std::size_t n = decoder_->read(&pcm_, 4096);
            if (n == 0) {
                flushResampler();
                endRecording(!decoder_->failed());
                decoder_.reset();  // next track
                if (!buffer_.empty()) break;
                continue;
            }
            const std::size_t from = buffer_.size();
            const int ch = std::max(1, decoder_->channels());
            // At the mix rate the frames go straight to the buffer; else through the resampler.
            if (soxr_) stereo_.resize(2 * n);
            float* stereo = soxr_ ? stereo_.data() : buffer_.append(2 * n);
            for (std::size_t i = 0; i < n; ++i) {
                const float l = pcm_[i * static_cast<std::size_t>(ch)] / 32768.0f;
                const float r = ch > 1 ? pcm_[i * static_cast<std::size_t>(ch) + 1] / 32768.0f : l;
                stereo[2 * i] = l;
                stereo[2 * i + 1] = r;
            }
            if (!soxr_) {
                record(from);
                continue;
            }
            const std::size_t room =
                n * static_cast<std::size_t>(rate_) / static_cast<std::size_t>(decoder_->rate()) + 512;
            const std::size_t at = buffer_.size();
            std::size_t used = 0, produced = 0;
            soxr_process(soxr_, stereo_.data(), n, &used, buffer_.append(2 * room), room, &produced);
            buffer_.shrink(at + 2 * produced);
            record(from);
        }
        span_ = buffer_.data();
        spanSize_ = buffer_.size();
        return !buffer_.empty();
    }

    // Keeps what the buffer gained from `from` on for the track being decoded.
    void record(std::size_t from) {
        if (!recording_) return;
        const std::size_t n = buffer_.size() - from;
        if (keptFloats_ + n > kCacheFloats) {
            kept_[static_cast<std::size_t>(index_)] = Kept::TooLong;
            endRecording(false);
            return;
        }
        std::copy_n(buffer_.data() + from, n, recording_->append(n));
        keptFloats_ += n;
    }

    // A track decoded to its end is kept; one cut short by damage or the budget is not.
    void endRecording(bool whole) {
        if (!recording_) return;
        if (whole) {
            kept_[static_cast<std::size_t>(index_)] = Kept::Whole;
        } else {
            keptFloats_ -= recording_->size();
            *recording_ = Samples();
        }
        recording_ = nullptr;
    }

    void flushResampler() {
        if (!soxr_) return;
        const std::size_t from = buffer_.size();
        for (;;) {
            const std::size_t at = buffer_.size();
            std::size_t produced = 0;
            const bool failed = soxr_process(soxr_, nullptr, 0, nullptr, buffer_.append(2 * 4096), 4096, &produced);
            buffer_.shrink(at + 2 * (failed ? 0 : produced));
            if (failed || produced == 0) break;
        }
        record(from);
        dropResampler();
    }

    void dropResampler() {
        if (soxr_) {
            soxr_delete(soxr_);
            soxr_ = nullptr;
        }
    }

    const MusicBed bed_;
    const int rate_;
    int index_;
    bool started_ = false;
    bool dead_ = false;
    std::mt19937 random_;
    std::unique_ptr<music::MusicDecoder> decoder_;
    soxr_t soxr_ = nullptr;
    std::vector<std::int16_t> pcm_;
    std::vector<float> stereo_;
    Samples buffer_;               // the block last decoded
    const float* span_ = nullptr;  // what take() reads, from taken_ on
    std::size_t spanSize_ = 0, taken_ = 0;
    std::vector<float> silence_;
    std::vector<Samples> cache_;  // per line of the list
    std::vector<Kept> kept_;
    std::size_t keptFloats_ = 0;
    Samples* recording_ = nullptr;  // the track being decoded, while it may still be kept
    bool fromCache_ = false;        // the track opened is a kept one
};

namespace {

// Steps and speech waiting for the thread: the caller waits rather than holding more (speech of
// about 45 s at 44.1 kHz), unless the thread has nothing at all to do.
constexpr std::size_t kQueuedSteps = 32;
constexpr std::size_t kQueuedSpeech = std::size_t{1} << 21;
// Mixed frames go to the writer in blocks this long rather than one 20 ms tick at a time.
constexpr std::size_t kBlockFrames = 16384;

}  // namespace

Timeline::Timeline(WavWriter& out, int rate, int channels, const MusicBed* bed)
    : out_(out), rate_(rate), channels_(channels == 1 ? 1 : 2), tick_(std::max(1, rate / 50)) {
    if (bed && !bed->files.isEmpty()) {
        music_ = std::make_unique<MusicSource>(*bed, rate);
        musicVolume_ = bed->musicVolume;
        readingVolume_ = bed->readingVolume;
        level_ = readingVolume_;
        gain_ = static_cast<float>(level_) / 100.0f;
        mix_.resize(static_cast<std::size_t>(channels_) * kBlockFrames);
    }
    thread_ = std::thread([this] { run(); });
}

Timeline::~Timeline() { abandon(); }

void Timeline::give(Step step) {
    const std::size_t frames = step.speech.empty() ? step.silence : step.speech.size();
    frames_ += static_cast<std::int64_t>(frames);
    if (frames == 0) return;
    std::unique_lock lock(m_);
    changed_.wait(lock, [this] {
        return (queue_.size() < kQueuedSteps && queuedSpeech_ < kQueuedSpeech) || queue_.empty() || dropping_;
    });
    if (closing_ || dropping_) return;
    queuedSpeech_ += step.speech.size();
    queue_.push_back(std::move(step));
    changed_.notify_all();
}

void Timeline::finish() { stop(false); }

void Timeline::abandon() { stop(true); }

void Timeline::stop(bool drop) {
    {
        std::lock_guard lock(m_);
        if (drop) {
            dropping_ = true;
            queue_.clear();
            queuedSpeech_ = 0;
        }
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void Timeline::run() {
    for (;;) {
        Step step;
        {
            std::unique_lock lock(m_);
            changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
            if (dropping_) return;
            if (queue_.empty()) break;
            step = std::move(queue_.front());
            queue_.pop_front();
            queuedSpeech_ -= step.speech.size();
        }
        changed_.notify_all();
        if (failed_.load()) continue;
        // The reading goes on through its pauses: the music stays down until the last piece.
        if (step.speech.empty())
            lay(nullptr, step.silence, true);
        else
            lay(step.speech.data(), step.speech.size(), true);
        if (out_.failed()) failed_.store(true);
    }
    finishMusic();
    flushMixed();
    if (out_.failed()) failed_.store(true);
}

void Timeline::finishMusic() {
    if (!music_ || failed_.load()) return;
    const auto layTail = [this](std::size_t frames) {
        lay(nullptr, frames, false);
        tailFrames_ += static_cast<std::int64_t>(frames);
    };
    for (int guard = 0; level_ < musicVolume_ && guard < 200; ++guard) layTail(static_cast<std::size_t>(tick_));
    fadeFrames_ = static_cast<std::size_t>(rate_);
    fadeLeft_ = fadeFrames_;
    layTail(fadeFrames_);
}

void Timeline::flushMixed() {
    if (mixed_ > 0) out_.writeFloat(mix_.data(), mixed_);
    mixed_ = 0;
}

// Frames `from` on of the tick's current step: music (stereo) under speech (mono, or none).
void Timeline::mix(float* out, const float* music, const float* speech, std::size_t from, std::size_t frames) {
    const bool stereo = channels_ == 2;
    const auto put = [&](std::size_t i, float g) {
        const float s = speech ? speech[i] : 0.0f;
        const float l = s + g * music[2 * i];
        const float r = s + g * music[2 * i + 1];
        if (stereo) {
            out[2 * i] = l;
            out[2 * i + 1] = r;
        } else {
            out[i] = 0.5f * (l + r);  // WavWriter's mix-down
        }
    };
    if (startGain_ == targetGain_ && fadeFrames_ == 0) {
        // A held level: the ramp below would give this same gain to every frame.
        for (std::size_t i = 0; i < frames; ++i) put(i, startGain_);
        if (frames > 0) gain_ = startGain_;
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        // A ramp across the tick: a change of level never clicks.
        const float t = static_cast<float>(inTick_ + static_cast<int>(from + i) + 1) / static_cast<float>(tick_);
        gain_ = startGain_ + (targetGain_ - startGain_) * t;
        float g = gain_;
        if (fadeFrames_ > 0) {
            g *= static_cast<float>(fadeLeft_) / static_cast<float>(fadeFrames_);
            if (fadeLeft_ > 0) --fadeLeft_;
        }
        put(i, g);
    }
}

void Timeline::lay(const float* speech, std::size_t frames, bool active) {
    if (!music_) {
        if (speech)
            out_.writeFloat(speech, frames);
        else
            out_.writeSilence(frames);
        return;
    }
    std::size_t done = 0;
    while (done < frames && !out_.failed()) {
        if (inTick_ == 0) {
            const music::FollowerStep step = music::followVolume({active, true, musicVolume_, readingVolume_, level_});
            level_ = step.level;
            startGain_ = gain_;
            targetGain_ = static_cast<float>(level_) / 100.0f;
        }
        const std::size_t n = std::min(frames - done, static_cast<std::size_t>(tick_ - inTick_));
        if (mixed_ + n > kBlockFrames) flushMixed();
        float* out = mix_.data() + static_cast<std::size_t>(channels_) * mixed_;
        for (std::size_t k = 0; k < n;) {
            std::size_t got = 0;
            const float* music = music_->take(n - k, &got);
            mix(out + static_cast<std::size_t>(channels_) * k, music, speech ? speech + done + k : nullptr, k, got);
            k += got;
        }
        mixed_ += n;
        inTick_ = (inTick_ + static_cast<int>(n)) % tick_;
        done += n;
    }
}

}  // namespace sayvell::audio::detail
