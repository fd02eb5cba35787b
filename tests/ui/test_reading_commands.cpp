// The reading commands of the main window on fakes: their checks in order, one-shot readings,
// the bookmark, loop reading through the window, the delay symbol, the date window and the
// prompt tone.
#include "audio/audio_engine.h"
#include "audio/audio_output.h"
#include "reading/prompt_tone.h"
#include "reading/reading_dictionary.h"
#include "ui/reading/reading_commands.h"
#include "ui/reading/tfdateformat.h"
#include "ui/window_rig.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <atomic>
#include <cmath>

using namespace sayvell;
using sayvell::testing::readingControlsOf;
using sayvell::testing::waitFor;
using sayvell::testing::WindowRig;

namespace {

const QLocale kTaiwan(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan);

ui::ReadingCommands& commands(WindowRig& rig) { return rig.window->readingCommands(); }

void select(WindowRig& rig, int start, int length) {
    rig.window->memoPort().setSelStart(start);
    rig.window->memoPort().setSelLength(length);
}

// One tick of the loop timer, one second later on the fake clock; a pass it starts runs out.
void tick(WindowRig& rig) {
    rig.clock.advance(1000);
    rig.window->loopController().readcycledTimer();
    ASSERT_TRUE(rig.waitIdle());
}

bool controlsEnabled(WindowRig& rig) {
    for (QWidget* w : readingControlsOf(*rig.window))
        if (!w->isEnabled()) return false;
    return true;
}

bool controlsDisabled(WindowRig& rig) {
    for (QWidget* w : readingControlsOf(*rig.window))
        if (w->isEnabled()) return false;
    return true;
}

// A window whose services include an audio engine, for the prompt tone.
void openWithAudio(WindowRig& rig, audio::AudioEngine& audio) {
    rig.dm = store::TDM::open(rig.path("draft.dat"));
    ASSERT_TRUE(rig.dm);
    rig.window = std::make_unique<ui::Tf_speaker>(ui::Services{rig.engine, *rig.dm, rig.dialogs, rig.clock, &audio});
    rig.window->completeStart();
}

}  // namespace

TEST(ReadingCommands, EachCommandMakesItsChecksInItsOwnOrder) {
    WindowRig rig;
    auto& ui = rig.window->ui;
    ui.flatComboBox1->setCurrentIndex(-1);

    // Empty text and no voice: the text is checked first here, the voice first there.
    rig.window->ui.SB_repeat1->click();
    ui.P_readHere->trigger();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty());
    ui.P_loopAll->trigger();
    ui.P_readLine->trigger();
    ui.P_readSelection->trigger();
    ui.P_readLast->trigger();
    ui.SB_repeat->click();
    EXPECT_EQ(rig.dialogs.shown,
              (QStringList{"warning:請選擇語音引擎!", "warning:請選擇語音引擎!", "warning:請選擇語音引擎!",
                           "warning:請選擇語音引擎!", "information:請選擇所要朗讀的內容!"}));

    // Range loop: selection, then text, then voice.
    rig.dialogs.shown.clear();
    rig.type(QStringLiteral("  \n  "));
    select(rig, 0, 6);
    ui.P_loopRange->trigger();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty());
    rig.type(QStringLiteral("有字。"));
    select(rig, 0, 6);
    ui.P_loopRange->trigger();
    EXPECT_EQ(rig.dialogs.shown, QStringList{"warning:請選擇語音引擎!"});

    // The tool bar's whole-text loop selects all before it checks anything.
    rig.type(QStringLiteral("   "));
    ui.SB_repeat1->click();
    EXPECT_EQ(rig.memo()->textCursor().selectedText(), QStringLiteral("   "));

    EXPECT_FALSE(rig.window->readcycled()->isActive());
    EXPECT_TRUE(rig.engine.texts().isEmpty());
    EXPECT_TRUE(controlsEnabled(rig));
}

