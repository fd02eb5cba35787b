#pragma once
// Loop reading from the window: the whole text or the selected range, the set number of passes
// with the set interval, driven by the one-second timer readcycled; "設為默認" stores the
// panel's values. Starting a loop cancels a start still waiting for its prompt tone.
#include "reading/loop_reading.h"

#include <QObject>

class QAction;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class QToolButton;

namespace sayvell::reading {
class Clock;
}
namespace sayvell::store {
class SettingsFile;
}

namespace sayvell::ui {

class Dialogs;
class MemoPort;
class ReadingCommands;
class ReadingGate;
class VoiceControls;

struct LoopWidgets {
    QToolButton* SB_repeat1;  // whole text
    QToolButton* SB_repeat;   // selected range
    QAction* P_loopAll;
    QAction* P_loopRange;
    QSpinBox* SpinEdit1;  // passes
    QSpinBox* SpinEdit2;  // interval, seconds
    QPushButton* btn_ok;  // "設為默認"
    QPlainTextEdit* Memo1;
};

class LoopController : public QObject, private reading::LoopHost {
    Q_OBJECT
public:
    LoopController(LoopWidgets w, MemoPort& port, reading::ReadingState& state, reading::Clock& clock, Dialogs& dialogs,
                   ReadingCommands& commands, VoiceControls& voice, ReadingGate& gate, QObject* parent = nullptr);

    void applySettings(const store::SettingsFile& ini);

    void SB_repeat1Click();  // whole-text loop, tool bar
    void loopAllClick();     // whole-text loop, context menu and F9
    void SB_repeatClick();   // range loop, tool bar and context menu
    void btn_okClick();
    void readcycledTimer();
    // Ends the loop: no more passes, the timer off.
    void cancel();

    QTimer* readcycled() const { return readcycled_; }
    const reading::LoopReading& loop() const { return loop_; }

private:
    void startLoop();
    void selectAll();

    // LoopHost
    void disableControls() override;
    void enableControls() override;
    void stopTimer() override;
    void setSelection(int start, int length) override;
    void startPass(int selStart, int selLength) override;

    LoopWidgets w_;
    MemoPort& port_;
    Dialogs& dialogs_;
    ReadingCommands& commands_;
    VoiceControls& voice_;
    ReadingGate& gate_;
    reading::LoopReading loop_;
    QTimer* readcycled_ = nullptr;
};

}  // namespace sayvell::ui
