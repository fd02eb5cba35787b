// The last minutes before a scheduled power-off, used with the pointer and the keyboard on the
// private X server, with a fake logind on a private system bus; and the save question at exit
// as the real message box.
#include "platform/fake_logind_bus.h"
#include "platform/power_control.h"
#include "platform/private_servers.h"
#include "platform/x_client.h"
#include "ui/common/dialogs.h"
#include "ui/schedule/schedule_controller.h"
#include "ui/schedule/tf_sch.h"
#include "ui/schedule/tf_shutprompt.h"
#include "ui/window_rig.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

bool pointerClick(QWidget* w) {
    const QPoint p = w->mapToGlobal(w->rect().center());
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
                              QStringLiteral("click"), QStringLiteral("1")}) == 0;
}

class LastMinutes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveXTools()) GTEST_SKIP() << "needs Xvfb and xdotool";
        if (!bus_.start()) GTEST_SKIP() << "dbus-daemon is not available";
        logind_ = bus_.serveLogind();
        ASSERT_TRUE(logind_);
        power_ = platform::makeLogindPowerControl();
        rig_ = std::make_unique<WindowRig>(QByteArray(), false);
        rig_->power = power_.get();
        rig_->open();
        controller_ = rig_->window->findChild<ui::ScheduleController*>();
        ASSERT_TRUE(controller_);
        rig_->window->show();
        rig_->window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(rig_->window.get()));
        // 09:05:03 now; a power-off at 09:10 warns from 09:05 on.
        ASSERT_TRUE(controller_->state().set(QTime(9, 10), schedule::Action::PowerOff));
        controller_->Timer1->start();
        ASSERT_TRUE(waitFor([this] { return controller_->shutprompt()->isVisible(); }, 3000));
    }
    void TearDown() override { rig_.reset(); }

    FakeLogindBus bus_;
    FakeLogind* logind_ = nullptr;
    std::unique_ptr<platform::PowerControl> power_;
    std::unique_ptr<WindowRig> rig_;
    ui::ScheduleController* controller_ = nullptr;
};

TEST_F(LastMinutes, APointerClickOnCancelInTheTaskWindowCancelsThePowerOff) {
    ui::Tf_sch* sch = controller_->tfSch();
    ui::Tf_shutprompt* prompt = controller_->shutprompt();
    bool covered = false;
    bool clicked = false;
    // The task window is modal: what happens in it is done from the event loop it runs.
    QTimer inWindow;
    QObject::connect(&inWindow, &QTimer::timeout, [&] {
        if (clicked || !sch->isVisible() || !QTest::qWaitForWindowExposed(sch, 0)) return;
        // A warning raised meanwhile would lie over the task window.
        QTest::qWait(1200);
        covered = prompt->isVisible() && prompt->frameGeometry().intersects(sch->frameGeometry());
        clicked = true;
        EXPECT_TRUE(pointerClick(sch->BitBtn2));
    });
    inWindow.start(50);
    ASSERT_TRUE(pointerClick(rig_->window->ui.SB_schedule));
    ASSERT_TRUE(waitFor([&] { return clicked && !sch->isVisible(); }, 10000));
    inWindow.stop();
    EXPECT_FALSE(covered);
    EXPECT_FALSE(controller_->state().active());
    EXPECT_FALSE(controller_->Timer1->isActive());

    rig_->clock.advance(6 * 60 * 1000);  // past the task's time
    QTest::qWait(1500);
    EXPECT_TRUE(logind_->calls().filter(QStringLiteral("PowerOff")).isEmpty())
        << logind_->calls().join(u' ').toStdString();
    EXPECT_FALSE(prompt->isVisible());
    EXPECT_EQ(rig_->exitCode, -1);
}

TEST_F(LastMinutes, LettersTypedWhileTheWarningComesBackAllReachTheEditor) {
    rig_->memo()->setFocus();
    const QString letters = QStringLiteral("abcdefghijklmnopqrst");
    // Three seconds of typing: the warning is brought to the front three times meanwhile.
    QProcess typing;
    typing.start(QStringLiteral("xdotool"),
                 {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("150"), letters});
    ASSERT_TRUE(waitFor([&] { return typing.state() == QProcess::NotRunning; }, 15000));
    ASSERT_TRUE(waitFor([&] { return rig_->memo()->toPlainText().size() >= letters.size(); }, 2000))
        << rig_->memo()->toPlainText().toStdString();
    EXPECT_EQ(rig_->memo()->toPlainText(), letters);
    EXPECT_TRUE(controller_->shutprompt()->isVisible());
    EXPECT_EQ(QApplication::activeWindow(), rig_->window.get());
}

// The real box: Escape and its close box put the question off; the program and the text stay.
TEST(SaveQuestionAtExit, EscapeOrTheCloseBoxKeepsTheProgramAndTheText) {
    if (!haveXTools()) GTEST_SKIP() << "needs Xvfb";
    ui::WidgetDialogs boxes;
    WindowRig rig(QByteArray(), false);
    rig.otherDialogs = &boxes;
    rig.open();
    boxes.setParent(rig.window.get());
    rig.window->show();
    rig.type(QStringLiteral("不能丟的文字"));
    for (const bool escape : {true, false}) {
        QString asked;
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(waitFor([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            asked = box->text();
            if (escape)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->close();
        });
        rig.window->ui.N_exit->trigger();
        EXPECT_EQ(asked, QStringLiteral("文章已被修改，要保存嗎？"));
        EXPECT_EQ(rig.exitCode, -1);
        EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("不能丟的文字"));
        EXPECT_TRUE(rig.memo()->document()->isModified());
    }
    // No still ends the program.
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(waitFor([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }));
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        box->button(QMessageBox::No)->click();
    });
    rig.window->ui.N_exit->trigger();
    EXPECT_EQ(rig.exitCode, 0);
}

}  // namespace
}  // namespace sayvell::testing
