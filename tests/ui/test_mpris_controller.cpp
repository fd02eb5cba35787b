// The reading player of the desktop's media controls follows readings however they start, and
// a loop reading keeps its own course.
#include "support/fake_media_player.h"
#include "ui/window_rig.h"

#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

using namespace sayvell;
using namespace sayvell::testing;
using Status = platform::MediaPlayerState::Status;

TEST(MprisController, ReadingsStartedInTheWindowShowAndALoopOffersNoSteps) {
    FakeMediaPlayers players;
    WindowRig rig(QByteArray(), false);
    rig.mediaPlayers = players.factory();
    rig.open();
    ASSERT_TRUE(waitFor([&] { return players.made->size() == 2; }));
    FakeMediaPlayer& desktop = *players.made->at(0);
    auto& ui = rig.window->ui;
    rig.type(QStringLiteral("甲。乙。\n丙。"));

    // The tool bar's button: the desktop sees the reading and the piece being read.
    rig.engine.hold();
    ui.SB_play->click();
    ASSERT_TRUE(waitFor([&] {
        return desktop.published().status == Status::Playing && desktop.published().title == QStringLiteral("甲。");
    }));
    EXPECT_TRUE(desktop.published().canGoNext);
    EXPECT_FALSE(desktop.published().canGoPrevious);
    // Stopped in the window is stopped, not paused.
    ui.SB_stop->click();
    rig.engine.release();
    ASSERT_TRUE(rig.waitIdle());
    ASSERT_TRUE(waitFor([&] { return desktop.published().status == Status::Stopped; }));
    EXPECT_EQ(desktop.published().title, QStringLiteral("未命名"));

    // A loop reading, between its passes too, plays on and cannot be stepped.
    ui.SpinEdit1->setValue(2);
    ui.SpinEdit2->setValue(30);
    ui.SB_repeat1->click();
    ASSERT_TRUE(waitFor([&] { return desktop.published().status == Status::Playing; }));
    EXPECT_FALSE(desktop.published().canGoNext || desktop.published().canGoPrevious);
    const int caret = rig.window->memoPort().selStart();
    emit desktop.nextRequested();  // outside a loop, this would move the caret a paragraph on
    emit desktop.previousRequested();
    EXPECT_EQ(rig.window->memoPort().selStart(), caret);
    emit desktop.stopRequested();
    ASSERT_TRUE(waitFor([&] { return !rig.window->readcycled()->isActive(); }));
    ASSERT_TRUE(waitFor([&] { return desktop.published().status == Status::Stopped; }));

    // The reading's volume is the volume bar.
    emit desktop.volumeRequested(0.3);
    ASSERT_TRUE(waitFor([&] { return ui.TrackBar1->value() == 30; }));
    ASSERT_TRUE(waitFor([&] { return desktop.published().volume == 0.3; }));
}
