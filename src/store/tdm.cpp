#include "store/tdm.h"

#include "store/pronunciation_table.h"

#include <QFile>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace sayvell::store {
namespace detail {

struct Connection {
    sqlite3* db = nullptr;
    QString path;
    TDM::Clock clock;

    ~Connection() {
        if (db) sqlite3_close_v2(db);
    }
};

}  // namespace detail

namespace {

using detail::Connection;

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return rc_ == SQLITE_OK && stmt_; }
    sqlite3_stmt* get() const { return stmt_; }

    void bind(int index, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, qint64 value) { sqlite3_bind_int64(stmt_, index, value); }
    void bind(int index, int value) { sqlite3_bind_int(stmt_, index, value); }

    int step() { return sqlite3_step(stmt_); }

    QString text(int column) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, column)) : QString();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

DbResult writeFailed(const Connection& conn) {
    return DbResult::failure(
        QStringLiteral("數据庫寫入失敗：%1\n%2").arg(QString::fromUtf8(sqlite3_errmsg(conn.db)), conn.path));
}

// Runs one change with its parameters bound by `bind`.
template <typename Bind>
DbResult change(Connection& conn, const char* sql, Bind bind) {
    Statement st(conn.db, sql);
    if (!st.prepared()) return writeFailed(conn);
    bind(st);
    if (st.step() != SQLITE_DONE) return writeFailed(conn);
    return {};
}

// A pause as the reading code needs it: a whole number of milliseconds, never negative.
int pauseOf(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        const double v = sqlite3_column_double(stmt, column);
        if (!(v > 0)) return 0;
        return v >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(v);
    }
    case SQLITE_TEXT: {
        // Text that did not convert on insert: accept a whole number with blanks around it.
        bool ok = false;
        const QString t = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column))).trimmed();
        const qlonglong v = t.toLongLong(&ok);
        if (!ok || v <= 0) return 0;
        return int(std::min<qlonglong>(v, std::numeric_limits<int>::max()));
    }
    default: return 0;
    }
}

// The delimiter marks ignore blanks and control characters around them, but nothing else
// (a full-width space is a mark like any other).
QString trimBlanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 0x20) ++b;
    while (e > b && s[e - 1].unicode() <= 0x20) --e;
    return s.mid(b, e - b);
}

bool hasColumns(sqlite3* db, const char* table, std::initializer_list<const char*> wanted, QString* error) {
    Statement kind(db, "SELECT type FROM sqlite_master WHERE lower(name)=lower(?)");
    if (!kind.prepared()) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    kind.bind(1, QString::fromLatin1(table));
    if (kind.step() != SQLITE_ROW || kind.text(0) != QLatin1String("table")) {
        *error = QStringLiteral("no table %1").arg(QLatin1String(table));
        return false;
    }
    const QByteArray sql = QByteArray("PRAGMA table_info(") + table + ")";
    Statement info(db, sql.constData());
    if (!info.prepared()) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    QSet<QString> columns;
    while (info.step() == SQLITE_ROW) columns.insert(info.text(1).toLower());
    for (const char* column : wanted) {
        if (!columns.contains(QLatin1String(column))) {
            *error = QStringLiteral("table %1 has no column %2").arg(QLatin1String(table), QLatin1String(column));
            return false;
        }
    }
    return true;
}

}  // namespace

// ---- TDM ----

std::unique_ptr<TDM> TDM::open(const QString& path, QString* error) {
    QString scratch;
    QString& why = error ? *error : scratch;
    auto conn = std::make_unique<Connection>();
    conn->path = path;
    conn->clock = [] { return QDateTime::currentDateTime(); };

    // Without SQLITE_OPEN_CREATE a missing file is an error, not a new empty database.
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &conn->db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        why = conn->db ? QString::fromUtf8(sqlite3_errmsg(conn->db)) : QStringLiteral("cannot open %1").arg(path);
        return nullptr;
    }
    sqlite3_extended_result_codes(conn->db, 1);
    // Another desktop's instance may be writing at the same moment.
    sqlite3_busy_timeout(conn->db, 2000);

    {
        // Also the first read of the file: a file that is not a database fails here.
        Statement check(conn->db, "PRAGMA quick_check");
        if (!check.prepared() || check.step() != SQLITE_ROW || check.text(0) != QLatin1String("ok")) {
            why = QStringLiteral("damaged or not a database: %1").arg(QString::fromUtf8(sqlite3_errmsg(conn->db)));
            return nullptr;
        }
    }
    if (!hasColumns(conn->db, "history", {"filename", "opendate"}, &why) ||
        !hasColumns(conn->db, "delaytime", {"name", "descript", "delaytime", "candelete"}, &why))
        return nullptr;
    // A file from before the pronunciation table gets it now; without it reading still works.
    QString noTable;
    ensurePronunciationTable(conn->db, &noTable);

    std::unique_ptr<TDM> tdm(new TDM(std::move(conn)));
    if (!tdm->Q_history.load(&why) || !tdm->q_delaytime.load(&why)) return nullptr;
    return tdm;
}

