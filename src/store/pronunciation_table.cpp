#include "store/pronunciation_table.h"
#include "store/sqlite_statement_p.h"

#include <QFile>
#include <QSaveFile>

#include <sqlite3.h>

namespace sayvell::store {

// The table's part of resources/draft.sql, built into the program.
extern const char* const kPronunciationSql;

namespace {

using store::sql::errorOf;
using store::sql::exec;
using store::sql::Stmt;

bool hasTable(sqlite3* db) {
    Stmt st(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='pronunciation'");
    return st.ok() && st.step() == SQLITE_ROW;
}

// "cmn", "yue", or empty for anything else; the grid's captions are accepted too.
QString languageOf(const QString& text) {
    const QString t = text.trimmed();
    if (t == u"普通話" || t == u"國語" || t == u"華語") return QStringLiteral("cmn");
    if (t == u"粵語" || t == u"廣東話") return QStringLiteral("yue");
    return reading::languageCode(reading::languageOfCode(t));
}

QString captionOf(const QString& language) {
    if (language == u"cmn") return QStringLiteral("普通話");
    if (language == u"yue") return QStringLiteral("粵語");
    return language;
}

QString csvField(const QString& s) {
    if (!s.contains(u',') && !s.contains(u'"') && !s.contains(u'\n') && !s.contains(u'\r') &&
        s.trimmed().size() == s.size())
        return s;
    QString quoted = s;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QStringLiteral("\"") + quoted + QStringLiteral("\"");
}

}  // namespace

bool ensurePronunciationTable(sqlite3* db, QString* error) {
    if (hasTable(db)) return true;
    if (!exec(db, "SAVEPOINT pronunciation_seed", error)) return false;
    if (!exec(db, kPronunciationSql, error)) {
        exec(db, "ROLLBACK TO pronunciation_seed; RELEASE pronunciation_seed", nullptr);
        return false;
    }
    return exec(db, "RELEASE pronunciation_seed", error);
}

std::vector<QStringList> parseCsv(const QByteArray& data) {
    QString text = QString::fromUtf8(data);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;  // the current row has begun
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"') {
            quoted = true;
            any = true;
        } else if (c == u',') {
            row << field;
            field.clear();
            any = true;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            if (any || !field.isEmpty()) {
                row << field;
                rows.push_back(row);
            }
            row.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.isEmpty()) {
        row << field;
        rows.push_back(row);
    }
    return rows;
}

// ---- PronunciationTable ----

LexiconSnapshot PronunciationTable::Published::get() const {
    std::lock_guard lock(mutex);
    return lexicon;
}

PronunciationTable::PronunciationTable(sqlite3* db, QString path)
    : db_(db), path_(std::move(path)), published_(std::make_shared<Published>()) {}

PronunciationTable::~PronunciationTable() { sqlite3_close_v2(db_); }

std::unique_ptr<PronunciationTable> PronunciationTable::open(const QString& path, QString* error) {
    QString scratch;
    QString& why = error ? *error : scratch;
    sqlite3* db = store::sql::openReadWrite(path, 2000, &why);
    if (!db) return nullptr;
    std::unique_ptr<PronunciationTable> table(new PronunciationTable(db, path));
    if (!ensurePronunciationTable(db, &why) || !table->load(&why)) return nullptr;
    return table;
}

bool PronunciationTable::load(QString* error) {
    Stmt st(db_, "SELECT rowid, written, spoken, language FROM pronunciation ORDER BY rowid");
    if (!st.ok()) {
        *error = errorOf(db_);
        return false;
    }
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) rows_.push_back({st.integer(0), st.text(1), st.text(2), st.text(3)});
    if (rc != SQLITE_DONE) {
        *error = errorOf(db_);
        return false;
    }
    publish();
    return true;
}

void PronunciationTable::publish() {
    std::vector<reading::PronunciationEntry> entries;
    entries.reserve(rows_.size());
    for (const PronunciationRow& r : rows_) entries.push_back({r.written, r.spoken, r.language});
    auto lexicon = std::make_shared<const reading::PronunciationLexicon>(entries);
    std::lock_guard lock(published_->mutex);
    published_->lexicon = std::move(lexicon);
}

