// The main window on fakes: start-up from the settings file, reading with follow-along
// selection, stop, and the way out.
#include "ui/window_rig.h"

#include "text/big5.h"
#include "ui/desktop/desktop_controller.h"
#include "ui/recorder/tfrecunit1.h"
#include "ui/shell/status_panels.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

using namespace sayvell;
using sayvell::testing::readingControlsOf;
using sayvell::testing::waitFor;
using sayvell::testing::WindowRig;

TEST(MainWindow, FirstStartTakesDefaultsAndWritesTheEditorColour) {
    WindowRig rig;
    auto& ui = rig.window->ui;
    EXPECT_EQ(ui.TrackBar2->value(), 2);
    EXPECT_EQ(rig.engine.rate(), 2);  // position + the engine's own rate of 0
    EXPECT_EQ(ui.TrackBar1->value(), 100);
    EXPECT_EQ(rig.engine.volume(), 100);
    EXPECT_EQ(ui.StaticText9->text(), "100");
    EXPECT_EQ(ui.flatComboBox1->currentIndex(), 0);
    EXPECT_TRUE(ui.Chk_prompt->isChecked());
    EXPECT_EQ(ui.SpinEdit1->value(), 2);
    EXPECT_EQ(ui.SpinEdit2->value(), 60);
    EXPECT_EQ(ui.statusPanel[1]->text(), QStringLiteral("2014-04-07 星期一"));
    EXPECT_TRUE(rig.settings().contains("memocolor=clTeal")) << rig.settings().toStdString();
    EXPECT_EQ(rig.window->readingState().symbolDelayMs.load(), 800);
    EXPECT_EQ(rig.window->readingState().delimiters(), QStringLiteral("。；：？！，,;:?!"));
}

TEST(MainWindow, StoredSettingsAreHeldToTheirRangesAndGarbageGivesDefaults) {
    WindowRig rig(
        "[Speaker]\r\nRate=40\r\nVolume=-5\r\nSpeaker=7\r\n[System]\r\nReadtimes=0x10\r\n"
        "Intervaltime=abc\r\nF7=0\r\nF9=true\r\nDelay2=\x01\x02\xff\r\nPrompt_tone=0\r\n");
    auto& ui = rig.window->ui;
    EXPECT_EQ(ui.TrackBar2->value(), 15);
    EXPECT_EQ(rig.engine.rate(), 15);
    EXPECT_EQ(ui.TrackBar1->value(), 0);
    EXPECT_EQ(rig.engine.volume(), 0);
    EXPECT_EQ(ui.flatComboBox1->currentIndex(), -1);
    EXPECT_EQ(ui.SpinEdit1->value(), 16);
    EXPECT_EQ(ui.SpinEdit2->value(), 60);
    EXPECT_EQ(rig.window->readingState().symbolDelayMs.load(), 800);
    EXPECT_FALSE(ui.Chk_prompt->isChecked());
}

TEST(MainWindow, ReadsFromTheCaretSelectingEachPieceWhileItIsSpoken) {
    WindowRig rig;
    rig.type(QStringLiteral("一，二。"));
    rig.window->ui.SB_play->click();
    for (QWidget* w : readingControlsOf(*rig.window)) EXPECT_FALSE(w->isEnabled()) << w->accessibleName().toStdString();
    EXPECT_TRUE(rig.window->ui.SB_stop->isEnabled());
    ASSERT_TRUE(rig.waitIdle());
    ASSERT_TRUE(waitFor([&] { return rig.window->ui.SB_play->isEnabled(); }));
    const auto spoken = rig.engine.spoken();
    ASSERT_EQ(spoken.size(), 2u);
    EXPECT_EQ(spoken[0].text, QStringLiteral("一，"));
    EXPECT_EQ(std::make_pair(spoken[0].selStart, spoken[0].selLength), std::make_pair(0, 4));
    EXPECT_EQ(spoken[1].text, QStringLiteral("二。"));
    EXPECT_EQ(std::make_pair(spoken[1].selStart, spoken[1].selLength), std::make_pair(4, 4));
    EXPECT_EQ(rig.engine.voiceId(), QStringLiteral("cmn-latn-pinyin"));
    EXPECT_EQ(rig.clock.sleeps(), (std::vector<int>{250, 600}));
    EXPECT_FALSE(rig.window->readingState().readingActive.load());
    for (QWidget* w : readingControlsOf(*rig.window)) EXPECT_TRUE(w->isEnabled());
}

