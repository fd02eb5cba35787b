#pragma once
// "讀音表": the words the voice gets wrong and what it is given instead. Every change goes to
// draft.dat at once and is published as a new snapshot, so a reading in progress speaks its
// next piece with it.
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace sayvell::store {
class PronunciationModel;
class PronunciationTable;
}  // namespace sayvell::store

namespace sayvell::ui {

class Dialogs;

inline const QString kNoPronunciationTable = QStringLiteral("讀音表無法使用：數據庫中沒有讀音表。");
inline const QString kCsvFilter = QStringLiteral("CSV 檔案 (*.csv);;所有檔案 (*)");

class PronunciationPage : public QWidget {
    Q_OBJECT
public:
    explicit PronunciationPage(Dialogs& dialogs, QWidget* parent = nullptr);

    // Null: the page says the table cannot be used and its controls stay disabled.
    void setTable(store::PronunciationTable* table);
    store::PronunciationModel* model() const { return model_; }

    QTableView* grid = nullptr;
    QLineEdit* wordEdit = nullptr;
    QLineEdit* readingEdit = nullptr;
    QComboBox* languageBox = nullptr;  // data: "cmn" / "yue"
    QPushButton* addButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* importButton = nullptr;
    QPushButton* exportButton = nullptr;
    QLabel* countLabel = nullptr;

public slots:
    void addClick();
    void deleteClick();
    void importClick();
    void exportClick();

private:
    void showCount();

    Dialogs& dialogs_;
    store::PronunciationTable* table_ = nullptr;
    store::PronunciationModel* model_ = nullptr;
};

}  // namespace sayvell::ui
