// Start to window shown: the main window with its real services against a bare Qt window,
// each started as a fresh process the same way. Prints the median of several starts.
#include "audio/audio_engine.h"
#include "reading/clock.h"
#include "reading/espeak_engine.h"
#include "store/app_paths.h"
#include "store/tdm.h"
#include "ui/dialogs.h"
#include "ui/tf_speaker.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace sayvell;

namespace {

// Child: build the window, show it, and say so once the first frame has been processed.
int child(int argc, char** argv, bool full) {
    QApplication app(argc, argv);
    std::unique_ptr<store::TDM> dm;
    std::unique_ptr<audio::AudioEngine> audioEngine;
    std::unique_ptr<reading::EspeakEngine> speech;
    reading::SystemClock clock;
    ui::WidgetDialogs dialogs;
    std::unique_ptr<QMainWindow> window;
    if (full) {
        dm = store::TDM::open(store::databasePath());
        if (!dm) return 1;
        audioEngine = std::make_unique<audio::AudioEngine>(audio::makePulseOutput(QStringLiteral("Sayvell")));
        audioEngine->start();
        speech = std::make_unique<reading::EspeakEngine>(*audioEngine);
        window = std::make_unique<ui::Tf_speaker>(ui::Services{*speech, *dm, dialogs, clock, audioEngine.get()});
    } else {
        window = std::make_unique<QMainWindow>();
        window->setWindowTitle(QStringLiteral("Sayvell"));
    }
    window->showMaximized();
    QTimer::singleShot(0, [] {
        std::printf("shown\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);  // quit() would ask the window to close, which it refuses
    });
    return QApplication::exec();
}

double startOnce(const QString& exe, const QString& mode, const QString& dir) {
    QProcess p;
    p.setWorkingDirectory(dir);
    QElapsedTimer t;
    t.start();
    p.start(exe, {QStringLiteral("--child"), mode, dir});
    if (!p.waitForReadyRead(30000)) return -1;
    const double ms = t.nsecsElapsed() / 1e6;
    p.waitForFinished(30000);
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 4 && QByteArray(argv[1]) == "--child") {
        store::setAppDirForTesting(QString::fromLocal8Bit(argv[3]));
        return child(argc, argv, QByteArray(argv[2]) == "full");
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
    QFile::setPermissions(dir.filePath("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
    const QString exe = QCoreApplication::applicationFilePath();
    std::vector<double> bare, full;
    startOnce(exe, "bare", dir.path());  // warm the file cache
    startOnce(exe, "full", dir.path());
    for (int i = 0; i < 7; ++i) {
        bare.push_back(startOnce(exe, "bare", dir.path()));
        full.push_back(startOnce(exe, "full", dir.path()));
    }
    const double b = median(bare), f = median(full);
    std::printf("bare Qt window shown: %.0f ms (median of 7)\n", b);
    std::printf("Sayvell window shown: %.0f ms (median of 7)\n", f);
    std::printf("ratio: %.2f (goal <= 1.5)\n", f / b);
    return 0;
}
