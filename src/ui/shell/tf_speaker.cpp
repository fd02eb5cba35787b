#include "ui/shell/tf_speaker.h"

#include "reading/piece_cutter.h"
#include "reading/speech_engine.h"
#include "store/app_paths.h"
#include "store/settings_file.h"
#include "store/tdm.h"
#include "ui/common/colors.h"
#include "ui/common/dialogs.h"
#include "ui/common/memo_port.h"
#include "ui/common/messages.h"
#include "ui/reading/reading_commands.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QThread>
#include <QToolButton>
#include <chrono>

namespace sayvell::ui {

using store::SettingsFile;

namespace {

const QString kChooseVoice = QStringLiteral("請選擇語音引擎!");
const QString kNoSound = QStringLiteral("找不到聲音輸出（%1）。朗讀照常進行並標示朗讀的位置，但不會發聲。");

QString weekdayName(const QDate& d) {
    static const char16_t* names[] = {u"星期日", u"星期一", u"星期二", u"星期三", u"星期四", u"星期五", u"星期六"};
    return QString::fromUtf16(names[d.dayOfWeek() % 7]);
}

}  // namespace

Tf_speaker::Tf_speaker(Services services, QWidget* parent) : QMainWindow(parent), services_(services) {
    ui.setupUi(this);
    port_ = new MemoPort(ui.Memo1, this);
    port_->setRunFinishedHandler([this] { btn_enable(); });
    runner_ = std::make_unique<reading::TtsRunner>(state, *port_, services_.speech, services_.clock);
    ui.Memo1->installEventFilter(this);
    ui.Memo1->viewport()->installEventFilter(this);
    connectCommands();
    commands_ = std::make_unique<ReadingCommands>(*this);

    // Start-up sequence.
    state.singleRun = true;
    const QDate today = services_.clock.now().date();
    ui.statusPanel[1]->setText(today.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + weekdayName(today));
    applySettings();
    fillHistoryList();
    fillVoiceList();
    selectStoredVoice();
    ui.setFindPanelFolded(true);
    getdelaystring();
    ui.Memo1->document()->setModified(false);
}

Tf_speaker::~Tf_speaker() { endWorker(); }

void Tf_speaker::endWorker() {
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

std::array<QWidget*, 16> Tf_speaker::readingControls() const {
    return {ui.SB_new,  ui.SB_open, ui.SB_save, ui.SB_outwav, ui.SB_outwav2, ui.SB_jexu,
            ui.SB_repeat, ui.SB_repeat1, ui.SB_top, ui.SB_bott, ui.SB_time,  ui.SB_play,
            ui.sb_delay, ui.btn_ok, ui.SpinEdit1, ui.SpinEdit2};
}

void Tf_speaker::btn_enable() {
    for (QWidget* w : readingControls()) w->setEnabled(true);
}

void Tf_speaker::btn_disable() {
    for (QWidget* w : readingControls()) w->setEnabled(false);
}

void Tf_speaker::showCaretPosition() {
    const int selStart = port_->selStart();
    const int line = port_->caretLineOf(selStart);
    const int column = selStart - port_->lineStartOffset(line);
    state.caretLine = line;
    state.caretColumn = column;
    ui.statusPanel[0]->setText(QStringLiteral("   %1:%2").arg(line + 1).arg(column + 1));
}

void Tf_speaker::connectCommands() {
    // Every change marks the text, also one made by a command; loading and saving clear it.
    connect(ui.Memo1, &QPlainTextEdit::textChanged, this, [this] { ui.Memo1->document()->setModified(true); });
    connect(ui.SB_play, &QToolButton::clicked, this, &Tf_speaker::SB_playClick);
    connect(ui.SB_jexu, &QToolButton::clicked, this, &Tf_speaker::SB_jexuClick);
    connect(ui.SB_stop, &QToolButton::clicked, this, &Tf_speaker::SB_stopClick);
    connect(ui.SB_top, &QToolButton::clicked, this, &Tf_speaker::SB_topClick);
    connect(ui.SB_bott, &QToolButton::clicked, this, &Tf_speaker::SB_bottClick);
    connect(ui.SB_panel, &QToolButton::clicked, this, &Tf_speaker::SB_panelClick);
    connect(ui.SB_close, &QToolButton::clicked, this, &Tf_speaker::SB_closeClick);
    connect(ui.N_exit, &QAction::triggered, this, &Tf_speaker::SB_closeClick);
    connect(ui.P_readHere, &QAction::triggered, this, &Tf_speaker::readFromHere);
    connect(ui.TrackBar2, &QSlider::valueChanged, this, &Tf_speaker::TrackBar2Change);
    connect(ui.TrackBar1, &QSlider::valueChanged, this, &Tf_speaker::TrackBar1Change);
    connect(ui.flatComboBox1, qOverload<int>(&QComboBox::activated), this, &Tf_speaker::flatComboBox1Change);
    connectDocumentCommands();
}

void Tf_speaker::applySettings() {
    try {
        SettingsFile ini;
        ui.Chk_prompt->setChecked(ini.readBool("System", "Prompt_tone", true));
        baseRate_ = services_.speech.rate();
        applyEditorAppearance();
        const int rate = ini.readInteger("Speaker", "Rate", 2);
        ui.TrackBar2->blockSignals(true);
        ui.TrackBar2->setValue(std::clamp(rate, ui.TrackBar2->minimum(), ui.TrackBar2->maximum()));
        ui.TrackBar2->blockSignals(false);
        TrackBar2Change();
        const int volume = ini.readInteger("Speaker", "Volume", 120);
        ui.TrackBar1->setValue(std::clamp(volume, 0, 100));
        state.dateFormatType = ini.readInteger("Speaker", "Datetimetype", 1);
        const int musicVolume = ini.readInteger("System", "default_volume", 40);
        const int speakingMusicVolume = ini.readInteger("System", "default_volume1", 10);
        ui.SpinEdit1->setValue(ini.readInteger("System", "Readtimes", 2));
        ui.SpinEdit2->setValue(ini.readInteger("System", "Intervaltime", 60));
        ui.ComBox1->setCurrentIndex(std::clamp(ini.readInteger("System", "Playmode", 0), 0, 1));
        hotkeys_ = {ini.readBool("System", "F7", true), ini.readBool("System", "F9", true),
                    ini.readBool("System", "F11", true)};
        state.symbolDelayMs = std::max(0, ini.readInteger("System", "Delay2", 800));
        const QString exeDir = store::appDir();
        const QString stored = ini.readString("System", "Mp3bj", exeDir);
        if (QFileInfo(stored).isDir())
            musicFolder_ = stored;
        else if (QFileInfo(exeDir + "/mp3files").isDir())
            musicFolder_ = exeDir + "/mp3files";
        else
            musicFolder_ = exeDir;
        ui.bj_v->setValue(musicVolume);
        ui.bj_v1->setValue(speakingMusicVolume);
    } catch (const store::SettingsWriteError& e) {
        services_.dialogs.error(QString::fromUtf8(e.what()));
    }
}

void Tf_speaker::applyEditorAppearance() {
    SettingsFile ini;
    QPalette pal = ui.Memo1->palette();
    quint32 color = 0;
    if (const QString text = ini.readString("Memo", "memocolor", {}); !text.isEmpty() && store::textToColor(text, &color))
        pal.setColor(QPalette::Base, toQColor(color));
    if (const QString text = ini.readString("Memo", "fontcolor", {}); !text.isEmpty() && store::textToColor(text, &color))
        pal.setColor(QPalette::Text, toQColor(color));
    ui.Memo1->setPalette(pal);
    QFont font = ui.Memo1->font();
    const int size = ini.readInteger("Memo", "fontsize", 12);
    if (size > 0 && size < 400) font.setPointSize(size);
    // Written at every start, so the file exists and holds the editor's colour afterwards.
    ini.writeString("Memo", "memocolor", store::colorToText(fromQColor(pal.color(QPalette::Base))));
    if (const QString name = ini.readString("Memo", "fontname", {}); !name.isEmpty()) {
        font.setFamily(name.left(31));
        addChineseFallback(font);
    }
    const store::FontStyles style = store::textToFontStyle(ini.readString("Memo", "FontStyle", "[]"));
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    font.setStrikeOut(style.strikeOut);
    ui.Memo1->setFont(font);
}

void Tf_speaker::fillHistoryList() {
    ui.ListBox1->clear();
    ui.ListBox1->addItems(services_.dm.Q_history.list());
}

void Tf_speaker::fillVoiceList() {
    ui.flatComboBox1->clear();
    for (const reading::Voice& v : services_.speech.voices()) ui.flatComboBox1->addItem(v.displayName);
}

void Tf_speaker::selectStoredVoice() {
    const int index = SettingsFile().readInteger("Speaker", "Speaker", 0);
    ui.flatComboBox1->setCurrentIndex(index >= 0 && index < ui.flatComboBox1->count() ? index : -1);
}

void Tf_speaker::getdelaystring() {
    reading::DelimiterTable table;
    const auto& rows = services_.dm.q_delaytime.rows();
    for (size_t i = 0; i < rows.size() && i < table.delays.size(); ++i) {
        table.marks << rows[i].descript.trimmed();
        table.delays[i] = std::max(0, rows[i].delaytime);
    }
    state.setDelimiterTable(std::move(table));
}

void Tf_speaker::TrackBar2Change() {
    const int position = ui.TrackBar2->value();
    ui.StaticText6->setText(QString::number(position));
    services_.speech.setRate(position + baseRate_);
    ui.Memo1->setFocus();
}

void Tf_speaker::TrackBar1Change() {
    const int position = ui.TrackBar1->value();
    ui.StaticText9->setText(QString::number(position));
    services_.speech.setVolume(position);
    ui.Memo1->setFocus();
}

void Tf_speaker::flatComboBox1Change() { ui.Memo1->setFocus(); }

bool Tf_speaker::voiceChosen() {
    if (!ui.flatComboBox1->currentText().trimmed().isEmpty()) return true;
    services_.dialogs.warning(kChooseVoice);
    return false;
}

void Tf_speaker::selectVoice() {
    const QList<reading::Voice> voices = services_.speech.voices();
    const int index = ui.flatComboBox1->currentIndex();
    if (index >= 0 && index < voices.size()) services_.speech.setVoice(voices[index]);
}

void Tf_speaker::tellNoSoundOnce() {
    if (noSoundTold_ || services_.noSoundReason.isEmpty()) return;
    noSoundTold_ = true;
    const QString text = kNoSound.arg(services_.noSoundReason);
    statusBar()->showMessage(text, 10000);
    services_.dialogs.warning(text);
}

void Tf_speaker::gundong1() {
    if (!reading::hasText(port_->bytes().text())) return;
    tellNoSoundOnce();
    selectVoice();
    ui.Memo1->setFocus();
    state.readingByWorker = true;
    state.stopRequested = false;
    state.readingActive = true;
    state.rangeMode = false;
    state.singleRun = true;
    runner_->start({port_->selStart(), 0});
}

void Tf_speaker::readFromHere() { commands_->readFromHere(); }

void Tf_speaker::SB_playClick() {
    state.readingActive = false;
    readFromHere();
}

void Tf_speaker::SB_jexuClick() {
    port_->setSelStart(0);
    state.readingActive = false;
    readFromHere();
}

void Tf_speaker::SB_stopClick() {
    state.readingActive = false;
    btn_enable();
    if (state.readingByWorker)
        runner_->requestStop();
    else
        services_.speech.speak(QString(), reading::SpeechEngine::PurgeBeforeSpeak);
    commands_->stopped();
}

void Tf_speaker::SB_topClick() {
    port_->setSelStart(0);
    ui.Memo1->ensureCursorVisible();
    ui.Memo1->setFocus();
}

void Tf_speaker::SB_bottClick() {
    port_->setSelStart(port_->bytes().byteLength());
    ui.Memo1->ensureCursorVisible();
    ui.Memo1->setFocus();
}

void Tf_speaker::SB_panelClick() { ui.Panel2->setVisible(!ui.Panel2->isVisible()); }

void Tf_speaker::saveExitSettings() {
    SettingsFile ini;
    ini.writeInteger("Speaker", "Speaker", ui.flatComboBox1->currentIndex());
    ini.writeInteger("Speaker", "Rate", ui.TrackBar2->value());
    ini.writeInteger("Speaker", "Volume", ui.TrackBar1->value());
    ini.writeBool("System", "Prompt_tone", ui.Chk_prompt->isChecked());
    ini.writeInteger("System", "default_volume", ui.bj_v->value());
    ini.writeInteger("System", "default_volume1", ui.bj_v1->value());
    ini.writeInteger("System", "Playmode", ui.ComBox1->currentIndex());
}

void Tf_speaker::SB_closeClick() {
    if (exiting_) return;
    runner_->requestStop();
    if (ui.Memo1->document()->isModified() && services_.dialogs.confirm(kSaveChanged)) {
        // A text that could not be saved keeps the program open rather than being lost.
        if (!SB_saveClick()) return;
    }
    exiting_ = true;
    try {
        saveExitSettings();
    } catch (const store::SettingsWriteError& e) {
        services_.dialogs.error(QString::fromUtf8(e.what()));
    }
    endWorker();
    emit exitRequested(0);
}

void Tf_speaker::closeEvent(QCloseEvent* event) {
    if (exiting_) {
        event->accept();
        return;
    }
    // The frame only hides the window; the program ends through the exit command.
    event->ignore();
    showMinimized();
}

bool Tf_speaker::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ui.Memo1 || watched == ui.Memo1->viewport()) &&
        (event->type() == QEvent::KeyRelease || event->type() == QEvent::MouseButtonRelease))
        showCaretPosition();
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace sayvell::ui
