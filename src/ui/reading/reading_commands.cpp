#include "ui/reading/reading_commands.h"

#include "audio/audio_engine.h"
#include "reading/piece_cutter.h"
#include "reading/prompt_tone.h"
#include "store/settings_file.h"
#include "text/byte_text.h"
#include "ui/common/dialogs.h"
#include "ui/common/memo_port.h"
#include "ui/shell/tf_speaker.h"
#include "ui/reading/tfdateformat.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

// The resources live in a static library: their registration has to be pulled in by name.
static QByteArray loadPromptWav() {
    Q_INIT_RESOURCE(resources);
    QFile f(QStringLiteral(":/prompt_wav"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace sayvell::ui {

namespace {

const QString kChooseRange = QStringLiteral("請選擇所要朗讀的內容!");
const QString kLoopDefaultsSaved = QStringLiteral("參數已設為默認！ ");
const QString kCantoneseVoice = QStringLiteral("Sin-Ji_Full_22kHz");
constexpr int kLoopTickMs = 1000;
constexpr int kDateWindowTop = 79;

const QByteArray& promptWav() {
    static const QByteArray wav = loadPromptWav();
    return wav;
}

// What a one-shot reading hands to the engine: the delay symbol is never spoken.
QString spokenText(QString text) { return text.remove(QChar(reading::kDelaySymbol)); }

}  // namespace

ReadingCommands::ReadingCommands(Tf_speaker& window)
    : w_(window), loop_(window.state, window.services_.clock, *this) {
    MainWindowUi& ui = w_.ui;

    w_.readcycled = new QTimer(&w_);
    w_.readcycled->setObjectName(QStringLiteral("readcycled"));
    w_.readcycled->setInterval(kLoopTickMs);
    connect(w_.readcycled, &QTimer::timeout, this, &ReadingCommands::readcycledTimer);

    promptTimer_ = new QTimer(this);
    promptTimer_->setSingleShot(true);
    promptTimer_->setTimerType(Qt::PreciseTimer);
    promptTimer_->setInterval(reading::kPromptLeadMs);
    connect(promptTimer_, &QTimer::timeout, this, &ReadingCommands::startSingleRun);

    dateWindow_ = std::make_unique<Tfdateformat>(
        w_.state, w_.services_.clock, reading::DateFormatter(QLocale::system()), w_.services_.dialogs,
        [this](const QString& text) { inserttime(text); });
    setDateLocale(QLocale::system());

    connect(ui.P_readLine, &QAction::triggered, this, &ReadingCommands::readCurrentLine);
    connect(ui.P_readSelection, &QAction::triggered, this, &ReadingCommands::readSelection);
    connect(ui.P_loopRange, &QAction::triggered, this, &ReadingCommands::SB_repeatClick);
    connect(ui.P_loopAll, &QAction::triggered, this, &ReadingCommands::loopAllClick);
    connect(ui.P_bookmark, &QAction::triggered, this, &ReadingCommands::recordBookmark);
    connect(ui.P_readLast, &QAction::triggered, this, &ReadingCommands::readFromLast);
    connect(ui.P_insertDelay, &QAction::triggered, this,
            [this] { insertpos(QString(QChar(reading::kDelaySymbol))); });
    connect(ui.SB_repeat1, &QToolButton::clicked, this, &ReadingCommands::SB_repeat1Click);
    connect(ui.SB_repeat, &QToolButton::clicked, this, &ReadingCommands::SB_repeatClick);
    connect(ui.SB_time, &QToolButton::clicked, this, &ReadingCommands::SB_timeClick);
    connect(ui.btn_ok, &QPushButton::clicked, this, &ReadingCommands::btn_okClick);
}

ReadingCommands::~ReadingCommands() = default;

void ReadingCommands::setDateLocale(const QLocale& locale) {
    const reading::DateFormatter formatter(locale);
    dateWindow_->setFormatter(formatter);
    w_.runner().setDateSubstitution([formatter](const QString& piece, int type, const QDateTime& now) {
        return formatter.substitute(piece, type, now);
    });
}

bool ReadingCommands::startPending() const { return promptTimer_->isActive(); }

// ---- Single runs ----------------------------------------------------------------------

void ReadingCommands::readFromHere() {
    if (!reading::hasText(w_.memoPort().bytes().text())) return;
    if (!w_.voiceChosen()) return;
    w_.btn_disable();
    cancelPendingStart();
    if (w_.ui.Chk_prompt->isChecked() && w_.services_.audio && reading::playPromptTone(*w_.services_.audio, promptWav())) {
        promptTimer_->start();
        return;
    }
    startSingleRun();
}

void ReadingCommands::startSingleRun() {
    if (w_.exiting_) return;
    loop_.disarm();
    w_.readcycled->stop();
    if (!reading::hasText(w_.memoPort().bytes().text())) {
        // Emptied during the lead-in: nothing to read, so nothing may stay disabled.
        w_.btn_enable();
        return;
    }
    w_.gundong1();
}

void ReadingCommands::cancelPendingStart() {
    if (!promptTimer_->isActive()) return;
    promptTimer_->stop();
    if (w_.services_.audio) reading::stopPromptTone(*w_.services_.audio);
}

void ReadingCommands::stopped() {
    cancelPendingStart();
    loop_.disarm();
    w_.readcycled->stop();
}

void ReadingCommands::readFromLast() {
    if (!w_.voiceChosen()) return;
    const int last = store::SettingsFile().readInteger(QStringLiteral("Position"), QStringLiteral("Lastposi"), 0);
    if (last != 0) w_.port_->setSelStart(std::max(0, last));
    if (w_.ui.flatComboBox1->currentText().contains(kCantoneseVoice)) conv_yyClick();
    cancelPendingStart();
    loop_.disarm();
    w_.readcycled->stop();
    w_.gundong1();
}

void ReadingCommands::conv_yyClick() {
    // The Cantonese voice reads the editor's text as it stands; nothing is converted, and the
    // text's modified state is left alone.
}

// ---- One-shot readings ----------------------------------------------------------------

QString ReadingCommands::lineText(int line) const {
    const MemoPort& port = *w_.port_;
    const int start = port.lineStartOffset(line);
    const int end = port.lineStartOffset(line + 1);
    QString text = port.bytes().window(start, std::max(0, end - start));
    while (text.endsWith(u'\n')) text.chop(1);
    return text;
}

void ReadingCommands::readCurrentLine() {
    if (!w_.voiceChosen()) return;
    if (w_.state.readingActive.load()) return;
    w_.state.readingByWorker = false;
    const QString text = lineText(w_.port_->caretLineOf(w_.port_->selStart()));
    w_.state.setRangeText(text);
    if (!reading::hasText(text)) return;
    w_.selectVoice();
    w_.services_.speech.speak(spokenText(text), reading::SpeechEngine::Async);
}

void ReadingCommands::readSelection() {
    if (!w_.voiceChosen()) return;
    if (w_.state.readingActive.load()) return;
    w_.state.readingByWorker = false;
    const QString text = w_.port_->selText();
    w_.selectVoice();
    if (reading::hasText(text)) w_.services_.speech.speak(spokenText(text), reading::SpeechEngine::Async);
}

void ReadingCommands::recordBookmark() {
    const int selStart = w_.port_->selStart();
    try {
        store::SettingsFile ini;
        ini.writeInteger(QStringLiteral("Position"), QStringLiteral("Lastposi"), selStart);
        ini.writeInteger(QStringLiteral("Position"), QStringLiteral("Line"), w_.port_->caretLineOf(selStart));
    } catch (const store::SettingsWriteError& e) {
        w_.services_.dialogs.error(QString::fromUtf8(e.what()));
    }
}

// ---- Loop reading ---------------------------------------------------------------------

void ReadingCommands::SB_repeat1Click() {
    w_.port_->setSelStart(0);
    w_.port_->setSelLength(w_.port_->bytes().byteLength());
    if (!reading::hasText(w_.memoPort().bytes().text())) return;
    if (!w_.voiceChosen()) return;
    startLoop();
}

void ReadingCommands::loopAllClick() {
    if (!w_.voiceChosen()) return;
    if (!reading::hasText(w_.memoPort().bytes().text())) return;
    w_.port_->setSelStart(0);
    w_.port_->setSelLength(w_.port_->bytes().byteLength());
    startLoop();
}

void ReadingCommands::SB_repeatClick() {
    if (w_.ui.Memo1->textCursor().selectionStart() == w_.ui.Memo1->textCursor().selectionEnd()) {
        w_.services_.dialogs.information(kChooseRange);
        return;
    }
    if (!reading::hasText(w_.memoPort().bytes().text())) return;
    if (!w_.voiceChosen()) return;
    startLoop();
}

void ReadingCommands::startLoop() {
    cancelPendingStart();
    w_.tellNoSoundOnce();
    const QTextCursor c = w_.ui.Memo1->textCursor();
    const text::ByteText& bytes = w_.port_->bytes();
    const int selStart = bytes.byteOfPos(c.selectionStart());
    const int selLength = bytes.byteOfPos(c.selectionEnd()) - selStart;
    loop_.arm(w_.ui.SpinEdit1->value(), w_.ui.SpinEdit2->value(), selStart, selLength);
    w_.readcycled->start();
}

void ReadingCommands::readcycledTimer() { loop_.tick(); }

void ReadingCommands::btn_okClick() {
    try {
        store::SettingsFile ini;
        ini.writeInteger(QStringLiteral("System"), QStringLiteral("Readtimes"), w_.ui.SpinEdit1->value());
        ini.writeInteger(QStringLiteral("System"), QStringLiteral("Intervaltime"), w_.ui.SpinEdit2->value());
    } catch (const store::SettingsWriteError& e) {
        w_.services_.dialogs.error(QString::fromUtf8(e.what()));
        return;
    }
    w_.services_.dialogs.information(kLoopDefaultsSaved);
}

void ReadingCommands::disableControls() { w_.btn_disable(); }

void ReadingCommands::enableControls() { w_.btn_enable(); }

void ReadingCommands::stopTimer() { w_.readcycled->stop(); }

void ReadingCommands::setSelection(int start, int length) {
    w_.port_->setSelStart(start);
    w_.port_->setSelLength(length);
}

void ReadingCommands::startPass(int selStart, int selLength) {
    w_.selectVoice();
    w_.ui.Memo1->setFocus();
    w_.runner().start({selStart, selLength});
}

// ---- Inserting the delay symbol and the date token -----------------------------------

void ReadingCommands::insertpos(const QString& text) { inserttime(text); }

void ReadingCommands::inserttime(const QString& text) {
    QTextCursor c = w_.ui.Memo1->textCursor();
    c.setPosition(c.selectionStart());
    c.insertText(text);
    w_.ui.Memo1->setTextCursor(c);
}

void ReadingCommands::SB_timeClick() {
    const int x = w_.ui.SB_time->mapTo(w_.ui.ToolBar1, QPoint(0, 0)).x();
    dateWindow_->move(x, kDateWindowTop);
    dateWindow_->show();
    dateWindow_->raise();
    dateWindow_->activateWindow();
}

}  // namespace sayvell::ui
