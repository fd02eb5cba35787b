#pragma once
// "系統設置": the pause table and the pause of the delay symbol, the output format of WAV
// export, the three hotkey switches, the pronunciation table. Every showing reloads the controls from setinfo.ini;
// grid edits, additions and deletions go to the database at once.
#include <QDialog>
#include <QStringList>

#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace sayvell::reading {
struct ReadingState;
}
namespace sayvell::store {
class DelayDataset;
class DelayTableModel;
class PronunciationTable;
}  // namespace sayvell::store

namespace sayvell::ui {

class DelayGrid;
class Dialogs;
class PronunciationPage;
class TFaddbiaodian;

inline const QString kSaved = QStringLiteral("保存成功!");
inline const QString kHotkeysAfterRestart = QStringLiteral("設置已完成，需退出重新進入后才有效!");
inline constexpr int kDefaultFormatIndex = 24;

// The 36 entries of the output-format list, by index.
const QStringList& outputFormatNames();

class TFdelaytime : public QDialog {
    Q_OBJECT
public:
    TFdelaytime(store::DelayDataset& rows, reading::ReadingState& state, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TFdelaytime() override;

    // Where a saved output format goes at once (the main window's export list).
    void setExportFormatHandler(std::function<void(int)> handler) { exportFormat_ = std::move(handler); }
    // The table the fourth page edits; null leaves that page saying it cannot be used.
    void setPronunciationTable(store::PronunciationTable* table);

    QTabWidget* PageControl1 = nullptr;
    // Page 1, "停頓及延時設置"
    DelayGrid* DBGrid1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* N_add = nullptr;     // "&A.新增"
    QAction* N_delete = nullptr;  // "&D.刪除"
    QSpinBox* S_delay2 = nullptr;
    QPushButton* BitBtn4 = nullptr;  // save
    // Page 2, "輸出音頻格式"
    QComboBox* ComboBox1 = nullptr;
    QPushButton* BitBtn2 = nullptr;  // "使用默認值"
    QPushButton* BitBtn1 = nullptr;  // save
    // Page 3, "快捷鍵設置"
    QCheckBox* chkf7 = nullptr;
    QCheckBox* chkf9 = nullptr;
    QCheckBox* chkf11 = nullptr;
    QPushButton* BitBtn3 = nullptr;  // save
    // Page 4, "讀音表"
    PronunciationPage* pronunciationPage = nullptr;

    TFaddbiaodian* addWindow() const { return add_; }
    store::DelayTableModel& table() const { return *model_; }

public slots:
    void FormShow();
    void BitBtn4Click();
    void BitBtn2Click();
    void BitBtn1Click();
    void BitBtn3Click();
    void N_addClick();
    void N_deleteClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildDelayPage();
    QWidget* buildFormatPage();
    QWidget* buildHotkeyPage();

    store::DelayDataset& rows_;
    reading::ReadingState& state_;
    Dialogs& dialogs_;
    store::DelayTableModel* model_ = nullptr;
    TFaddbiaodian* add_ = nullptr;
    std::function<void(int)> exportFormat_;
};

}  // namespace sayvell::ui
