#pragma once
// Plays a plan: wakes at the second the next announcement is due (no polling), queues what is
// due in playing order so that announcements never overlap, logs what was played, skipped,
// missed or failed. Lives on one thread (the one with the event loop); the announcer reports
// back there.
#include "plan/due_tracker.h"
#include "plan/plan_store.h"

#include <QString>
#include <deque>
#include <functional>
#include <optional>

namespace sayvell::plan {

// Calls onWake at a wall-clock second, and also when the wall clock was set or the machine
// resumed, so the caller can look again.
class WakeTimer {
public:
    virtual ~WakeTimer() = default;
    virtual void armAt(qint64 epochSeconds) = 0;
    virtual void disarm() = 0;
    std::function<void()> onWake;
};

// Says one entry: its chime, then its text the number of times asked with the gap between.
class Announcer {
public:
    using Done = std::function<void(bool ok, const QString& error)>;
    virtual ~Announcer() = default;
    // Returns at once; done comes later on the caller's thread (never from inside play()).
    // `text` is what to say, already read from the entry's file when it names one.
    virtual void play(const Entry& entry, const QString& text, Done done) = 0;
    // Ends the announcement in progress at once; its done still comes, with ok false.
    virtual void stop() = 0;
};

// Keeps the machine from sleeping when idle (logind's "idle:sleep" inhibitor) while held.
class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    virtual void setHeld(bool held) = 0;
};

// Held while an announcement plays or one is due within this many seconds.
inline constexpr qint64 kStayAwakeSeconds = 3600;

struct PlayerEnv {
    WakeTimer& timer;
    Announcer& announcer;
    std::function<qint64()> now;          // seconds since the epoch
    std::function<QTimeZone()> zone;      // looked up at each wake: the zone may change
    PlanStore* store = nullptr;           // the log and the watermark; none in some tests
    SleepInhibitor* inhibitor = nullptr;  // none: the machine may sleep as it likes
};

class PlanPlayer {
public:
    explicit PlanPlayer(PlayerEnv env);
    ~PlanPlayer();

    void setPlan(Plan plan);
    const Plan& plan() const { return plan_; }
    void setGrace(int seconds) { tracker_.setGrace(seconds); }

    // Starts from where the last player of this draft.dat stopped looking, logging what fell
    // since as missed (or playing it when within the grace time).
    void start();
    // The Stop command: ends the announcement in progress and drops the queued ones.
    void stopAnnouncements();
    // "Play now": queues the entry as if due this second.
    void playNow(int entryIndex);

    bool playing() const { return current_.has_value(); }
    std::optional<Occurrence> next() const { return next_; }
    // The entry playing or next, for status lines: "hh:mm 名稱".
    QString nextText() const;

    // After each change of what plays or comes next.
    std::function<void()> onChanged;
    // Asked before each announcement: true holds it back (a reading is finishing its piece)
    // until resume().
    std::function<bool()> holdOff;
    void resume() { pump(); }
    // After the last of the announcements due together has ended.
    std::function<void()> onAnnouncementsDone;

private:
    struct Queued {
        Occurrence at;
        Entry entry;
    };
    void wake();
    void pump();
    void finished(bool ok, const QString& error);
    void arm();
    void holdAwake();
    void log(const Occurrence& o, const Entry& e, LogStatus status, std::optional<qint64> played,
             const QString& detail);
    void changed() {
        if (onChanged) onChanged();
    }

    PlayerEnv env_;
    Plan plan_;
    DueTracker tracker_;
    std::deque<Queued> queue_;
    std::optional<Queued> current_;
    qint64 currentStarted_ = 0;
    std::optional<Occurrence> next_;
    bool started_ = false;
    bool awake_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace sayvell::plan
