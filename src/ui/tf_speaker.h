#pragma once
// The main window: the editor Memo1 with its tool bar, menus, right-hand panel and status
// bar. Handlers keep the names of the controls they belong to; each reads its controls and
// calls the reading, store and document code.
#include "reading/reading_state.h"
#include "reading/tts.h"
#include "ui/main_window_ui.h"
#include "ui/services.h"

#include <QMainWindow>
#include <memory>

namespace sayvell::ui {

class MemoPort;

class Tf_speaker : public QMainWindow {
    Q_OBJECT
public:
    explicit Tf_speaker(Services services, QWidget* parent = nullptr);
    ~Tf_speaker() override;

    MainWindowUi ui;
    reading::ReadingState state;

    // The 16 controls disabled while a reading runs, in their fixed order.
    std::array<QWidget*, 16> readingControls() const;
    void btn_enable();
    void btn_disable();
    void showCaretPosition();

    // Commands (also reached from menus, hotkeys and tests).
    void SB_playClick();
    void SB_jexuClick();
    void SB_stopClick();
    void SB_topClick();
    void SB_bottClick();
    void SB_panelClick();
    void SB_closeClick();
    void readFromHere();
    void TrackBar2Change();
    void TrackBar1Change();
    void flatComboBox1Change();
    // Saves the current text; false when it was not saved (cancelled or failed).
    bool SB_saveClick();

    int baseRate() const { return baseRate_; }
    bool hotkeySwitch(int index) const { return hotkeys_[static_cast<size_t>(index)]; }
    QString musicFolder() const { return musicFolder_; }
    QString currentFile;
    reading::TtsRunner& runner() { return *runner_; }
    MemoPort& memoPort() { return *port_; }

signals:
    // The exit sequence has run; the application should end with this code.
    void exitRequested(int code);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectCommands();
    void applySettings();
    void fillVoiceList();
    void selectStoredVoice();
    void fillHistoryList();
    void getdelaystring();
    void applyEditorAppearance();
    void saveExitSettings();
    void gundong1();
    bool voiceChosen() const;
    void selectVoice();
    void tellNoSoundOnce();

    Services services_;
    MemoPort* port_ = nullptr;
    std::unique_ptr<reading::TtsRunner> runner_;
    int baseRate_ = 0;
    std::array<bool, 3> hotkeys_{true, true, true};
    QString musicFolder_;
    bool exiting_ = false;
    bool noSoundTold_ = false;
};

}  // namespace sayvell::ui