TEST(MainWindow, StopEnablesTheControlsAtOnceAndEndsAfterThePiece) {
    WindowRig rig;
    rig.type(QStringLiteral("一，二，三。"));
    rig.engine.hold();
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(waitFor([&] { return rig.engine.spoken().size() == 1; }));
    rig.window->ui.SB_stop->click();
    for (QWidget* w : readingControlsOf(*rig.window)) EXPECT_TRUE(w->isEnabled());
    rig.engine.release();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), QStringList{"一，"});
    EXPECT_EQ(rig.window->memoPort().selStart(), 4);
}

TEST(MainWindow, ReadFromTheBeginningWithTheCaretAtTheEnd) {
    WindowRig rig;
    rig.type(QStringLiteral("甲。乙。"));
    rig.window->ui.SB_bott->click();
    rig.window->ui.SB_jexu->click();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), (QStringList{"甲。", "乙。"}));
}

TEST(MainWindow, ReadingChecksTextThenVoice) {
    WindowRig rig;
    rig.type(QStringLiteral("   \n "));
    rig.window->ui.SB_play->click();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty());
    EXPECT_TRUE(rig.window->ui.SB_play->isEnabled());
    rig.type(QStringLiteral("有字。"));
    rig.window->ui.flatComboBox1->setCurrentIndex(-1);
    rig.window->ui.SB_play->click();
    EXPECT_EQ(rig.dialogs.shown, QStringList{"warning:請選擇語音引擎!"});
    EXPECT_TRUE(rig.window->ui.SB_play->isEnabled());
    EXPECT_TRUE(rig.engine.texts().isEmpty());
}

TEST(MainWindow, CaretPositionShowsLineAndColumnAfterAClick) {
    WindowRig rig;
    rig.window->show();
    rig.type(QStringLiteral("第一行\n第二行abc"));
    QTest::mouseClick(rig.memo()->viewport(), Qt::LeftButton, {},
                      rig.memo()->cursorRect(rig.memo()->textCursor()).center());
    rig.window->ui.SB_top->click();
    QTest::keyClick(rig.memo(), Qt::Key_Home);
    EXPECT_EQ(rig.window->ui.statusPanel[0]->text(), QStringLiteral("   1:1"));
    QTest::keyClick(rig.memo(), Qt::Key_Down);
    QTest::keyClick(rig.memo(), Qt::Key_End);
    EXPECT_EQ(rig.window->ui.statusPanel[0]->text(), QStringLiteral("   2:10"));
}

TEST(MainWindow, ExitSavesTheSpeakerSettingsAndAsksOnlyForAChangedText) {
    {
        WindowRig rig;
        rig.window->ui.TrackBar2->setValue(-4);
        rig.window->ui.N_exit->trigger();
        EXPECT_TRUE(rig.dialogs.shown.isEmpty());
        EXPECT_EQ(rig.exitCode, 0);
        const QString ini = rig.settings();
        EXPECT_TRUE(ini.contains("Rate=-4")) << ini.toStdString();
        EXPECT_TRUE(ini.contains("Speaker=0"));
        EXPECT_TRUE(ini.contains("Volume=100"));
        EXPECT_TRUE(ini.contains("Prompt_tone=1"));
    }
    {
        WindowRig rig;
        rig.type(QStringLiteral("改過的文字"));
        rig.dialogs.confirmAnswer = false;
        rig.window->ui.N_exit->trigger();
        EXPECT_EQ(rig.dialogs.shown, QStringList{"confirm:文章已被修改，要保存嗎？"});
        EXPECT_EQ(rig.exitCode, 0);
    }
}

