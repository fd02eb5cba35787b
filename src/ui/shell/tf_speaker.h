#pragma once
// The main window: the editor Memo1 with its tool bar, menus, right-hand panel and status
// bar. It builds the widgets and one controller per feature, wires them and runs the start-up
// and exit sequences; the features' logic lives in their controllers. Handlers keep the names
// of the controls they belong to and forward to the controller that owns them.
#include "reading/reading_state.h"
#include "ui/common/reading_gate.h"
#include "ui/common/services.h"
#include "ui/shell/main_window_ui.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QTimer;

namespace sayvell::document {
class DocumentConverter;
}
namespace sayvell::store {
class PronunciationTable;
class RecoveryKeeper;
}  // namespace sayvell::store
namespace sayvell::plan {
class SleepInhibitor;
}
namespace sayvell::reading {
class LoopReading;
class TtsRunner;
}  // namespace sayvell::reading

namespace sayvell::ui {

class AppearanceController;
class DateController;
class DocumentsController;
class FindController;
class LoopController;
class PlanController;
class MemoPort;
class ReadingCommands;
class VoiceControls;

class Tf_speaker : public QMainWindow, private ReadingGate {
    Q_OBJECT
public:
    // Builds what the first frame shows; the rest comes with completeStart().
    explicit Tf_speaker(Services services, QWidget* parent = nullptr);
    ~Tf_speaker() override;
    // What the first frame does not need: the voice list, export, settings, the task and info
    // windows, the tray and hot keys, the plan, recovery and the media controls. Runs once,
    // after the first frame (or a second after the window was made, if no frame comes; or at an
    // early exit); tests call it at once.
    void completeStart();

    MainWindowUi ui;

    reading::ReadingState& readingState() { return state_; }
    reading::TtsRunner& runner() { return *runner_; }
    MemoPort& memoPort() { return *port_; }
    ReadingGate& readingGate() { return *this; }
    const Services& services() const { return services_; }
    // Null when draft.dat could not take the table (the program then reads without it).
    store::PronunciationTable* pronunciationTable() { return pronunciation_.get(); }

    // The 16 controls disabled while a reading runs, in their fixed order.
    std::array<QWidget*, 16> readingControls() const;
    void btn_enable();
    void btn_disable();
    void showCaretPosition();

    // ---- Reading (ui/reading/)
    void SB_playClick();
    void SB_jexuClick();
    void SB_stopClick();
    void SB_topClick();
    void SB_bottClick();
    void readFromHere();
    void TrackBar2Change();
    void TrackBar1Change();
    void flatComboBox1Change();
    int baseRate() const;
    ReadingCommands& readingCommands() { return *reading_; }
    VoiceControls& voiceControls() { return *voice_; }
    LoopController& loopController() { return *loop_; }
    DateController& dateController() { return *date_; }
    QTimer* readcycled() const;

    // ---- Documents and editor (ui/document/)
    void N35Click();          // new
    void SB_openClick();      // open
    bool SB_saveClick();      // false when the text was not saved (cancelled or failed)
    void N21Click();          // save as
    void ListBox1DblClick();  // reopen from the history
    void O1Click();
    void D2Click();            // delete a history record
    void ListBox1Click();      // the selected line as the list's hint
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
    QString currentFile() const;
    DocumentsController& documents() { return *documents_; }
    FindController& find() { return *find_; }
    void setDocumentConverter(std::shared_ptr<document::DocumentConverter> converter);

    // ---- The shell
    void SB_panelClick();
    void SB_closeClick();  // the exit command

    // The exit command runs its steps in this order; a feature adds its own to a stage.
    enum class ExitStage {
        AfterSaveQuestion,  // the text is settled; nothing is saved yet (the tray icon goes here)
        SaveSettings,       // after the voice, speech and prompt settings are written
        BeforeEnd,          // the reading worker has ended; the program ends next
    };
    void addExitStep(ExitStage stage, std::function<void()> step);
    // Closing by the frame: the handler returns true when it took the window away (to the
    // tray); otherwise the window is minimised, so it can always be brought back.
    void setFrameCloseHandler(std::function<bool()> handler) { frameClose_ = std::move(handler); }

signals:
    // The exit sequence has run; the application should end with this code.
    void exitRequested(int code);
    // The first frame has been drawn.
    void firstFrameShown();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ReadingGate
    bool readingActive() const override;
    void requestStop() override;
    void disableControls() override { btn_disable(); }
    void enableControls() override { btn_enable(); }

    void applySettings();
    void getdelaystring();
    void saveExitSettings();
    void runExitSteps(ExitStage stage);
    void endWorker();

    // Each feature's wiring, in its own folder's file under ui/shell/.
    void wireMusic();
    void wireExport();
    void wireDesktop();
    void wireSettings();
    void wireSchedule();
    void wireInfo();
    void wireRecovery();
    void wireMpris();
    void addPlanControls();
    void wirePlan();

    Services services_;
    reading::ReadingState state_;
    MemoPort* port_ = nullptr;
    std::unique_ptr<reading::TtsRunner> runner_;
    std::unique_ptr<store::PronunciationTable> pronunciation_;
    bool exiting_ = false;
    bool firstFrame_ = false;
    bool started_ = false;
    std::vector<std::pair<ExitStage, std::function<void()>>> exitSteps_;
    std::function<bool()> frameClose_;
    store::RecoveryKeeper* recovery_ = nullptr;  // absent when the database cannot keep records
    std::unique_ptr<plan::SleepInhibitor> planAwake_;
    PlanController* plan_ = nullptr;

    // Controllers: declared last, so destroyed first, while the state and runner they use exist.
    std::unique_ptr<VoiceControls> voice_;
    std::unique_ptr<ReadingCommands> reading_;
    std::unique_ptr<LoopController> loop_;
    std::unique_ptr<DateController> date_;
    std::unique_ptr<DocumentsController> documents_;
    std::unique_ptr<FindController> find_;
    std::unique_ptr<AppearanceController> appearance_;
};

}  // namespace sayvell::ui
