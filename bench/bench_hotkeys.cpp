// Global keys on a private X server: from `xdotool key` to the command taking effect.
//  - F11 during a reading: until the stop command has run (the reading no longer active).
//  - F7 while idle: until the first piece is handed to the speech engine (prompt tone off).
// Times include starting xdotool, which is measured alone as well.
#include "bench_window.h"
#include "platform/private_servers.h"
#include "reading/reading_state.h"
#include "reading/tts.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace sayvell;

namespace {

const int kRounds = qEnvironmentVariableIntValue("BENCH_ROUNDS") > 0 ? qEnvironmentVariableIntValue("BENCH_ROUNDS")
                                                                     : 20;

template <typename Done>
double untilDone(const QString& keyName, Done done) {
    QProcess key;
    QElapsedTimer t;
    t.start();
    key.start(QStringLiteral("xdotool"), {QStringLiteral("key"), keyName});
    while (!done() && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    key.waitForFinished(5000);
    return ms;
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-40s median %6.2f ms   max %6.2f ms   (%zu rounds)\n", what, ms[ms.size() / 2], ms.back(), ms.size());
}

bool waitUntil(const std::function<bool()>& cond) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > 5000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    testing::PrivateXServer x;
    if (!x.start()) {
        std::fprintf(stderr, "bench_hotkeys: needs Xvfb\n");
        return 1;
    }
    qputenv("DISPLAY", x.display().toUtf8());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    int code = 0;
    {
        QApplication app(argc, argv);
        testing::FakeSpeechEngine engine;
        bench::BenchWindow bw(engine);
        ui::Tf_speaker& w = *bw.window;
        w.ui.Memo1->setPlainText(QStringLiteral("甲。乙。丙。"));
        w.ui.Chk_prompt->setChecked(false);

        std::vector<double> xdotoolAlone, stop, start;
        for (int i = 0; i < kRounds; ++i) {
            QElapsedTimer t;
            t.start();
            QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("shift")});
            xdotoolAlone.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        for (int i = 0; i < kRounds && code == 0; ++i) {
            const size_t before = engine.spoken().size();
            engine.hold();
            w.SB_topClick();
            w.ui.SB_play->click();
            if (!waitUntil([&] { return engine.spoken().size() > before; })) code = 1;
            stop.push_back(untilDone(QStringLiteral("F11"), [&] { return !w.readingState().readingActive; }));
            engine.release();
            if (!waitUntil([&] { return !w.runner().busy(); })) code = 1;

            const size_t idle = engine.spoken().size();
            start.push_back(untilDone(QStringLiteral("F7"), [&] { return engine.spoken().size() > idle; }));
            if (!waitUntil([&] { return !w.runner().busy(); })) code = 1;
        }
        if (code == 0) {
            report("xdotool key (nothing grabbed)", xdotoolAlone);
            report("F11 to stop taking effect", stop);
            report("F7 to first piece spoken (prompt off)", start);
        } else {
            std::fprintf(stderr, "bench_hotkeys: a key did not take effect within 5 s\n");
        }
    }
    x.stop();
    return code;
}
