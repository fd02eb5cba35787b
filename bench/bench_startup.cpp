// Start to first frame: the program (everything main() does) against a bare Qt window,
// each started as a fresh process the same way. Prints the median of several starts.
#include "app/startup.h"
#include "store/app_paths.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

using namespace sayvell;

namespace {

// Says once, after the first paint of what it watches has gone out with its frame.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(std::function<void()> then) : then_(std::move(then)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && then_) QTimer::singleShot(0, std::exchange(then_, nullptr));
        return false;
    }

private:
    std::function<void()> then_;
};

// Child: the program itself, or a bare window, saying once the window's first frame has been
// drawn. The yardstick shows one line of Chinese in the editor's font, so it pays for the CJK
// font too; the plain one shows nothing.
int child(int argc, char** argv, const QByteArray& mode) {
    auto shown = [] {
        std::printf("shown\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);  // quit() would ask the window to close, which it refuses
    };
    if (mode == "full") return app::runSayvell(argc, argv, shown);
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Sayvell"));
    FirstPaint firstPaint(shown);
    window.installEventFilter(&firstPaint);
    if (mode == "chinese") {
        auto* line = new QLabel(QStringLiteral("歡迎光臨，本店今日全場八折。"));
        QFont font = line->font();
        font.setPointSize(12);
        line->setFont(font);
        window.setCentralWidget(line);
        window.removeEventFilter(&firstPaint);
        line->installEventFilter(&firstPaint);
    }
    window.showMaximized();
    return QApplication::exec();
}

double startOnce(const QString& exe, const QString& mode, const QString& dir) {
    QProcess p;
    p.setWorkingDirectory(dir);
    // A private runtime folder: the single-instance lock of a Sayvell already running here
    // must not refuse the measured start.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir);
    p.setProcessEnvironment(env);
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
        return child(argc, argv, QByteArray(argv[2]));
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
    QFile::setPermissions(dir.filePath("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
    const QString exe = QCoreApplication::applicationFilePath();
    // Starts of each kind, taken in turn: the median is steadier with more on a noisy machine.
    bool given = false;
    int runs = qEnvironmentVariableIntValue("SAYVELL_BENCH_STARTS", &given);
    if (!given || runs < 1) runs = 7;
    std::vector<double> bare, chinese, full;
    for (const char* mode : {"bare", "chinese", "full"}) startOnce(exe, mode, dir.path());  // warm the file cache
    for (int i = 0; i < runs; ++i) {
        bare.push_back(startOnce(exe, "bare", dir.path()));
        chinese.push_back(startOnce(exe, "chinese", dir.path()));
        full.push_back(startOnce(exe, "full", dir.path()));
    }
    const double b = median(bare), c = median(chinese), f = median(full);
    std::printf("bare Qt window shown: %.1f ms (median of %d)\n", b, runs);
    std::printf("Qt window with a line of Chinese shown: %.1f ms (median of %d)\n", c, runs);
    std::printf("Sayvell window shown: %.1f ms (median of %d)\n", f, runs);
    std::printf("ratio to the window with Chinese: %.2f (goal <= 1.5); to the bare window: %.2f\n", f / c, f / b);
    return 0;
}