TEST(ReadingCommands, OneShotReadingsSpeakTheCaretLineOrTheSelectionAtOnce) {
    WindowRig rig;
    rig.engine.setVoices({{"yue", "粵語"}, {"cmn-latn-pinyin", "普通話"}});
    rig.window->ui.flatComboBox1->setCurrentIndex(1);
    rig.type(QStringLiteral("第一行。\n第二行※有字\n\n末行"));
    // The caret is on the second line; nobody has clicked, so the status bar shows nothing yet.
    rig.window->memoPort().setSelStart(12);
    ASSERT_TRUE(rig.window->ui.statusPanel[0]->text().isEmpty());

    rig.window->ui.P_readLine->trigger();
    ASSERT_EQ(rig.engine.spoken().size(), 1u);
    const auto line = rig.engine.spoken().back();
    EXPECT_EQ(line.text, QStringLiteral("第二行有字"));
    EXPECT_EQ(line.flags, reading::SpeechEngine::Async);
    EXPECT_EQ(rig.engine.voiceId(), QStringLiteral("cmn-latn-pinyin"));
    EXPECT_FALSE(rig.window->readingState().readingActive.load());
    EXPECT_FALSE(rig.window->runner().busy());
    EXPECT_EQ(rig.window->memoPort().selStart(), 12);
    EXPECT_FALSE(rig.memo()->textCursor().hasSelection());

    // An empty line says nothing.
    rig.window->memoPort().setSelStart(24);
    rig.window->ui.P_readLine->trigger();
    EXPECT_EQ(rig.engine.spoken().size(), 1u);

    select(rig, 26, 4);
    rig.window->ui.P_readSelection->trigger();
    ASSERT_EQ(rig.engine.spoken().size(), 2u);
    // 行 of a line is hang2: the readings of words say so where the build delivered them.
    EXPECT_EQ(rig.engine.spoken().back().text.trimmed(),
              reading::ReadingDictionary::installed() ? QStringLiteral("mo4 hang2") : QStringLiteral("末行"));
    EXPECT_EQ(rig.engine.spoken().back().flags, reading::SpeechEngine::Async);

    // Stop silences a one-shot reading at once.
    const int purges = rig.engine.purges();
    rig.window->ui.SB_stop->click();
    EXPECT_EQ(rig.engine.purges(), purges + 1);

    // While a reading runs, one-shot readings do nothing.
    rig.window->readingState().readingActive = true;
    rig.window->ui.P_readLine->trigger();
    rig.window->ui.P_readSelection->trigger();
    EXPECT_EQ(rig.engine.spoken().size(), 2u);
    rig.window->readingState().readingActive = false;
}

TEST(ReadingCommands, BookmarkIsRecordedAndReadFromWithoutPromptOrDisabling) {
    WindowRig rig;
    rig.type(QStringLiteral("甲。\n乙。丙。"));
    rig.window->memoPort().setSelStart(6);
    rig.window->ui.P_bookmark->trigger();
    EXPECT_TRUE(rig.settings().contains("Lastposi=6")) << rig.settings().toStdString();
    EXPECT_TRUE(rig.settings().contains("Line=1"));

    rig.window->ui.SB_top->click();
    rig.engine.hold();
    rig.window->ui.P_readLast->trigger();
    ASSERT_TRUE(waitFor([&] { return rig.engine.spoken().size() == 1; }));
    EXPECT_TRUE(controlsEnabled(rig));
    EXPECT_FALSE(commands(rig).startPending());
    rig.engine.release();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), (QStringList{"乙。", "丙。"}));
}

TEST(ReadingCommands, ReadFromLastWithoutOrWithAStaleBookmark) {
    {
        WindowRig rig;
        rig.type(QStringLiteral("甲。乙。"));
        rig.window->memoPort().setSelStart(4);
        rig.window->ui.P_readLast->trigger();
        ASSERT_TRUE(rig.waitIdle());
        EXPECT_EQ(rig.engine.texts(), QStringList{"乙。"});
    }
    {
        WindowRig rig("[Position]\r\nLastposi=99999\r\n");
        rig.type(QStringLiteral("甲。"));
        rig.window->ui.P_readLast->trigger();
        ASSERT_TRUE(rig.waitIdle());
        EXPECT_TRUE(rig.engine.texts().isEmpty());
        ASSERT_TRUE(waitFor([&] { return controlsEnabled(rig); }));
    }
}

TEST(ReadingCommands, CantoneseVoiceStillAsksToSaveAChangedText) {
    WindowRig rig({}, false);
    rig.engine.setVoices({{"yue", "Voice Sin-Ji_Full_22kHz"}});
    rig.open();
    rig.type(QStringLiteral("改過。"));
    rig.window->ui.P_readLast->trigger();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), QStringList{"改過。"});
    EXPECT_TRUE(rig.memo()->document()->isModified());
}

