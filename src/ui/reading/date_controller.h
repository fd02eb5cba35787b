#pragma once
// The date token: the format window "選擇動態日期時間格式" shown under the tool button SB_time,
// the token inserted at the caret, and the substitution the reading worker applies to each
// piece in the format in force.
#include <QLocale>
#include <QObject>
#include <memory>

class QPlainTextEdit;
class QToolBar;
class QToolButton;

namespace sayvell::reading {
class Clock;
struct ReadingState;
class TtsRunner;
}  // namespace sayvell::reading
namespace sayvell::store {
class SettingsFile;
}

namespace sayvell::ui {

class Dialogs;
class Tfdateformat;

class DateController : public QObject {
    Q_OBJECT
public:
    DateController(QToolButton* SB_time, QToolBar* ToolBar1, QPlainTextEdit* Memo1, reading::ReadingState& state,
                   reading::TtsRunner& runner, reading::Clock& clock, Dialogs& dialogs, QObject* parent = nullptr);
    ~DateController() override;

    void applySettings(const store::SettingsFile& ini);
    void SB_timeClick();
    void inserttime(const QString& text);
    // The locale that names days and months for the token (the system's by default).
    void setDateLocale(const QLocale& locale);

    Tfdateformat& dateWindow() { return *dateWindow_; }

private:
    QToolButton* SB_time_;
    QToolBar* ToolBar1_;
    QPlainTextEdit* Memo1_;
    reading::ReadingState& state_;
    reading::TtsRunner& runner_;
    std::unique_ptr<Tfdateformat> dateWindow_;
};

}  // namespace sayvell::ui
