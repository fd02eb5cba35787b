#include "ui/reading/reading_commands.h"

#include "audio/audio_engine.h"
#include "reading/piece_cutter.h"
#include "reading/prompt_tone.h"
#include "reading/reading_state.h"
#include "reading/speech_engine.h"
#include "reading/spoken_text.h"
#include "reading/tts.h"
#include "store/settings_file.h"
#include "text/byte_text.h"
#include "ui/common/dialogs.h"
#include "ui/common/memo_edit.h"
#include "ui/common/memo_port.h"
#include "ui/common/reading_gate.h"
#include "ui/common/settings_writes.h"
#include "ui/reading/voice_controls.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

// The resources live in a static library: their registration has to be pulled in by name.
static QByteArray loadPromptWav() {
    Q_INIT_RESOURCE(resources);
    QFile f(QStringLiteral(":/prompt_wav"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace sayvell::ui {

namespace {

const QString kCantoneseVoice = QStringLiteral("Sin-Ji_Full_22kHz");
const QString kNoSound = QStringLiteral("找不到聲音輸出（%1）。朗讀照常進行並標示朗讀的位置，但不會發聲。");

const QByteArray& promptWav() {
    static const QByteArray wav = loadPromptWav();
    return wav;
}

}  // namespace

ReadingCommands::ReadingCommands(ReadingWidgets w, MemoPort& port, reading::ReadingState& state,
                                 reading::TtsRunner& runner, const Services& services, VoiceControls& voice,
                                 ReadingGate& gate, QObject* parent)
    : QObject(parent), w_(w), port_(port), state_(state), runner_(runner), services_(services), voice_(voice),
      gate_(gate) {
    promptTimer_ = new QTimer(this);
    promptTimer_->setSingleShot(true);
    promptTimer_->setTimerType(Qt::PreciseTimer);
    promptTimer_->setInterval(reading::kPromptLeadMs);
    connect(promptTimer_, &QTimer::timeout, this, &ReadingCommands::startSingleRun);

    connect(w_.SB_play, &QToolButton::clicked, this, &ReadingCommands::SB_playClick);
    connect(w_.SB_jexu, &QToolButton::clicked, this, &ReadingCommands::SB_jexuClick);
    connect(w_.SB_stop, &QToolButton::clicked, this, &ReadingCommands::SB_stopClick);
    connect(w_.SB_top, &QToolButton::clicked, this, &ReadingCommands::SB_topClick);
    connect(w_.SB_bott, &QToolButton::clicked, this, &ReadingCommands::SB_bottClick);
    connect(w_.P_readHere, &QAction::triggered, this, &ReadingCommands::readFromHere);
    connect(w_.P_readLine, &QAction::triggered, this, &ReadingCommands::readCurrentLine);
    connect(w_.P_readSelection, &QAction::triggered, this, &ReadingCommands::readSelection);
    connect(w_.P_bookmark, &QAction::triggered, this, &ReadingCommands::recordBookmark);
    connect(w_.P_readLast, &QAction::triggered, this, &ReadingCommands::readFromLast);
    connect(w_.P_insertDelay, &QAction::triggered, this, [this] { insertpos(QString(QChar(reading::kDelaySymbol))); });
}

ReadingCommands::~ReadingCommands() = default;

void ReadingCommands::applySettings(const store::SettingsFile& ini) {
    w_.Chk_prompt->setChecked(ini.read(store::keys::PromptTone));
    state_.symbolDelayMs = std::max(0, ini.read(store::keys::Delay2));
}

void ReadingCommands::saveAtExit(store::SettingsFile& ini) const {
    ini.write(store::keys::PromptTone, w_.Chk_prompt->isChecked());
}

bool ReadingCommands::startPending() const { return promptTimer_->isActive(); }

void ReadingCommands::close() {
    closed_ = true;
    cancelPendingStart();
    emit loopCancelled();
}

// ---- Single runs ----------------------------------------------------------------------

void ReadingCommands::SB_playClick() {
    state_.readingActive = false;
    readFromHere();
}

void ReadingCommands::SB_jexuClick() {
    port_.setSelStart(0);
    state_.readingActive = false;
    readFromHere();
}

void ReadingCommands::SB_stopClick() {
    state_.readingActive = false;
    gate_.enableControls();
    if (state_.readingByWorker)
        runner_.requestStop();
    else
        services_.speech.speak(QString(), reading::SpeechEngine::PurgeBeforeSpeak);
    cancelPendingStart();
    emit loopCancelled();
}

void ReadingCommands::SB_topClick() {
    port_.setSelStart(0);
    w_.Memo1->ensureCursorVisible();
    w_.Memo1->setFocus();
}

void ReadingCommands::SB_bottClick() {
    port_.setSelStart(port_.bytes().byteLength());
    w_.Memo1->ensureCursorVisible();
    w_.Memo1->setFocus();
}

void ReadingCommands::readFromHere() {
    if (closed_ || !reading::hasText(port_.bytes().text())) return;
    if (!voice_.voiceChosen()) return;
    gate_.disableControls();
    cancelPendingStart();
    if (w_.Chk_prompt->isChecked() && services_.audio && reading::playPromptTone(*services_.audio, promptWav())) {
        promptTimer_->start();
        return;
    }
    startSingleRun();
}

void ReadingCommands::startSingleRun() {
    if (closed_) return;
    emit loopCancelled();
    if (!reading::hasText(port_.bytes().text())) {
        // Emptied during the lead-in: nothing to read, so nothing may stay disabled.
        gate_.enableControls();
        return;
    }
    gundong1();
}

void ReadingCommands::gundong1() {
    if (!reading::hasText(port_.bytes().text())) return;
    tellNoSoundOnce();
    const QString voice = voice_.selectVoice();
    w_.Memo1->setFocus();
    state_.beginRun();
    runner_.start({port_.selStart(), 0, voice});
}

void ReadingCommands::skipTo(int offset) {
    if (closed_ || !state_.readingActive.load() || runner_.rangeRunning()) return;
    const QString voice = voice_.selectVoice();
    state_.beginRun();
    runner_.skipTo({offset, 0, voice});
}

void ReadingCommands::startPass(int selStart, int selLength) {
    const QString voice = voice_.selectVoice();
    w_.Memo1->setFocus();
    runner_.start({selStart, selLength, voice, reading::RunMode::Range});
}

void ReadingCommands::tellNoSoundOnce() {
    if (noSoundTold_ || services_.noSoundReason.isEmpty()) return;
    noSoundTold_ = true;
    const QString text = kNoSound.arg(services_.noSoundReason);
    w_.StatusBar1->showMessage(text, 10000);
    services_.dialogs.warning(text);
}

void ReadingCommands::cancelPendingStart() {
    if (!promptTimer_->isActive()) return;
    promptTimer_->stop();
    if (services_.audio) reading::stopPromptTone(*services_.audio);
}

void ReadingCommands::readFromLast() {
    if (!voice_.voiceChosen()) return;
    const int last = store::SettingsFile().read(store::keys::Lastposi);
    if (last != 0) port_.setSelStart(std::max(0, last));
    if (voice_.currentVoiceName().contains(kCantoneseVoice)) conv_yyClick();
    cancelPendingStart();
    emit loopCancelled();
    gundong1();
}

void ReadingCommands::conv_yyClick() {
    // The Cantonese voice reads the editor's text as it stands; nothing is converted, and the
    // text's modified state is left alone.
}

// ---- One-shot readings ----------------------------------------------------------------

// The delay symbol is never spoken; numbers and the table's words as in a reading. The date
// token is the worker's: a one-shot reading says the text as it stands.
QString ReadingCommands::spokenText(const QString& text, const QString& voiceId) const {
    const std::shared_ptr<const reading::PronunciationLexicon> lexicon = lexicon_ ? lexicon_() : nullptr;
    reading::SpokenSettings settings;
    settings.language = reading::languageOfVoice(voiceId);
    settings.lexicon = lexicon.get();
    return reading::spokenCopy(text, settings);
}

QString ReadingCommands::lineText(int line) const {
    const int start = port_.lineStartOffset(line);
    const int end = port_.lineStartOffset(line + 1);
    QString text = port_.bytes().window(start, std::max(0, end - start));
    while (text.endsWith(u'\n')) text.chop(1);
    return text;
}

void ReadingCommands::readCurrentLine() {
    if (!voice_.voiceChosen()) return;
    if (state_.readingActive.load()) return;
    state_.readingByWorker = false;
    const QString text = lineText(port_.caretLineOf(port_.selStart()));
    state_.setRangeText(text);
    if (!reading::hasText(text)) return;
    const QString voice = voice_.selectVoice();
    services_.speech.speak(spokenText(text, voice), reading::SpeechEngine::Async);
}

void ReadingCommands::readSelection() {
    if (!voice_.voiceChosen()) return;
    if (state_.readingActive.load()) return;
    state_.readingByWorker = false;
    const QString text = port_.selText();
    const QString voice = voice_.selectVoice();
    if (reading::hasText(text)) services_.speech.speak(spokenText(text, voice), reading::SpeechEngine::Async);
}

void ReadingCommands::recordBookmark() {
    const int selStart = port_.selStart();
    const int line = port_.caretLineOf(selStart);
    writeSettings(services_.dialogs, [&](store::SettingsFile& ini) {
        ini.write(store::keys::Lastposi, selStart);
        ini.write(store::keys::BookmarkLine, line);
    });
}

void ReadingCommands::insertpos(const QString& text) { insertAtCaret(w_.Memo1, text); }

}  // namespace sayvell::ui
