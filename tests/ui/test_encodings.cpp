// Text files of the common Chinese encodings through the main window's file menu: what the
// editor and the status bar show, what is asked, and the bytes that end up on disk.
#include "support/files.h"
#include "ui/window_rig.h"

#include "support/iconv_fixture.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

#include <random>

using namespace sayvell;
using sayvell::testing::iconvBytes;
using sayvell::testing::readAll;
using sayvell::testing::WindowRig;
using sayvell::testing::writeAll;

namespace {

QString editorText(WindowRig& rig) { return rig.memo()->toPlainText(); }
bool modified(WindowRig& rig) { return rig.memo()->document()->isModified(); }
QString encodingPanel(WindowRig& rig) { return rig.window->ui.statusEncoding->text(); }

void openThroughDialog(WindowRig& rig, const QString& path) {
    rig.dialogs.openAnswer = path;
    rig.window->ui.N11->trigger();
}

QAction* reopenAs(WindowRig& rig, const QString& name) {
    for (QAction* a : rig.window->ui.M_reopenAs->actions())
        if (a->text() == name) return a;
    ADD_FAILURE() << "no item " << qPrintable(name);
    return rig.window->ui.M_reopenAs->menuAction();
}

// As the user types: the text counts as changed.
void append(WindowRig& rig, const QString& text) {
    rig.memo()->moveCursor(QTextCursor::End);
    rig.memo()->insertPlainText(text);
}

const QString kGbText = QStringLiteral("各位顾客您好，欢迎光临。\n今天所有商品八折优惠，会员再享九五折。");
const QString kBig5Text = QStringLiteral("各位顧客您好，歡迎光臨。\n今天所有商品八折優惠，會員再享九五折。");

}  // namespace

TEST(DocumentEncodings, EveryCommonEncodingOpensAsWrittenAndTheStatusBarNamesIt) {
    WindowRig rig;
    EXPECT_EQ(encodingPanel(rig), QString());
    EXPECT_FALSE(rig.window->ui.M_reopenAs->menuAction()->isEnabled());  // nothing to re-open yet
    const QString hk = QStringLiteral("香港銅鑼灣嘅茶餐廳，啲嘢食好正。");
    struct Case {
        QString text;
        QByteArray bytes;
        QString shown;
    };
    const Case cases[] = {
        {QStringLiteral("各位顾客您好，欢迎光临"), iconvBytes(QStringLiteral("各位顾客您好，欢迎光临"), "GBK"),
         "GB18030"},
        {kGbText, iconvBytes(kGbText, "GB18030"), "GB18030"},
        {kBig5Text, iconvBytes(kBig5Text, "BIG5"), "Big5"},
        {hk, iconvBytes(hk, "BIG5-HKSCS"), "Big5-HKSCS"},
        {kBig5Text, iconvBytes(kBig5Text, "UTF-8"), "UTF-8"},
        {kGbText, "\xFF\xFE" + iconvBytes(kGbText, "UTF-16LE"), "UTF-16LE"},
        {kBig5Text, "\xFE\xFF" + iconvBytes(kBig5Text, "UTF-16BE"), "UTF-16BE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.shown));
        writeAll(rig.path("notice.txt"), c.bytes);
        rig.dialogs.shown.clear();
        openThroughDialog(rig, rig.path("notice.txt"));
        EXPECT_EQ(rig.dialogs.shown, QStringList{"open:打開"});
        EXPECT_EQ(editorText(rig), c.text);
        EXPECT_EQ(encodingPanel(rig), c.shown);
        EXPECT_TRUE(rig.window->ui.M_reopenAs->menuAction()->isEnabled());
    }
    rig.window->ui.N35->trigger();
    EXPECT_EQ(encodingPanel(rig), QString());
}

TEST(DocumentEncodings, AGbkFileIsSavedBackByteForByteAndEditsStayGbk) {
    WindowRig rig;
    const QString path = rig.path("gbk.txt");
    const QByteArray gbk = iconvBytes(QStringLiteral("各位顾客您好，欢迎光临\n"), "GBK");
    writeAll(path, gbk);
    openThroughDialog(rig, path);
    append(rig, QStringLiteral("x"));
    rig.memo()->undo();
    ASSERT_TRUE(modified(rig));
    rig.window->ui.N12->trigger();
    EXPECT_EQ(readAll(path), gbk);
    EXPECT_FALSE(modified(rig));
    // Traditional characters are GB18030 too: no question, the file stays what it was.
    append(rig, QStringLiteral("謝謝"));
    rig.dialogs.shown.clear();
    rig.window->ui.N12->trigger();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty()) << qPrintable(rig.dialogs.shown.join('|'));
    EXPECT_EQ(readAll(path), iconvBytes(QStringLiteral("各位顾客您好，欢迎光临\n謝謝"), "GB18030"));
    EXPECT_EQ(encodingPanel(rig), "GB18030");
}

