// How the desktop's media controls join the main window: the reading commands and the music
// panel, each reached as its own controls reach it.
#include "reading/speech_engine.h"
#include "ui/common/memo_port.h"
#include "ui/desktop/desktop_controller.h"
#include "ui/mpris/mpris_controller.h"
#include "ui/music/music_panel.h"
#include "ui/reading/loop_controller.h"
#include "ui/reading/reading_commands.h"
#include "ui/shell/tf_speaker.h"

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace sayvell::ui {

void Tf_speaker::wireMpris() {
    if (!services_.mediaPlayers) return;
    MprisReading reading;
    reading.port = port_;
    reading.state = &state_;
    reading.play = [this] { SB_playClick(); };
    reading.stop = [this] { SB_stopClick(); };
    reading.skipTo = [this](int offset) { reading_->skipTo(offset); };
    reading.moveCaret = [this](int offset) {
        port_->setSelStart(offset);
        ui.Memo1->ensureCursorVisible();
    };
    reading.startPending = [this] { return reading_->startPending(); };
    reading.looping = [this] { return loop_->readcycled()->isActive() || runner().rangeRunning(); };
    reading.documentPath = [this] { return currentFile(); };
    reading.voiceName = [this] { return ui.flatComboBox1->currentText(); };
    reading.voiceId = [this] {
        const QList<reading::Voice> voices = services_.speech.voices();
        const int index = ui.flatComboBox1->currentIndex();
        return index >= 0 && index < voices.size() ? voices[index].id : QString();
    };
    reading.volume = [this] { return ui.TrackBar1->value(); };
    reading.setVolume = [this](int v) { ui.TrackBar1->setValue(v); };

    auto* panel = findChild<MusicPanel*>(QStringLiteral("musicPanel"));
    MprisMusic music;
    music.play = [this] { ui.bj_play->click(); };
    music.stop = [this] { ui.bj_stop->click(); };
    music.next = [this] { ui.bj_next->click(); };
    music.previous = [this] { ui.bj_prev->click(); };
    music.playing = [panel] { return panel->player().live(); };
    music.trackCount = [this] { return ui.BJListBox1->count(); };
    music.trackIndex = [panel] { return panel->musicTrackIndex; };
    music.trackPath = [panel] { return panel->trackPath(); };
    music.lengthSeconds = [panel] { return panel->player().lengthSeconds(); };
    music.positionSeconds = [panel] { return panel->player().positionSeconds(); };
    music.volume = [this] { return ui.bj_v->value(); };
    music.setVolume = [this](int v) { ui.bj_v->setValue(v); };

    MprisWindow window;
    window.raise = [this] {
        if (auto* desktop = findChild<DesktopController*>()) {
            desktop->trayShowClick();
            return;
        }
        showNormal();
        raise();
        activateWindow();
    };
    window.quit = [this] { SB_closeClick(); };
    // Beside a notice already showing (no tray), not over it.
    window.tell = [this](const QString& text) {
        const QString now = statusBar()->currentMessage();
        statusBar()->showMessage(now.isEmpty() ? text : now + QStringLiteral("　") + text, 15000);
    };

    auto* mpris =
        new MprisController(std::move(reading), std::move(music), std::move(window), services_.mediaPlayers, this);
    mpris->setObjectName(QStringLiteral("mpris"));
    for (auto signal :
         {&QPlainTextEdit::textChanged, &QPlainTextEdit::cursorPositionChanged, &QPlainTextEdit::selectionChanged})
        connect(ui.Memo1, signal, mpris, &MprisController::readingChanged);
    connect(ui.TrackBar1, &QSlider::valueChanged, mpris, &MprisController::readingChanged);
    connect(ui.flatComboBox1, &QComboBox::currentIndexChanged, mpris, &MprisController::readingChanged);
    connect(panel, &MusicPanel::stateChanged, mpris, &MprisController::musicChanged);
    connect(panel->bj_timer1, &QTimer::timeout, mpris, &MprisController::musicChanged);
    connect(ui.bj_v, &QSpinBox::valueChanged, mpris, &MprisController::musicChanged);
    // The bus is asked well after the window's first frame, which need not wait for it.
    constexpr int kAfterFirstFrameMs = 300;
    QTimer::singleShot(kAfterFirstFrameMs, mpris, &MprisController::start);
}

}  // namespace sayvell::ui
