// A day of use in minutes: 10,000 readings one after the other through the real speech engine
// into the unpaced null output. The resident memory of the last 1,000 passes must stay within
// 5 % of the first 1,000, and open files and threads must not grow. Then a 20 MB novel (or
// --novel MB) is read from the top to its end.
//   bench_soak [--passes N] [--novel MB] [--read 0]
#include "audio/audio_engine.h"
#include "audio/audio_output.h"
#include "bench_window.h"
#include "reading/espeak_engine.h"
#include "ui/common/memo_port.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QToolButton>

#include <chrono>
#include <cstdio>
#include <unistd.h>

using namespace sayvell;
using Steady = std::chrono::steady_clock;

namespace {

long residentKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}
int entries(const char* dir) {
    return int(QDir(QString::fromLatin1(dir)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

bool readToEnd(ui::Tf_speaker& w, int limitSeconds) {
    const auto deadline = Steady::now() + std::chrono::seconds(limitSeconds);
    while (!w.ui.SB_play->isEnabled() || w.runner().busy()) {
        if (Steady::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

int argValue(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], name) == 0) return QByteArray(argv[i + 1]).toInt();
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // 0 skips the loop; otherwise at least 2000, so the first and last 1000 do not overlap.
    int passes = argValue(argc, argv, "--passes", 10000);
    if (passes > 0) passes = std::max(2000, passes);
    const int novelMb = argValue(argc, argv, "--novel", 20);
    const bool readNovel = argValue(argc, argv, "--read", 1) != 0;  // --read 0: only the typing

    audio::AudioEngine audio(audio::makeNullOutput(false));
    if (!audio.start()) {
        std::fprintf(stderr, "the null output did not start\n");
        return 1;
    }
    reading::EspeakEngine speech(audio);
    if (!speech.ok()) {
        std::fprintf(stderr, "espeak-ng: %s\n", qPrintable(speech.errorText()));
        return 1;
    }
    bench::BenchWindow bw(speech);
    ui::Tf_speaker& w = *bw.window;
    w.ui.Chk_prompt->setChecked(false);
    w.ui.Memo1->setPlainText(QStringLiteral("歡迎光臨，今日特價：蘋果每斤二十元。營業時間到晚上九點！"));

    bool ok = true;
    if (passes > 0) {
        std::vector<long> rss;
        rss.reserve(size_t(passes));
        int filesAt1000 = 0, threadsAt1000 = 0, failed = 0;
        const auto t0 = Steady::now();
        for (int i = 0; i < passes; ++i) {
            w.ui.Memo1->moveCursor(QTextCursor::Start);
            w.ui.SB_play->click();
            if (!readToEnd(w, 30)) ++failed;
            rss.push_back(residentKb());
            if ((i + 1) % 1000 == 0) {
                std::printf("  %d passes, %.1f MB resident, %d files, %d threads\n", i + 1, rss.back() / 1024.0,
                            entries("/proc/self/fd"), entries("/proc/self/task"));
                std::fflush(stdout);
            }
            if (i == 999) {
                filesAt1000 = entries("/proc/self/fd");
                threadsAt1000 = entries("/proc/self/task");
            }
        }
        const double seconds = std::chrono::duration<double>(Steady::now() - t0).count();
        auto mean = [&](size_t from, size_t n) {
            double s = 0;
            for (size_t i = from; i < from + n; ++i) s += double(rss[i]);
            return s / double(n);
        };
        const double first = mean(0, 1000), last = mean(rss.size() - 1000, 1000);
        const int filesEnd = entries("/proc/self/fd"), threadsEnd = entries("/proc/self/task");
        const double growth = 100.0 * (last - first) / first;
        std::printf("soak: %d passes in %.0f s (%.2f ms a pass), %d did not end in time\n", passes, seconds,
                    1000.0 * seconds / passes, failed);
        std::printf("resident memory: first 1000 passes %.1f MB, last 1000 %.1f MB (%+.2f %%, goal within 5 %%)\n",
                    first / 1024, last / 1024, growth);
        std::printf("open files: %d after 1000 passes, %d at the end; threads: %d and %d\n", filesAt1000, filesEnd,
                    threadsAt1000, threadsEnd);
        ok = failed == 0 && std::abs(growth) <= 5.0 && filesEnd <= filesAt1000 && threadsEnd <= threadsAt1000;
    }

    if (novelMb > 0) {
        w.ui.Memo1->setPlainText(bench::novel(novelMb * 1000 * 1000));
        const int bytes = w.memoPort().bytes().byteLength();
        // Typing in the novel while its recovery record is written: the longest keystroke
        // (with the events it causes) and the longest stall of the event loop.
        QCoreApplication::processEvents();
        double slowestKey = 0, slowestLoop = 0;
        const auto typingStart = Steady::now();
        for (int burst = 0; burst < 4; ++burst) {
            for (int k = 0; k < 40; ++k) {
                const auto k0 = Steady::now();
                w.ui.Memo1->insertPlainText(QStringLiteral("字"));
                QCoreApplication::processEvents();
                slowestKey =
                    std::max(slowestKey, std::chrono::duration<double, std::milli>(Steady::now() - k0).count());
                const auto pauseEnd = Steady::now() + std::chrono::milliseconds(k == 39 ? 2600 : 30);
                while (Steady::now() < pauseEnd) {
                    const auto l0 = Steady::now();
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                    slowestLoop =
                        std::max(slowestLoop, std::chrono::duration<double, std::milli>(Steady::now() - l0).count());
                }
            }
        }
        std::printf(
            "typing in %.1f MB: slowest keystroke %.1f ms, longest event-loop stall %.1f ms over %.0f s "
            "(records written meanwhile)\n",
            bytes / 1e6, slowestKey, slowestLoop, std::chrono::duration<double>(Steady::now() - typingStart).count());
        if (!readNovel) {
            audio.stop();
            return ok ? 0 : 1;
        }
        w.ui.Memo1->moveCursor(QTextCursor::Start);
        const auto n0 = Steady::now();
        w.ui.SB_play->click();
        const bool ended = readToEnd(w, 6 * 3600);
        const double s = std::chrono::duration<double>(Steady::now() - n0).count();
        const int caret = w.memoPort().bytes().byteOfPos(w.ui.Memo1->textCursor().selectionEnd());
        std::printf("novel: %.1f MB read from the top in %.0f s; %s, caret at byte %d of %d; memory %.1f MB\n",
                    bytes / 1e6, s, ended ? "ended" : "DID NOT END", caret, bytes, residentKb() / 1024.0);
        ok = ok && ended && caret >= bytes - 2;
    }
    audio.stop();
    std::printf("%s\n", ok ? "soak: PASS" : "soak: FAIL");
    return ok ? 0 : 1;
}
