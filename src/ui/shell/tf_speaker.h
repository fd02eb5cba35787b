#pragma once
// The main window: the editor Memo1 with its tool bar, menus, right-hand panel and status
// bar. Handlers keep the names of the controls they belong to; each reads its controls and
// calls the reading, store and document code.
#include "document/text_file.h"
#include "reading/reading_state.h"
#include "reading/tts.h"
#include "ui/shell/main_window_ui.h"
#include "ui/common/services.h"

#include <QMainWindow>
#include <QTimer>
#include <memory>

namespace sayvell::document {
class DocumentConverter;
struct FindResult;
}

namespace sayvell::ui {

class MemoPort;
class ReadingCommands;

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

    // Documents and editor (tf_speaker_document.cpp)
    void N35Click();          // new
    void SB_openClick();      // open
    void N21Click();          // save as
    void ListBox1DblClick();  // reopen from the history, also O1Click
    void O1Click();
    void D2Click();           // delete a history record
    void ListBox1Click();     // the selected line as the list's hint
    void Find(const QString& replacement);
    void SpeedButton2Click();  // find
    void SpeedButton3Click();  // find and replace
    void SpeedButton4Click();  // replace following
    void N23Click();           // font
    void N25Click();           // background colour
    void N27Click();           // left
    void N28Click();           // centre
    void N29Click();           // right
    void CCtrlC2Click();
    void VCtrlV3Click();
    void XCtrlX1Click();
    void ZCtrlZ1Click();
    void A1Click();
    // How the current document was read and will be written.
    const document::TextFormat& documentFormat() const { return docFormat_; }
    // True while the text came from a word-processor file (Save then asks for a name).
    bool documentConverted() const { return docConverted_; }
    void setDocumentConverter(std::shared_ptr<document::DocumentConverter> converter);
    bool replaceFollowing = false;

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
    // Documents and editor (tf_speaker_document.cpp)
    void connectDocumentCommands();
    void newDocument();
    bool loadDocument(const QString& path);
    bool writeDocument(const QString& path);
    bool refuseWordProcessorTarget(const QString& path);
    void applyFindResult(const document::FindResult& result);
    void alignText(Qt::Alignment alignment, QAction* item);
    document::DocumentConverter& converter();
    std::shared_ptr<document::DocumentConverter> converter_;
    document::TextFormat docFormat_;
    bool docConverted_ = false;
    bool docUndecodable_ = false;

    void connectCommands();
    void applySettings();
    void fillVoiceList();
    void selectStoredVoice();
    void fillHistoryList();
    void getdelaystring();
    void applyEditorAppearance();
    void saveExitSettings();
    void gundong1();
    // The voice check of every reading command: warns when no voice is chosen.
    bool voiceChosen();
    void selectVoice();
    void tellNoSoundOnce();
    void endWorker();

    Services services_;
    MemoPort* port_ = nullptr;
    std::unique_ptr<reading::TtsRunner> runner_;
    int baseRate_ = 0;
    std::array<bool, 3> hotkeys_{true, true, true};
    QString musicFolder_;
    bool exiting_ = false;
    bool noSoundTold_ = false;

    // Reading commands (ui/reading_commands.h): prompt tone, one-shot readings, bookmark,
    // loop reading, delay symbol and date token.
public:
    ReadingCommands& readingCommands() { return *commands_; }
    QTimer* readcycled = nullptr;  // loop reading, 1000 ms
private:
    friend class ReadingCommands;
    // Last member: destroyed first, while the state and the runner it uses still exist.
    std::unique_ptr<ReadingCommands> commands_;
};

}  // namespace sayvell::ui
