// The output used where there is no sound server, and in tests.
//
// Paced: pulls one 10 ms block per 10 ms of the steady clock, like a device would.
// Unpaced: pulls as fast as it can, and never for a tap alone (it would record silence at
// full speed). Either way it pulls only while the engine has work (the demand probe) and sleeps
// until workArrived(), so an idle engine costs nothing; the clock stands still meanwhile and
// a paced schedule restarts from the moment work arrives. Without a probe it always pulls.
#include "audio/audio_output.h"
#include "audio/output_demand.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace sayvell::audio {
namespace {

constexpr std::size_t kBlockFrames = 480;  // 10 ms at 48 kHz
constexpr auto kBlockTime = std::chrono::milliseconds(10);
// After a stall longer than this the schedule restarts instead of pulling a burst to catch up.
constexpr auto kMaxLag = std::chrono::milliseconds(200);

class NullOutput final : public AudioOutput, public DemandAware {
public:
    explicit NullOutput(bool paced) : paced_(paced) {}
    ~NullOutput() override { stop(); }

    bool start(Pull pull, QString* /*error*/) override {
        stop();
        pull_ = std::move(pull);
        written_.store(0);
        {
            std::lock_guard lk(m_);
            stopping_ = false;
            wake_ = true;
        }
        thread_ = std::thread([this] { run(); });
        return true;
    }

    void stop() override {
        {
            std::lock_guard lk(m_);
            stopping_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    std::int64_t playedFrames() const override { return written_.load(); }
    std::int64_t writtenFrames() const override { return written_.load(); }
    bool isNull() const override { return true; }

    void setDemandProbe(std::function<Demand()> probe) override { probe_ = std::move(probe); }

    void workArrived() override {
        {
            std::lock_guard lk(m_);
            wake_ = true;
        }
        cv_.notify_all();
    }

private:
    void pullBlock(std::vector<float>& buf) {
        if (pull_) pull_(buf.data(), kBlockFrames);
        written_.fetch_add(static_cast<std::int64_t>(kBlockFrames));
    }

    bool wanted() const {
        if (!probe_) return true;
        const Demand demand = probe_();
        return demand == Demand::Sound || (paced_ && demand == Demand::Listen);
    }

    void run() {
        std::vector<float> buf(kBlockFrames * 2);
        auto next = std::chrono::steady_clock::now();
        std::unique_lock lk(m_);
        while (!stopping_) {
            // Clear the flag before asking, so work queued after the probe is never missed.
            wake_ = false;
            lk.unlock();
            const bool work = wanted();
            if (work) pullBlock(buf);
            lk.lock();
            if (!work) {
                cv_.wait(lk, [this] { return stopping_ || wake_; });
                next = std::chrono::steady_clock::now();
                continue;
            }
            if (paced_) {
                next += kBlockTime;
                const auto now = std::chrono::steady_clock::now();
                if (now - next > kMaxLag) next = now;
                cv_.wait_until(lk, next, [this] { return stopping_; });
            }
        }
    }

    const bool paced_;
    Pull pull_;
    std::function<Demand()> probe_;
    std::atomic<std::int64_t> written_{0};
    std::mutex m_;
    std::condition_variable cv_;
    bool stopping_ = false;
    bool wake_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioOutput> makeNullOutput(bool paced) { return std::make_unique<NullOutput>(paced); }

}  // namespace sayvell::audio
