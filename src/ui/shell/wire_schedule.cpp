// How the schedule feature joins the main window.
#include "document/document_session.h"
#include "platform/power_control.h"
#include "store/recovery.h"
#include "ui/common/dialogs.h"
#include "ui/schedule/schedule_controller.h"
#include "ui/shell/tf_speaker.h"

#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextDocument>
#include <QToolButton>

namespace sayvell::ui {

namespace {

// Without the system's power control a power-off task ends the program only.
class NoPowerControl final : public platform::PowerControl {
public:
    bool powerOff(QString* error) override {
        if (error) *error = QStringLiteral("無法關机：本程序未連接系統的電源管理服務。");
        return false;
    }
};

}  // namespace

void Tf_speaker::wireSchedule() {
    static NoPowerControl noPower;
    ScheduleHooks hooks;
    hooks.stopReading = [this] { SB_stopClick(); };
    hooks.beforePowerOff = [this] {
        QTextDocument* doc = ui.Memo1->document();
        if (!doc->isModified()) return;
        // Nobody may be there to answer at that hour: the text waits in the recovery record and
        // the next start offers it back.
        if (recovery_ && recovery_->keepForNextStart()) {
            doc->setModified(false);
            return;
        }
        // Without the record the question comes before the system goes down, not after;
        // answered No, the exit does not ask it a second time.
        // Put off, the exit asks again.
        const std::optional<bool> wanted = services_.dialogs.ask(document::kSaveChanged);
        if (!wanted) return;
        if (*wanted)
            SB_saveClick();
        else
            doc->setModified(false);
    };
    hooks.exitProgram = [this] { SB_closeClick(); };
    hooks.showStatus = [this](const QString& text) { statusBar()->showMessage(text, 10000); };
    platform::PowerControl& power = services_.power ? *services_.power : noPower;
    new ScheduleController(ui.SB_schedule, services_.clock, power, services_.dialogs, std::move(hooks), this);
}

}  // namespace sayvell::ui
