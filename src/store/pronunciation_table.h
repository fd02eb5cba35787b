#pragma once
// The pronunciation table of draft.dat: a written word, what the voice of one language is given
// instead, and that language ("cmn" or "yue"). Edited on the user-interface thread; the reading
// worker only ever sees the immutable lexicon published after each change.
//
// Changes are written with bound parameters before the call returns; a change the file refuses
// leaves the rows as they were and comes back as a failed DbResult.
#include "reading/spoken_lexicon.h"
#include "store/tdm.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

struct sqlite3;

namespace sayvell::store {

inline const QString kEmptyWordMessage = QStringLiteral("請輸入詞語。");
inline const QString kEmptyReadingMessage = QStringLiteral("請輸入讀音。");
inline const QString kBadLanguageMessage = QStringLiteral("語言請填 cmn（普通話）或 yue（粵語）。");

// Makes the table with its delivered rows in a draft.dat that was made before it existed;
// does nothing to a file that has it.
bool ensurePronunciationTable(sqlite3* db, QString* error);

struct PronunciationRow {
    qint64 id = 0;
    QString written;
    QString spoken;
    QString language;  // "cmn" or "yue"
};

struct CsvImport {
    int imported = 0;  // rows added or given a new reading
    int skipped = 0;   // rows without a word, a reading or a known language
};

using LexiconSnapshot = std::shared_ptr<const reading::PronunciationLexicon>;

class PronunciationTable {
public:
    // Opens the table of an existing draft.dat (making the table first when the file lacks it).
    static std::unique_ptr<PronunciationTable> open(const QString& path, QString* error = nullptr);
    ~PronunciationTable();
    PronunciationTable(const PronunciationTable&) = delete;
    PronunciationTable& operator=(const PronunciationTable&) = delete;

    // In the order they were added.
    const std::vector<PronunciationRow>& rows() const { return rows_; }

    // A word the language already has gets the new reading instead of a second row.
    DbResult add(const QString& written, const QString& spoken, const QString& language);
    DbResult update(int index, const QString& written, const QString& spoken, const QString& language);
    DbResult remove(int index);

    // UTF-8 CSV: a header line, then word, reading, language; quotes and commas as usual.
    QByteArray toCsv() const;
    DbResult exportCsv(const QString& path) const;
    // All rows or none: a file the database refuses half-way changes nothing. A header line
    // and a missing language column ("cmn") are accepted.
    DbResult importCsv(const QByteArray& data, CsvImport* result = nullptr);
    DbResult importCsvFile(const QString& path, CsvImport* result = nullptr);

    // The table as it is now; safe from any thread.
    LexiconSnapshot lexicon() const;
    // What the reading worker calls before each piece; stays valid after the table is gone.
    std::function<LexiconSnapshot()> source() const;

private:
    struct Published {
        mutable std::mutex mutex;
        LexiconSnapshot lexicon;
        LexiconSnapshot get() const;
    };
    explicit PronunciationTable(sqlite3* db, QString path);
    bool load(QString* error);
    void publish();
    DbResult failed() const;

    sqlite3* db_;
    QString path_;
    std::vector<PronunciationRow> rows_;
    std::shared_ptr<Published> published_;
};

// Parses UTF-8 CSV into rows of fields (a BOM, CR LF, quoted fields with "" and line breaks).
std::vector<QStringList> parseCsv(const QByteArray& data);

// The table for a settings page grid: word, reading, language; edits go to the file at once.
class PronunciationModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Written, Spoken, Language, ColumnCount };

    explicit PronunciationModel(PronunciationTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    DbResult addRow(const QString& written, const QString& spoken, const QString& language);
    DbResult removeAt(int row);
    DbResult importCsvFile(const QString& path, CsvImport* result = nullptr);
    // Why the last setData was refused, to show to the user.
    const QString& lastError() const { return lastError_; }

private:
    PronunciationTable& table_;
    QString lastError_;
};

}  // namespace sayvell::store
