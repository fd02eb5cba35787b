// The find panel and the editor's look, driven through the window's own buttons and menus.
#include "ui/window_rig.h"

#include "text/big5.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTextDocument>

using namespace sayvell;
using sayvell::testing::WindowRig;

namespace {
QString editorText(WindowRig& rig) { return rig.memo()->toPlainText(); }
bool modified(WindowRig& rig) { return rig.memo()->document()->isModified(); }
}  // namespace

TEST(DocumentFind, ButtonsFindReplaceAndReplaceFollowingWithOneUndo) {
    WindowRig rig;
    auto& ui = rig.window->ui;
    rig.type(QStringLiteral("貓 cat, Cat 貓 CAT cat"));
    // Empty search box: nothing.
    rig.window->ui.SpeedButton2->click();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty());

    ui.Fedit->setText("cat");
    ui.CheckBox4->setChecked(true);
    rig.memo()->moveCursor(QTextCursor::End);
    rig.window->ui.SpeedButton2->click();
    EXPECT_FALSE(ui.CheckBox4->isChecked());  // acts once
    EXPECT_EQ(rig.memo()->textCursor().selectedText(), QStringLiteral("cat"));
    EXPECT_EQ(rig.memo()->textCursor().selectionStart(), 2);

    ui.Redit->setText("DOG");
    rig.window->ui.SpeedButton4->click();
    EXPECT_EQ(editorText(rig), QStringLiteral("貓 dog, dog 貓 dog dog"));
    EXPECT_EQ(rig.dialogs.shown, QStringList{QStringLiteral("plain:\"cat\" 沒有找到。")});
    EXPECT_FALSE(rig.window->find().replaceFollowing);
    EXPECT_TRUE(modified(rig));
    rig.window->ui.ZCtrlZ1->trigger();
    EXPECT_EQ(editorText(rig), QStringLiteral("貓 cat, Cat 貓 CAT cat"));

    // Case-sensitive and whole entries, upward from the end.
    ui.CheckBox2->setChecked(true);
    ui.CheckBox1->setChecked(true);
    ui.CheckBox3->setChecked(true);
    rig.memo()->moveCursor(QTextCursor::End);
    rig.window->ui.SpeedButton2->click();
    EXPECT_EQ(rig.memo()->textCursor().selectionStart(), 17);
    rig.window->ui.SpeedButton2->click();  // "cat," is not whole, "Cat" and "CAT" have capitals
    EXPECT_EQ(rig.dialogs.shown.last(), QStringLiteral("plain:\"cat\"沒有找到。"));
    EXPECT_EQ(rig.memo()->textCursor().selectionStart(), 17);
}

TEST(DocumentFind, PositionsStayRightInALongBig5TextWithEmoji) {
    WindowRig rig;
    QString text;
    for (int i = 0; i < 3000; ++i) text += QStringLiteral("第%1行，😀 目標%2\n").arg(i).arg(i % 7);
    rig.type(text);
    rig.window->ui.Fedit->setText(QStringLiteral("目標6"));
    rig.window->ui.Redit->setText(QStringLiteral("ok"));
    rig.window->ui.SpeedButton4->click();
    QString expected = text;
    expected.replace(QStringLiteral("目標6"), QStringLiteral("ok"));
    EXPECT_EQ(editorText(rig), expected);
    EXPECT_EQ(rig.window->memoPort().bytes().text(), rig.memo()->document()->toRawText());
}

// ---- Appearance and clipboard ------------------------------------------------------------

