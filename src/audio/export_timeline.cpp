#include "audio/export_timeline_p.h"

#include "music/music_decoder.h"
#include "music/track_list.h"
#include "music/volume_follower.h"

#include <soxr.h>

#include <algorithm>
#include <random>

namespace sayvell::audio::detail {

// The music of the panel's list as an endless stereo stream at the mix rate.
class MusicSource {
public:
    MusicSource(const MusicBed& bed, int rate)
        : bed_(bed), rate_(rate), index_(std::clamp(bed.startIndex, 0, std::max(0, int(bed.files.size()) - 1))),
          random_(std::random_device{}()) {}
    ~MusicSource() { dropResampler(); }

    // Interleaved stereo; silence when nothing in the list can be decoded.
    void read(float* out, std::size_t frames) {
        std::size_t filled = 0;
        while (filled < frames) {
            if (taken_ >= buffer_.size()) {
                buffer_.clear();
                taken_ = 0;
                if (!refill()) {
                    std::fill(out + 2 * filled, out + 2 * frames, 0.0f);
                    return;
                }
            }
            const std::size_t n = std::min(frames - filled, (buffer_.size() - taken_) / 2);
            std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(taken_), 2 * n, out + 2 * filled);
            taken_ += 2 * n;
            filled += n;
        }
    }

private:
    bool openTrack() {
        dropResampler();
        decoder_.reset();
        const int count = static_cast<int>(bed_.files.size());
        // Every line may be tried once before the list counts as silent.
        for (int tries = 0; tries < count && !decoder_; ++tries) {
            if (started_)
                index_ = bed_.random ? music::randomTrack(index_, count, random_) : music::nextTrack(index_, count);
            started_ = true;
            decoder_ = music::MusicDecoder::open(bed_.files[index_]);
        }
        if (!decoder_) {
            dead_ = true;
            return false;
        }
        if (decoder_->rate() != rate_) {
            const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t q = soxr_quality_spec(SOXR_MQ, 0);
            soxr_ = soxr_create(decoder_->rate(), rate_, 2, nullptr, &io, &q, nullptr);
        }
        return true;
    }

    bool refill() {
        if (dead_ || bed_.files.isEmpty())
            return false;
        for (int attempts = 0; attempts < 4 && buffer_.empty(); ++attempts) {
            if (!decoder_ && !openTrack())
                return false;
            const std::size_t n = decoder_->read(&pcm_, 4096);
            if (n == 0) {
                flushResampler();
                decoder_.reset();  // next track
                if (!buffer_.empty())
                    break;
                continue;
            }
            const int ch = std::max(1, decoder_->channels());
            stereo_.resize(2 * n);
            for (std::size_t i = 0; i < n; ++i) {
                const float l = pcm_[i * static_cast<std::size_t>(ch)] / 32768.0f;
                const float r = ch > 1 ? pcm_[i * static_cast<std::size_t>(ch) + 1] / 32768.0f : l;
                stereo_[2 * i] = l;
                stereo_[2 * i + 1] = r;
            }
            if (!soxr_) {
                buffer_.insert(buffer_.end(), stereo_.begin(), stereo_.end());
                continue;
            }
            resampled_.resize(2 * (n * static_cast<std::size_t>(rate_) / static_cast<std::size_t>(decoder_->rate()) + 512));
            std::size_t used = 0, produced = 0;
            soxr_process(soxr_, stereo_.data(), n, &used, resampled_.data(), resampled_.size() / 2, &produced);
            buffer_.insert(buffer_.end(), resampled_.begin(), resampled_.begin() + static_cast<std::ptrdiff_t>(2 * produced));
        }
        return !buffer_.empty();
    }

    void flushResampler() {
        if (!soxr_)
            return;
        resampled_.resize(2 * 4096);
        for (;;) {
            std::size_t produced = 0;
            if (soxr_process(soxr_, nullptr, 0, nullptr, resampled_.data(), 4096, &produced) || produced == 0)
                break;
            buffer_.insert(buffer_.end(), resampled_.begin(), resampled_.begin() + static_cast<std::ptrdiff_t>(2 * produced));
        }
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
    std::vector<float> stereo_, resampled_;
    std::vector<float> buffer_;  // decoded, from taken_ on not yet read
    std::size_t taken_ = 0;
};

Timeline::Timeline(WavWriter& out, int rate, const MusicBed* bed)
    : out_(out), rate_(rate), tick_(std::max(1, rate / 50)) {
    if (bed && !bed->files.isEmpty()) {
        music_ = std::make_unique<MusicSource>(*bed, rate);
        musicVolume_ = bed->musicVolume;
        readingVolume_ = bed->readingVolume;
        level_ = readingVolume_;
        gain_ = static_cast<float>(level_) / 100.0f;
    }
}

Timeline::~Timeline() = default;

void Timeline::finishMusic() {
    if (!music_)
        return;
    for (int guard = 0; level_ < musicVolume_ && guard < 200; ++guard)
        lay(nullptr, tick_, false);
    fadeFrames_ = static_cast<std::size_t>(rate_);
    fadeLeft_ = fadeFrames_;
    lay(nullptr, fadeFrames_, false);
}

void Timeline::lay(const float* speech, std::size_t frames, bool active) {
    if (!music_) {
        if (speech)
            out_.writeFloat(speech, frames);
        else
            out_.writeSilence(frames);
        frames_ += static_cast<std::int64_t>(frames);
        return;
    }
    std::size_t done = 0;
    while (done < frames && !out_.failed()) {
        if (inTick_ == 0) {
            const music::FollowerStep step =
                music::followVolume({active, true, musicVolume_, readingVolume_, level_});
            level_ = step.level;
            startGain_ = gain_;
            targetGain_ = static_cast<float>(level_) / 100.0f;
        }
        const std::size_t n = std::min(frames - done, static_cast<std::size_t>(tick_ - inTick_));
        mix_.resize(2 * n);
        music_->read(mix_.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            // A ramp across the tick: a change of level never clicks.
            const float t = static_cast<float>(inTick_ + static_cast<int>(i) + 1) / static_cast<float>(tick_);
            gain_ = startGain_ + (targetGain_ - startGain_) * t;
            float g = gain_;
            if (fadeFrames_ > 0) {
                g *= static_cast<float>(fadeLeft_) / static_cast<float>(fadeFrames_);
                if (fadeLeft_ > 0)
                    --fadeLeft_;
            }
            const float v = speech ? speech[done + i] : 0.0f;
            mix_[2 * i] = v + g * mix_[2 * i];
            mix_[2 * i + 1] = v + g * mix_[2 * i + 1];
        }
        out_.writeFloat(mix_.data(), n);
        inTick_ = (inTick_ + static_cast<int>(n)) % tick_;
        done += n;
    }
    frames_ += static_cast<std::int64_t>(frames);
}

}  // namespace sayvell::audio::detail