TEST(DocumentEncodings, ACharacterTheEncodingCannotHoldIsSavedAsUtf8OnlyWhenTheUserSaysSo) {
    WindowRig rig;
    const QString path = rig.path("big5.txt");
    const QByteArray big5 = iconvBytes(QStringLiteral("歡迎光臨\r\n"), "BIG5");
    writeAll(path, big5);
    openThroughDialog(rig, path);
    append(rig, QStringLiteral("简体"));  // not in Big5
    const QString question = "confirm:" + document::kSaveAsUtf8.arg("Big5", path);
    // No, or Escape, which a question box answers as No: nothing written, nothing lost.
    rig.dialogs.shown.clear();
    rig.dialogs.confirmAnswers = {false};
    rig.window->ui.N12->trigger();
    EXPECT_EQ(rig.dialogs.shown, QStringList{question});
    EXPECT_EQ(readAll(path), big5);
    EXPECT_TRUE(modified(rig));
    EXPECT_EQ(editorText(rig), QStringLiteral("歡迎光臨\n简体"));
    EXPECT_EQ(encodingPanel(rig), "Big5");
    // Yes: the whole text as UTF-8, and from then on without asking.
    rig.dialogs.shown.clear();
    rig.dialogs.confirmAnswers = {true};
    rig.window->ui.N12->trigger();
    EXPECT_EQ(rig.dialogs.shown, QStringList{question});
    EXPECT_EQ(readAll(path), "\xEF\xBB\xBF" + QStringLiteral("歡迎光臨\r\n简体").toUtf8());
    EXPECT_FALSE(modified(rig));
    EXPECT_EQ(encodingPanel(rig), "UTF-8 BOM");
    append(rig, QStringLiteral("！"));
    rig.dialogs.shown.clear();
    rig.window->ui.N12->trigger();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty());
    EXPECT_EQ(readAll(path), "\xEF\xBB\xBF" + QStringLiteral("歡迎光臨\r\n简体！").toUtf8());
}

TEST(DocumentEncodings, ReopenWithAChosenEncodingAsksBeforeGivingUpChanges) {
    WindowRig rig;
    // Short GBK that is valid Big5 as well: the detector cannot tell, Big5 is taken.
    const QString path = rig.path("short.txt");
    const QByteArray gbk = iconvBytes(QStringLiteral("您好"), "GBK");
    writeAll(path, gbk);
    openThroughDialog(rig, path);
    EXPECT_EQ(encodingPanel(rig), "Big5");
    EXPECT_NE(editorText(rig), QStringLiteral("您好"));
    rig.dialogs.shown.clear();
    reopenAs(rig, "GB18030")->trigger();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty());
    EXPECT_EQ(editorText(rig), QStringLiteral("您好"));
    EXPECT_EQ(encodingPanel(rig), "GB18030");
    EXPECT_EQ(rig.window->currentFile(), path);
    EXPECT_FALSE(modified(rig));

    // A changed text: No keeps it; Yes gives it up for the file read again.
    append(rig, QStringLiteral("，明天見"));
    const QString question = "confirm:" + document::kReopenDiscards;
    rig.dialogs.confirmAnswers = {false};
    reopenAs(rig, "Big5")->trigger();
    EXPECT_EQ(rig.dialogs.shown, QStringList{question});
    EXPECT_EQ(editorText(rig), QStringLiteral("您好，明天見"));
    EXPECT_TRUE(modified(rig));
    EXPECT_EQ(encodingPanel(rig), "GB18030");
    rig.dialogs.confirmAnswers = {true};
    reopenAs(rig, "GB18030")->trigger();
    EXPECT_EQ(editorText(rig), QStringLiteral("您好"));
    EXPECT_FALSE(modified(rig));
    rig.window->ui.N12->trigger();
    EXPECT_EQ(readAll(path), gbk);

    // The wrong choice is told, and saving asks before the shown U+FFFD replace any byte.
    rig.dialogs.shown.clear();
    reopenAs(rig, "UTF-8")->trigger();
    ASSERT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_EQ(rig.dialogs.shown[0], "warning:" + document::kUndecodable.arg(path, "UTF-8"));
    EXPECT_EQ(encodingPanel(rig), "UTF-8");
    append(rig, QStringLiteral("!"));
    rig.dialogs.confirmAnswers = {false};
    rig.window->ui.N12->trigger();
    EXPECT_EQ(readAll(path), gbk);
}

TEST(DocumentEncodings, RandomBytesOpenWithAWarningAndAreNotChangedBySaving) {
    WindowRig rig;
    std::mt19937 random(7);
    QByteArray noise(4096, Qt::Uninitialized);
    for (char& b : noise) b = static_cast<char>(random());
    const QString path = rig.path("noise.txt");
    writeAll(path, noise);
    openThroughDialog(rig, path);
    ASSERT_EQ(rig.dialogs.shown.size(), 2);
    EXPECT_EQ(rig.dialogs.shown[1], "warning:" + document::kUndecodable.arg(path, encodingPanel(rig)));
    append(rig, QStringLiteral("x"));
    rig.dialogs.shown.clear();
    rig.window->ui.N12->trigger();  // asked about the bytes that cannot come back; No
    EXPECT_EQ(rig.dialogs.shown.size(), 1);
    EXPECT_EQ(readAll(path), noise);
    EXPECT_TRUE(modified(rig));
}