LexiconSnapshot PronunciationTable::lexicon() const { return published_->get(); }

std::function<LexiconSnapshot()> PronunciationTable::source() const {
    return [published = published_] { return published->get(); };
}

DbResult PronunciationTable::failed() const {
    return DbResult::failure(QStringLiteral("數据庫寫入失敗：%1\n%2").arg(errorOf(db_), path_));
}

DbResult PronunciationTable::add(const QString& written, const QString& spoken, const QString& language) {
    const QString word = written.trimmed();
    const QString reading = spoken.trimmed();
    const QString lang = languageOf(language);
    if (word.isEmpty()) return DbResult::failure(kEmptyWordMessage);
    if (reading.isEmpty()) return DbResult::failure(kEmptyReadingMessage);
    if (lang.isEmpty()) return DbResult::failure(kBadLanguageMessage);
    for (PronunciationRow& r : rows_) {
        if (r.written == word && r.language == lang) {
            Stmt st(db_, "UPDATE pronunciation SET spoken=? WHERE rowid=?");
            st.bind(1, reading);
            st.bind(2, r.id);
            if (st.step() != SQLITE_DONE) return failed();
            r.spoken = reading;
            publish();
            return {};
        }
    }
    Stmt st(db_, "INSERT INTO pronunciation(written, spoken, language) VALUES(?, ?, ?)");
    st.bind(1, word);
    st.bind(2, reading);
    st.bind(3, lang);
    if (st.step() != SQLITE_DONE) return failed();
    rows_.push_back({sqlite3_last_insert_rowid(db_), word, reading, lang});
    publish();
    return {};
}

DbResult PronunciationTable::update(int index, const QString& written, const QString& spoken, const QString& language) {
    if (index < 0 || index >= int(rows_.size())) return DbResult::failure(kNoCurrentRowMessage);
    const QString word = written.trimmed();
    const QString reading = spoken.trimmed();
    const QString lang = languageOf(language);
    if (word.isEmpty()) return DbResult::failure(kEmptyWordMessage);
    if (reading.isEmpty()) return DbResult::failure(kEmptyReadingMessage);
    if (lang.isEmpty()) return DbResult::failure(kBadLanguageMessage);
    PronunciationRow& r = rows_[size_t(index)];
    Stmt st(db_, "UPDATE pronunciation SET written=?, spoken=?, language=? WHERE rowid=?");
    st.bind(1, word);
    st.bind(2, reading);
    st.bind(3, lang);
    st.bind(4, r.id);
    if (st.step() != SQLITE_DONE) return failed();  // also a word the language already has
    r.written = word;
    r.spoken = reading;
    r.language = lang;
    publish();
    return {};
}

DbResult PronunciationTable::remove(int index) {
    if (index < 0 || index >= int(rows_.size())) return DbResult::failure(kNoCurrentRowMessage);
    Stmt st(db_, "DELETE FROM pronunciation WHERE rowid=?");
    st.bind(1, rows_[size_t(index)].id);
    if (st.step() != SQLITE_DONE) return failed();
    rows_.erase(rows_.begin() + index);
    publish();
    return {};
}

QByteArray PronunciationTable::toCsv() const {
    QString out = QStringLiteral("詞語,讀音,語言\r\n");
    for (const PronunciationRow& r : rows_)
        out += csvField(r.written) + u',' + csvField(r.spoken) + u',' + csvField(r.language) + QStringLiteral("\r\n");
    return out.toUtf8();
}

DbResult PronunciationTable::exportCsv(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toCsv()) < 0 || !file.commit())
        return DbResult::failure(QStringLiteral("無法寫入檔案：%1").arg(path));
    return {};
}

