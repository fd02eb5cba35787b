// How the settings feature joins the main window.
#include "store/tdm.h"
#include "ui/export/export_controller.h"
#include "ui/settings/tfdelaytime.h"
#include "ui/shell/tf_speaker.h"

#include <QAction>
#include <QComboBox>
#include <QToolButton>

namespace sayvell::ui {

void Tf_speaker::wireSettings() {
    // Created hidden at start-up and only shown afterwards; it reloads its values on every showing.
    auto* settings = new TFdelaytime(services_.dm.q_delaytime, state_, services_.dialogs, this);
    // A saved output format is the next export's at once, without a restart.
    settings->setExportFormatHandler([this](int index) {
        if (auto* exporter = findChild<ExportController*>()) exporter->ComboBox1()->setCurrentIndex(index);
    });
    const auto show = [settings] {
        settings->show();
        settings->raise();
        settings->activateWindow();
    };
    connect(ui.sb_delay, &QToolButton::clicked, settings, show);
    connect(ui.N_sysset, &QAction::triggered, settings, show);
}

}  // namespace sayvell::ui