TEST(ReadingCommands, WholeTextLoopReadsEachPassWithTheControlsDisabledUntilTheEnd) {
    WindowRig rig;
    auto& ui = rig.window->ui;
    rig.type(QStringLiteral("一，二。"));
    ui.SpinEdit1->setValue(2);
    ui.SpinEdit2->setValue(3);
    ui.SB_repeat1->click();
    EXPECT_TRUE(rig.window->readcycled()->isActive());
    EXPECT_EQ(rig.window->readcycled()->interval(), 1000);
    EXPECT_TRUE(rig.engine.texts().isEmpty());  // the first pass waits for the first tick

    tick(rig);
    EXPECT_EQ(rig.engine.texts(), (QStringList{"一，", "二。"}));
    EXPECT_EQ(rig.engine.spoken()[1].selStart, 4);
    EXPECT_EQ(rig.engine.spoken()[1].selLength, 4);
    EXPECT_FALSE(rig.window->readingState().readingActive.load());  // music may rise between passes
    EXPECT_TRUE(controlsDisabled(rig));

    for (int i = 0; i < 10 && rig.window->readcycled()->isActive(); ++i) tick(rig);
    EXPECT_EQ(rig.engine.texts().size(), 4);
    EXPECT_FALSE(rig.window->readcycled()->isActive());
    EXPECT_TRUE(controlsEnabled(rig));
    EXPECT_EQ(rig.window->loopController().loop().loopPassesDone(), 2);
}

TEST(ReadingCommands, StopDuringTheIntervalEndsTheLoopAtOnce) {
    WindowRig rig;
    rig.type(QStringLiteral("甲。乙，丙。"));
    rig.window->ui.SpinEdit1->setValue(5);
    rig.window->ui.SpinEdit2->setValue(10);
    select(rig, 4, 8);
    rig.window->ui.SB_repeat->click();
    tick(rig);
    tick(rig);
    EXPECT_EQ(rig.engine.texts(), (QStringList{"乙，", "丙。"}));
    rig.window->ui.SB_stop->click();
    EXPECT_FALSE(rig.window->readcycled()->isActive());
    EXPECT_TRUE(controlsEnabled(rig));
    for (int i = 0; i < 30; ++i) tick(rig);
    EXPECT_EQ(rig.engine.texts().size(), 2);
}

TEST(ReadingCommands, SingleRunFromTheMenuEndsALoopInProgress) {
    WindowRig rig;
    rig.type(QStringLiteral("甲。乙。"));
    rig.window->ui.SpinEdit1->setValue(3);
    rig.window->ui.P_loopAll->trigger();
    tick(rig);
    rig.window->memoPort().setSelStart(4);
    rig.window->ui.P_readHere->trigger();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_FALSE(rig.window->readcycled()->isActive());
    ASSERT_TRUE(waitFor([&] { return controlsEnabled(rig); }));
    EXPECT_EQ(rig.engine.texts(), (QStringList{"甲。", "乙。", "乙。"}));
}

TEST(ReadingCommands, LoopPanelSavesItsDefaultsAndCloses) {
    WindowRig rig;
    rig.window->show();
    rig.window->ui.SpinEdit1->setValue(5);
    rig.window->ui.SpinEdit2->setValue(30);
    rig.window->ui.btn_ok->click();
    EXPECT_EQ(rig.dialogs.shown, QStringList{"information:參數已設為默認！ "});
    EXPECT_TRUE(rig.settings().contains("Readtimes=5"));
    EXPECT_TRUE(rig.settings().contains("Intervaltime=30"));
    rig.window->ui.btn_close9->click();
    EXPECT_FALSE(rig.window->ui.Panel9->isVisible());
}

TEST(ReadingCommands, DelaySymbolIsInsertedAtTheCaretAndBeforeASelection) {
    WindowRig rig;
    rig.type(QStringLiteral("一二"));
    rig.memo()->document()->setModified(false);
    rig.window->ui.SB_bott->click();
    rig.window->ui.P_insertDelay->trigger();
    EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("一二※"));
    EXPECT_TRUE(rig.memo()->document()->isModified());
    select(rig, 2, 2);
    rig.window->ui.P_insertDelay->trigger();
    EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("一※二※"));
    EXPECT_EQ(rig.window->memoPort().selStart(), 4);
}

