#include "ui/settings/pronunciation_page.h"

#include "store/pronunciation_table.h"
#include "ui/common/dialogs.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPushButton>
#include <QStringDecoder>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <initializer_list>

namespace sayvell::ui {

namespace {

// Far beyond any real word list; a file this big is the wrong file.
constexpr qint64 kMaxCsvBytes = 16 * 1024 * 1024;

// A refused grid edit is shown, not silently dropped.
class ReportingDelegate : public QStyledItemDelegate {
public:
    ReportingDelegate(Dialogs& dialogs, QObject* parent) : QStyledItemDelegate(parent), dialogs_(dialogs) {}

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        const QByteArray property = editor->metaObject()->userProperty().name();
        const QVariant value = editor->property(property.isEmpty() ? "text" : property.constData());
        if (value == index.data(Qt::EditRole)) return;
        if (model->setData(index, value, Qt::EditRole)) return;
        if (auto* m = qobject_cast<store::PronunciationModel*>(model); m && !m->lastError().isEmpty())
            dialogs_.warning(m->lastError());
    }

private:
    Dialogs& dialogs_;
};

QPushButton* button(const char* name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    return b;
}

QLineEdit* lineEdit(const char* name, QLabel* caption, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setAccessibleName(caption->text());
    caption->setBuddy(e);
    return e;
}

// Why the file cannot be taken, or empty when it can.
QString csvProblem(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("無法讀取檔案：%1").arg(path);
    if (file.size() > kMaxCsvBytes) return QStringLiteral("檔案太大，不像是讀音表：%1").arg(path);
    const QByteArray data = file.readAll();
    if (data.trimmed().isEmpty()) return QStringLiteral("檔案是空的：%1").arg(path);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(data);
    if (utf8.hasError() || decoded.contains(QChar(0)))
        return QStringLiteral("檔案不是 UTF-8 編碼的 CSV：%1\n請用 UTF-8 編碼另存後再匯入。").arg(path);
    return {};
}

}  // namespace

PronunciationPage::PronunciationPage(Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("PronunciationPage"));
    grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("PronunciationGrid"));
    grid->setAccessibleName(QStringLiteral("讀音表"));
    grid->setToolTip(QStringLiteral("雙擊儲存格可直接修改；語言填 cmn（普通話）或 yue（粵語）"));
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setMinimumSize(420, 240);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setItemDelegate(new ReportingDelegate(dialogs_, grid));

    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("PronunciationCount"));

    auto* wordCaption = new QLabel(QStringLiteral("詞語："), this);
    auto* readingCaption = new QLabel(QStringLiteral("讀音："), this);
    auto* languageCaption = new QLabel(QStringLiteral("語言："), this);
    wordEdit = lineEdit("PronunciationWord", wordCaption, this);
    readingEdit = lineEdit("PronunciationReading", readingCaption, this);
    readingEdit->setPlaceholderText(QStringLiteral("例如 yin2 hang2 或 蟲新"));
    languageBox = new QComboBox(this);
    languageBox->setObjectName(QStringLiteral("PronunciationLanguage"));
    languageBox->addItem(QStringLiteral("普通話 (cmn)"), QStringLiteral("cmn"));
    languageBox->addItem(QStringLiteral("粵語 (yue)"), QStringLiteral("yue"));
    languageBox->setAccessibleName(languageCaption->text());
    languageCaption->setBuddy(languageBox);

    addButton = button("PronunciationAdd", QStringLiteral("新增"), this);
    deleteButton = button("PronunciationDelete", QStringLiteral("刪除"), this);
    importButton = button("PronunciationImport", QStringLiteral("匯入…"), this);
    exportButton = button("PronunciationExport", QStringLiteral("匯出…"), this);
    connect(addButton, &QPushButton::clicked, this, &PronunciationPage::addClick);
    connect(deleteButton, &QPushButton::clicked, this, &PronunciationPage::deleteClick);
    connect(importButton, &QPushButton::clicked, this, &PronunciationPage::importClick);
    connect(exportButton, &QPushButton::clicked, this, &PronunciationPage::exportClick);
    connect(readingEdit, &QLineEdit::returnPressed, this, &PronunciationPage::addClick);

    auto* entry = new QGridLayout;
    entry->addWidget(wordCaption, 0, 0);
    entry->addWidget(wordEdit, 0, 1);
    entry->addWidget(readingCaption, 0, 2);
    entry->addWidget(readingEdit, 0, 3);
    entry->addWidget(languageCaption, 1, 0);
    entry->addWidget(languageBox, 1, 1);
    entry->addWidget(addButton, 1, 3, Qt::AlignRight);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(countLabel);
    buttons->addStretch();
    buttons->addWidget(deleteButton);
    buttons->addWidget(importButton);
    buttons->addWidget(exportButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid);
    layout->addLayout(buttons);
    layout->addLayout(entry);
    auto* hint = new QLabel(
        QStringLiteral(
            "注意：朗讀時句中出現表中的詞語，便以讀音代替（長詞優先）。匯入匯出為 UTF-8 編碼的 CSV：詞語,讀音,語言。"),
        this);
    hint->setStyleSheet(QStringLiteral("color: blue;"));
    hint->setWordWrap(true);
    layout->addWidget(hint);
    setTable(nullptr);
}

