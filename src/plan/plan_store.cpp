#include "plan/plan_store.h"
#include "store/sqlite_statement_p.h"

#include <QDateTime>
#include <QFile>

#include <sqlite3.h>

namespace sayvell::plan {

extern const char* const kPlanSql;

namespace {

using store::sql::errorOf;
using store::sql::exec;
using store::sql::Stmt;

QString dateText(QDate d) { return d.isValid() ? d.toString(Qt::ISODate) : QString(); }

QString timesText(const std::vector<int>& times) {
    QStringList parts;
    for (int t : times) parts << QString::number(t);
    return parts.join(u',');
}

std::vector<int> timesOf(const QString& text) {
    std::vector<int> out;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int t = part.toInt(&ok);
        if (ok && t >= 0 && t < kSecondsPerDay) out.push_back(t);
    }
    return out;
}

DbResult failed(sqlite3* db) { return DbResult::failure(QStringLiteral("無法寫入資料庫：%1").arg(errorOf(db))); }

}  // namespace

QString statusText(LogStatus status) {
    switch (status) {
    case LogStatus::Played: return QStringLiteral("已播放");
    case LogStatus::Skipped: return QStringLiteral("已略過");
    case LogStatus::Missed: return QStringLiteral("已錯過");
    case LogStatus::Failed: return QStringLiteral("失敗");
    }
    return {};
}

PlanStore::~PlanStore() { sqlite3_close_v2(db_); }

std::unique_ptr<PlanStore> PlanStore::open(const QString& path, QString* error) {
    QString scratch;
    QString& why = error ? *error : scratch;
    sqlite3* db = store::sql::openReadWrite(path, 5000, &why);
    if (!db) return nullptr;
    std::unique_ptr<PlanStore> s(new PlanStore(db));
    if (!exec(db, "SAVEPOINT plan_tables", &why)) return nullptr;
    if (!exec(db, kPlanSql, &why)) {
        exec(db, "ROLLBACK TO plan_tables; RELEASE plan_tables", nullptr);
        return nullptr;
    }
    if (!exec(db, "RELEASE plan_tables", &why)) return nullptr;
    return s;
}

bool PlanStore::load(Plan* plan, QString* error) const {
    Plan p;
    Stmt st(db_,
            "SELECT id, name, enabled, text, text_file, voice, rate, volume, chime, repeat_count, gap_seconds, sink,"
            " times, every_minutes, from_second, to_second, weekdays, first_date, last_date, on_days_off"
            " FROM plan_entry ORDER BY position, id");
    if (!st.ok()) {
        if (error) *error = errorOf(db_);
        return false;
    }
    while (st.step() == SQLITE_ROW) {
        Entry e;
        e.id = st.integer(0);
        e.name = st.text(1);
        e.enabled = st.integer(2) != 0;
        e.text = st.text(3);
        e.textFile = st.text(4);
        e.voice = st.text(5);
        e.rate = int(st.integer(6));
        e.volume = int(st.integer(7));
        e.chime = st.text(8);
        e.repeat = int(st.integer(9));
        e.gapSeconds = int(st.integer(10));
        e.sink = st.text(11);
        e.times = timesOf(st.text(12));
        e.everyMinutes = int(st.integer(13));
        e.fromSecond = int(st.integer(14));
        e.toSecond = int(st.integer(15));
        e.weekdays = quint8(st.integer(16) & 0x7f);
        e.firstDate = QDate::fromString(st.text(17), Qt::ISODate);
        e.lastDate = QDate::fromString(st.text(18), Qt::ISODate);
        e.onDaysOff = st.integer(19) != 0;
        p.entries.push_back(std::move(e));
    }
    Stmt ex(db_, "SELECT date, kind, follows, note FROM plan_exception ORDER BY date");
    while (ex.ok() && ex.step() == SQLITE_ROW) {
        Exception e;
        e.date = QDate::fromString(ex.text(0), Qt::ISODate);
        if (!e.date.isValid()) continue;
        e.kind = ex.integer(1) == 1 ? DayKind::WorkingDay : DayKind::DayOff;
        e.followsWeekday = int(std::clamp<qint64>(ex.integer(2), 1, 7));
        e.note = ex.text(3);
        p.exceptions.push_back(std::move(e));
    }
    *plan = std::move(p);
    return true;
}