TEST(ReadingCommands, DateWindowPicksStoresAndInsertsTheFormat) {
    WindowRig rig;
    rig.window->dateController().setDateLocale(kTaiwan);
    ui::Tfdateformat& w = rig.window->dateController().dateWindow();
    rig.window->ui.SB_time->click();
    ASSERT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isModal());
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("選擇動態日期時間格式"));
    EXPECT_EQ(w.pos(), QPoint(rig.window->ui.SB_time->mapTo(rig.window->ui.ToolBar1, QPoint()).x(), 79));
    EXPECT_EQ(w.Label1->text(), QStringLiteral("輸入%Date%系統會讀出當前日期時間"));
    EXPECT_EQ(w.Label2->text(), QStringLiteral("默認格式是：2014-04-07"));
    EXPECT_EQ(w.RadioButtons[1]->text(), QStringLiteral("9:05:03"));
    EXPECT_EQ(w.RadioButtons[7]->text(), QStringLiteral("2014年04月07日 星期一"));
    EXPECT_TRUE(w.RadioButtons[0]->isChecked());

    // Captions are those of the moment of showing.
    w.BitBtn3->click();
    EXPECT_FALSE(w.isVisible());
    rig.clock.advance(60 * 60 * 1000);
    rig.window->ui.SB_time->click();
    EXPECT_EQ(w.RadioButtons[1]->text(), QStringLiteral("10:05:03"));

    w.RadioButtons[4]->click();
    EXPECT_EQ(rig.window->readingState().dateFormatType.load(), 5);
    EXPECT_FALSE(rig.settings().contains("Datetimetype"));
    w.BitBtn1->click();
    EXPECT_TRUE(rig.settings().contains("Datetimetype=5"));
    EXPECT_EQ(w.Label2->text(), QStringLiteral("默認格式是：2014-04-07 10:05"));

    rig.type(QStringLiteral("今天是。"));
    select(rig, 4, 4);
    w.BitBtn2->click();
    EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("今天%Date%是。"));
    EXPECT_TRUE(w.isVisible());

    // The format picked last is in force when the window closes, and the reading speaks it.
    w.RadioButtons[1]->click();
    w.close();
    EXPECT_EQ(rig.window->readingState().dateFormatType.load(), 2);
    rig.window->ui.Chk_prompt->setChecked(false);
    rig.window->ui.SB_jexu->click();
    ASSERT_TRUE(rig.waitIdle());
    // The time in the chosen format, said as a Chinese listener expects.
    EXPECT_EQ(rig.engine.texts(), QStringList{"今天十點零五分零三秒是。"});
    EXPECT_EQ(rig.memo()->toPlainText(), QStringLiteral("今天%Date%是。"));
}

TEST(ReadingCommands, StoredFormatOutsideTheTableIsSpokenLiterallyUntilTheWindowCloses) {
    WindowRig rig("[Speaker]\r\nDatetimetype=9\r\n");
    rig.type(QStringLiteral("%Date%。"));
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), QStringList{"%Date%。"});

    ui::Tfdateformat& w = rig.window->dateController().dateWindow();
    rig.window->ui.SB_time->click();
    EXPECT_TRUE(w.RadioButtons[0]->isChecked());
    EXPECT_TRUE(w.Label2->text().isEmpty());
    EXPECT_EQ(rig.window->readingState().dateFormatType.load(), 9);
    w.BitBtn3->click();
    EXPECT_EQ(rig.window->readingState().dateFormatType.load(), 1);
}

TEST(ReadingCommands, StoredVolumeEqualToTheBarsOwnPositionIsNotSentUntilTheBarMoves) {
    WindowRig rig("[Speaker]\r\nVolume=95\r\nSpeaker=5\r\n");
    auto& ui = rig.window->ui;
    EXPECT_EQ(ui.TrackBar1->value(), 95);
    EXPECT_EQ(ui.StaticText9->text(), "95");
    EXPECT_EQ(rig.engine.volume(), 100);  // the engine keeps its own volume
    ui.TrackBar1->setValue(60);
    EXPECT_EQ(rig.engine.volume(), 60);
    // A stored voice index past the list selects nothing: every reading command warns.
    EXPECT_EQ(ui.flatComboBox1->currentIndex(), -1);
    rig.type(QStringLiteral("一。"));
    ui.SB_repeat1->click();
    EXPECT_EQ(rig.dialogs.shown, QStringList{"warning:請選擇語音引擎!"});
}