TDM::TDM(std::unique_ptr<detail::Connection> conn)
    : conn_(std::move(conn)), Q_history(conn_.get()), q_delaytime(conn_.get()) {}

TDM::~TDM() = default;

const QString& TDM::path() const { return conn_->path; }

void TDM::setClock(Clock clock) { conn_->clock = std::move(clock); }

// ---- Q_history ----

bool HistoryDataset::load(QString* error) {
    Statement st(conn_->db,
                 "SELECT rowid, filename, opendate FROM history WHERE filename<>'' "
                 "ORDER BY opendate DESC, rowid DESC");
    if (!st.prepared()) {
        *error = QString::fromUtf8(sqlite3_errmsg(conn_->db));
        return false;
    }
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) rows_.push_back({sqlite3_column_int64(st.get(), 0), st.text(1), st.text(2)});
    if (rc != SQLITE_DONE) {
        *error = QString::fromUtf8(sqlite3_errmsg(conn_->db));
        return false;
    }
    current_ = rows_.empty() ? -1 : 0;
    return true;
}

QString HistoryDataset::now() const { return conn_->clock().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")); }

bool HistoryDataset::findByFile(const QString& path) {
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].filename == path) {
            current_ = int(i);
            return true;
        }
    }
    return false;
}

QStringList HistoryDataset::list() const {
    QStringList names;
    if (current_ < 0) return names;
    for (size_t i = size_t(current_); i < rows_.size(); ++i) names << rows_[i].filename;
    return names;
}

DbResult HistoryDataset::recordOpen(const QString& path) {
    const QString date = now();
    if (findByFile(path)) return renewCurrent(date);
    DbResult r = change(*conn_, "INSERT INTO history(filename, opendate) VALUES(?, ?)", [&](Statement& st) {
        st.bind(1, path);
        st.bind(2, date);
    });
    if (!r) return r;
    rows_.push_back({sqlite3_last_insert_rowid(conn_->db), path, date});
    current_ = int(rows_.size()) - 1;
    return r;
}

QString HistoryDataset::touch(const QString& path, DbResult* result) {
    if (result) *result = {};
    if (!findByFile(path)) return {};
    const DbResult r = renewCurrent(now());
    if (result) *result = r;
    return rows_[size_t(current_)].filename;
}

DbResult HistoryDataset::renewCurrent(const QString& date) {
    HistoryRow& row = rows_[size_t(current_)];
    DbResult r = change(*conn_, "UPDATE history SET opendate=? WHERE rowid=?", [&](Statement& st) {
        st.bind(1, date);
        st.bind(2, row.id);
    });
    if (r) row.opendate = date;
    return r;
}

DbResult HistoryDataset::remove(const QString& path) {
    if (!findByFile(path)) return {};
    const qint64 id = rows_[size_t(current_)].id;
    DbResult r = change(*conn_, "DELETE FROM history WHERE rowid=?", [&](Statement& st) { st.bind(1, id); });
    if (!r) return r;
    rows_.erase(rows_.begin() + current_);
    if (current_ >= int(rows_.size())) current_ = int(rows_.size()) - 1;
    return r;
}

// ---- q_delaytime ----

