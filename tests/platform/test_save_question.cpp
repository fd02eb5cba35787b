// The question before a text goes to UTF-8, in a real message box on the private X server:
// Escape means "not now" and nothing is written; Yes writes the whole text as UTF-8.
#include "document/document_session.h"
#include "platform/message_box_answer.h"
#include "platform/x_client.h"
#include "store/app_paths.h"
#include "store/tdm.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/iconv_fixture.h"
#include "ui/common/dialogs.h"
#include "ui/document/documents_controller.h"
#include "ui/shell/tf_speaker.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

TEST(SaveQuestion, EscapeKeepsTheFileAndTheTextYesSavesAsUtf8) {
    if (!haveXTools()) GTEST_SKIP() << "needs Xvfb";
    QTemporaryDir dir;
    store::setAppDirForTesting(dir.path());
    QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
    QFile::setPermissions(dir.filePath("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
    auto dm = store::TDM::open(dir.filePath("draft.dat"));
    ASSERT_TRUE(dm);
    FakeClock clock;
    FakeSpeechEngine engine{nullptr, &clock};
    ui::WidgetDialogs dialogs;
    auto window = std::make_unique<ui::Tf_speaker>(ui::Services{engine, *dm, dialogs, clock});
    window->completeStart();
    dialogs.setParent(window.get());
    window->show();

    const QString path = dir.filePath("big5.txt");
    const QByteArray big5 = iconvBytes(QStringLiteral("歡迎光臨\r\n"), "BIG5");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(big5);
    }
    // The text of that file, in the editor as a reopen leaves it, then a character Big5 lacks.
    QPlainTextEdit* memo = window->ui.Memo1;
    memo->setPlainText(QStringLiteral("歡迎光臨\n"));
    window->documents().resume(path);
    memo->moveCursor(QTextCursor::End);
    memo->insertPlainText(QStringLiteral("简体"));
    const QString question = document::kSaveAsUtf8.arg("Big5", path);

    QString asked;
    whenAsked([&](QMessageBox* box) {
        asked = box->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    window->ui.N12->trigger();
    EXPECT_EQ(asked, question);
    EXPECT_EQ(readAll(path), big5);
    EXPECT_TRUE(memo->document()->isModified());
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("歡迎光臨\n简体"));

    asked.clear();
    whenAsked([&](QMessageBox* box) {
        asked = box->text();
        box->button(QMessageBox::Yes)->click();
    });
    window->ui.N12->trigger();
    EXPECT_EQ(asked, question);
    EXPECT_EQ(readAll(path), "\xEF\xBB\xBF" + QStringLiteral("歡迎光臨\r\n简体").toUtf8());
    EXPECT_FALSE(memo->document()->isModified());

    window.reset();
    store::setAppDirForTesting(QString());
}

}  // namespace
}  // namespace sayvell::testing
