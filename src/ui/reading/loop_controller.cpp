#include "ui/reading/loop_controller.h"

#include "reading/piece_cutter.h"
#include "store/settings_file.h"
#include "text/byte_text.h"
#include "ui/common/dialogs.h"
#include "ui/common/memo_port.h"
#include "ui/common/reading_gate.h"
#include "ui/common/settings_writes.h"
#include "ui/reading/reading_commands.h"
#include "ui/reading/voice_controls.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

namespace sayvell::ui {

namespace {
const QString kChooseRange = QStringLiteral("請選擇所要朗讀的內容!");
const QString kLoopDefaultsSaved = QStringLiteral("參數已設為默認！ ");
constexpr int kLoopTickMs = 1000;
}  // namespace

LoopController::LoopController(LoopWidgets w, MemoPort& port, reading::ReadingState& state, reading::Clock& clock,
                               Dialogs& dialogs, ReadingCommands& commands, VoiceControls& voice, ReadingGate& gate,
                               QObject* parent)
    : QObject(parent), w_(w), port_(port), dialogs_(dialogs), commands_(commands), voice_(voice), gate_(gate),
      loop_(state, clock, *this) {
    readcycled_ = new QTimer(this);
    readcycled_->setObjectName(QStringLiteral("readcycled"));
    readcycled_->setInterval(kLoopTickMs);
    connect(readcycled_, &QTimer::timeout, this, &LoopController::readcycledTimer);
    connect(&commands_, &ReadingCommands::loopCancelled, this, &LoopController::cancel);

    connect(w_.SB_repeat1, &QToolButton::clicked, this, &LoopController::SB_repeat1Click);
    connect(w_.SB_repeat, &QToolButton::clicked, this, &LoopController::SB_repeatClick);
    connect(w_.P_loopAll, &QAction::triggered, this, &LoopController::loopAllClick);
    connect(w_.P_loopRange, &QAction::triggered, this, &LoopController::SB_repeatClick);
    connect(w_.btn_ok, &QPushButton::clicked, this, &LoopController::btn_okClick);
}

void LoopController::applySettings(const store::SettingsFile& ini) {
    w_.SpinEdit1->setValue(ini.read(store::keys::Readtimes));
    w_.SpinEdit2->setValue(ini.read(store::keys::Intervaltime));
}

void LoopController::cancel() {
    loop_.disarm();
    readcycled_->stop();
}

void LoopController::selectAll() {
    port_.setSelStart(0);
    port_.setSelLength(port_.bytes().byteLength());
}

void LoopController::SB_repeat1Click() {
    selectAll();
    if (!reading::hasText(port_.bytes().text())) return;
    if (!voice_.voiceChosen()) return;
    startLoop();
}

void LoopController::loopAllClick() {
    if (!voice_.voiceChosen()) return;
    if (!reading::hasText(port_.bytes().text())) return;
    selectAll();
    startLoop();
}

void LoopController::SB_repeatClick() {
    if (!w_.Memo1->textCursor().hasSelection()) {
        dialogs_.information(kChooseRange);
        return;
    }
    if (!reading::hasText(port_.bytes().text())) return;
    if (!voice_.voiceChosen()) return;
    startLoop();
}

void LoopController::startLoop() {
    commands_.cancelPendingStart();
    commands_.tellNoSoundOnce();
    const QTextCursor c = w_.Memo1->textCursor();
    const text::ByteText& bytes = port_.bytes();
    const int selStart = bytes.byteOfPos(c.selectionStart());
    const int selLength = bytes.byteOfPos(c.selectionEnd()) - selStart;
    loop_.arm(w_.SpinEdit1->value(), w_.SpinEdit2->value(), selStart, selLength);
    readcycled_->start();
}

void LoopController::readcycledTimer() { loop_.tick(); }

void LoopController::btn_okClick() {
    const bool saved = writeSettings(dialogs_, [this](store::SettingsFile& ini) {
        ini.write(store::keys::Readtimes, w_.SpinEdit1->value());
        ini.write(store::keys::Intervaltime, w_.SpinEdit2->value());
    });
    if (saved) dialogs_.information(kLoopDefaultsSaved);
}

void LoopController::disableControls() { gate_.disableControls(); }
void LoopController::enableControls() { gate_.enableControls(); }
void LoopController::stopTimer() { readcycled_->stop(); }

void LoopController::setSelection(int start, int length) {
    port_.setSelStart(start);
    port_.setSelLength(length);
}

void LoopController::startPass(int selStart, int selLength) { commands_.startPass(selStart, selLength); }

}  // namespace sayvell::ui
