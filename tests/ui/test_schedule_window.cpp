// The scheduled task through its window and the one-second timer, on a fake clock, with the
// main window's own stop and exit commands. The power-off goes to a fake: nothing here may
// ever reach the real system.
#include "platform/power_control.h"
#include "ui/schedule/schedule_controller.h"
#include "ui/schedule/tf_sch.h"
#include "ui/schedule/tf_shutprompt.h"
#include "ui/window_rig.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <functional>

using namespace sayvell;
using sayvell::testing::waitFor;
using sayvell::testing::WindowRig;

namespace {

class FakePower final : public platform::PowerControl {
public:
    bool powerOff(QString* error) override {
        ++calls;
        if (!refusal.isEmpty() && error) *error = refusal;
        return refusal.isEmpty();
    }
    int calls = 0;
    QString refusal;
};

// A controller on its own tool button, running the rig's window commands.
struct ScheduleRig {
    WindowRig rig;
    FakePower power;
    QToolButton button;
    QStringList events;
    ui::ScheduleController* controller = nullptr;

    ScheduleRig() {
        ui::ScheduleHooks hooks;
        hooks.stopReading = [this] { rig.window->SB_stopClick(); };
        hooks.beforePowerOff = [this] { events << QStringLiteral("before"); };
        hooks.exitProgram = [this] {
            events << QStringLiteral("exit");
            rig.window->SB_closeClick();
        };
        hooks.showStatus = [this](const QString& t) { events << "status:" + t; };
        controller =
            new ui::ScheduleController(&button, rig.clock, power, rig.dialogs, std::move(hooks), rig.window.get());
    }

    // Clicks the tool button; `act` runs inside the modal window, which must be closed by then.
    void inWindow(const std::function<void(ui::Tf_sch*)>& act) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* w = qobject_cast<ui::Tf_sch*>(QApplication::activeModalWidget());
            ASSERT_TRUE(w);
            act(w);
            ran = true;
            if (w->isVisible()) w->reject();
        });
        button.click();
        EXPECT_TRUE(ran);
    }
    void set(QTime time, bool powerOff) {
        inWindow([&](ui::Tf_sch* w) {
            w->TimeEdit1->setTime(time);
            (powerOff ? w->RadioButton2 : w->RadioButton1)->setChecked(true);
            w->BitBtn1->click();
            EXPECT_FALSE(w->isVisible());
        });
    }
};

}  // namespace

TEST(ScheduleWindow, OffersTwoHoursAheadRefusesThePastAndShowsASetTask) {
    ScheduleRig s;  // the fake clock stands at 09:05:03
    s.inWindow([&](ui::Tf_sch* w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("計划任務_未執行"));
        EXPECT_EQ(w->TimeEdit1->time(), QTime(11, 5));
        EXPECT_TRUE(w->RadioButton1->isChecked());
        w->TimeEdit1->setTime(QTime(9, 4));
        w->BitBtn1->click();
        EXPECT_FALSE(w->isVisible());
    });
    EXPECT_EQ(s.rig.dialogs.shown, QStringList{QStringLiteral("warning:計划時間不能少于當前時間!")});
    EXPECT_FALSE(s.controller->Timer1->isActive());

    s.set(QTime(21, 30), true);
    EXPECT_TRUE(s.controller->Timer1->isActive());
    s.inWindow([&](ui::Tf_sch* w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("計划任務_正執行"));
        EXPECT_EQ(w->TimeEdit1->time(), QTime(21, 30));
        EXPECT_TRUE(w->RadioButton2->isChecked());
        w->BitBtn2->click();
    });
    EXPECT_FALSE(s.controller->Timer1->isActive());
    s.inWindow([&](ui::Tf_sch* w) { EXPECT_EQ(w->windowTitle(), QStringLiteral("計划任務_未執行")); });
}

TEST(ScheduleWindow, AStopTaskStopsAReadingStartedAfterItsTimeWithinASecond) {
    ScheduleRig s;
    s.set(QTime(9, 6), false);
    s.rig.clock.advance(2 * 60 * 1000);  // 09:07:03, past the task's time
    s.rig.type(QStringLiteral("一，二，三，四。"));
    s.rig.window->ui.Chk_prompt->setChecked(false);
    s.rig.engine.hold();
    s.rig.window->ui.SB_play->click();
    ASSERT_TRUE(waitFor([&] { return s.rig.engine.spoken().size() == 1; }));
    // The timer ticks on its own; the stop lets the piece end and reads no further.
    ASSERT_TRUE(waitFor([&] { return !s.rig.window->readingState().readingActive.load(); }, 1500));
    s.rig.engine.release();
    ASSERT_TRUE(s.rig.waitIdle());
    EXPECT_EQ(s.rig.engine.texts(), QStringList{QStringLiteral("一，")});
    EXPECT_TRUE(s.controller->Timer1->isActive());  // set until cancelled
    EXPECT_EQ(s.power.calls, 0);
}

TEST(ScheduleWindow, WarnsEverySecondInTheLastFiveMinutesThenPowersOffOnceAndExits) {
    ScheduleRig s;
    s.set(QTime(9, 10), true);
    ui::Tf_shutprompt* prompt = s.controller->shutprompt();
    s.rig.clock.advance(60 * 1000);  // 09:06:03, within five minutes
    ASSERT_TRUE(waitFor([&] { return prompt->isVisible(); }, 1500));
    EXPECT_EQ(prompt->windowTitle(), QStringLiteral("關机提醒"));
    EXPECT_EQ(prompt->Label2->text(), QStringLiteral("計算机將在09:10之后自動關机，"));
    prompt->Button1->click();
    EXPECT_FALSE(prompt->isVisible());
    ASSERT_TRUE(waitFor([&] { return prompt->isVisible(); }, 1500));
    EXPECT_EQ(s.power.calls, 0);

    s.rig.type(QStringLiteral("未保存的文字"));
    s.rig.dialogs.confirmAnswer = false;
    s.rig.clock.advance(4 * 60 * 1000);  // 09:10:03
    ASSERT_TRUE(waitFor([&] { return s.rig.exitCode == 0; }, 1500));
    EXPECT_EQ(s.power.calls, 1);
    EXPECT_EQ(s.events, (QStringList{"before", "exit"}));
    EXPECT_FALSE(s.controller->Timer1->isActive());
    EXPECT_FALSE(prompt->isVisible());
}

TEST(ScheduleWindow, ARefusedPowerOffIsShownAndTheProgramStillExits) {
    ScheduleRig s;
    s.power.refusal = QStringLiteral("關机被拒絕");
    s.set(QTime(9, 6), true);
    s.rig.clock.advance(60 * 1000);
    ASSERT_TRUE(waitFor([&] { return s.rig.exitCode == 0; }, 1500));
    EXPECT_EQ(s.power.calls, 1);
    EXPECT_EQ(s.events, (QStringList{"before", QStringLiteral("status:關机被拒絕"), "exit"}));
}

TEST(ScheduleWindow, TheMainWindowsButtonOpensTheTaskWindow) {
    WindowRig rig;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<ui::Tf_sch*>(QApplication::activeModalWidget());
        seen = w != nullptr;
        if (w) w->reject();
    });
    rig.window->ui.SB_schedule->click();
    EXPECT_TRUE(seen);
}
