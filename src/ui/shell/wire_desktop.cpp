// How the desktop feature joins the main window.
#include "platform/global_hotkeys.h"
#include "ui/desktop/desktop_controller.h"
#include "ui/reading/loop_controller.h"
#include "ui/shell/tf_speaker.h"

#include <QStatusBar>

namespace sayvell::ui {

void Tf_speaker::wireDesktop() {
    DesktopCommands commands;
    commands.stop = [this] { SB_stopClick(); };
    commands.readFromTop = [this] { SB_jexuClick(); };
    commands.loopWholeText = [this] { loopController().loopAllClick(); };
    commands.exit = [this] { SB_closeClick(); };
    commands.tell = [this](const QString& text) { statusBar()->showMessage(text, 15000); };
    auto* desktop = new DesktopController(*this, std::move(commands), platform::makeGlobalHotkeys(),
                                          DesktopController::storedSwitches(), this);
    desktop->registerHotkeys();
    setFrameCloseHandler([desktop] { return desktop->frameClose(); });
    addExitStep(ExitStage::AfterSaveQuestion, [desktop] { desktop->removeTrayIcon(); });
}

}  // namespace sayvell::ui
