#include "plan/plan_player.h"

#include "document/text_file.h"

#include <QDateTime>

namespace sayvell::plan {

namespace {
// The entry's text: typed, or read from its file now (it may have changed since it was chosen).
bool textOf(const Entry& e, QString* text, QString* error) {
    if (e.textFile.isEmpty()) {
        *text = e.text;
    } else {
        document::DecodedText decoded;
        QString why;
        if (!document::readTextFile(e.textFile, &decoded, &why)) {
            *error = QStringLiteral("無法讀取文字檔 %1：%2").arg(e.textFile, why);
            return false;
        }
        *text = decoded.text;
    }
    if (text->trimmed().isEmpty()) {
        *error = QStringLiteral("沒有要播報的文字");
        return false;
    }
    return true;
}

QString skipReason(Skip s) { return s == Skip::DayOff ? QStringLiteral("休息日") : QStringLiteral("項目已停用"); }
}  // namespace

PlanPlayer::PlanPlayer(PlayerEnv env) : env_(std::move(env)) {
    env_.timer.onWake = [this] { wake(); };
}

PlanPlayer::~PlanPlayer() {
    *alive_ = false;
    if (awake_ && env_.inhibitor) env_.inhibitor->setHeld(false);
    env_.timer.onWake = nullptr;
    env_.timer.disarm();
}

void PlanPlayer::setPlan(Plan plan) {
    plan_ = std::move(plan);
    if (started_) {
        // What fell before the edit was dealt with under the old plan.
        tracker_.setWatermark(std::max(tracker_.watermark(), env_.now()));
        arm();
    }
    changed();
}

void PlanPlayer::start() {
    started_ = true;
    const qint64 now = env_.now();
    qint64 mark = env_.store ? env_.store->watermark() : 0;
    if (mark > now) mark = 0;  // written under a clock that was ahead: only the grace time counts
    tracker_.setWatermark(mark);
    wake();
}

void PlanPlayer::wake() {
    const qint64 now = env_.now();
    const DueTracker::Step step = tracker_.advance(plan_, env_.zone(), now);
    for (const Occurrence& o : step.play) queue_.push_back({o, plan_.entries[std::size_t(o.entry)]});
    // The sound first: writing the log waits for the disk.
    pump();
    for (const Occurrence& o : step.skipped)
        log(o, plan_.entries[std::size_t(o.entry)], LogStatus::Skipped, std::nullopt, skipReason(o.skip));
    for (const Occurrence& o : step.missed)
        log(o, plan_.entries[std::size_t(o.entry)], LogStatus::Missed, std::nullopt,
            QStringLiteral("晚了 %1 分鐘").arg((now - o.due) / 60));
    if (env_.store) env_.store->setWatermark(now);
    arm();
}

void PlanPlayer::arm() {
    next_ = tracker_.next(plan_, env_.zone(), env_.now());
    // Waking at least hourly notices a change of time zone, which moves no clock.
    const qint64 hour = env_.now() + 3600;
    env_.timer.armAt(next_ ? std::min(next_->due, hour) : hour);
    holdAwake();
    changed();
}

void PlanPlayer::holdAwake() {
    const bool held =
        started_ && (current_ || !queue_.empty() || (next_ && next_->due - env_.now() <= kStayAwakeSeconds));
    if (held == awake_ || !env_.inhibitor) return;
    awake_ = held;
    env_.inhibitor->setHeld(held);
}

void PlanPlayer::pump() {
    QString text, error;
    while (!current_ && !queue_.empty() && !textOf(queue_.front().entry, &text, &error)) {
        // Nothing to say: logged, and the next one goes on at once.
        log(queue_.front().at, queue_.front().entry, LogStatus::Failed, env_.now(), error);
        queue_.pop_front();
    }
    if (current_ || queue_.empty()) return;
    if (holdOff && holdOff()) return;
    current_ = std::move(queue_.front());
    queue_.pop_front();
    currentStarted_ = env_.now();
    changed();
    std::weak_ptr<bool> alive = alive_;
    env_.announcer.play(current_->entry, text, [this, alive](bool ok, const QString& why) {
        if (const auto a = alive.lock(); a && *a) finished(ok, why);
    });
}

void PlanPlayer::finished(bool ok, const QString& error) {
    if (!current_) return;
    const Queued done = std::move(*current_);
    current_.reset();
    log(done.at, done.entry, ok ? LogStatus::Played : LogStatus::Failed, currentStarted_, error);
    pump();
    if (!current_ && onAnnouncementsDone) onAnnouncementsDone();
    holdAwake();
    changed();
}

void PlanPlayer::stopAnnouncements() {
    for (const Queued& q : queue_) log(q.at, q.entry, LogStatus::Skipped, std::nullopt, QStringLiteral("已按停止"));
    queue_.clear();
    if (current_) {
        // Logged now: the program may end before the announcer reports back.
        const Queued cut = std::move(*current_);
        current_.reset();
        log(cut.at, cut.entry, LogStatus::Failed, currentStarted_, QStringLiteral("已按停止"));
        env_.announcer.stop();
    }
    changed();
}

void PlanPlayer::playNow(int entryIndex) {
    if (entryIndex < 0 || entryIndex >= int(plan_.entries.size())) return;
    const qint64 now = env_.now();
    const QDateTime local = QDateTime::fromSecsSinceEpoch(now, env_.zone());
    queue_.push_back({{now, entryIndex, local.date(), local.time().msecsSinceStartOfDay() / 1000, Skip::None},
                      plan_.entries[std::size_t(entryIndex)]});
    pump();
    changed();
}

QString PlanPlayer::nextText() const {
    if (current_) return QStringLiteral("正在播報：%1").arg(current_->entry.name);
    if (!next_) return QStringLiteral("沒有預定的播報");
    const QDateTime at = QDateTime::fromSecsSinceEpoch(next_->due, env_.zone());
    const QDate today = QDateTime::fromSecsSinceEpoch(env_.now(), env_.zone()).date();
    const QString clock = at.time().second() ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    const QString when = at.toString(at.date() == today ? clock : QStringLiteral("M/d ") + clock);
    return QStringLiteral("下次播報：%1 %2").arg(when, plan_.entries[std::size_t(next_->entry)].name);
}

void PlanPlayer::log(const Occurrence& o, const Entry& e, LogStatus status, std::optional<qint64> played,
                     const QString& detail) {
    if (!env_.store) return;
    env_.store->appendLog({o.due, played, e.id, e.name, status, detail});
}

}  // namespace sayvell::plan