TEST(PromptTone, TheResourceIsAThreeSecondChimeThatFadesOut) {
    Q_INIT_RESOURCE(resources);
    QFile f(QStringLiteral(":/prompt_wav"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const auto pcm = reading::decodeWav(f.readAll());
    ASSERT_TRUE(pcm.has_value());
    EXPECT_EQ(pcm->rate, 16000);
    EXPECT_EQ(pcm->channels, 1);
    EXPECT_EQ(pcm->frames(), 48000);
    auto rms = [&](int from, int to) {
        double sum = 0;
        for (int i = from; i < to; ++i) sum += double(pcm->samples[size_t(i)]) * pcm->samples[size_t(i)];
        return 20 * std::log10(std::sqrt(sum / (to - from)) / 32768.0);
    };
    EXPECT_GT(rms(0, 16000), -25.0);      // clearly heard
    EXPECT_LT(rms(47680, 48000), -60.0);  // ends in silence, without a click
    int peak = 0;
    for (auto s : pcm->samples) peak = std::max(peak, std::abs(int(s)));
    EXPECT_LT(peak, 30000);  // never clips

    EXPECT_FALSE(reading::decodeWav(QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16)).has_value());
    EXPECT_FALSE(reading::decodeWav(QByteArray()).has_value());
}

TEST(PromptTone, ReadingStartsAfterTheLeadInWhileTheWindowStaysResponsive) {
    std::atomic<float> loudest{0};
    audio::AudioEngine audio(audio::makeNullOutput(false));
    ASSERT_TRUE(audio.start());
    audio.setTap([&](const float* s, std::size_t frames) {
        for (std::size_t i = 0; i < frames * 2; ++i)
            if (std::abs(s[i]) > loudest) loudest = std::abs(s[i]);
    });
    WindowRig rig({}, false);
    openWithAudio(rig, audio);
    rig.type(QStringLiteral("一。"));

    QElapsedTimer clock;
    clock.start();
    rig.window->ui.SB_play->click();
    EXPECT_LT(clock.elapsed(), 500);  // the click returns at once
    EXPECT_TRUE(commands(rig).startPending());
    EXPECT_TRUE(controlsDisabled(rig));
    bool otherEventRan = false;
    QTimer::singleShot(100, [&] { otherEventRan = true; });
    ASSERT_TRUE(waitFor([&] { return !rig.engine.texts().isEmpty(); }, 6000));
    EXPECT_GE(clock.elapsed(), 2290);
    EXPECT_TRUE(otherEventRan);
    EXPECT_GT(loudest.load(), 0.2f);
    ASSERT_TRUE(rig.waitIdle());
    audio.setTap(nullptr);
}

TEST(PromptTone, StopDuringTheLeadInCancelsTheStartAndTheTone) {
    audio::AudioEngine audio(audio::makeNullOutput(true));
    ASSERT_TRUE(audio.start());
    WindowRig rig({}, false);
    openWithAudio(rig, audio);
    rig.type(QStringLiteral("一。"));
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(commands(rig).startPending());
    EXPECT_FALSE(audio.isIdle(audio::Channel::Effects));
    rig.window->ui.SB_stop->click();
    EXPECT_FALSE(commands(rig).startPending());
    EXPECT_TRUE(audio.isIdle(audio::Channel::Effects));
    EXPECT_TRUE(controlsEnabled(rig));
    EXPECT_FALSE(rig.window->runner().busy());
    EXPECT_TRUE(rig.engine.texts().isEmpty());
}

TEST(PromptTone, UntickedStartsAtOnce) {
    audio::AudioEngine audio(audio::makeNullOutput(true));
    ASSERT_TRUE(audio.start());
    WindowRig rig("[System]\r\nPrompt_tone=0\r\n", false);
    openWithAudio(rig, audio);
    rig.type(QStringLiteral("一。"));
    rig.window->ui.SB_play->click();
    EXPECT_FALSE(commands(rig).startPending());
    EXPECT_TRUE(audio.isIdle(audio::Channel::Effects));
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), QStringList{"一。"});
}
