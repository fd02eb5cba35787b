#pragma once
// The data module: draft.dat (SQLite) with its two datasets, Q_history and q_delaytime.
//
// Each dataset loads its rows once, when the module opens, and is never queried again; rows
// added later go after the loaded ones. Each has one current row, shared by every user.
// Every change is written to the file before the call returns, with bound parameters (any
// text, quotes included, is stored as it is). A change the file refuses leaves the rows in
// memory as they were and comes back as a failed DbResult with a message.
//
// Used from the user-interface thread only.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <functional>
#include <memory>
#include <vector>

struct sqlite3;

namespace sayvell::store {

inline const QString kConnectFailedMessage = QStringLiteral("數据連接失敗!");
inline const QString kSystemRowMessage = QStringLiteral("彩色部分為系統默認，不可刪除!");
inline const QString kTableFullMessage = QStringLiteral("停頓表已滿 30 項，請先刪除一項再添加。");
inline const QString kNoCurrentRowMessage = QStringLiteral("請先選擇一項。");

// One pause per row, indexed by row number: the table holds at most this many rows.
inline constexpr int kMaxDelayRows = 30;
using DelayArray = std::array<int, kMaxDelayRows>;

struct DbResult {
    bool ok = true;
    QString message;  // set when !ok; ready to show to the user

    explicit operator bool() const { return ok; }
    static DbResult failure(QString text) { return {false, std::move(text)}; }
};

struct HistoryRow {
    qint64 id = 0;
    QString filename;
    QString opendate;  // local time, "yyyy-MM-ddTHH:mm:ss.zzz", so that text order is time order
};

struct DelayRow {
    qint64 id = 0;
    QString name;
    QString descript;   // the mark as stored; readers trim it
    int delaytime = 0;  // milliseconds; a negative or non-numeric value in the file reads as 0
    bool candelete = false;
};

// One delimiter mark with its pause, for the reading code.
struct DelayMark {
    QString mark;
    int delayMs = 0;
};

namespace detail {
struct Connection;
}

class HistoryDataset {
public:
    const std::vector<HistoryRow>& rows() const { return rows_; }
    // -1 when there are no rows.
    int currentIndex() const { return current_; }

    // Makes the first row (in dataset order) whose filename is exactly `path` current. When
    // none is found the current row stays where it was.
    bool findByFile(const QString& path);
    // Filenames from the current row to the end; right after opening, all of them.
    QStringList list() const;
    // After a document was opened: renews the date of its row, or appends a row for it.
    DbResult recordOpen(const QString& path);
    // After a document was opened from the history: renews the date of its row and returns the
    // stored filename; empty (and nothing changed) when the path has no row. A refused write
    // still returns the filename and reports the failure in *result.
    QString touch(const QString& path, DbResult* result = nullptr);
    // Deletes the row of `path`; nothing to delete is not a failure.
    DbResult remove(const QString& path);

private:
    friend class TDM;
    explicit HistoryDataset(detail::Connection* conn) : conn_(conn) {}
    bool load(QString* error);
    QString now() const;
    // Sets the current row's opendate, in the file and in memory.
    DbResult renewCurrent(const QString& date);

    detail::Connection* conn_;
    std::vector<HistoryRow> rows_;
    int current_ = -1;
};

class DelayDataset {
public:
    const std::vector<DelayRow>& rows() const { return rows_; }
    int count() const { return int(rows_.size()); }

    // Navigation over the shared current row; -1 / nullptr when there are no rows.
    int currentIndex() const { return current_; }
    const DelayRow* current() const;
    bool setCurrentIndex(int index);
    void first();
    bool next();  // false at the last row (the current row stays there)

    // Builds the delimiter text and the pause array: for rows 1..30 in order, the trimmed mark
    // is appended to *delimiters and the pause is stored at the row's index. Entries without
    // a row are 0. Rows past the 30th (possible only in a file edited by hand, since add()
    // refuses them) contribute neither a mark nor a pause. The current row does not move.
    void readAll(QString* delimiters, DelayArray* delays) const;
    // The same rows as readAll, as (trimmed mark, pause) pairs; rows with an empty mark skipped.
    std::vector<DelayMark> marks() const;

    // Appends a deletable row and makes it current. Refused with kTableFullMessage when the
    // table already holds kMaxDelayRows rows. A negative pause is stored as 0.
    DbResult add(const QString& name, const QString& descript, int delaytime);
    // Deletes the current row unless it is a system row (kSystemRowMessage). The next row
    // becomes current, or the previous one when the last row was deleted.
    DbResult deleteCurrent();
    DbResult setCurrentName(const QString& name);
    DbResult setCurrentDelay(int delaytime);  // a negative pause is stored as 0

private:
    friend class TDM;
    explicit DelayDataset(detail::Connection* conn) : conn_(conn) {}
    bool load(QString* error);

    detail::Connection* conn_;
    std::vector<DelayRow> rows_;
    int current_ = -1;
};

class TDM {
public:
    using Clock = std::function<QDateTime()>;

    // Opens an existing draft.dat for reading and writing; never creates one. nullptr (with a
    // reason in *error, for a log or a test) when the file is missing, is not a database, is
    // damaged, or lacks the two tables and their columns; the caller then shows
    // kConnectFailedMessage and ends the program.
    static std::unique_ptr<TDM> open(const QString& path, QString* error = nullptr);
    ~TDM();
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    const QString& path() const;
    // The clock that dates history rows; local time by default.
    void setClock(Clock clock);

private:
    explicit TDM(std::unique_ptr<detail::Connection> conn);
    std::unique_ptr<detail::Connection> conn_;

public:
    HistoryDataset Q_history;
    DelayDataset q_delaytime;
};

}  // namespace sayvell::store
