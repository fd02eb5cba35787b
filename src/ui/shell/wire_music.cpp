// How the music feature joins the main window.
#include "audio/audio_engine.h"
#include "music/music_player.h"
#include "store/settings_file.h"
#include "ui/common/settings_writes.h"
#include "ui/music/folder_chooser.h"
#include "ui/music/music_panel.h"
#include "ui/plan/plan_controller.h"
#include "ui/shell/tf_speaker.h"

namespace sayvell::ui {

namespace {

// The music is held low for an announcement as for a reading.
class MusicGate final : public QObject, public ReadingGate {
public:
    MusicGate(ReadingGate& reading, std::function<bool()> announcing, QObject* parent)
        : QObject(parent), reading_(reading), announcing_(std::move(announcing)) {}
    bool readingActive() const override { return reading_.readingActive() || announcing_(); }
    void requestStop() override { reading_.requestStop(); }
    void disableControls() override { reading_.disableControls(); }
    void enableControls() override { reading_.enableControls(); }

private:
    ReadingGate& reading_;
    std::function<bool()> announcing_;
};

}  // namespace

void Tf_speaker::wireMusic() {
    auto player = services_.audio ? music::makeEngineMusicPlayer(*services_.audio) : music::makeSilentMusicPlayer();
    auto* gate = new MusicGate(
        readingGate(), [this] { return plan_ && plan_->announcing(); }, this);
    auto* panel = new MusicPanel(MusicPanel::Widgets::of(ui), std::move(player), *gate, services_.dialogs,
                                 std::make_unique<WidgetFolderChooser>(this), this);
    panel->setObjectName(QStringLiteral("musicPanel"));
    gate->setParent(panel);  // the panel asks it until the panel is gone
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
