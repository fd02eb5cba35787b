#include "store/recovery.h"

#include <QFile>
#include <QSet>
#include <QTimer>
#include <QtGlobal>

#include <sqlite3.h>

namespace sayvell::store {
namespace {

// One row at most: the text of the one window of this desktop.
const char* const kCreateTable =
    "CREATE TABLE IF NOT EXISTS recovery("
    " id INTEGER PRIMARY KEY CHECK (id = 1),"
    " content TEXT NOT NULL,"
    " filename TEXT NOT NULL DEFAULT '',"
    " caret INTEGER NOT NULL DEFAULT 0,"
    " saved_at TEXT NOT NULL DEFAULT '',"
    " encoding TEXT NOT NULL DEFAULT '')";

// A record this large has taken pages the file would otherwise keep empty after a clear.
constexpr int kVacuumFreePages = 1024;

struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s, nullptr); }
    ~Stmt() { sqlite3_finalize(s); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    explicit operator bool() const { return s != nullptr; }
};

QString columnText(sqlite3_stmt* s, int column) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(s, column)) : QString();
}

bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

}  // namespace

// ---- RecoveryStore ----

std::unique_ptr<RecoveryStore> RecoveryStore::open(const QString& path, QString* error) {
    QString scratch;
    QString& why = error ? *error : scratch;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK || sqlite3_db_readonly(db, "main") == 1) {
        why = rc != SQLITE_OK && db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("read-only: %1").arg(path);
        sqlite3_close_v2(db);
        return nullptr;
    }
    // The windows' connection may hold the file for a moment; a large write of ours may too.
    sqlite3_busy_timeout(db, 5000);
    std::unique_ptr<RecoveryStore> store(new RecoveryStore(db, path));
    if (!exec(db, kCreateTable)) {
        why = store->lastError();
        return nullptr;
    }
    // A table of that name made by someone else is not ours to write.
    Stmt info(db, "PRAGMA table_info(recovery)");
    QSet<QString> columns;
    while (info && sqlite3_step(info.s) == SQLITE_ROW) columns.insert(columnText(info.s, 1).toLower());
    for (const char* c : {"id", "content", "filename", "caret", "saved_at"}) {
        if (!columns.contains(QLatin1String(c))) {
            why = QStringLiteral("table recovery has no column %1").arg(QLatin1String(c));
            return nullptr;
        }
    }
    // A table from before encodings were kept gains the column; its record reads as found.
    if (!columns.contains(QStringLiteral("encoding")) &&
        !exec(db, "ALTER TABLE recovery ADD COLUMN encoding TEXT NOT NULL DEFAULT ''")) {
        why = store->lastError();
        return nullptr;
    }
    return store;
}

RecoveryStore::~RecoveryStore() { sqlite3_close_v2(db_); }

QString RecoveryStore::lastError() const {
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(sqlite3_errmsg(db_)), path_);
}

std::optional<RecoveryRecord> RecoveryStore::load(QString* error) {
    Stmt st(db_, "SELECT content, filename, caret, saved_at, encoding FROM recovery WHERE id = 1");
    if (!st) {
        if (error) *error = lastError();
        return std::nullopt;
    }
    const int rc = sqlite3_step(st.s);
    if (rc != SQLITE_ROW) {
        if (rc != SQLITE_DONE && error) *error = lastError();
        return std::nullopt;
    }
    RecoveryRecord r;
    r.text = columnText(st.s, 0);
    r.fileName = columnText(st.s, 1);
    r.caret = int(qBound<sqlite3_int64>(0, sqlite3_column_int64(st.s, 2), r.text.size()));
    r.savedAt = QDateTime::fromString(columnText(st.s, 3), Qt::ISODateWithMs);
    r.encoding = columnText(st.s, 4);
    return r;
}

bool RecoveryStore::save(const RecoveryRecord& record, QString* error) {
    QString text = record.text;
    text.replace(QChar(0x2029), QLatin1Char('\n'));
    const QByteArray content = text.toUtf8();
    const QByteArray file = record.fileName.toUtf8();
    const QByteArray at =
        (record.savedAt.isValid() ? record.savedAt : QDateTime::currentDateTime()).toString(Qt::ISODateWithMs).toUtf8();
    const QByteArray encoding = record.encoding.toUtf8();
    Stmt st(
        db_,
        "INSERT OR REPLACE INTO recovery(id, content, filename, caret, saved_at, encoding) VALUES(1, ?, ?, ?, ?, ?)");
    if (st) {
        sqlite3_bind_text64(st.s, 1, content.constData(), sqlite3_uint64(content.size()), SQLITE_STATIC, SQLITE_UTF8);
        sqlite3_bind_text64(st.s, 2, file.constData(), sqlite3_uint64(file.size()), SQLITE_STATIC, SQLITE_UTF8);
        sqlite3_bind_int(st.s, 3, qBound(0, record.caret, int(text.size())));
        sqlite3_bind_text64(st.s, 4, at.constData(), sqlite3_uint64(at.size()), SQLITE_STATIC, SQLITE_UTF8);
        sqlite3_bind_text64(st.s, 5, encoding.constData(), sqlite3_uint64(encoding.size()), SQLITE_STATIC, SQLITE_UTF8);
        if (sqlite3_step(st.s) == SQLITE_DONE) return true;
    }
    if (error) *error = lastError();
    return false;
}