TEST(MainWindow, ExitWithAChangedTextThatCouldNotBeSavedStaysOpen) {
    WindowRig rig;
    rig.type(QStringLiteral("不能丟的文字"));
    rig.dialogs.confirmAnswer = true;
    rig.dialogs.saveAnswer.clear();  // the user cancels the save dialog
    rig.window->ui.N_exit->trigger();
    EXPECT_EQ(rig.exitCode, -1);
    EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("不能丟的文字"));

    rig.dialogs.saveAnswer = rig.path("kept");
    rig.window->ui.N_exit->trigger();
    EXPECT_EQ(rig.exitCode, 0);
    QFile saved(rig.path("kept.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(text::fromBig5(saved.readAll()), QStringLiteral("不能丟的文字"));
}

TEST(MainWindow, PuttingOffTheSaveQuestionAtExitKeepsTheProgramAndTheText) {
    WindowRig rig;
    rig.type(QStringLiteral("不能丟的文字"));
    rig.dialogs.putOff = true;
    auto* desktop = rig.window->findChild<ui::DesktopController*>();
    ASSERT_TRUE(desktop);
    const std::vector<std::pair<const char*, std::function<void()>>> exits = {
        {"menu", [&] { rig.window->ui.N_exit->trigger(); }},
        {"button", [&] { rig.window->ui.SB_close->click(); }},
        {"tray", [&] { desktop->trayExit->trigger(); }},
    };
    for (const auto& [how, exit] : exits) {
        rig.dialogs.shown.clear();
        exit();
        EXPECT_EQ(rig.dialogs.shown, QStringList{"confirm:文章已被修改，要保存嗎？"}) << how;
        EXPECT_EQ(rig.exitCode, -1) << how;
        EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("不能丟的文字")) << how;
        EXPECT_TRUE(rig.memo()->document()->isModified()) << how;
    }
    // Put off once, the question comes again and can still be answered.
    rig.dialogs.putOff = false;
    rig.dialogs.confirmAnswer = false;
    rig.window->ui.N_exit->trigger();
    EXPECT_EQ(rig.exitCode, 0);
}

TEST(MainWindow, AMessageHasAPanelOfItsOwnAndHidesNoOther) {
    WindowRig rig;
    rig.window->resize(1000, 600);
    rig.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(rig.window.get()));
    rig.window->ui.statusPanel[2]->setText(QStringLiteral("/文件/通告.txt"));
    auto* bar = qobject_cast<ui::PanelStatusBar*>(rig.window->statusBar());
    ASSERT_TRUE(bar);
    const QString message = QStringLiteral("桌面沒有系統匣，關閉視窗時改為最小化。");
    const int narrowest = rig.window->minimumSizeHint().width();
    bar->showMessage(message + message + message + message, 10000);
    QCoreApplication::processEvents();
    // A long message does not make the window wider.
    EXPECT_EQ(rig.window->minimumSizeHint().width(), narrowest);
    bar->showMessage(message, 10000);
    QCoreApplication::processEvents();

    const QImage shown = bar->grab().toImage();
    const std::array<QLabel*, 5> panels = {rig.window->ui.statusPanel[0], rig.window->ui.statusPanel[1],
                                           rig.window->ui.statusPanel[2], rig.window->ui.statusPanel[3],
                                           bar->messagePanel()};
    QStringList heard;
    for (QLabel* p : panels) {
        ASSERT_TRUE(p->isVisible()) << p->objectName().toStdString();
        // What the bar shows in the panel's place is the panel itself, nothing drawn over it.
        EXPECT_EQ(shown.copy(p->geometry()), p->grab().toImage()) << p->objectName().toStdString();
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(p);
        heard << a->text(QAccessible::Name);
        EXPECT_FALSE(a->text(QAccessible::Description).isEmpty());
    }
    EXPECT_EQ(heard.mid(2), (QStringList{QStringLiteral("/文件/通告.txt"), QString(), message}));
    EXPECT_FALSE(heard[1].isEmpty());
    for (int i = 0; i + 1 < 5; ++i) EXPECT_LE(panels[i]->geometry().right(), panels[i + 1]->geometry().left());
    EXPECT_NE(QAccessible::queryAccessibleInterface(bar)->text(QAccessible::Name), message);
}

TEST(MainWindow, FrameCloseKeepsTheProgramRunningAndThePanelToggles) {
    WindowRig rig;
    rig.window->show();
    rig.type(QStringLiteral("一。"));
    rig.window->close();
    EXPECT_EQ(rig.exitCode, -1);
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), QStringList{"一。"});
    rig.window->ui.SB_panel->click();
    EXPECT_FALSE(rig.window->ui.Panel2->isVisible());
    rig.window->ui.SB_panel->click();
    EXPECT_TRUE(rig.window->ui.Panel2->isVisible());
}

TEST(MainWindow, DisablingForReadingTouchesExactlyTheSixteenControls) {
    WindowRig rig;
    rig.window->btn_disable();
    int disabled = 0;
    for (QToolButton* b : rig.window->ui.toolButtons()) disabled += b->isEnabled() ? 0 : 1;
    EXPECT_EQ(disabled, 13);  // all tool buttons but stop, schedule, panel and exit
    EXPECT_TRUE(rig.window->ui.SB_stop->isEnabled());
    EXPECT_TRUE(rig.window->ui.SB_close->isEnabled());
    EXPECT_TRUE(rig.window->ui.SB_panel->isEnabled());
    EXPECT_TRUE(rig.window->ui.SB_schedule->isEnabled());
    EXPECT_FALSE(rig.window->ui.btn_ok->isEnabled());
    EXPECT_FALSE(rig.window->ui.SpinEdit2->isEnabled());
    rig.window->btn_enable();
    for (QWidget* w : readingControlsOf(*rig.window)) EXPECT_TRUE(w->isEnabled());
}

