#pragma once
// The reading commands of the main window that go beyond start and stop: the prompt tone
// before a reading, one-shot readings of a line or the selection, the bookmark, loop reading
// with its one-second timer, the delay symbol and the date token with its format window.
//
// Decisions a user can notice:
//  - Read-the-current-line and the bookmark use the line of the caret itself (computed, not
//    read back from the status bar), so both work before the first click in the editor and
//    after the caret was moved by a command.
//  - The 2.3 s lead-in of the prompt tone is a timer: the window stays responsive and its
//    reading controls stay disabled. Stop during the lead-in cancels the start and silences
//    the tone. Without an audio engine (no tone can play) reading starts at once.
//  - Starting a single run (read from here, read from the last position) ends a loop reading
//    in progress, and starting a loop cancels a start still waiting for its tone.
//  - The delay symbol and the date token are inserted at the caret as one edit, keeping the
//    undo history and the view, with the caret after the inserted text.
//  - The Cantonese step keeps the text's modified state: clearing it would let a changed text
//    be quit without the question whether to save it.
#include "reading/date_format.h"
#include "reading/loop_reading.h"

#include <QObject>
#include <QString>
#include <memory>

class QTimer;

namespace sayvell::ui {

class Tf_speaker;
class Tfdateformat;

class ReadingCommands : public QObject, private reading::LoopHost {
    Q_OBJECT
public:
    explicit ReadingCommands(Tf_speaker& window);
    ~ReadingCommands() override;

    // Checks, prompt tone, single run from the caret.
    void readFromHere();
    // The stop command's part: no pending start, no loop timer, no more passes.
    void stopped();

    void readCurrentLine();     // "朗讀當前行    (&L)"
    void readSelection();       // "朗讀所選范圍  (&S)"
    void recordBookmark();      // "記錄書簽位置    (&B)"
    void readFromLast();        // "從上次位置朗讀(&R)"
    void conv_yyClick();

    void SB_repeat1Click();     // whole-text loop, tool bar
    void loopAllClick();        // whole-text loop, context menu and F9
    void SB_repeatClick();      // range loop, tool bar and context menu
    void btn_okClick();         // loop panel "設為默認"
    void readcycledTimer();

    void insertpos(const QString& text);
    void inserttime(const QString& text);
    void SB_timeClick();

    // The locale that names days and months for the date token (the system's by default).
    void setDateLocale(const QLocale& locale);

    Tfdateformat& dateWindow() { return *dateWindow_; }
    const reading::LoopReading& loop() const { return loop_; }
    // True while a start waits for the prompt tone's lead-in.
    bool startPending() const;

private:
    void startSingleRun();
    void cancelPendingStart();
    void startLoop();
    QString lineText(int line) const;

    // LoopHost
    void disableControls() override;
    void enableControls() override;
    void stopTimer() override;
    void setSelection(int start, int length) override;
    void startPass(int selStart, int selLength) override;

    Tf_speaker& w_;
    reading::LoopReading loop_;
    QTimer* promptTimer_ = nullptr;
    std::unique_ptr<Tfdateformat> dateWindow_;
};

}  // namespace sayvell::ui
