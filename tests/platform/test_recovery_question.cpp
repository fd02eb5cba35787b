// The offer of a text kept from a crash, in a real message box on the private X server: only
// "no" throws the text away. Escape keeps it, and so does the program being ended (SIGTERM,
// as at a shutdown) while the question is up.
#include "platform/message_box_answer.h"
#include "platform/x_client.h"
#include "store/app_paths.h"
#include "store/recovery.h"
#include "store/tdm.h"
#include "support/fakes.h"
#include "ui/common/dialogs.h"
#include "ui/shell/tf_speaker.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

TEST(RecoveryQuestion, EscapeKeepsTheTextAndItsRecord) {
    if (!haveXTools()) GTEST_SKIP() << "needs Xvfb";
    QTemporaryDir dir;
    store::setAppDirForTesting(dir.path());
    const QString db = dir.filePath("draft.dat");
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), db);
    QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
    const QString kept = QStringLiteral("停電前未保存的廣告");
    ASSERT_TRUE(store::RecoveryStore::open(db)->save(store::RecoveryRecord{kept, {}, 0, QDateTime::currentDateTime()}));
    const auto recordText = [&] {
        auto s = store::RecoveryStore::open(db);
        auto r = s ? s->load() : std::nullopt;
        return r ? r->text : QString();
    };
    auto dm = store::TDM::open(db);
    ASSERT_TRUE(dm);
    FakeClock clock;
    FakeSpeechEngine engine{nullptr, &clock};
    ui::WidgetDialogs dialogs;

    // The text is in the editor, still to be saved, and its record stays.
    {
        ui::Tf_speaker window(ui::Services{engine, *dm, dialogs, clock});
        dialogs.setParent(&window);
        window.show();
        bool asked = false;
        whenAsked([&](QMessageBox* box) {
            asked = true;
            QTest::keyClick(box, Qt::Key_Escape);
        });
        window.completeStart();
        ASSERT_TRUE(waitFor([&] { return asked; }, 10000));
        QCoreApplication::processEvents();
        EXPECT_EQ(window.ui.Memo1->toPlainText(), kept);
        EXPECT_TRUE(window.ui.Memo1->document()->isModified());
        EXPECT_EQ(recordText(), kept);
        dialogs.setParent(nullptr);
    }

    store::setAppDirForTesting(QString());
}

// The program itself, as a shutdown ends it while the question waits for an answer.
TEST(RecoveryQuestion, TheProgramEndedWhileItIsAskedKeepsTheRecord) {
    if (!haveXTools() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    QTemporaryDir dir, runtime, home;
    const QString exe = dir.filePath("sayvell");
    ASSERT_TRUE(QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/sayvell"), exe));
    QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString db = dir.filePath("draft.dat");
    ASSERT_TRUE(QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), db));
    QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
    const QString kept = QStringLiteral("停電前未保存的廣告");
    ASSERT_TRUE(store::RecoveryStore::open(db)->save(store::RecoveryRecord{kept, {}, 0, QDateTime::currentDateTime()}));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    program.setProcessEnvironment(env);
    program.start(exe, {});
    ASSERT_TRUE(program.waitForStarted(5000));
    // The question is up: a second visible window of the program's name beside the main one.
    const auto shown = [] {
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--name"), QStringLiteral("^Sayvell$")});
        xdotool.waitForFinished(5000);
        return xdotool.readAllStandardOutput().trimmed().split('\n').size() >= 2;
    };
    ASSERT_TRUE(waitFor(shown, 20000)) << program.readAllStandardError().toStdString();
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 128 + 15);
    auto store = store::RecoveryStore::open(db);
    ASSERT_TRUE(store);
    const auto record = store->load();
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->text, kept);
}

}  // namespace
}  // namespace sayvell::testing
