// Key grabs on a private X server, pressed with xdotool as a user would.
#include "platform/x11_hotkeys.h"
#include "platform/x_client.h"
#include "reading/tts.h"
#include "support/fakes.h"
#include "ui/reading/loop_controller.h"
#include "ui/window_rig.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

QList<int> indexes(const QSignalSpy& spy) {
    QList<int> out;
    for (const auto& args : spy) out << args.at(0).toInt();
    return out;
}

TEST(X11Hotkeys, GrabsInEveryLockStateAndLeavesOtherKeysAndHeldKeysToOthers) {
    if (!haveXTools()) GTEST_SKIP() << "needs Xvfb and xdotool";
    OtherXClient other;
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE(other.grab(XK_F11));  // another program's hotkey

    auto keys = platform::makeX11Hotkeys();
    ASSERT_TRUE(keys->unavailableReason().isEmpty());
    QSignalSpy activated(keys.get(), &platform::GlobalHotkeys::activated);
    EXPECT_TRUE(keys->registerHotkey(0));
    EXPECT_FALSE(keys->registerHotkey(2));  // skipped silently: no failure signal, no grab
    EXPECT_FALSE(keys->isRegistered(2));

    ASSERT_TRUE(pressKey(QStringLiteral("F11")));
    ASSERT_TRUE(other.waitKey(XK_F11));
    ASSERT_TRUE(pressKey(QStringLiteral("F9")));  // not asked for: the focused window gets it
    ASSERT_TRUE(other.waitKey(XK_F9));
    ASSERT_TRUE(pressKey(QStringLiteral("F7")));
    ASSERT_TRUE(waitFor([&] { return activated.size() == 1; }));
    // With Caps Lock and Num Lock on the key is still this program's.
    ASSERT_TRUE(pressKey(QStringLiteral("Caps_Lock")));
    ASSERT_TRUE(pressKey(QStringLiteral("Num_Lock")));
    ASSERT_TRUE(pressKey(QStringLiteral("F7")));
    ASSERT_TRUE(waitFor([&] { return activated.size() == 2; }));
    ASSERT_TRUE(pressKey(QStringLiteral("Caps_Lock")));
    ASSERT_TRUE(pressKey(QStringLiteral("Num_Lock")));
    EXPECT_EQ(indexes(activated), (QList<int>{0, 0}));
    EXPECT_FALSE(other.gotKey(XK_F7));

    // Released: F7 goes to the focused window again.
    keys->unregisterHotkey(0);
    ASSERT_TRUE(pressKey(QStringLiteral("F7")));
    EXPECT_TRUE(other.waitKey(XK_F7));
    EXPECT_EQ(activated.size(), 2);
}

TEST(X11Hotkeys, KeysRunTheCommandsWhileAnotherProgramHasTheFocus) {
    if (!haveXTools()) GTEST_SKIP() << "needs Xvfb and xdotool";
    OtherXClient other;
    ASSERT_TRUE(other.ok());
    WindowRig rig("[System]\r\nF9=0\r\n");
    rig.type(QStringLiteral("甲。乙。丙。"));
    rig.engine.hold();
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(waitFor([&] { return rig.engine.spoken().size() >= 1u; }))
        << rig.dialogs.shown.join(u'|').toStdString();

    // F11: the reading ends after the piece being spoken.
    ASSERT_TRUE(pressKey(QStringLiteral("F11")));
    ASSERT_TRUE(waitFor([&] { return !rig.window->readingState().readingActive; }));
    rig.engine.release();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), QStringList{QStringLiteral("甲。")});
    EXPECT_FALSE(other.gotKey(XK_F11));

    // F9 is switched off: the program does not take it and starts no loop.
    ASSERT_TRUE(pressKey(QStringLiteral("F9")));
    ASSERT_TRUE(other.waitKey(XK_F9));
    EXPECT_FALSE(rig.window->loopController().loop().armed());

    // F7 with the caret in the middle reads from the top.
    rig.window->memoPort().setSelStart(4);
    ASSERT_TRUE(pressKey(QStringLiteral("F7")));
    ASSERT_TRUE(waitFor([&] { return rig.engine.spoken().size() >= 2u; }));
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts().mid(1),
              (QStringList{QStringLiteral("甲。"), QStringLiteral("乙。"), QStringLiteral("丙。")}));
    EXPECT_FALSE(other.gotKey(XK_F7));
}

}  // namespace
}  // namespace sayvell::testing
