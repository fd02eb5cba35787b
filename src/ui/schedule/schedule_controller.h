#pragma once
// The scheduled task of the main window: the tool button SB_schedule, the one-second timer
// Timer1 and what it does when the task's time comes.
#include "schedule/schedule.h"

#include <QObject>
#include <QString>

#include <functional>

class QAbstractButton;
class QTimer;
class QWidget;

namespace sayvell::platform {
class PowerControl;
}

namespace sayvell::ui {

class Dialogs;
class Tf_sch;
class Tf_shutprompt;

// What the task runs in the rest of the program.
struct ScheduleHooks {
    std::function<void()> stopReading;  // the stop command, as if clicked
    // Before the power-off is asked for: keep a changed text, since nobody may be there to
    // answer a question once the system goes down.
    std::function<void()> beforePowerOff;
    std::function<void()> exitProgram;               // the exit command, as if clicked
    std::function<void(const QString&)> showStatus;  // a message in the status bar
};

class ScheduleController : public QObject {
    Q_OBJECT
public:
    ScheduleController(QAbstractButton* SB_schedule, const reading::Clock& clock, platform::PowerControl& power,
                       Dialogs& dialogs, ScheduleHooks hooks, QWidget* window);
    ~ScheduleController() override;

    schedule::Schedule& state() { return schedule_; }
    QTimer* Timer1 = nullptr;
    Tf_sch* tfSch() const { return sch_; }
    Tf_shutprompt* shutprompt() const { return prompt_; }

public slots:
    void SB_scheduleClick();
    void Timer1Timer();
    void shutdown();

private:
    void powerOff();

    schedule::Schedule schedule_;
    platform::PowerControl& power_;
    ScheduleHooks hooks_;
    Tf_sch* sch_ = nullptr;
    Tf_shutprompt* prompt_ = nullptr;
};

}  // namespace sayvell::ui
