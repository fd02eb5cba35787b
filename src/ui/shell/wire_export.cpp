// How the export feature joins the main window: the WAV export, the export as read and the
// recorder window.
#include "audio/sound_recorder.h"
#include "reading/tts.h"
#include "store/pronunciation_table.h"
#include "ui/common/placement.h"
#include "ui/export/export_controller.h"
#include "ui/music/music_panel.h"
#include "ui/reading/voice_controls.h"
#include "ui/recorder/tfrecunit1.h"
#include "ui/shell/tf_speaker.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QSpinBox>
#include <QToolButton>
#include <memory>

namespace sayvell::ui {

void Tf_speaker::wireExport() {
    ExportWidgets w;
    w.window = this;
    w.SB_outwav = ui.SB_outwav;
    w.WAV1 = ui.WAV1;
    w.N14 = ui.N14;
    w.M_file = ui.M_file;
    // Beside the other two exports: before whatever follows "輸出選擇范圍 (&F)".
    const QList<QAction*> items = ui.M_file->actions();
    const qsizetype n14 = items.indexOf(ui.N14);
    w.insertBefore = n14 >= 0 && n14 + 1 < items.size() ? items[n14 + 1] : nullptr;
    w.flatComboBox1 = ui.flatComboBox1;
    w.TrackBar2 = ui.TrackBar2;
    w.Memo1 = ui.Memo1;
    auto* exporter = new ExportController(
        w, services_.speech, services_.dialogs, state_, runner_->readingLock, readingGate(),
        [this] { return voice_->baseRate(); }, this);
    if (pronunciation_) exporter->setLexiconSource(pronunciation_->source());
    // The music panel is asked when an export starts: it may be wired after this.
    exporter->setMusicSource([this] {
        MusicSettings m;
        if (const auto* panel = findChild<MusicPanel*>()) m.folder = panel->folder();
        m.currentRow = std::max(0, ui.BJListBox1->currentRow());
        m.random = ui.ComBox1->currentIndex() == 1;
        m.musicVolume = ui.bj_v->value();
        m.readingVolume = ui.bj_v1->value();
        return m;
    });

    // The recorder connects to the sound server only when a recording starts; with no server
    // that start says so.
    auto* recorderWindow = new TFrecunit1(audio::makePulseRecorder(QStringLiteral("Sayvell")), services_.dialogs, this);
    connect(ui.SB_outwav2, &QToolButton::clicked, recorderWindow, [this, recorderWindow] {
        if (!recorderWindow->isVisible()) centreOnScreenOf(recorderWindow, this);
        recorderWindow->show();
        recorderWindow->raise();
    });
}

}  // namespace sayvell::ui
