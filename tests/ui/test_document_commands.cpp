// The main window's document commands on fakes: what the user is asked and told, what ends up
// in the editor, on disk, in the history and in setinfo.ini.
#include "support/files.h"
#include "ui/window_rig.h"

#include "document/word_convert.h"
#include "text/big5.h"
#include "unit/zip_writer.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTextDocument>

using namespace sayvell;
using sayvell::testing::readAll;
using sayvell::testing::WindowRig;
using sayvell::testing::writeAll;

namespace {

const QString kAskSave = QStringLiteral("confirm:文章已被修改，要保存嗎？");

QString editorText(WindowRig& rig) { return rig.memo()->toPlainText(); }
bool modified(WindowRig& rig) { return rig.memo()->document()->isModified(); }

// The tool button pressed as a user presses it; true when the text then shows as saved.
bool pressSave(WindowRig& rig) {
    rig.window->ui.SB_save->click();
    return !modified(rig);
}
QString panel2(WindowRig& rig) { return rig.window->ui.statusPanel[2]->text(); }

void openThroughDialog(WindowRig& rig, const QString& path) {
    rig.dialogs.openAnswer = path;
    rig.window->ui.N11->trigger();
}

QStringList historyFiles(WindowRig& rig) {
    QStringList out;
    for (const auto& row : rig.dm->Q_history.rows()) out << row.filename;
    return out;
}

void selectHistoryLine(WindowRig& rig, const QString& path) {
    const auto items = rig.window->ui.ListBox1->findItems(path, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    rig.window->ui.ListBox1->setCurrentItem(items.first());
}

// A 64 KiB file system of its own, for a disk that fills up; skipped where mounting is not
// allowed.
class TinyDisk {
public:
    TinyDisk() { mounted_ = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", dir_.path()}) == 0; }
    ~TinyDisk() {
        if (mounted_) QProcess::execute("umount", {dir_.path()});
    }
    bool mounted() const { return mounted_; }
    bool makeReadOnly() const { return QProcess::execute("mount", {"-o", "remount,ro", dir_.path()}) == 0; }
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

}  // namespace

// ---- New, open, save, save as ------------------------------------------------------------

TEST(DocumentFiles, OpenReadsBig5FromTheExecutablesFolderAndRecordsTheHistory) {
    WindowRig rig;
    const QString file = rig.path("公告.TXT");
    writeAll(file, text::toBig5(QStringLiteral("歡迎光臨，\r\n本店今日特價。")));
    rig.type(QStringLiteral("舊的"));
    openThroughDialog(rig, file);
    // Asked to save first; the answer No loses the old text as the user chose.
    EXPECT_EQ(rig.dialogs.shown, (QStringList{kAskSave, "open:打開"}));
    EXPECT_EQ(rig.dialogs.openFolder, rig.dir.path());
    EXPECT_EQ(rig.dialogs.openFilter, QStringLiteral("文本文件(*.txt);;Word文件(*.doc *.docx *.odt *.rtf)"));
    EXPECT_EQ(editorText(rig), QStringLiteral("歡迎光臨，\n本店今日特價。"));
    EXPECT_FALSE(modified(rig));
    EXPECT_EQ(rig.memo()->textCursor().position(), 0);
    EXPECT_EQ(rig.window->currentFile(), file);
    EXPECT_EQ(panel2(rig), file);
    EXPECT_EQ(historyFiles(rig), QStringList{file});
    EXPECT_EQ(rig.window->ui.ListBox1->count(), 0);  // the list shows it from the next start
}

TEST(DocumentFiles, SavingTheOpenedFileGivesBackItsBytesInItsEncoding) {
    WindowRig rig;
    const QByteArray big5 = text::toBig5(QStringLiteral("第一行\r\n\r\nline 3 ，最後\r\n"));
    const QByteArray utf8 = QStringLiteral("UTF-8 文字 ü\nsecond\n").toUtf8();
    for (const QByteArray& bytes : {big5, utf8}) {
        writeAll(rig.path("doc.txt"), bytes);
        openThroughDialog(rig, rig.path("doc.txt"));
        rig.memo()->insertPlainText("x");
        rig.memo()->undo();
        ASSERT_TRUE(modified(rig));
        EXPECT_TRUE(pressSave(rig));
        EXPECT_EQ(readAll(rig.path("doc.txt")), bytes);
        EXPECT_FALSE(modified(rig));
    }
    // A character Big5 cannot hold: asked once, then kept as UTF-8 with a byte-order mark.
    writeAll(rig.path("doc.txt"), big5);
    openThroughDialog(rig, rig.path("doc.txt"));
    rig.dialogs.shown.clear();
    rig.memo()->moveCursor(QTextCursor::End);
    rig.memo()->insertPlainText(QStringLiteral("😀"));
    rig.dialogs.confirmAnswers = {true};
    EXPECT_TRUE(pressSave(rig));
    ASSERT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_TRUE(rig.dialogs.shown[0].startsWith("confirm:文章中有 Big5 無法表示的字元"));
    EXPECT_EQ(readAll(rig.path("doc.txt")),
              "\xEF\xBB\xBF" + QStringLiteral("第一行\r\n\r\nline 3 ，最後\r\n😀").toUtf8());
    EXPECT_TRUE(pressSave(rig));
    EXPECT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_EQ(rig.window->documents().session().format().encoding, document::Encoding::Utf8Bom);
}

TEST(DocumentFiles, SaveOfAnUntitledTextAsksEachTimeAndForAnExistingFile) {
    WindowRig rig;
    rig.type(QStringLiteral("公告"));
    rig.dialogs.saveAnswer = rig.path("notes");
    EXPECT_TRUE(pressSave(rig));
    EXPECT_EQ(readAll(rig.path("notes.txt")), text::toBig5(QStringLiteral("公告")));
    EXPECT_TRUE(rig.window->currentFile().isEmpty());
    EXPECT_TRUE(panel2(rig).isEmpty());
    // The next save asks for a name again; the file now exists, and No keeps it.
    rig.type(QStringLiteral("改了"));
    rig.dialogs.shown.clear();
    EXPECT_FALSE(pressSave(rig));
    EXPECT_EQ(rig.dialogs.shown,
              (QStringList{"save:保存", "confirm:該文件: " + rig.path("notes.txt") + " 已存在，要覆蓋它嗎？"}));
    EXPECT_EQ(readAll(rig.path("notes.txt")), text::toBig5(QStringLiteral("公告")));
    EXPECT_TRUE(modified(rig));
    // A name that already ends in .TXT gets no second extension.
    rig.dialogs.saveAnswer = rig.path("upper.TXT");
    EXPECT_TRUE(pressSave(rig));
    EXPECT_EQ(readAll(rig.path("upper.TXT")), text::toBig5(QStringLiteral("改了")));
    EXPECT_FALSE(QFile::exists(rig.path("upper.TXT.txt")));
}

TEST(DocumentFiles, NewForgetsTheFileAndAfterYesKeepsTheSavedTextUntilTheNextNew) {
    WindowRig rig;
    writeAll(rig.path("a.txt"), "aaa");
    openThroughDialog(rig, rig.path("a.txt"));
    rig.window->ui.N35->trigger();
    EXPECT_TRUE(editorText(rig).isEmpty());
    EXPECT_TRUE(rig.window->currentFile().isEmpty());
    EXPECT_TRUE(panel2(rig).isEmpty());
    rig.dialogs.shown.clear();
    rig.type("unsaved");
    rig.dialogs.confirmAnswer = true;
    rig.dialogs.saveAnswer = rig.path("b");
    rig.window->ui.N35->trigger();
    EXPECT_EQ(editorText(rig), QStringLiteral("unsaved"));
    EXPECT_EQ(readAll(rig.path("b.txt")), QByteArray("unsaved"));
    rig.window->ui.N35->trigger();
    EXPECT_TRUE(editorText(rig).isEmpty());
    EXPECT_EQ(rig.dialogs.shown, (QStringList{kAskSave, "save:保存"}));
    // While a reading runs, New does nothing.
    rig.type("reading");
    rig.window->readingState().readingActive = true;
    rig.window->ui.N35->trigger();
    EXPECT_EQ(editorText(rig), QStringLiteral("reading"));
    rig.window->readingState().readingActive = false;
}

TEST(DocumentFiles, SaveAsWritesTheNameAsGivenAndLeavesTheCurrentFile) {
    WindowRig rig;
    writeAll(rig.path("cur.txt"), "current");
    openThroughDialog(rig, rig.path("cur.txt"));
    rig.type("changed");
    rig.dialogs.saveAnswer = rig.path("copy.text");
    rig.window->ui.N21->trigger();
    EXPECT_EQ(readAll(rig.path("copy.text")), QByteArray("changed"));
    EXPECT_EQ(rig.window->currentFile(), rig.path("cur.txt"));
    EXPECT_EQ(readAll(rig.path("cur.txt")), QByteArray("current"));
    EXPECT_FALSE(modified(rig));
    // An existing file is replaced only after a Yes; a word-processor file never.
    rig.dialogs.shown.clear();
    rig.window->ui.N21->trigger();
    EXPECT_EQ(rig.dialogs.shown.last(), "confirm:該文件: " + rig.path("copy.text") + " 已存在，要覆蓋它嗎？");
    writeAll(rig.path("report.docx"), "PK-binary");
    rig.dialogs.saveAnswer = rig.path("report.docx");
    rig.dialogs.confirmAnswer = true;
    rig.window->ui.N21->trigger();
    EXPECT_TRUE(rig.dialogs.shown.last().startsWith("warning:"));
    EXPECT_EQ(readAll(rig.path("report.docx")), QByteArray("PK-binary"));
}

TEST(DocumentFiles, WordProcessorFilesAreConvertedAndNeverOverwritten) {
    WindowRig rig;
    const QByteArray docx = sayvell::testing::makeDocx(
        QStringLiteral("<w:p><w:r><w:t>第一段</w:t></w:r></w:p><w:p><w:r><w:t>第二段</w:t></w:r></w:p>"));
    writeAll(rig.path("報告.docx"), docx);
    writeAll(rig.path("note.odt"), sayvell::testing::makeOdt(QStringLiteral("<text:p>開放文件</text:p>")));
    openThroughDialog(rig, rig.path("note.odt"));
    EXPECT_EQ(editorText(rig), QStringLiteral("開放文件"));
    openThroughDialog(rig, rig.path("報告.docx"));
    EXPECT_EQ(editorText(rig), QStringLiteral("第一段\n第二段"));
    EXPECT_FALSE(modified(rig));
    EXPECT_EQ(rig.window->currentFile(), rig.path("報告.docx"));
    EXPECT_EQ(panel2(rig), rig.path("報告.docx"));
    EXPECT_EQ(historyFiles(rig), (QStringList{rig.path("note.odt"), rig.path("報告.docx")}));
    // Save asks for a name, as for an untitled text; the .docx is left as it was.
    rig.dialogs.shown.clear();
    rig.dialogs.saveAnswer = rig.path("報告");
    EXPECT_TRUE(pressSave(rig));
    EXPECT_EQ(rig.dialogs.shown, QStringList{"save:保存"});
    EXPECT_EQ(readAll(rig.path("報告.txt")), text::toBig5(QStringLiteral("第一段\r\n第二段")));
    EXPECT_EQ(readAll(rig.path("報告.docx")), docx);
    EXPECT_EQ(QDir(rig.dir.path()).entryList({"*.rtf", "*.tmp"}, QDir::Files), QStringList{});
}

TEST(DocumentFiles, AFailedOpenTellsTheUserAndKeepsTheText) {
    WindowRig rig;
    QTemporaryDir noTools;
    rig.window->setDocumentConverter(std::make_shared<document::SystemConverter>(QStringList{noTools.path()}));
    rig.type(QStringLiteral("重要的文字"));
    rig.dialogs.confirmAnswer = false;
    // A .rtf with no converter on the machine, then a damaged .docx.
    writeAll(rig.path("letter.rtf"), "{\\rtf1 hello}");
    writeAll(rig.path("broken.docx"), "PK\x03\x04 truncated");
    for (const QString& name : {QStringLiteral("letter.rtf"), QStringLiteral("broken.docx")}) {
        rig.dialogs.shown.clear();
        openThroughDialog(rig, rig.path(name));
        EXPECT_EQ(rig.dialogs.shown.last(), "plain:" + rig.path(name) + " 可能已打開");
        EXPECT_EQ(editorText(rig), QStringLiteral("重要的文字"));
        EXPECT_TRUE(modified(rig));
        EXPECT_TRUE(rig.window->currentFile().isEmpty());
    }
    // A text file that vanished or cannot be read (here: a folder).
    QDir(rig.dir.path()).mkdir("folder.txt");
    for (const QString& name : {QStringLiteral("vanished.txt"), QStringLiteral("folder.txt")}) {
        rig.dialogs.shown.clear();
        openThroughDialog(rig, rig.path(name));
        EXPECT_TRUE(rig.dialogs.shown.last().startsWith("error:無法打開文件: " + rig.path(name)));
        EXPECT_EQ(editorText(rig), QStringLiteral("重要的文字"));
    }
    EXPECT_TRUE(historyFiles(rig).isEmpty());
}

TEST(DocumentFiles, OpeningAfterASaveThatDidNotHappenKeepsTheText) {
    WindowRig rig;
    writeAll(rig.path("other.txt"), "other");
    rig.type(QStringLiteral("還沒保存的文字"));
    rig.dialogs.confirmAnswer = true;  // "save it", then the save dialog is cancelled
    rig.dialogs.saveAnswer.clear();
    openThroughDialog(rig, rig.path("other.txt"));
    EXPECT_EQ(editorText(rig), QStringLiteral("還沒保存的文字"));
    EXPECT_TRUE(modified(rig));
    rig.dm->Q_history.recordOpen(rig.path("other.txt"));
    rig.window->ui.ListBox1->addItem(rig.path("other.txt"));
    selectHistoryLine(rig, rig.path("other.txt"));
    rig.window->ui.O1->trigger();
    EXPECT_EQ(editorText(rig), QStringLiteral("還沒保存的文字"));
}

TEST(DocumentFiles, ABinaryFileOpensAndIsNotSilentlyChangedOnSave) {
    WindowRig rig;
    const QByteArray binary("MZ\0\0\xFF\xFE\x01 text\r\nmore\0", 19);
    writeAll(rig.path("data.txt"), binary);
    openThroughDialog(rig, rig.path("data.txt"));
    EXPECT_TRUE(editorText(rig).contains(QStringLiteral(" text\nmore")));
    EXPECT_TRUE(editorText(rig).contains(QChar(0)));
    rig.type(editorText(rig) + "!");
    rig.dialogs.shown.clear();
    EXPECT_FALSE(pressSave(rig));  // asked, and No keeps the file
    ASSERT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_TRUE(rig.dialogs.shown[0].startsWith("confirm:此文件含有不是文字的位元組"));
    EXPECT_EQ(readAll(rig.path("data.txt")), binary);
    EXPECT_TRUE(modified(rig));
}

TEST(DocumentFiles, AFullOrReadOnlyDiskKeepsTheTextTheOldFileAndTellsTheUser) {
    TinyDisk disk;
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
    WindowRig rig;
    writeAll(disk.path("small.txt"), "old text");
    openThroughDialog(rig, disk.path("small.txt"));
    rig.type(QString(100000, u'x'));
    rig.dialogs.shown.clear();
    EXPECT_FALSE(pressSave(rig));
    ASSERT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_TRUE(rig.dialogs.shown[0].startsWith("error:無法保存文件: " + disk.path("small.txt")));
    EXPECT_EQ(readAll(disk.path("small.txt")), QByteArray("old text"));
    EXPECT_TRUE(modified(rig));
    EXPECT_EQ(editorText(rig).size(), 100000);
    // The exit sequence keeps such a text open instead of losing it.
    rig.dialogs.confirmAnswer = true;
    rig.window->ui.N_exit->trigger();
    EXPECT_EQ(rig.exitCode, -1);
    EXPECT_EQ(QDir(QFileInfo(disk.path("small.txt")).path()).entryList(QDir::Files), QStringList{"small.txt"});

    // A read-only disk: the same.
    ASSERT_TRUE(disk.makeReadOnly());
    rig.type("short");
    rig.dialogs.shown.clear();
    EXPECT_FALSE(pressSave(rig));
    ASSERT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_TRUE(rig.dialogs.shown[0].startsWith("error:無法保存文件: "));
    EXPECT_EQ(readAll(disk.path("small.txt")), QByteArray("old text"));
    EXPECT_TRUE(modified(rig));
}

// ---- History list ---------------------------------------------------------------------------

TEST(DocumentHistory, ListedMostRecentFirstOnceAFileIsOpenedTwiceAndReopened) {
    WindowRig rig;
    QDateTime now(QDate(2024, 5, 1), QTime(8, 0));
    rig.dm->setClock([&now] { return now; });
    writeAll(rig.path("a.txt"), "A");
    writeAll(rig.path("b.txt"), "B");
    openThroughDialog(rig, rig.path("a.txt"));
    now = now.addSecs(60);
    openThroughDialog(rig, rig.path("b.txt"));
    now = now.addSecs(60);
    openThroughDialog(rig, rig.path("a.txt"));
    EXPECT_EQ(historyFiles(rig), (QStringList{rig.path("a.txt"), rig.path("b.txt")}));  // one row each

    // After a restart the list holds a.txt (opened last) first.
    rig.window.reset();
    rig.dm.reset();
    rig.open();
    QListWidget* list = rig.window->ui.ListBox1;
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), rig.path("a.txt"));
    EXPECT_EQ(list->item(1)->text(), rig.path("b.txt"));

    // Reopen b.txt: loaded, current, shown, its date renewed.
    rig.dm->setClock([] { return QDateTime(QDate(2030, 1, 1), QTime(0, 0)); });
    selectHistoryLine(rig, rig.path("b.txt"));
    rig.window->ListBox1Click();
    EXPECT_EQ(list->toolTip(), rig.path("b.txt"));
    rig.window->ui.O1->trigger();
    EXPECT_EQ(editorText(rig), QStringLiteral("B"));
    EXPECT_FALSE(modified(rig));
    EXPECT_EQ(rig.window->currentFile(), rig.path("b.txt"));
    EXPECT_EQ(panel2(rig), rig.path("b.txt"));
    const auto rows = rig.dm->Q_history.rows();
    const auto it =
        std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.filename == rig.path("b.txt"); });
    ASSERT_NE(it, rows.end());
    EXPECT_TRUE(it->opendate.startsWith("2030-01-01"));
}

