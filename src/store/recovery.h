#pragma once
// Recovery of unsaved texts: a changed text is kept in draft.dat without the user saving, so a
// crash, a kill or a power cut loses nothing. The record lives in its own table, created on
// open (also in an older draft.dat), reached through a connection of its own so that its
// large writes can run on a thread of their own while the data module serves the windows.
//
// RecoveryStore is the table; RecoveryWriter writes snapshots on its own thread, the newest
// one only; RecoveryKeeper decides when: a short while after the last change, at the latest
// some seconds after the first unsaved one, and at once when the session ends.
#include <QDateTime>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QTimer;
struct sqlite3;

namespace sayvell::store {

struct RecoveryRecord {
    QString text;      // line breaks '\n' (U+2029 is accepted and stored as '\n')
    QString fileName;  // the document's file; empty for an untitled text
    int caret = 0;     // caret position in characters of `text`
    QDateTime savedAt;
    QString encoding;  // the file's encoding as the command line names it; empty: found in the file
};

inline const QString kRecoveryTable = QStringLiteral("recovery");
// The offer at the next start; %1 is the line naming the document's file (or nothing).
inline const QString kRecoveryOffer =
    QStringLiteral("上次未保存的文章已恢復。%1\n\n要保留這篇文章嗎？選「否」將丟棄它。");
inline const QString kRecoveryOfferFile = QStringLiteral("\n原文件：%1");
inline const QString kRecoveryUnavailable =
    QStringLiteral("無法保存未保存文章的恢復記錄，程式意外結束時未保存的文章會遺失。\n%1");

class RecoveryStore {
public:
    // Opens draft.dat at `path` (never creates it) and adds the table when missing. nullptr
    // with *error when the file cannot be written, or holds a table of that name in another
    // shape.
    static std::unique_ptr<RecoveryStore> open(const QString& path, QString* error = nullptr);
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    // The record left by an earlier run, if any. A damaged record reads as none.
    std::optional<RecoveryRecord> load(QString* error = nullptr);
    // Replaces the record in one transaction: either the old or the new one is on disk.
    bool save(const RecoveryRecord& record, QString* error = nullptr);
    // Removes the record; space a large one took is given back to the file.
    bool clear(QString* error = nullptr);

private:
    explicit RecoveryStore(sqlite3* db, QString path) : db_(db), path_(std::move(path)) {}
    QString lastError() const;

    sqlite3* db_;
    QString path_;
};

// Runs the store's writes on a thread of its own. Only the newest request waits: a snapshot
// that was not yet written when a newer one (or a clear) came is dropped.
class RecoveryWriter {
public:
    explicit RecoveryWriter(std::unique_ptr<RecoveryStore> store);
    // Finishes the request still waiting, then ends the thread.
    ~RecoveryWriter();
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    std::optional<RecoveryRecord> load();
    void submit(RecoveryRecord record);
    void clear();
    // Waits until every request made so far is on disk; false when the last write failed.
    bool flush();
    // Writes `record` before returning (the session is ending), superseding waiting requests.
    bool saveNow(RecoveryRecord record);
    // Finished writes so far (a dropped snapshot does not count); for tests and benchmarks.
    int writes() const;
    QString lastError() const;

private:
    struct Request {
        enum Kind { None, Save, Clear } kind = None;
        RecoveryRecord record;
        quint64 seq = 0;  // order of asking: an older request never overwrites a newer one
    };
    void run();
    bool perform(Request& request);

    std::unique_ptr<RecoveryStore> store_;
    std::mutex storeMutex_;  // held for every use of store_
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    Request pending_;
    quint64 nextSeq_ = 1;
    quint64 writtenSeq_ = 0;  // guarded by storeMutex_
    bool busy_ = false;
    bool quit_ = false;
    bool lastOk_ = true;
    int writes_ = 0;
    QString lastError_;
    std::thread thread_;
};

class RecoveryKeeper : public QObject {
    Q_OBJECT
public:
    struct Timing {
        int quietMs = 2000;     // after the last change
        int longestMs = 20000;  // after the first change not yet kept, however busy the typing
    };
    // `snapshot` runs on the caller's thread when a record is due; it must be cheap (share the
    // text, do not convert it).
    RecoveryKeeper(std::unique_ptr<RecoveryWriter> writer, std::function<RecoveryRecord()> snapshot, Timing timing,
                   QObject* parent = nullptr);
    ~RecoveryKeeper() override;

    RecoveryWriter& writer() { return *writer_; }

    // The text changed and is not saved.
    void changed();
    // The text is saved (or was replaced by a file's): the record is no longer needed.
    void settled();
    // The session is ending: the current text is on disk when this returns.
    bool keepNow();
    // A normal end: the record goes, and nothing is written after this.
    void finish();
    // The session ends with the text unsettled (nobody may be there to answer a question): the
    // record is on disk when this returns true and stays for the next start.
    bool keepForNextStart();

private:
    void keep();

    std::unique_ptr<RecoveryWriter> writer_;
    std::function<RecoveryRecord()> snapshot_;
    QTimer* quiet_;
    QTimer* longest_;
    bool dirty_ = false;
    bool finished_ = false;
};

}  // namespace sayvell::store