DbResult PronunciationTable::importCsv(const QByteArray& data, CsvImport* result) {
    CsvImport counts;
    std::vector<QStringList> rows = parseCsv(data);
    if (!rows.empty() && !rows.front().isEmpty()) {
        const QString first = rows.front().front().trimmed();
        if (first == u"詞語" || first.compare(u"written", Qt::CaseInsensitive) == 0) rows.erase(rows.begin());
    }
    // Keyed by language and word, the way the file keeps them unique.
    QHash<QString, size_t> known;
    for (size_t k = 0; k < rows_.size(); ++k) known.insert(rows_[k].language + u'\t' + rows_[k].written, k);

    std::vector<PronunciationRow> next = rows_;
    if (!exec(db_, "SAVEPOINT pronunciation_import", nullptr)) return failed();
    Stmt insert(db_, "INSERT INTO pronunciation(written, spoken, language) VALUES(?, ?, ?)");
    Stmt change(db_, "UPDATE pronunciation SET spoken=? WHERE rowid=?");
    for (const QStringList& fields : rows) {
        const QString word = fields.value(0).trimmed();
        const QString reading = fields.value(1).trimmed();
        const QString lang =
            fields.size() > 2 && !fields[2].trimmed().isEmpty() ? languageOf(fields[2]) : QStringLiteral("cmn");
        if (word.isEmpty() || reading.isEmpty() || lang.isEmpty()) {
            ++counts.skipped;
            continue;
        }
        const QString key = lang + u'\t' + word;
        bool ok;
        if (const auto it = known.constFind(key); it != known.constEnd()) {
            change.reset();
            change.bind(1, reading);
            change.bind(2, next[*it].id);
            ok = change.step() == SQLITE_DONE;
            if (ok) next[*it].spoken = reading;
        } else {
            insert.reset();
            insert.bind(1, word);
            insert.bind(2, reading);
            insert.bind(3, lang);
            ok = insert.step() == SQLITE_DONE;
            if (ok) {
                known.insert(key, next.size());
                next.push_back({sqlite3_last_insert_rowid(db_), word, reading, lang});
            }
        }
        if (!ok) {
            const DbResult why = failed();
            exec(db_, "ROLLBACK TO pronunciation_import; RELEASE pronunciation_import", nullptr);
            return why;
        }
        ++counts.imported;
    }
    if (!exec(db_, "RELEASE pronunciation_import", nullptr)) {
        const DbResult why = failed();
        exec(db_, "ROLLBACK TO pronunciation_import; RELEASE pronunciation_import", nullptr);
        return why;
    }
    rows_ = std::move(next);
    publish();
    if (result) *result = counts;
    return {};
}

DbResult PronunciationTable::importCsvFile(const QString& path, CsvImport* result) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return DbResult::failure(QStringLiteral("無法讀取檔案：%1").arg(path));
    return importCsv(file.readAll(), result);
}

// ---- PronunciationModel ----

PronunciationModel::PronunciationModel(PronunciationTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {}

int PronunciationModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(table_.rows().size());
}

int PronunciationModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant PronunciationModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    const PronunciationRow& r = table_.rows()[size_t(index.row())];
    switch (index.column()) {
    case Written: return r.written;
    case Spoken: return r.spoken;
    case Language: return role == Qt::DisplayRole ? captionOf(r.language) : r.language;
    default: return {};
    }
}

QVariant PronunciationModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Written: return QStringLiteral("詞語");
    case Spoken: return QStringLiteral("讀音");
    case Language: return QStringLiteral("語言");
    default: return {};
    }
}

Qt::ItemFlags PronunciationModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool PronunciationModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() >= rowCount()) return false;
    PronunciationRow r = table_.rows()[size_t(index.row())];
    const QString v = value.toString();
    switch (index.column()) {
    case Written: r.written = v; break;
    case Spoken: r.spoken = v; break;
    case Language: r.language = v; break;
    default: return false;
    }
    const DbResult result = table_.update(index.row(), r.written, r.spoken, r.language);
    lastError_ = result.message;
    if (!result) return false;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    return true;
}

DbResult PronunciationModel::addRow(const QString& written, const QString& spoken, const QString& language) {
    beginResetModel();
    const DbResult result = table_.add(written, spoken, language);
    endResetModel();
    return result;
}

DbResult PronunciationModel::removeAt(int row) {
    beginResetModel();
    const DbResult result = table_.remove(row);
    endResetModel();
    return result;
}

DbResult PronunciationModel::importCsvFile(const QString& path, CsvImport* result) {
    beginResetModel();
    const DbResult r = table_.importCsvFile(path, result);
    endResetModel();
    return r;
}

}  // namespace sayvell::store
