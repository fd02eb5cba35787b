#include "ui/shell/tf_speaker.h"

#include "plan/plan_player.h"
#include "reading/piece_cutter.h"
#include "reading/tts.h"
#include "store/pronunciation_table.h"
#include "store/settings_file.h"
#include "store/tdm.h"
#include "ui/common/dialogs.h"
#include "ui/common/memo_port.h"
#include "ui/common/settings_writes.h"
#include "ui/document/appearance_controller.h"
#include "ui/document/documents_controller.h"
#include "ui/document/find_controller.h"
#include "ui/export/export_controller.h"
#include "ui/plan/plan_controller.h"
#include "ui/reading/date_controller.h"
#include "ui/reading/loop_controller.h"
#include "ui/reading/reading_commands.h"
#include "ui/reading/voice_controls.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <chrono>

namespace sayvell::ui {

namespace {

QString weekdayName(const QDate& d) {
    static const char16_t* names[] = {u"星期日", u"星期一", u"星期二", u"星期三", u"星期四", u"星期五", u"星期六"};
    return QString::fromUtf16(names[d.dayOfWeek() % 7]);
}

}  // namespace

Tf_speaker::Tf_speaker(Services services, QWidget* parent) : QMainWindow(parent), services_(services) {
    ui.setupUi(this);
    port_ = new MemoPort(ui.Memo1, this);
    port_->setRunFinishedHandler([this] { btn_enable(); });
    runner_ = std::make_unique<reading::TtsRunner>(state_, *port_, services_.speech, services_.clock);
    pronunciation_ = store::PronunciationTable::open(services_.dm.path());
    ui.Memo1->installEventFilter(this);
    ui.Memo1->viewport()->installEventFilter(this);
    // Every change marks the text, also one made by a command; loading and saving clear it.
    connect(ui.Memo1, &QPlainTextEdit::textChanged, this, [this] { ui.Memo1->document()->setModified(true); });
    connect(ui.SB_panel, &QToolButton::clicked, this, &Tf_speaker::SB_panelClick);
    connect(ui.SB_close, &QToolButton::clicked, this, &Tf_speaker::SB_closeClick);
    connect(ui.N_exit, &QAction::triggered, this, &Tf_speaker::SB_closeClick);

    voice_ = std::make_unique<VoiceControls>(
        VoiceWidgets{ui.flatComboBox1, ui.TrackBar2, ui.StaticText6, ui.TrackBar1, ui.StaticText9, ui.Memo1},
        services_.speech, services_.dialogs);
    reading_ = std::make_unique<ReadingCommands>(
        ReadingWidgets{ui.SB_play, ui.SB_jexu, ui.SB_stop, ui.SB_top, ui.SB_bott, ui.P_readHere, ui.P_readLine,
                       ui.P_readSelection, ui.P_bookmark, ui.P_readLast, ui.P_insertDelay, ui.Chk_prompt, ui.Memo1,
                       ui.StatusBar1},
        *port_, state_, *runner_, services_, *voice_, readingGate());
    if (pronunciation_) {
        runner_->setLexiconSource(pronunciation_->source());
        reading_->setLexiconSource(pronunciation_->source());
    }
    loop_ = std::make_unique<LoopController>(LoopWidgets{ui.SB_repeat1, ui.SB_repeat, ui.P_loopAll, ui.P_loopRange,
                                                         ui.SpinEdit1, ui.SpinEdit2, ui.btn_ok, ui.Memo1},
                                             *port_, state_, services_.clock, services_.dialogs, *reading_, *voice_,
                                             readingGate());
    date_ = std::make_unique<DateController>(ui.SB_time, ui.ToolBar1, ui.Memo1, state_, *runner_, services_.clock,
                                             services_.dialogs);
    documents_ = std::make_unique<DocumentsController>(
        DocumentWidgets{ui.SB_new, ui.N35, ui.SB_open, ui.N11, ui.SB_save, ui.N12, ui.N21, ui.ListBox1, ui.O1, ui.D2,
                        ui.statusPanel[2], ui.Memo1, ui.M_reopenAs, ui.statusEncoding},
        services_.dm, services_.dialogs, readingGate());
    find_ = std::make_unique<FindController>(
        FindWidgets{ui.Fedit, ui.Redit, ui.SpeedButton2, ui.SpeedButton3, ui.SpeedButton4, ui.CheckBox2, ui.CheckBox1,
                    ui.CheckBox4, ui.CheckBox3, ui.Memo1},
        *port_, services_.dialogs);
    appearance_ = std::make_unique<AppearanceController>(
        AppearanceWidgets{ui.N23, ui.N25, ui.N27, ui.N28, ui.N29, ui.CCtrlC2, ui.HCtrlH1, ui.VCtrlV3, ui.VCtrlV1,
                          ui.XCtrlX1, ui.ZCtrlZ1, ui.A1, ui.N10, ui.Memo1},
        services_.dialogs);

    // Start-up sequence.
    const QDate today = services_.clock.now().date();
    ui.statusPanel[1]->setText(today.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + weekdayName(today));
    applySettings();
    documents_->fillHistoryList();
    ui.setFindPanelFolded(true);
    wireMusic();
    addPlanControls();
    getdelaystring();
    ui.Memo1->document()->setModified(false);
    // Should the first frame never come (a window the desktop keeps unmapped), the rest of the
    // start must still: the plan is due whether or not anyone looks.
    constexpr int kLatestStartMs = 1000;
    QTimer::singleShot(kLatestStartMs, this, &Tf_speaker::completeStart);
}

void Tf_speaker::completeStart() {
    if (started_) return;
    started_ = true;
    // The speech engine loads and lists its voices meanwhile, beside the wiring.
    services_.speech.prefetchVoices();
    wireExport();
    wireSettings();
    wireSchedule();
    wireInfo();
    wireDesktop();
    voice_->fillVoiceList();
    voice_->selectStoredVoice(store::SettingsFile());
    wirePlan();
    wireRecovery();
    wireMpris();
}

Tf_speaker::~Tf_speaker() { endWorker(); }

void Tf_speaker::endWorker() {
    if (auto* exporter = findChild<ExportController*>()) exporter->endExport();
    // The worker may be waiting for this thread to serve the editor: serve it until the
    // worker has finished, then join it.
    runner_->abort();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (runner_->busy() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        runner_->waitIdle(5);
    }
    port_->close();
    QCoreApplication::processEvents();
    runner_->shutdown();
}

void Tf_speaker::applySettings() {
    writeSettings(services_.dialogs, [this](store::SettingsFile& ini) {
        reading_->applySettings(ini);
        voice_->rememberBaseRate();
        appearance_->applySettings(ini);
        voice_->applyRateAndVolume(ini);
        date_->applySettings(ini);
        loop_->applySettings(ini);
    });
}

// The pause table, built from the store's rows with the store's own rule for the marks.
void Tf_speaker::getdelaystring() {
    state_.setDelimiterTable(reading::DelimiterTable::fromMarks(services_.dm.q_delaytime.marks()));
}

std::array<QWidget*, 16> Tf_speaker::readingControls() const {
    return {ui.SB_new, ui.SB_open, ui.SB_save, ui.SB_outwav, ui.SB_outwav2, ui.SB_jexu, ui.SB_repeat, ui.SB_repeat1,
            ui.SB_top, ui.SB_bott, ui.SB_time, ui.SB_play,   ui.sb_delay,   ui.btn_ok,  ui.SpinEdit1, ui.SpinEdit2};
}

void Tf_speaker::btn_enable() {
    for (QWidget* w : readingControls()) w->setEnabled(true);
}

void Tf_speaker::btn_disable() {
    for (QWidget* w : readingControls()) w->setEnabled(false);
}

bool Tf_speaker::readingActive() const { return state_.readingActive.load(); }

void Tf_speaker::requestStop() { runner_->requestStop(); }

void Tf_speaker::showCaretPosition() {
    const int selStart = port_->selStart();
    const int line = port_->caretLineOf(selStart);
    const int column = selStart - port_->lineStartOffset(line);
    state_.caretLine = line;
    state_.caretColumn = column;
    ui.statusPanel[0]->setText(QStringLiteral("   %1:%2").arg(line + 1).arg(column + 1));
}

// ---- Forwards ------------------------------------------------------------------------------

void Tf_speaker::SB_playClick() { reading_->SB_playClick(); }
void Tf_speaker::SB_jexuClick() { reading_->SB_jexuClick(); }
void Tf_speaker::SB_stopClick() {
    reading_->SB_stopClick();
    if (plan_) plan_->stop();
}
void Tf_speaker::SB_topClick() { reading_->SB_topClick(); }
void Tf_speaker::SB_bottClick() { reading_->SB_bottClick(); }
void Tf_speaker::readFromHere() { reading_->readFromHere(); }
void Tf_speaker::TrackBar2Change() { voice_->TrackBar2Change(); }
void Tf_speaker::TrackBar1Change() { voice_->TrackBar1Change(); }
void Tf_speaker::flatComboBox1Change() { voice_->flatComboBox1Change(); }
int Tf_speaker::baseRate() const { return voice_->baseRate(); }
QTimer* Tf_speaker::readcycled() const { return loop_->readcycled(); }

void Tf_speaker::N35Click() { documents_->N35Click(); }
void Tf_speaker::SB_openClick() { documents_->SB_openClick(); }
bool Tf_speaker::SB_saveClick() { return documents_->SB_saveClick(); }
void Tf_speaker::N21Click() { documents_->N21Click(); }
void Tf_speaker::ListBox1DblClick() { documents_->ListBox1DblClick(); }
void Tf_speaker::O1Click() { documents_->O1Click(); }
void Tf_speaker::D2Click() { documents_->D2Click(); }
void Tf_speaker::ListBox1Click() { documents_->ListBox1Click(); }
QString Tf_speaker::currentFile() const { return documents_->session().currentFile(); }
void Tf_speaker::setDocumentConverter(std::shared_ptr<document::DocumentConverter> converter) {
    documents_->setDocumentConverter(std::move(converter));
}
void Tf_speaker::SpeedButton2Click() { find_->SpeedButton2Click(); }
void Tf_speaker::SpeedButton3Click() { find_->SpeedButton3Click(); }
void Tf_speaker::SpeedButton4Click() { find_->SpeedButton4Click(); }
void Tf_speaker::N23Click() { appearance_->N23Click(); }
void Tf_speaker::N25Click() { appearance_->N25Click(); }
void Tf_speaker::N27Click() { appearance_->N27Click(); }
void Tf_speaker::N28Click() { appearance_->N28Click(); }
void Tf_speaker::N29Click() { appearance_->N29Click(); }
void Tf_speaker::CCtrlC2Click() { appearance_->CCtrlC2Click(); }
void Tf_speaker::VCtrlV3Click() { appearance_->VCtrlV3Click(); }
void Tf_speaker::XCtrlX1Click() { appearance_->XCtrlX1Click(); }
void Tf_speaker::ZCtrlZ1Click() { appearance_->ZCtrlZ1Click(); }
void Tf_speaker::A1Click() { appearance_->A1Click(); }

// ---- The shell -----------------------------------------------------------------------------

void Tf_speaker::SB_panelClick() { ui.Panel2->setVisible(!ui.Panel2->isVisible()); }

void Tf_speaker::addExitStep(ExitStage stage, std::function<void()> step) {
    exitSteps_.emplace_back(stage, std::move(step));
}

void Tf_speaker::runExitSteps(ExitStage stage) {
    for (auto& [s, step] : exitSteps_)
        if (s == stage) step();
}

void Tf_speaker::saveExitSettings() {
    writeSettings(services_.dialogs, [this](store::SettingsFile& ini) {
        voice_->saveAtExit(ini);
        reading_->saveAtExit(ini);
    });
}

void Tf_speaker::SB_closeClick() {
    if (exiting_) return;
    // An exit before the start has completed must still save the chosen voice and the text.
    completeStart();
    runner_->requestStop();
    // A text that could not be saved keeps the program open rather than being lost.
    if (!documents_->settleChangedText()) return;
    exiting_ = true;
    reading_->close();
    runExitSteps(ExitStage::AfterSaveQuestion);
    saveExitSettings();
    runExitSteps(ExitStage::SaveSettings);
    endWorker();
    runExitSteps(ExitStage::BeforeEnd);
    emit exitRequested(0);
}

void Tf_speaker::closeEvent(QCloseEvent* event) {
    if (exiting_) {
        event->accept();
        return;
    }
    // The frame only takes the window away; the program ends through the exit command.
    event->ignore();
    if (!frameClose_ || !frameClose_()) showMinimized();
}

bool Tf_speaker::eventFilter(QObject* watched, QEvent* event) {
    // The editor is drawn with the rest of the first frame; once that frame is out, the start
    // goes on.
    if (watched == ui.Memo1->viewport() && event->type() == QEvent::Paint && !firstFrame_) {
        firstFrame_ = true;
        QTimer::singleShot(0, this, [this] {
            emit firstFrameShown();
            completeStart();
        });
    }
    if ((watched == ui.Memo1 || watched == ui.Memo1->viewport()) &&
        (event->type() == QEvent::KeyRelease || event->type() == QEvent::MouseButtonRelease))
        showCaretPosition();
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace sayvell::ui