DbResult PlanStore::save(Plan* plan) {
    for (const Entry& e : plan->entries)
        if (const QString why = validateEntry(e); !why.isEmpty()) return DbResult::failure(why);
    for (const Exception& x : plan->exceptions)
        if (!x.date.isValid()) return DbResult::failure(QStringLiteral("例外日期不對。"));
    if (!exec(db_, "BEGIN IMMEDIATE", nullptr)) return failed(db_);
    std::vector<qint64> ids;
    auto rollback = [&] {
        const DbResult r = failed(db_);
        exec(db_, "ROLLBACK", nullptr);
        return r;
    };
    if (!exec(db_, "DELETE FROM plan_entry; DELETE FROM plan_exception", nullptr)) return rollback();
    Stmt ins(
        db_,
        "INSERT INTO plan_entry (id, position, name, enabled, text, text_file, voice, rate, volume, chime,"
        " repeat_count, gap_seconds, sink, times, every_minutes, from_second, to_second, weekdays, first_date,"
        " last_date, on_days_off) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16,?17,?18,?19,?20,?21)");
    if (!ins.ok()) return rollback();
    qint64 position = 0;
    for (const Entry& e : plan->entries) {
        Stmt& s = ins;
        if (e.id > 0)
            s.bind(1, e.id);
        else
            s.bindNull(1);
        s.bind(2, position++);
        s.bind(3, e.name);
        s.bind(4, qint64(e.enabled));
        s.bind(5, e.text);
        s.bind(6, e.textFile);
        s.bind(7, e.voice);
        s.bind(8, qint64(e.rate));
        s.bind(9, qint64(e.volume));
        s.bind(10, e.chime);
        s.bind(11, qint64(e.repeat));
        s.bind(12, qint64(e.gapSeconds));
        s.bind(13, e.sink);
        s.bind(14, timesText(e.times));
        s.bind(15, qint64(e.everyMinutes));
        s.bind(16, qint64(e.fromSecond));
        s.bind(17, qint64(e.toSecond));
        s.bind(18, qint64(e.weekdays));
        s.bind(19, dateText(e.firstDate));
        s.bind(20, dateText(e.lastDate));
        s.bind(21, qint64(e.onDaysOff));
        if (s.step() != SQLITE_DONE) return rollback();
        ids.push_back(sqlite3_last_insert_rowid(db_));
        s.reset();
    }
    Stmt one(db_, "INSERT OR REPLACE INTO plan_exception (date, kind, follows, note) VALUES (?1, ?2, ?3, ?4)");
    for (const Exception& x : plan->exceptions) {
        one.reset();
        one.bind(1, dateText(x.date));
        one.bind(2, qint64(x.kind == DayKind::WorkingDay ? 1 : 0));
        one.bind(3, qint64(std::clamp(x.followsWeekday, 1, 7)));
        one.bind(4, x.note);
        if (one.step() != SQLITE_DONE) return rollback();
    }
    if (!exec(db_, "COMMIT", nullptr)) return rollback();
    for (std::size_t i = 0; i < ids.size(); ++i) plan->entries[i].id = ids[i];
    return {};
}

DbResult PlanStore::appendLog(const LogRow& r) {
    Stmt st(db_,
            "INSERT INTO plan_log (planned, played, entry_id, entry_name, status, detail) VALUES (?1,?2,?3,?4,?5,?6)");
    st.bind(1, r.planned);
    if (r.played)
        st.bind(2, *r.played);
    else
        st.bindNull(2);
    st.bind(3, r.entryId);
    st.bind(4, r.entryName);
    st.bind(5, qint64(r.status));
    st.bind(6, r.detail);
    if (!st.ok() || st.step() != SQLITE_DONE) return failed(db_);
    return {};
}

std::vector<LogRow> PlanStore::log(qint64 from, qint64 to, int limit) const {
    std::vector<LogRow> rows;
    Stmt st(db_,
            "SELECT planned, played, entry_id, entry_name, status, detail FROM plan_log"
            " WHERE planned >= ?1 AND planned < ?2 ORDER BY planned, id LIMIT ?3");
    st.bind(1, from);
    st.bind(2, to);
    st.bind(3, qint64(limit));
    while (st.ok() && st.step() == SQLITE_ROW) {
        LogRow r;
        r.planned = st.integer(0);
        if (!st.isNull(1)) r.played = st.integer(1);
        r.entryId = st.integer(2);
        r.entryName = st.text(3);
        r.status = LogStatus(std::clamp<qint64>(st.integer(4), 0, 3));
        r.detail = st.text(5);
        rows.push_back(std::move(r));
    }
    return rows;
}

qint64 PlanStore::logCount() const {
    Stmt st(db_, "SELECT count(*) FROM plan_log");
    return st.ok() && st.step() == SQLITE_ROW ? st.integer(0) : 0;
}

qint64 PlanStore::watermark() const {
    Stmt st(db_, "SELECT value FROM plan_state WHERE key = 'watermark'");
    return st.ok() && st.step() == SQLITE_ROW ? st.text(0).toLongLong() : 0;
}

DbResult PlanStore::setWatermark(qint64 secs) {
    Stmt st(db_, "INSERT OR REPLACE INTO plan_state (key, value) VALUES ('watermark', ?1)");
    st.bind(1, QString::number(secs));
    if (!st.ok() || st.step() != SQLITE_DONE) return failed(db_);
    return {};
}

QByteArray logCsv(const std::vector<LogRow>& rows) {
    auto field = [](QString s) {
        if (s.contains(u',') || s.contains(u'"') || s.contains(u'\n'))
            s = u'"' + s.replace(u'"', QStringLiteral("\"\"")) + u'"';
        return s;
    };
    auto when = [](qint64 secs) {
        return QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    QString out = QStringLiteral("預定時間,實際時間,項目,結果,說明\n");
    for (const LogRow& r : rows)
        out += QStringLiteral("%1,%2,%3,%4,%5\n")
                   .arg(when(r.planned), r.played ? when(*r.played) : QString(), field(r.entryName),
                        statusText(r.status), field(r.detail));
    return out.toUtf8();
}

}  // namespace sayvell::plan
