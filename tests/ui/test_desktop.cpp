// The desktop controller without a tray host or global keys (offscreen), and what each key
// runs in the real main window.
#include "platform/fake_hotkeys.h"
#include "ui/desktop/desktop_controller.h"
#include "ui/reading/loop_controller.h"
#include "ui/window_rig.h"

#include <QStatusBar>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

ui::DesktopController* desktopOf(WindowRig& rig) { return rig.window->findChild<ui::DesktopController*>(); }

TEST(Desktop, WithoutTrayOrKeysItSaysSoOnceAndTheFrameMinimises) {
    WindowRig rig;
    ui::DesktopController* desktop = desktopOf(rig);
    ASSERT_TRUE(desktop);
    const QString notice = rig.window->statusBar()->currentMessage();
    EXPECT_EQ(notice.count(QStringLiteral("系統匣")), 1) << notice.toStdString();
    EXPECT_EQ(notice.count(QStringLiteral("全域快捷鍵")), 1) << notice.toStdString();
    desktop->registerHotkeys();  // asked again: nothing more is said
    EXPECT_EQ(rig.window->statusBar()->currentMessage(), notice);

    rig.window->show();
    rig.window->close();
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_TRUE(rig.window->isMinimized());
    EXPECT_EQ(rig.exitCode, -1);
    // The tray's show item still brings it back.
    desktop->trayShow->trigger();
    EXPECT_FALSE(rig.window->isMinimized());
}

TEST(Desktop, OnlySwitchedOnKeysAreAskedForAndAHeldKeyIsSkippedSilently) {
    WindowRig rig;
    auto fake = std::make_unique<FakeHotkeys>();
    FakeHotkeys* keys = fake.get();
    keys->held[2] = true;  // F11 belongs to another program
    QStringList told;
    int stops = 0;
    ui::DesktopCommands commands;
    commands.stop = [&] { ++stops; };
    commands.tell = [&](const QString& t) { told << t; };
    ui::DesktopController desktop(*rig.window, commands, std::move(fake), {true, false, true});
    told.clear();  // the missing tray of offscreen
    desktop.registerHotkeys();
    EXPECT_EQ(keys->registered, (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(keys->registrations, 2);
    EXPECT_TRUE(told.isEmpty());
    keys->press(2);
    desktop.hotkeyPressed(1);  // a message for a switched-off key does nothing
    EXPECT_EQ(stops, 0);
    keys->press(0);
    EXPECT_EQ(stops, 1);
}

TEST(Desktop, F7DuringALoopStopsItAndReadsOnceFromTheTop) {
    WindowRig rig;
    ui::DesktopController* desktop = desktopOf(rig);
    rig.type(QStringLiteral("甲。乙。"));
    rig.engine.hold();
    rig.window->ui.SB_repeat1->click();
    ASSERT_TRUE(waitFor([&] { return rig.engine.spoken().size() >= 1u; }));
    ASSERT_TRUE(rig.window->loopController().loop().armed());

    desktop->hotkeyPressed(0);
    EXPECT_FALSE(rig.window->loopController().loop().armed());
    rig.engine.release();
    ASSERT_TRUE(waitFor([&] { return rig.engine.texts().size() == 3 && !rig.window->runner().busy(); }));
    EXPECT_EQ(rig.engine.texts(),
              (QStringList{QStringLiteral("甲。"), QStringLiteral("甲。"), QStringLiteral("乙。")}));
    EXPECT_FALSE(rig.window->loopController().loop().armed());
}

TEST(Desktop, F9LoopsTheWholeTextOnlyWhenSwitchedOnAndF11Stops) {
    {
        WindowRig rig("[System]\r\nF9=0\r\n");
        rig.type(QStringLiteral("甲。"));
        desktopOf(rig)->hotkeyPressed(1);
        EXPECT_FALSE(rig.window->loopController().loop().armed());
    }
    WindowRig rig;
    rig.type(QStringLiteral("甲。乙。"));
    rig.window->memoPort().setSelStart(4);
    rig.engine.hold();
    desktopOf(rig)->hotkeyPressed(1);
    ASSERT_TRUE(rig.window->loopController().loop().armed());
    ASSERT_TRUE(waitFor([&] { return rig.engine.spoken().size() >= 1u; }));
    EXPECT_EQ(rig.engine.texts().first(), QStringLiteral("甲。"));  // the whole text, from its top
    desktopOf(rig)->hotkeyPressed(2);
    EXPECT_FALSE(rig.window->readingState().readingActive);
    EXPECT_FALSE(rig.window->loopController().loop().armed());
    rig.engine.release();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), QStringList{QStringLiteral("甲。")});
}

}  // namespace
}  // namespace sayvell::testing