void PronunciationPage::setTable(store::PronunciationTable* table) {
    if (table && table == table_) return;
    table_ = table;
    delete model_;
    model_ = table_ ? new store::PronunciationModel(*table_, this) : nullptr;
    grid->setModel(model_);
    if (model_) {
        connect(model_, &QAbstractItemModel::modelReset, this, &PronunciationPage::showCount);
        connect(model_, &QAbstractItemModel::rowsInserted, this, &PronunciationPage::showCount);
        connect(model_, &QAbstractItemModel::rowsRemoved, this, &PronunciationPage::showCount);
        grid->setColumnWidth(store::PronunciationModel::Written, 130);
        grid->setColumnWidth(store::PronunciationModel::Spoken, 170);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{grid, wordEdit, readingEdit, languageBox, addButton, deleteButton,
                                                      importButton, exportButton})
        w->setEnabled(model_ != nullptr);
    showCount();
}

void PronunciationPage::showCount() {
    countLabel->setText(model_ ? QStringLiteral("共 %1 條").arg(model_->rowCount()) : kNoPronunciationTable);
}

void PronunciationPage::addClick() {
    if (!model_) return;
    const QString word = wordEdit->text().trimmed();
    const QString reading = readingEdit->text().trimmed();
    if (word.isEmpty()) {
        dialogs_.warning(store::kEmptyWordMessage);
        wordEdit->setFocus();
        return;
    }
    if (reading.isEmpty()) {
        dialogs_.warning(store::kEmptyReadingMessage);
        readingEdit->setFocus();
        return;
    }
    const QString language = languageBox->currentData().toString();
    const store::DbResult r = model_->addRow(word, reading, language);
    if (!r) {
        dialogs_.error(r.message);
        return;
    }
    // A word the language had already keeps its row and gets the new reading.
    const auto& rows = table_->rows();
    const auto it = std::find_if(rows.begin(), rows.end(), [&](const store::PronunciationRow& row) {
        return row.written == word && row.language == language;
    });
    if (it != rows.end()) {
        const QModelIndex at = model_->index(int(it - rows.begin()), store::PronunciationModel::Written);
        grid->setCurrentIndex(at);
        grid->scrollTo(at);
    }
    wordEdit->clear();
    readingEdit->clear();
    wordEdit->setFocus();
}

void PronunciationPage::deleteClick() {
    if (!model_) return;
    QList<int> rows;
    for (const QModelIndex& i : grid->selectionModel()->selectedRows()) rows << i.row();
    if (rows.isEmpty() && grid->currentIndex().isValid()) rows << grid->currentIndex().row();
    if (rows.isEmpty()) {
        dialogs_.warning(QStringLiteral("請先選擇要刪除的詞語。"));
        return;
    }
    // From the bottom up, so the rows still to go keep their places.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    const int next = rows.back();
    for (int row : rows) {
        const store::DbResult r = model_->removeAt(row);
        if (!r) {
            dialogs_.error(r.message);
            break;
        }
    }
    if (model_->rowCount() > 0)
        grid->setCurrentIndex(
            model_->index(std::min(next, model_->rowCount() - 1), store::PronunciationModel::Written));
}

void PronunciationPage::importClick() {
    if (!model_) return;
    const QString path = dialogs_.openFileName(QStringLiteral("匯入讀音表"), kCsvFilter);
    if (path.isEmpty()) return;
    if (const QString problem = csvProblem(path); !problem.isEmpty()) {
        dialogs_.error(problem);
        return;
    }
    store::CsvImport counts;
    const store::DbResult r = model_->importCsvFile(path, &counts);
    if (!r) {
        dialogs_.error(r.message);
        return;
    }
    if (counts.imported == 0) {
        dialogs_.warning(
            QStringLiteral("檔案中沒有可匯入的讀音：%1\n每行應為：詞語,讀音,語言（cmn 或 yue）。").arg(path));
        return;
    }
    QString text = QStringLiteral("已匯入 %1 條讀音。").arg(counts.imported);
    if (counts.skipped > 0)
        text += QStringLiteral("\n略過 %1 行（缺少詞語或讀音，或語言不是 cmn / yue）。").arg(counts.skipped);
    dialogs_.information(text);
}

void PronunciationPage::exportClick() {
    if (!model_) return;
    QString path = dialogs_.saveFileName(QStringLiteral("匯出讀音表"), kCsvFilter);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
    const store::DbResult r = table_->exportCsv(path);
    if (!r) {
        dialogs_.error(r.message);
        return;
    }
    dialogs_.information(QStringLiteral("已匯出 %1 條讀音到 %2").arg(table_->rows().size()).arg(path));
}

}  // namespace sayvell::ui