TEST(MainWindow, AFullWidthSpaceInThePauseTableEndsAPieceAndPauses) {
    WindowRig rig({}, false);
    {
        auto dm = store::TDM::open(rig.path("draft.dat"));
        ASSERT_TRUE(dm);
        ASSERT_TRUE(dm->q_delaytime.add(QStringLiteral("全形空格"), QStringLiteral("\u3000"), 900));
    }
    rig.open();
    rig.type(QStringLiteral("甲\u3000乙"));
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(rig.waitIdle());
    const auto spoken = rig.engine.spoken();
    ASSERT_EQ(spoken.size(), 2u);
    EXPECT_EQ(spoken[0].text, QStringLiteral("甲\u3000"));
    EXPECT_EQ(rig.clock.sleeps().front(), 900);
}

TEST(MainWindow, QtsOwnButtonsSpeakTraditionalChinese) {
    // The same translations the program installs at start (tests/qt_main.cpp does it too).
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("檔名(&N)\uFF1A"));
}

TEST(MainWindow, AScreenReaderHearsWhatTheLabelsShow) {
    WindowRig rig;
    rig.window->show();
    auto& ui = rig.window->ui;
    auto heard = [](QWidget* w) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        return a ? a->text(QAccessible::Name) : QString();
    };
    EXPECT_EQ(heard(ui.statusPanel[1]), QStringLiteral("2014-04-07 星期一"));
    ui.TrackBar2->setValue(7);
    EXPECT_EQ(heard(ui.StaticText6), QStringLiteral("7"));
    const QStringList findButtons{heard(ui.Image1), heard(ui.Image2), heard(ui.SpeedButton3)};
    EXPECT_EQ(QSet<QString>(findButtons.begin(), findButtons.end()).size(), 3) << findButtons.join(u'|').toStdString();
    EXPECT_FALSE(heard(ui.btn_close9).contains(QStringLiteral("Close")));
}

TEST(MainWindow, NumbersAndTheTableReachTheVoiceAsWordsWhileTheTextStaysAsWritten) {
    WindowRig rig;
    rig.type(QStringLiteral("營業到21:30，去銀行。"));
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(rig.waitIdle());
    const auto spoken = rig.engine.spoken();
    ASSERT_EQ(spoken.size(), 2u);
    EXPECT_EQ(spoken[0].text, QStringLiteral("營業到二十一點三十分，"));
    EXPECT_EQ(std::make_pair(spoken[0].selStart, spoken[0].selLength), std::make_pair(0, 13));
    EXPECT_TRUE(spoken[1].text.contains(QStringLiteral("yin2 hang2"))) << spoken[1].text.toStdString();
    EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("營業到21:30，去銀行。"));
    // A one-shot reading of the selection says the same words.
    rig.memo()->selectAll();
    rig.window->ui.P_readSelection->trigger();
    ASSERT_TRUE(rig.engine.waitSpoken(3));
    EXPECT_TRUE(rig.engine.spoken().back().text.startsWith(QStringLiteral("營業到二十一點三十分，")));
}

// The first frame shows only what it needs; the rest of the program (here the recorder) is
// there as soon as that frame is out, and also when no frame ever comes.
TEST(MainWindow, TheFeaturesArriveWithTheFirstFrameOrASecondLater) {
    for (const bool shown : {true, false}) {
        SCOPED_TRACE(shown ? "shown" : "never shown");
        WindowRig rig({}, false);
        rig.completeAtOnce = false;
        rig.open();
        ui::Tf_speaker& w = *rig.window;
        EXPECT_EQ(w.findChild<ui::TFrecunit1*>(), nullptr);
        QSignalSpy firstFrame(&w, &ui::Tf_speaker::firstFrameShown);
        if (shown) {
            w.show();
            ASSERT_TRUE(firstFrame.wait(5000));
        } else {
            ASSERT_TRUE(waitFor([&] { return w.findChild<ui::TFrecunit1*>() != nullptr; }, 5000));
            EXPECT_EQ(firstFrame.count(), 0);
        }
        w.ui.SB_outwav2->click();
        auto* recorder = w.findChild<ui::TFrecunit1*>();
        ASSERT_NE(recorder, nullptr);
        EXPECT_TRUE(recorder->isVisible());
        recorder->close();
    }
}
