// The main window on the real speech engine and the real sound system: what is heard, and
// what is selected while it is heard.
#include "audio/audio_engine.h"
#include "reading/espeak_engine.h"
#include "store/app_paths.h"
#include "store/tdm.h"
#include "support/sound_capture.h"
#include "ui/common/memo_port.h"
#include "ui/shell/tf_speaker.h"
#include "ui/window_rig.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace sayvell;
using namespace sayvell::testing;
using Steady = std::chrono::steady_clock;

namespace {

struct SelectionSample {
    Steady::time_point at;
    int start;
    int length;
};

}  // namespace

TEST(ReadingSound, TwoPiecesAreHeardAsTwoBurstsEachSelectedWhileItSounds) {
    if (!pulseAvailable()) GTEST_SKIP() << "no private PulseAudio (run under tests/support/with_pulse.sh)";
    QTemporaryDir dir;
    store::setAppDirForTesting(dir.path());
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
    // No prompt tone: reading starts at the click.
    {
        QFile ini(dir.filePath("setinfo.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[System]\nPrompt_tone=0\n");
    }
    auto dm = store::TDM::open(dir.filePath("draft.dat"));
    ASSERT_TRUE(dm);
    audio::AudioEngine audioEngine(audio::makePulseOutput(QStringLiteral("Sayvell test")));
    QString error;
    ASSERT_TRUE(audioEngine.start(&error)) << error.toStdString();
    reading::EspeakEngine speech(audioEngine);
    reading::SystemClock clock;
    RecordingDialogs dialogs;
    {
        ui::Tf_speaker window(ui::Services{speech, *dm, dialogs, clock, &audioEngine});
        window.completeStart();
        window.ui.Memo1->setPlainText(QStringLiteral("一，二。"));
        window.ui.Memo1->moveCursor(QTextCursor::Start);

        MonitorRecorder recorder;
        std::string recError;
        ASSERT_TRUE(recorder.start(&recError)) << recError;
        window.ui.SB_play->click();
        std::vector<SelectionSample> selections;
        const auto deadline = Steady::now() + std::chrono::seconds(20);
        while ((window.runner().busy() || !window.ui.SB_play->isEnabled()) && Steady::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            const QTextCursor c = window.ui.Memo1->textCursor();
            selections.push_back({Steady::now(), c.selectionStart(), c.selectionEnd() - c.selectionStart()});
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_FALSE(window.runner().busy()) << "reading did not end";
        ASSERT_TRUE(recorder.recordUntil(burstsHeard(2, -45.0, 150)));
        const std::vector<std::int16_t> samples = recorder.stop();
        const std::vector<Burst> bursts = findBursts(samples, MonitorRecorder::kRate, -45.0, 150);
        ASSERT_EQ(bursts.size(), 2u) << "expected two stretches of speech";
        EXPECT_TRUE(dialogs.shown.isEmpty());

        // Editor positions: "一，" is characters 0..2, "二。" 2..4.
        const std::pair<int, int> expected[] = {{0, 2}, {2, 2}};
        for (size_t b = 0; b < bursts.size(); ++b) {
            const auto from = recorder.firstSampleTime() +
                              std::chrono::microseconds(
                                  static_cast<long long>((bursts[b].startMs + 0.2 * bursts[b].lengthMs()) * 1000));
            const auto to = recorder.firstSampleTime() + std::chrono::microseconds(static_cast<long long>(
                                                             (bursts[b].endMs - 0.2 * bursts[b].lengthMs()) * 1000));
            int checked = 0;
            for (const SelectionSample& s : selections) {
                if (s.at < from || s.at > to) continue;
                ++checked;
                EXPECT_EQ(std::make_pair(s.start, s.length), expected[b]) << "burst " << b;
            }
            EXPECT_GT(checked, 0) << "no selection sample during burst " << b;
        }
    }
    store::setAppDirForTesting(QString());
}