TEST(DocumentAppearance, FontAndColourAreSavedConfirmedOrCancelled) {
    WindowRig rig;
    // Cancelled: the file holds the editor's look as it is.
    rig.window->ui.N23->trigger();
    QString ini = rig.settings();
    EXPECT_TRUE(ini.contains("fontcolor=clWhite")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("fontsize=12"));
    EXPECT_TRUE(ini.contains("fontname=" + rig.memo()->font().family()));
    EXPECT_TRUE(ini.contains("FontStyle=[]"));

    QFont chosen(QStringLiteral("DejaVu Serif"), 20);
    chosen.setBold(true);
    chosen.setUnderline(true);
    rig.dialogs.fontAnswer = ui::FontChoice{chosen, QColor(0x12, 0x34, 0x56)};
    rig.window->ui.N23->trigger();
    ini = rig.settings();
    EXPECT_TRUE(ini.contains("fontcolor=$00563412")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("fontsize=20"));
    EXPECT_TRUE(ini.contains("fontname=DejaVu Serif"));
    EXPECT_TRUE(ini.contains("FontStyle=[fsBold,fsUnderline]"));
    EXPECT_EQ(rig.memo()->font().pointSize(), 20);
    EXPECT_EQ(rig.memo()->palette().color(QPalette::Text), QColor(0x12, 0x34, 0x56));

    rig.window->ui.N25->trigger();  // cancelled: teal stays and is written
    EXPECT_TRUE(rig.settings().contains("memocolor=clTeal"));
    rig.dialogs.colorAnswer = QColor(255, 255, 0);
    rig.window->ui.N25->trigger();
    EXPECT_TRUE(rig.settings().contains("memocolor=clYellow"));
    EXPECT_EQ(rig.memo()->palette().color(QPalette::Base), QColor(255, 255, 0));

    // The next start shows what was saved.
    rig.window.reset();
    rig.dm.reset();
    rig.open();
    EXPECT_EQ(rig.memo()->font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(rig.memo()->font().bold());
    EXPECT_EQ(rig.memo()->palette().color(QPalette::Base), QColor(255, 255, 0));
}

TEST(DocumentAppearance, AlignmentSelectsAllCarriesOneCheckMarkAndIsNotKept) {
    WindowRig rig;
    auto& ui = rig.window->ui;
    rig.type("centred text");
    rig.window->ui.N28->trigger();
    EXPECT_EQ(rig.memo()->document()->defaultTextOption().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(rig.memo()->textCursor().selectedText(), QStringLiteral("centred text"));
    EXPECT_FALSE(ui.N27->isChecked());
    EXPECT_TRUE(ui.N28->isChecked());
    EXPECT_FALSE(ui.N29->isChecked());
    rig.window->ui.N29->trigger();
    EXPECT_EQ(rig.memo()->document()->defaultTextOption().alignment(), Qt::AlignRight);
    EXPECT_FALSE(ui.N28->isChecked());
    rig.window.reset();
    rig.dm.reset();
    rig.open();
    EXPECT_TRUE(rig.window->ui.N27->isChecked());
    EXPECT_EQ(rig.memo()->document()->defaultTextOption().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

TEST(DocumentAppearance, ClipboardCommandsActOnTheEditorWhateverHasTheFocus) {
    WindowRig rig;
    auto& ui = rig.window->ui;
    rig.window->show();
    rig.type("alpha beta");
    ui.Fedit->setText("in the find box");
    ui.Fedit->selectAll();
    ui.Fedit->setFocus();
    QTextCursor c = rig.memo()->textCursor();
    c.setPosition(0);
    c.setPosition(5, QTextCursor::KeepAnchor);
    rig.memo()->setTextCursor(c);
    rig.window->ui.CCtrlC2->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("alpha"));
    ui.XCtrlX1->trigger();
    EXPECT_EQ(editorText(rig), QStringLiteral(" beta"));
    rig.memo()->moveCursor(QTextCursor::End);
    ui.VCtrlV1->trigger();
    EXPECT_EQ(editorText(rig), QStringLiteral(" betaalpha"));
    EXPECT_TRUE(modified(rig));
    ui.ZCtrlZ1->trigger();
    EXPECT_EQ(editorText(rig), QStringLiteral(" beta"));
    ui.N10->trigger();
    EXPECT_EQ(rig.memo()->textCursor().selectedText(), QStringLiteral(" beta"));
    EXPECT_EQ(ui.Fedit->text(), QStringLiteral("in the find box"));
}
