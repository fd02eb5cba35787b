#pragma once
// The window "選擇動態日期時間格式": picks the format the "%Date%" token is spoken in, stores the
// default one, and inserts the token into the editor. Created once, hidden and shown again;
// non-modal and always on top.
#include "reading/date_format.h"

#include <QDialog>
#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace sayvell::reading {
class Clock;
struct ReadingState;
}  // namespace sayvell::reading

namespace sayvell::ui {

class Dialogs;

class Tfdateformat : public QDialog {
    Q_OBJECT
public:
    using InsertText = std::function<void(const QString&)>;

    Tfdateformat(reading::ReadingState& state, reading::Clock& clock, reading::DateFormatter formatter,
                 Dialogs& dialogs, InsertText inserttime, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;        // "輸入%Date%系統會讀出當前日期時間"
    QLabel* Label2 = nullptr;        // "默認格式是：" + the stored default, formatted now
    QGroupBox* GroupBox1 = nullptr;  // "選擇日期時間格式"
    std::array<QRadioButton*, reading::kDateFormatTypes> RadioButtons{};  // types 1..8, top to bottom
    QPushButton* BitBtn1 = nullptr;                                       // "設為默認"
    QPushButton* BitBtn2 = nullptr;                                       // "&I.插       入"
    QPushButton* BitBtn3 = nullptr;                                       // "&E.退       出"

    // The type of the checked radio button (1..8).
    int selectedType() const;
    void readdefault();
    void setFormatter(reading::DateFormatter formatter) { formatter_ = std::move(formatter); }

    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void radioClick(int type);

    reading::ReadingState& state_;
    reading::Clock& clock_;
    reading::DateFormatter formatter_;
    Dialogs& dialogs_;
    InsertText inserttime_;
};

}  // namespace sayvell::ui
