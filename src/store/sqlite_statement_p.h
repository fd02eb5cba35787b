#pragma once
// A prepared SQLite statement with Qt strings, for the tables the core keeps in draft.dat.
#include <QFile>
#include <QString>

#include <sqlite3.h>

namespace sayvell::store::sql {

inline QString errorOf(sqlite3* db) { return QString::fromUtf8(sqlite3_errmsg(db)); }

class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Stmt() { sqlite3_finalize(stmt_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool ok() const { return stmt_ != nullptr; }
    void bind(int i, const QString& s) {
        const QByteArray u = s.toUtf8();
        sqlite3_bind_text(stmt_, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    void bind(int i, qint64 v) { sqlite3_bind_int64(stmt_, i, v); }
    void bindNull(int i) { sqlite3_bind_null(stmt_, i); }
    int step() { return sqlite3_step(stmt_); }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    QString text(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, c)) : QString();
    }
    qint64 integer(int c) const { return sqlite3_column_int64(stmt_, c); }
    bool isNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Runs statements without results; the error, when there is one, in *error.
inline bool exec(sqlite3* db, const char* sql, QString* error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    if (error) *error = message ? QString::fromUtf8(message) : errorOf(db);
    sqlite3_free(message);
    return false;
}

// draft.dat for reading and writing, waiting up to busyMs for another writer; null and the
// reason in *why when it cannot be opened.
inline sqlite3* openReadWrite(const QString& path, int busyMs, QString* why) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        *why = db ? errorOf(db) : QStringLiteral("cannot open %1").arg(path);
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, busyMs);
    return db;
}

}  // namespace sayvell::store::sql
