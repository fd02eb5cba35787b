#pragma once
// The main window on fakes in a private folder, and novel-sized Chinese text: what the
// benchmarks that time the window's own work share.
#include "reading/tts.h"
#include "store/app_paths.h"
#include "store/tdm.h"
#include "support/fakes.h"
#include "text/byte_text.h"
#include "ui/common/dialogs.h"
#include "ui/shell/tf_speaker.h"

#include <QCoreApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <memory>

namespace sayvell::bench {

class BenchDialogs : public ui::Dialogs {
public:
    void warning(const QString& t) override { std::printf("  (warning: %s)\n", qPrintable(t)); }
    bool confirm(const QString&) override { return false; }
    void information(const QString&) override {}
    void error(const QString& t) override { std::printf("  (error: %s)\n", qPrintable(t)); }
    QString openFileName(const QString&, const QString&) override { return openAnswer; }
    QString saveFileName(const QString&, const QString&) override { return {}; }
    void message(const QString& t) override { lastMessage = t; }
    QString openAnswer;
    QString lastMessage;
};

struct BenchWindow {
    QTemporaryDir dir;
    testing::FakeClock clock;
    BenchDialogs dialogs;
    std::unique_ptr<store::TDM> dm;
    std::unique_ptr<ui::Tf_speaker> window;

    explicit BenchWindow(reading::SpeechEngine& engine) {
        store::setAppDirForTesting(dir.path());
        QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
        QFile::setPermissions(dir.filePath("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
        dm = store::TDM::open(dir.filePath("draft.dat"));
        if (!dm) {
            std::fprintf(stderr, "no draft.dat in %s\n", SAYVELL_BIN_DIR);
            std::exit(1);
        }
        window = std::make_unique<ui::Tf_speaker>(ui::Services{engine, *dm, dialogs, clock});
        window->completeStart();
        window->resize(1200, 800);
        window->show();
    }
    ~BenchWindow() {
        window.reset();
        store::setAppDirForTesting(QString());
    }
};

// Clauses of Chinese with marks and a line break now and then, about `bytes` bytes of Big5.
inline QString novel(int bytes) {
    const QString clause = QStringLiteral("春眠不覺曉處處聞啼鳥夜來風雨聲花落知多少，");
    const int clauseBytes = text::byteLength(clause);
    QString text;
    text.reserve(bytes / 2 + bytes / 40);
    for (int done = 0, i = 0; done < bytes; ++i) {
        text += clause;
        done += clauseBytes;
        if (i % 20 == 19) {
            text += u'\n';
            done += 2;
        }
    }
    return text;
}

using Steady = std::chrono::steady_clock;

inline double msSince(Steady::time_point t) {
    return std::chrono::duration<double, std::milli>(Steady::now() - t).count();
}

// Lets the window finish what a command queued, then draws the visible page.
inline void settle(ui::Tf_speaker& w) {
    QCoreApplication::processEvents();
    w.ui.Memo1->viewport()->grab();
}

}  // namespace sayvell::bench
