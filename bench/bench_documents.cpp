// Documents at novel size: opening a 20 MB Big5 file until the editor has drawn it, finding
// the last occurrence in 20 MB from the top, replacing 10,000 occurrences in 5 MB.
#include "document/find_text.h"
#include "store/app_paths.h"
#include "store/tdm.h"
#include "support/fakes.h"
#include "text/big5.h"
#include "ui/dialogs.h"
#include "ui/memo_port.h"
#include "ui/tf_speaker.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCursor>
#include <chrono>
#include <cstdio>

using namespace sayvell;
using Steady = std::chrono::steady_clock;

namespace {

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

double msSince(Steady::time_point t) { return std::chrono::duration<double, std::milli>(Steady::now() - t).count(); }

// Clauses of Chinese with marks and a line break now and then, about `bytes` bytes of Big5.
QString novel(int bytes) {
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

void settle(ui::Tf_speaker& w) {
    QCoreApplication::processEvents();
    w.ui.Memo1->viewport()->grab();  // draws the visible page
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    store::setAppDirForTesting(dir.path());
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
    QFile::setPermissions(dir.filePath("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
    auto dm = store::TDM::open(dir.filePath("draft.dat"));
    if (!dm) return 1;
    testing::FakeClock clock;
    testing::FakeSpeechEngine engine;
    BenchDialogs dialogs;
    ui::Tf_speaker w(ui::Services{engine, *dm, dialogs, clock});
    w.resize(1200, 800);
    w.show();
    settle(w);

    // 1. Open 20 MB of Big5.
    {
        const QString path = dir.filePath("novel.txt");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        QString text = novel(20 * 1000 * 1000);
        text.replace(u'\n', QStringLiteral("\r\n"));
        f.write(text::toBig5(text));
        f.close();
        dialogs.openAnswer = path;
        const auto start = Steady::now();
        w.SB_openClick();
        const double loaded = msSince(start);
        settle(w);
        const double shown = msSince(start);
        std::printf("open 20 MB Big5 (%lld bytes): loaded %.0f ms, drawn %.0f ms (goal <= 1000 ms)\n",
                    static_cast<long long>(QFileInfo(path).size()), loaded, shown);
    }

    // 2. Find the last occurrence of 20 MB from the top.
    {
        QString text = novel(20 * 1000 * 1000);
        text.insert(text.size() - 10, QStringLiteral("目標詞"));
        w.ui.Memo1->setPlainText(text);
        settle(w);
        w.ui.Memo1->moveCursor(QTextCursor::Start);
        w.ui.Fedit->setText(QStringLiteral("目標詞"));
        auto start = Steady::now();
        w.SpeedButton2Click();
        settle(w);
        const double viaWindow = msSince(start);
        const bool found = w.ui.Memo1->textCursor().selectedText() == QStringLiteral("目標詞");
        start = Steady::now();
        const int at = document::findDownward(w.memoPort().bytes(), 0, QStringLiteral("目標詞"), false, false);
        const double pure = msSince(start);
        start = Steady::now();
        const int whole = document::findDownward(w.memoPort().bytes(), 0, QStringLiteral("目標詞"), true, true);
        const double pureWhole = msSince(start);
        std::printf("find last in 20 MB from the top: %.0f ms through the window (%s), search alone %.0f ms "
                    "(at byte %d), whole entry %.0f ms (%d) (goal <= 200 ms)\n",
                    viaWindow, found ? "selected" : "NOT FOUND", pure, at, pureWhole, whole);
    }

    // 3. Replace following, 10,000 occurrences in 5 MB.
    {
        const QString filler = novel(5 * 1000 * 1000);
        QString text;
        const qsizetype step = filler.size() / 10000;
        for (int i = 0; i < 10000; ++i) {
            text += QStringView(filler).mid(i * step, step);
            text += QStringLiteral("needle");
        }
        w.ui.Memo1->setPlainText(text);
        settle(w);
        w.ui.Memo1->moveCursor(QTextCursor::Start);
        w.ui.Fedit->setText(QStringLiteral("needle"));
        w.ui.Redit->setText(QStringLiteral("針"));
        const auto start = Steady::now();
        w.SpeedButton4Click();
        settle(w);
        const double ms = msSince(start);
        const QString after = w.ui.Memo1->toPlainText();
        std::printf("replace following 10,000 in %.1f MB: %.0f ms, %lld left, message %s (goal <= 1000 ms)\n",
                    text::byteLength(text) / 1e6, ms, static_cast<long long>(after.count(QStringLiteral("needle"))),
                    qPrintable(dialogs.lastMessage));
        const auto undoStart = Steady::now();
        w.ui.Memo1->undo();
        settle(w);
        std::printf("  one undo takes it all back in %.0f ms: %s\n", msSince(undoStart),
                    w.ui.Memo1->toPlainText().count(QStringLiteral("needle")) == 10000 ? "yes" : "NO");
    }
    store::setAppDirForTesting(QString());
    return 0;
}
