// The tray icon in a real tray host (trayer) on the private X server, used with the mouse.
#include "platform/private_servers.h"
#include "platform/x_client.h"
#include "support/fakes.h"
#include "ui/desktop/desktop_controller.h"
#include "ui/window_rig.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

bool clickAt(QPoint p, int button) {
    if (QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())}) != 0)
        return false;
    // The pointer is over the window before the button goes down, as with a hand on a mouse.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("click"), QString::number(button)}) == 0;
}

class Tray : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveXTools() || QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
            GTEST_SKIP() << "needs Xvfb, xdotool and trayer";
        ASSERT_TRUE(host_.start({QStringLiteral("trayer"), QStringLiteral("--edge"), QStringLiteral("top"),
                                 QStringLiteral("--align"), QStringLiteral("right"), QStringLiteral("--widthtype"),
                                 QStringLiteral("pixel"), QStringLiteral("--width"), QStringLiteral("200"),
                                 QStringLiteral("--height"), QStringLiteral("24")}));
        ASSERT_TRUE(waitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000));
        rig_ = std::make_unique<WindowRig>();
        desktop_ = rig_->window->findChild<ui::DesktopController*>();
        ASSERT_TRUE(desktop_);
        // Embedded in the host: the icon has a place on the screen.
        ASSERT_TRUE(waitFor([this] { return desktop_->trayIcon()->geometry().width() > 0; }, 10000));
    }
    void TearDown() override {
        rig_.reset();
        host_.stop();
    }
    // Where the host put the icon, asked of the X server: Qt keeps the embedded window's
    // position inside the host, not on the screen.
    QPoint iconCentre() const {
        QWidget* icon = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (QByteArray(w->metaObject()->className()) == "QSystemTrayIconSys") icon = w;
        if (!icon) return {};
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t* c = x11->connection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        auto* at = xcb_translate_coordinates_reply(
            c, xcb_translate_coordinates(c, static_cast<xcb_window_t>(icon->winId()), root, 0, 0), nullptr);
        if (!at) return {};
        const QPoint p(at->dst_x + icon->width() / 2, at->dst_y + icon->height() / 2);
        free(at);
        return p;
    }
    // Opens the tray menu with the right button and clicks one of its items.
    void chooseFromMenu(QAction* item) {
        QMenu* menu = desktop_->trayMenu();
        ASSERT_TRUE(clickAt(iconCentre(), 3));
        ASSERT_TRUE(waitFor([menu] { return menu->isVisible(); }));
        ASSERT_TRUE(waitFor([menu] { return !menu->actionGeometry(menu->actions().first()).isEmpty(); }));
        ASSERT_TRUE(clickAt(menu->mapToGlobal(menu->actionGeometry(item).center()), 1));
        ASSERT_TRUE(waitFor([menu] { return !menu->isVisible(); }));
    }

    ServerProcess host_;
    std::unique_ptr<WindowRig> rig_;
    ui::DesktopController* desktop_ = nullptr;
};

TEST_F(Tray, IconMenuMarksAndHidingAndShowing) {
    ui::Tf_speaker& w = *rig_->window;
    EXPECT_EQ(desktop_->trayIcon()->toolTip(), QStringLiteral("Sayvell"));
    QStringList captions;
    for (QAction* a : desktop_->trayMenu()->actions()) captions << a->text();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("顯示Sayvell (&S)"), QStringLiteral("隱藏Sayvell (&H)"),
                                     QStringLiteral("播報計畫(&P)"), QStringLiteral("退出  (&C)")}));
    EXPECT_FALSE(desktop_->trayShow->isChecked() || desktop_->trayHide->isChecked());
    EXPECT_TRUE(rig_->window->statusBar()->currentMessage().isEmpty());

    w.show();
    ASSERT_TRUE(waitFor([&] { return w.isVisible(); }));
    // The close box takes the window to the tray; the program goes on.
    w.close();
    ASSERT_TRUE(waitFor([&] { return !w.isVisible(); }));
    EXPECT_TRUE(desktop_->trayHide->isChecked());
    EXPECT_FALSE(desktop_->trayShow->isChecked());
    EXPECT_EQ(rig_->exitCode, -1);

    // The menu opens without showing the window; its show item brings the window back.
    chooseFromMenu(desktop_->trayShow);
    ASSERT_TRUE(waitFor([&] { return w.isVisible(); }));
    EXPECT_TRUE(desktop_->trayShow->isChecked());
    EXPECT_FALSE(desktop_->trayHide->isChecked());

    // A left click hides and shows; the marks stay as they were. The two clicks land far
    // enough apart on the icon not to count as one double click (which does nothing).
    ASSERT_TRUE(clickAt(iconCentre() - QPoint(7, 0), 1));
    ASSERT_TRUE(waitFor([&] { return !w.isVisible(); }));
    ASSERT_TRUE(clickAt(iconCentre() + QPoint(7, 0), 1));
    ASSERT_TRUE(waitFor([&] { return w.isVisible(); }));
    EXPECT_TRUE(desktop_->trayShow->isChecked());
    EXPECT_FALSE(desktop_->trayHide->isChecked());
}

TEST_F(Tray, ExitFromTheTrayAsksOnceAndRemovesTheIconBeforeSavingSettings) {
    ui::Tf_speaker& w = *rig_->window;
    rig_->type(QStringLiteral("甲。"));
    rig_->dialogs.confirmAnswer = false;  // No: end without saving
    QStringList seen;
    w.addExitStep(ui::Tf_speaker::ExitStage::AfterSaveQuestion, [&] {
        seen << QStringLiteral("after question: icon %1, rate saved %2")
                    .arg(desktop_->trayIcon()->isVisible())
                    .arg(rig_->settings().contains(QStringLiteral("Rate=")));
    });
    w.show();
    chooseFromMenu(desktop_->trayExit);
    ASSERT_TRUE(waitFor([&] { return rig_->exitCode == 0; }));
    EXPECT_EQ(rig_->dialogs.shown, QStringList{QStringLiteral("confirm:文章已被修改，要保存嗎？")});
    EXPECT_EQ(seen, QStringList{QStringLiteral("after question: icon 0, rate saved 0")});
    EXPECT_TRUE(rig_->settings().contains(QStringLiteral("Rate=")));
}

}  // namespace
}  // namespace sayvell::testing
