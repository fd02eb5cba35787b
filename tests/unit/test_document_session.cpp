// The document rules without a window: what new, open, reopen and save keep when something
// goes wrong, and where a converted text is saved.
#include "document/document_session.h"
#include "document/word_convert.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace sayvell::document {
namespace {

struct Editor : DocumentEditor {
    QString content;
    bool modified = false;
    QString text() const override { return content; }
    void setText(const QString& t) override {
        content = t;
        modified = false;
    }
    bool isModified() const override { return modified; }
    void setModified(bool m) override { modified = m; }
};

struct Prompter : DocumentPrompter {
    QStringList shown;
    QList<bool> answers;  // confirm answers in turn; then No
    QString openAnswer, saveAnswer;
    bool putOff = false;  // questions that may be put off are (Escape)
    bool confirm(const QString& t) override {
        shown << "confirm:" + t;
        return !answers.isEmpty() && answers.takeFirst();
    }
    std::optional<bool> ask(const QString& t) override {
        if (!putOff) return confirm(t);
        shown << "ask:" + t;
        return std::nullopt;
    }
    void warning(const QString& t) override { shown << "warning:" + t; }
    void information(const QString& t) override { shown << "information:" + t; }
    void error(const QString& t) override { shown << "error:" + t.section(u'\n', 0, 0); }
    void message(const QString& t) override { shown << "plain:" + t; }
    QString openName(const QString&, const QString&) override { return openAnswer; }
    QString saveName(const QString& caption, const QString&) override {
        shown << "save:" + caption;
        return saveAnswer;
    }
};

struct Converter : DocumentConverter {
    bool convert(const QString&, QString* text, QString*) override {
        *text = QStringLiteral("轉換的文字");
        return true;
    }
};

struct Session : ::testing::Test {
    QTemporaryDir dir;
    Editor editor;
    Prompter prompter;
    DocumentSession session{editor, prompter};
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(Session, AFileThatCannotBeReadNeverCostsTheTextBeingEdited) {
    write("a.txt", "first");
    prompter.openAnswer = path("a.txt");
    ASSERT_EQ(session.open(), path("a.txt"));
    editor.content = QStringLiteral("changed");
    editor.modified = true;

    // Reopen a vanished file: told, nothing changes. The user declined to save first.
    EXPECT_FALSE(session.reopen(path("gone.txt")));
    EXPECT_EQ(prompter.shown.last(), "warning:" + kMissingFile);
    // Open something that cannot be read as a file (a folder with a text's name).
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.txt"));
    prompter.openAnswer = path("folder.txt");
    EXPECT_TRUE(session.open().isEmpty());
    EXPECT_TRUE(prompter.shown.last().startsWith("error:"));
    EXPECT_EQ(editor.content, QStringLiteral("changed"));
    EXPECT_TRUE(editor.modified);
    EXPECT_EQ(session.currentFile(), path("a.txt"));
}

TEST_F(Session, NewKeepsAChangedTextWhoseSaveDidNotHappen) {
    editor.content = QStringLiteral("draft");
    editor.modified = true;
    prompter.answers = {true};  // yes, save it; then the save dialog is cancelled
    EXPECT_FALSE(session.newDocument());
    EXPECT_EQ(editor.content, QStringLiteral("draft"));
    EXPECT_TRUE(editor.modified);
    // Saved this time: the text stays on screen until the next New.
    prompter.answers = {true};
    prompter.saveAnswer = path("draft");
    EXPECT_FALSE(session.newDocument());
    EXPECT_FALSE(editor.modified);
    EXPECT_TRUE(QFile::exists(path("draft.txt")));
    EXPECT_TRUE(session.newDocument());
    EXPECT_TRUE(editor.content.isEmpty());
}

TEST_F(Session, PuttingOffTheSaveQuestionChangesNothing) {
    write("other.txt", "other");
    editor.content = QStringLiteral("draft");
    editor.modified = true;
    prompter.putOff = true;
    prompter.openAnswer = path("other.txt");
    EXPECT_FALSE(session.newDocument());
    EXPECT_TRUE(session.open().isEmpty());
    EXPECT_FALSE(session.reopen(path("other.txt")));
    EXPECT_FALSE(session.settleChangedText());
    EXPECT_EQ(prompter.shown, QStringList(4, "ask:" + kSaveChanged));
    EXPECT_EQ(editor.content, QStringLiteral("draft"));
    EXPECT_TRUE(editor.modified);
    EXPECT_TRUE(session.currentFile().isEmpty());
}

TEST_F(Session, AConvertedTextIsSavedThroughTheDialogAndNeverIntoItsSource) {
    write("letter.docx", "PK-not-really");
    session.setConverter(std::make_shared<Converter>());
    prompter.openAnswer = path("letter.docx");
    ASSERT_EQ(session.open(), path("letter.docx"));
    EXPECT_TRUE(session.converted());
    prompter.saveAnswer = path("letter.txt");
    EXPECT_TRUE(session.save());
    EXPECT_TRUE(prompter.shown.contains(QStringLiteral("save:保存")));
    QFile source(path("letter.docx"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(source.readAll(), "PK-not-really");
    // Save As onto a word-processor file is refused.
    prompter.saveAnswer = path("letter.docx");
    EXPECT_FALSE(session.saveAs());
    EXPECT_TRUE(prompter.shown.last().startsWith("warning:"));
}

TEST_F(Session, ATextBig5CannotHoldIsSavedAsUtf8OnlyWhenTheUserSaysSoAndAFailedSaveKeepsItChanged) {
    prompter.saveAnswer = path("emoji.txt");
    editor.content = QStringLiteral("笑😀");
    editor.modified = true;
    EXPECT_FALSE(session.save());  // No: nothing written, the text stays changed
    EXPECT_EQ(prompter.shown.last(), "confirm:" + kSaveAsUtf8.arg("Big5", path("emoji.txt")));
    EXPECT_FALSE(QFile::exists(path("emoji.txt")));
    EXPECT_TRUE(editor.modified);
    EXPECT_EQ(session.format().encoding, Encoding::Big5);
    prompter.answers = {true};
    ASSERT_TRUE(session.save());
    EXPECT_EQ(session.format().encoding, Encoding::Utf8Bom);
    QFile f(path("emoji.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "\xEF\xBB\xBF" + QStringLiteral("笑😀").toUtf8());

    prompter.saveAnswer = path("no/such/folder/x.txt");
    editor.modified = true;
    EXPECT_FALSE(session.save());
    EXPECT_TRUE(editor.modified);
    EXPECT_TRUE(prompter.shown.last().startsWith("error:"));
}

}  // namespace
}  // namespace sayvell::document
