#pragma once
// The plan in draft.dat: its entries and exceptions, the log of announcements, and the moment
// the player last looked at. Its own connection to the file, so that a player without a window
// needs nothing else of the store. Every change is one transaction: all of it or nothing.
#include "plan/plan.h"
#include "store/tdm.h"

#include <memory>
#include <optional>

struct sqlite3;

namespace sayvell::plan {

using store::DbResult;

enum class LogStatus { Played = 0, Skipped = 1, Missed = 2, Failed = 3 };
QString statusText(LogStatus status);  // "已播放", "已略過", "已錯過", "失敗"

struct LogRow {
    qint64 planned = 0;            // seconds since the epoch
    std::optional<qint64> played;  // when it started; none for skipped and missed ones
    qint64 entryId = 0;
    QString entryName;
    LogStatus status = LogStatus::Played;
    QString detail;  // why it was skipped or failed
};

class PlanStore {
public:
    // Opens an existing draft.dat, making the plan's tables when the file lacks them.
    static std::unique_ptr<PlanStore> open(const QString& path, QString* error = nullptr);
    ~PlanStore();
    PlanStore(const PlanStore&) = delete;
    PlanStore& operator=(const PlanStore&) = delete;

    bool load(Plan* plan, QString* error = nullptr) const;
    // Replaces the stored plan with this one; new entries get their ids in *plan. Refused, with
    // the first entry's problem and nothing changed, when an entry cannot be kept.
    DbResult save(Plan* plan);

    DbResult appendLog(const LogRow& row);
    // Rows with from <= planned < to, in time order; at most limit of them.
    std::vector<LogRow> log(qint64 from, qint64 to, int limit = 100000) const;
    qint64 logCount() const;

    // Where the player stopped looking; 0 when none ever played.
    qint64 watermark() const;
    DbResult setWatermark(qint64 secs);

private:
    explicit PlanStore(sqlite3* db) : db_(db) {}
    sqlite3* db_;
};

// Rows as UTF-8 CSV: planned, played, entry, status, detail; local times "yyyy-MM-dd HH:mm:ss".
QByteArray logCsv(const std::vector<LogRow>& rows);

}  // namespace sayvell::plan
