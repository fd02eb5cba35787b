// Click on "當前位置朗讀" (prompt tone off) to the first sound in the sound server's monitor,
// with the real speech engine and the real sound system. Run under tests/support/with_pulse.sh.
#include "audio/audio_engine.h"
#include "reading/clock.h"
#include "reading/espeak_engine.h"
#include "reading/tts.h"
#include "store/app_paths.h"
#include "store/tdm.h"
#include "support/sound_capture.h"
#include "ui/common/dialogs.h"
#include "ui/shell/tf_speaker.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCursor>
#include <algorithm>
#include <cstdio>

using namespace sayvell;
using Steady = std::chrono::steady_clock;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!sayvell::testing::pulseAvailable()) {
        std::fprintf(stderr, "needs the private PulseAudio: tests/support/with_pulse.sh %s\n", argv[0]);
        return 1;
    }
    QTemporaryDir dir;
    store::setAppDirForTesting(dir.path());
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
    QFile::setPermissions(dir.filePath("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
    QFile ini(dir.filePath("setinfo.ini"));
    if (!ini.open(QIODevice::WriteOnly)) return 1;
    ini.write("[System]\nPrompt_tone=0\n");
    ini.close();
    auto dm = store::TDM::open(dir.filePath("draft.dat"));
    audio::AudioEngine audioEngine(audio::makePulseOutput(QStringLiteral("Sayvell")));
    if (!dm || !audioEngine.start()) return 1;
    reading::EspeakEngine speech(audioEngine);
    reading::SystemClock clock;
    ui::WidgetDialogs dialogs;
    ui::Tf_speaker w(ui::Services{speech, *dm, dialogs, clock, &audioEngine});
    w.completeStart();
    w.ui.Memo1->setPlainText(QStringLiteral("歡迎光臨，"));

    std::vector<double> latencies;
    for (int i = 0; i < 8; ++i) {
        sayvell::testing::MonitorRecorder recorder;
        if (!recorder.start()) return 1;
        recorder.waitForSamples(sayvell::testing::MonitorRecorder::kRate / 2, 2000);
        w.ui.Memo1->moveCursor(QTextCursor::Start);
        const auto click = Steady::now();
        w.SB_playClick();
        while (w.runner().busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        if (!recorder.recordUntil(sayvell::testing::burstsHeard(1, -45.0, 150))) continue;
        const auto samples = recorder.stop();
        const auto bursts = sayvell::testing::findBursts(samples, sayvell::testing::MonitorRecorder::kRate, -45.0, 150);
        if (bursts.empty()) continue;
        const auto onset = recorder.firstSampleTime() +
                           std::chrono::microseconds(static_cast<long long>(bursts.front().startMs * 1000));
        latencies.push_back(std::chrono::duration<double, std::milli>(onset - click).count());
    }
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty()) return 1;
    std::printf(
        "click to first sound in the monitor: median %.1f ms, best %.1f ms, worst %.1f ms over %zu runs (goal <= 40 "
        "ms)\n",
        latencies[latencies.size() / 2], latencies.front(), latencies.back(), latencies.size());
    store::setAppDirForTesting(QString());
    return 0;
}