bool RecoveryStore::clear(QString* error) {
    if (!exec(db_, "DELETE FROM recovery")) {
        if (error) *error = lastError();
        return false;
    }
    // Without this a 20 MB novel would leave draft.dat 20 MB larger for good.
    Stmt free(db_, "PRAGMA freelist_count");
    if (free && sqlite3_step(free.s) == SQLITE_ROW && sqlite3_column_int(free.s, 0) > kVacuumFreePages) {
        sqlite3_finalize(free.s);
        free.s = nullptr;
        exec(db_, "VACUUM");  // a failure only leaves the space unused
    }
    return true;
}

// ---- RecoveryWriter ----

RecoveryWriter::RecoveryWriter(std::unique_ptr<RecoveryStore> store) : store_(std::move(store)) {
    thread_ = std::thread([this] { run(); });
}

RecoveryWriter::~RecoveryWriter() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

std::optional<RecoveryRecord> RecoveryWriter::load() {
    std::lock_guard lock(storeMutex_);
    return store_->load();
}

void RecoveryWriter::submit(RecoveryRecord record) {
    {
        std::lock_guard lock(mutex_);
        pending_.kind = Request::Save;
        pending_.record = std::move(record);
        pending_.seq = nextSeq_++;
    }
    wake_.notify_all();
}

void RecoveryWriter::clear() {
    {
        std::lock_guard lock(mutex_);
        pending_.kind = Request::Clear;
        pending_.record = {};
        pending_.seq = nextSeq_++;
    }
    wake_.notify_all();
}

bool RecoveryWriter::flush() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return pending_.kind == Request::None && !busy_; });
    return lastOk_;
}

bool RecoveryWriter::saveNow(RecoveryRecord record) {
    Request request;
    request.kind = Request::Save;
    request.record = std::move(record);
    {
        std::lock_guard lock(mutex_);
        pending_ = {};  // older than this one
        request.seq = nextSeq_++;
    }
    return perform(request);
}

int RecoveryWriter::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

QString RecoveryWriter::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

bool RecoveryWriter::perform(Request& request) {
    QString error;
    bool ok;
    {
        std::lock_guard lock(storeMutex_);
        // The thread may have taken an older request just before saveNow() took the store.
        if (request.seq < writtenSeq_) return true;
        writtenSeq_ = request.seq;
        ok = request.kind == Request::Save ? store_->save(request.record, &error) : store_->clear(&error);
    }
    std::lock_guard lock(mutex_);
    lastOk_ = ok;
    if (ok) {
        ++writes_;
    } else {
        lastError_ = error;
    }
    return ok;
}

void RecoveryWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || pending_.kind != Request::None; });
        if (pending_.kind == Request::None) return;  // quit with nothing left
        Request request = std::move(pending_);
        pending_ = {};
        busy_ = true;
        lock.unlock();
        perform(request);
        // Dropping the text here keeps its memory off this thread's account until the next one.
        request = {};
        lock.lock();
        busy_ = false;
        done_.notify_all();
    }
}

// ---- RecoveryKeeper ----

RecoveryKeeper::RecoveryKeeper(std::unique_ptr<RecoveryWriter> writer, std::function<RecoveryRecord()> snapshot,
                               Timing timing, QObject* parent)
    : QObject(parent), writer_(std::move(writer)), snapshot_(std::move(snapshot)), quiet_(new QTimer(this)),
      longest_(new QTimer(this)) {
    quiet_->setSingleShot(true);
    quiet_->setInterval(timing.quietMs);
    longest_->setSingleShot(true);
    longest_->setInterval(timing.longestMs);
    connect(quiet_, &QTimer::timeout, this, &RecoveryKeeper::keep);
    connect(longest_, &QTimer::timeout, this, &RecoveryKeeper::keep);
}

RecoveryKeeper::~RecoveryKeeper() = default;

void RecoveryKeeper::changed() {
    if (finished_) return;
    dirty_ = true;
    quiet_->start();
    if (!longest_->isActive()) longest_->start();
}

void RecoveryKeeper::settled() {
    if (finished_) return;
    dirty_ = false;
    quiet_->stop();
    longest_->stop();
    writer_->clear();
}

void RecoveryKeeper::keep() {
    quiet_->stop();
    longest_->stop();
    if (!dirty_ || finished_) return;
    dirty_ = false;
    writer_->submit(snapshot_());
}

bool RecoveryKeeper::keepNow() {
    if (finished_) return true;
    quiet_->stop();
    longest_->stop();
    if (!dirty_) return writer_->flush();
    dirty_ = false;
    return writer_->saveNow(snapshot_());
}

void RecoveryKeeper::finish() {
    if (finished_) return;
    quiet_->stop();
    longest_->stop();
    dirty_ = false;
    writer_->clear();
    writer_->flush();
    finished_ = true;
}

bool RecoveryKeeper::keepForNextStart() {
    if (!keepNow()) return false;
    finished_ = true;
    return true;
}

}  // namespace sayvell::store
