#pragma once
// The reading commands: read from the caret or the top, stop, caret to the top or the end, the
// prompt tone before a reading, one-shot readings of a line or the selection, the bookmark and
// the delay symbol.
//
// Decisions a user can notice:
//  - Every start supersedes the run in progress: the old run ends after its current piece and
//    the new one starts where its command left the caret.
//  - Read-the-current-line and the bookmark use the line of the caret itself (computed, not
//    read back from the status bar), so both work before the first click in the editor and
//    after the caret was moved by a command.
//  - The 2.3 s lead-in of the prompt tone is a timer: the window stays responsive and its
//    reading controls stay disabled. Stop during the lead-in cancels the start and silences
//    the tone. Without an audio engine (no tone can play) reading starts at once.
//  - Starting a single run ends a loop reading in progress (loopCancelled).
//  - The delay symbol is inserted at the caret as one edit, keeping the undo history.
//  - The Cantonese step keeps the text's modified state: clearing it would let a changed text
//    be quit without the question whether to save it.
#include "reading/tts.h"
#include "ui/common/services.h"

#include <QObject>
#include <QString>

class QAction;
class QCheckBox;
class QPlainTextEdit;
class QStatusBar;
class QTimer;
class QToolButton;

namespace sayvell::store {
class SettingsFile;
}

namespace sayvell::ui {

class MemoPort;
class ReadingGate;
class VoiceControls;

struct ReadingWidgets {
    QToolButton* SB_play;
    QToolButton* SB_jexu;
    QToolButton* SB_stop;
    QToolButton* SB_top;
    QToolButton* SB_bott;
    QAction* P_readHere;
    QAction* P_readLine;
    QAction* P_readSelection;
    QAction* P_bookmark;
    QAction* P_readLast;
    QAction* P_insertDelay;
    QCheckBox* Chk_prompt;
    QPlainTextEdit* Memo1;
    QStatusBar* StatusBar1;
};

class ReadingCommands : public QObject {
    Q_OBJECT
public:
    ReadingCommands(ReadingWidgets w, MemoPort& port, reading::ReadingState& state, reading::TtsRunner& runner,
                    const Services& services, VoiceControls& voice, ReadingGate& gate, QObject* parent = nullptr);
    ~ReadingCommands() override;

    void applySettings(const store::SettingsFile& ini);
    void saveAtExit(store::SettingsFile& ini) const;

    void SB_playClick();
    void SB_jexuClick();
    void SB_stopClick();
    void SB_topClick();
    void SB_bottClick();
    // Checks, prompt tone, single run from the caret.
    void readFromHere();
    void readCurrentLine();  // "朗讀當前行    (&L)"
    void readSelection();    // "朗讀所選范圍  (&S)"
    void recordBookmark();   // "記錄書簽位置    (&B)"
    void readFromLast();     // "從上次位置朗讀(&R)"
    void conv_yyClick();
    void insertpos(const QString& text);

    // A run of the worker from the caret to the end of the text.
    void gundong1();
    // A single run in progress goes on from offset at once: the piece being spoken is cut
    // short and its pause skipped. Nothing happens outside a single run.
    void skipTo(int offset);
    // One range pass of a loop reading.
    void startPass(int selStart, int selLength);
    // Said once, at the first reading, when the sound goes nowhere.
    void tellNoSoundOnce();
    // True while a start waits for the prompt tone's lead-in.
    bool startPending() const;
    void cancelPendingStart();
    // The program is ending: no start may follow.
    void close();
    // The pronunciation table one-shot readings use, as the worker's runs do.
    void setLexiconSource(reading::LexiconSource lexicon) { lexicon_ = std::move(lexicon); }

signals:
    // A single run or a stop ends any loop reading.
    void loopCancelled();

private:
    void startSingleRun();
    QString lineText(int line) const;
    // What a one-shot reading hands to the engine.
    QString spokenText(const QString& text, const QString& voiceId) const;

    ReadingWidgets w_;
    MemoPort& port_;
    reading::ReadingState& state_;
    reading::TtsRunner& runner_;
    Services services_;
    VoiceControls& voice_;
    ReadingGate& gate_;
    QTimer* promptTimer_ = nullptr;
    reading::LexiconSource lexicon_;
    bool noSoundTold_ = false;
    bool closed_ = false;
};

}  // namespace sayvell::ui