TEST(DocumentHistory, AMissingFileWarnsAndDeleteRemovesTheLineAndTheRow) {
    WindowRig rig;
    writeAll(rig.path("gone.txt"), "soon gone");
    writeAll(rig.path("cur.txt"), "current");
    openThroughDialog(rig, rig.path("gone.txt"));
    openThroughDialog(rig, rig.path("cur.txt"));
    QFile::remove(rig.path("gone.txt"));
    rig.window.reset();
    rig.dm.reset();
    rig.open();
    openThroughDialog(rig, rig.path("cur.txt"));
    rig.type("edited");
    rig.dialogs.shown.clear();

    // Nothing selected: nothing happens.
    rig.window->ui.ListBox1->clearSelection();
    rig.window->ui.O1->trigger();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty());

    selectHistoryLine(rig, rig.path("gone.txt"));
    rig.window->ui.O1->trigger();
    EXPECT_EQ(rig.dialogs.shown, (QStringList{kAskSave, "warning:文件不存存!"}));
    EXPECT_EQ(editorText(rig), QStringLiteral("edited"));
    // A later Save still goes to the file the text came from.
    EXPECT_EQ(rig.window->currentFile(), rig.path("cur.txt"));
    EXPECT_EQ(rig.window->ui.ListBox1->count(), 2);

    rig.window->ui.D2->trigger();
    EXPECT_EQ(rig.window->ui.ListBox1->count(), 1);
    EXPECT_EQ(historyFiles(rig), QStringList{rig.path("cur.txt")});
    EXPECT_EQ(rig.window->currentFile(), rig.path("cur.txt"));
    EXPECT_EQ(editorText(rig), QStringLiteral("edited"));

    // While a reading runs, a reopen does nothing.
    selectHistoryLine(rig, rig.path("cur.txt"));
    rig.window->readingState().readingActive = true;
    rig.window->ui.O1->trigger();
    EXPECT_EQ(editorText(rig), QStringLiteral("edited"));
    rig.window->readingState().readingActive = false;
}

// ---- Find and replace ------------------------------------------------------------------------
