#pragma once
// Which announcements are due at a moment, which were missed, and which were kept from playing,
// so that each planned announcement is dealt with once: after a suspend, a clock set back or
// forward, or a change of time zone.
#include "plan/plan_times.h"

#include <optional>
#include <set>
#include <tuple>

namespace sayvell::plan {

// How far back a start looks for announcements to log as missed.
inline constexpr qint64 kLookBackSeconds = 24 * 60 * 60;

class DueTracker {
public:
    explicit DueTracker(int graceSeconds = kDefaultGraceSeconds) : grace_(graceSeconds) {}

    void setGrace(int seconds) { grace_ = seconds; }
    int grace() const { return grace_; }
    // Where the previous player stopped looking (seconds since the epoch); 0: never played.
    void setWatermark(qint64 secs) { watermark_ = secs; }
    qint64 watermark() const { return watermark_; }

    struct Step {
        std::vector<Occurrence> play;     // due now or late by at most the grace time, in order
        std::vector<Occurrence> missed;   // later than the grace time
        std::vector<Occurrence> skipped;  // a day off or a switched-off entry
    };
    // Everything that fell since the last call, up to now; each occurrence comes out once.
    Step advance(const Plan& plan, const QTimeZone& zone, qint64 now);
    // The next announcement not yet dealt with, after now.
    std::optional<Occurrence> next(const Plan& plan, const QTimeZone& zone, qint64 now) const;

private:
    using Key = std::tuple<qint64, qint64, int>;  // day, entry, second
    static Key keyOf(const Plan& plan, const Occurrence& o);
    bool handled(const Plan& plan, const Occurrence& o) const { return done_.count(keyOf(plan, o)) != 0; }

    int grace_;
    qint64 watermark_ = 0;
    std::set<Key> done_;
};

}  // namespace sayvell::plan