bool DelayDataset::load(QString* error) {
    Statement st(conn_->db, "SELECT rowid, name, descript, delaytime, candelete FROM delaytime ORDER BY rowid");
    if (!st.prepared()) {
        *error = QString::fromUtf8(sqlite3_errmsg(conn_->db));
        return false;
    }
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
        // Only a true value (non-zero) makes a row deletable: an unset flag protects the row.
        const bool deletable =
            sqlite3_column_type(st.get(), 4) != SQLITE_NULL && sqlite3_column_int64(st.get(), 4) != 0;
        rows_.push_back({sqlite3_column_int64(st.get(), 0), st.text(1), st.text(2), pauseOf(st.get(), 3), deletable});
    }
    if (rc != SQLITE_DONE) {
        *error = QString::fromUtf8(sqlite3_errmsg(conn_->db));
        return false;
    }
    current_ = rows_.empty() ? -1 : 0;
    return true;
}

const DelayRow* DelayDataset::current() const { return current_ < 0 ? nullptr : &rows_[size_t(current_)]; }

bool DelayDataset::setCurrentIndex(int index) {
    if (index < 0 || index >= count()) return false;
    current_ = index;
    return true;
}

void DelayDataset::first() { current_ = rows_.empty() ? -1 : 0; }

bool DelayDataset::next() {
    if (current_ < 0 || current_ + 1 >= count()) return false;
    ++current_;
    return true;
}

void DelayDataset::readAll(QString* delimiters, DelayArray* delays) const {
    delimiters->clear();
    delays->fill(0);
    const size_t n = std::min(rows_.size(), size_t(kMaxDelayRows));
    for (size_t i = 0; i < n; ++i) {
        delimiters->append(trimBlanks(rows_[i].descript));
        (*delays)[i] = rows_[i].delaytime;
    }
}

std::vector<DelayMark> DelayDataset::marks() const {
    std::vector<DelayMark> out;
    const size_t n = std::min(rows_.size(), size_t(kMaxDelayRows));
    for (size_t i = 0; i < n; ++i) {
        const QString mark = trimBlanks(rows_[i].descript);
        if (!mark.isEmpty()) out.push_back({mark, rows_[i].delaytime});
    }
    return out;
}

DbResult DelayDataset::add(const QString& name, const QString& descript, int delaytime) {
    if (count() >= kMaxDelayRows) return DbResult::failure(kTableFullMessage);
    const int pause = std::max(delaytime, 0);
    DbResult r = change(*conn_, "INSERT INTO delaytime(name, descript, delaytime, candelete) VALUES(?, ?, ?, 1)",
                        [&](Statement& st) {
                            st.bind(1, name);
                            st.bind(2, descript);
                            st.bind(3, pause);
                        });
    if (!r) return r;
    rows_.push_back({sqlite3_last_insert_rowid(conn_->db), name, descript, pause, true});
    current_ = count() - 1;
    return r;
}

DbResult DelayDataset::deleteCurrent() {
    if (current_ < 0) return DbResult::failure(kNoCurrentRowMessage);
    const DelayRow& row = rows_[size_t(current_)];
    if (!row.candelete) return DbResult::failure(kSystemRowMessage);
    const qint64 id = row.id;
    DbResult r = change(*conn_, "DELETE FROM delaytime WHERE rowid=?", [&](Statement& st) { st.bind(1, id); });
    if (!r) return r;
    rows_.erase(rows_.begin() + current_);
    if (current_ >= count()) current_ = count() - 1;
    return r;
}

DbResult DelayDataset::setCurrentName(const QString& name) {
    if (current_ < 0) return DbResult::failure(kNoCurrentRowMessage);
    DelayRow& row = rows_[size_t(current_)];
    DbResult r = change(*conn_, "UPDATE delaytime SET name=? WHERE rowid=?", [&](Statement& st) {
        st.bind(1, name);
        st.bind(2, row.id);
    });
    if (r) row.name = name;
    return r;
}

DbResult DelayDataset::setCurrentDelay(int delaytime) {
    if (current_ < 0) return DbResult::failure(kNoCurrentRowMessage);
    DelayRow& row = rows_[size_t(current_)];
    const int pause = std::max(delaytime, 0);
    DbResult r = change(*conn_, "UPDATE delaytime SET delaytime=? WHERE rowid=?", [&](Statement& st) {
        st.bind(1, pause);
        st.bind(2, row.id);
    });
    if (r) row.delaytime = pause;
    return r;
}

}  // namespace sayvell::store
