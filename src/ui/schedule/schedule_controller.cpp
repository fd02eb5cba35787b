#include "ui/schedule/schedule_controller.h"

#include "platform/power_control.h"
#include "ui/common/placement.h"
#include "ui/schedule/tf_sch.h"
#include "ui/schedule/tf_shutprompt.h"

#include <QAbstractButton>
#include <QTimer>

namespace sayvell::ui {

ScheduleController::ScheduleController(QAbstractButton* SB_schedule, const reading::Clock& clock,
                                       platform::PowerControl& power, Dialogs& dialogs, ScheduleHooks hooks,
                                       QWidget* window)
    : QObject(window), schedule_(clock), power_(power), hooks_(std::move(hooks)) {
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &ScheduleController::Timer1Timer);

    sch_ = new Tf_sch(schedule_, dialogs, window);
    prompt_ = new Tf_shutprompt(window);
    connect(sch_, &Tf_sch::taskChanged, this, [this](bool active) {
        if (active)
            Timer1->start();
        else
            Timer1->stop();
        if (!active) prompt_->hide();
    });
    if (SB_schedule) connect(SB_schedule, &QAbstractButton::clicked, this, &ScheduleController::SB_scheduleClick);
}

ScheduleController::~ScheduleController() = default;

void ScheduleController::SB_scheduleClick() {
    // The warning stays on top and comes back each second: over the task window it would take
    // the clicks meant for "取消". It waits until the task window is closed.
    prompt_->hide();
    centreOnScreenOf(sch_, sch_->parentWidget());
    sch_->exec();
}

void ScheduleController::Timer1Timer() {
    if (schedule_.active()) shutdown();
}

void ScheduleController::shutdown() {
    const schedule::Tick tick = schedule_.tick();
    if (tick.warn && !sch_->isVisible()) prompt_->showFor(schedule_.timeText());
    if (!tick.due) return;
    if (schedule_.action() == schedule::Action::StopReading) {
        // The task stays set: a reading started later the same minute is stopped too.
        if (hooks_.stopReading) hooks_.stopReading();
        return;
    }
    powerOff();
}

void ScheduleController::powerOff() {
    // Once: should the exit not end the program (a save that failed), the next tick must not
    // ask for a second power-off.
    schedule_.cancel();
    Timer1->stop();
    prompt_->hide();
    if (hooks_.beforePowerOff) hooks_.beforePowerOff();
    QString error;
    if (!power_.powerOff(&error) && hooks_.showStatus) hooks_.showStatus(error);
    if (hooks_.exitProgram) hooks_.exitProgram();
}

}  // namespace sayvell::ui
