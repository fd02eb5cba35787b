// How the music feature joins the main window.
#include "audio/audio_engine.h"
#include "music/music_player.h"
#include "store/settings_file.h"
#include "ui/common/settings_writes.h"
#include "ui/music/folder_chooser.h"
#include "ui/music/music_panel.h"
#include "ui/shell/tf_speaker.h"

namespace sayvell::ui {

void Tf_speaker::wireMusic() {
    auto player = services_.audio ? music::makeEngineMusicPlayer(*services_.audio) : music::makeSilentMusicPlayer();
    auto* panel = new MusicPanel(MusicPanel::Widgets::of(ui), std::move(player), readingGate(), services_.dialogs,
                                 std::make_unique<WidgetFolderChooser>(this), this);
    panel->setObjectName(QStringLiteral("musicPanel"));
    {
        const store::SettingsFile ini;
        panel->applySettings(ini);
    }
    panel->startMusicLibrary();
    addExitStep(ExitStage::SaveSettings, [this, panel] {
        writeSettings(services_.dialogs, [panel](store::SettingsFile& ini) { panel->saveExitSettings(ini); });
    });
    // The music ends with the exit command, not some time later with the window.
    addExitStep(ExitStage::BeforeEnd, [panel] { panel->player().free(); });
}

}  // namespace sayvell::ui
