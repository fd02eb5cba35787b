// "預覽朗讀文字" from the editor's context menu: the pieces as a reading would speak them.
#include "ui/reading/preview/preview_window.h"
#include "ui/window_rig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace sayvell;
using sayvell::testing::waitFor;
using sayvell::testing::WindowRig;

namespace {

ui::PreviewWindow* openPreview(WindowRig& rig) {
    QAction* action = nullptr;
    for (QAction* a : rig.window->ui.memoMenu->actions())
        if (a->text().startsWith(QStringLiteral("預覽朗讀文字"))) action = a;
    if (!action) return nullptr;
    action->trigger();
    auto* preview = rig.window->findChild<ui::PreviewWindow*>();
    if (preview) {
        EXPECT_TRUE(waitFor([preview] { return !preview->busy(); }));
    }
    return preview;
}

QStringList column(ui::PreviewWindow* p, int c) {
    QStringList out;
    for (int r = 0; r < p->model().rowCount(); ++r) out << p->model().index(r, c).data().toString();
    return out;
}

// As the user does it: a click, then the double-click.
void doubleClick(ui::PreviewWindow* p, const QRect& cell) {
    QTest::mouseClick(p->grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(p->grid->viewport(), Qt::LeftButton, {}, cell.center());
}

}  // namespace

TEST(Preview, ListsThePiecesAsTheReadingSpeaksThemAndSelectsOneOnDoubleClick) {
    WindowRig rig;
    rig.window->ui.flatComboBox1->setCurrentIndex(0);  // the Mandarin voice
    rig.window->ui.Chk_prompt->setChecked(false);
    rig.type(QStringLiteral("營業到21:30，去銀行。"));
    ui::PreviewWindow* preview = openPreview(rig);
    ASSERT_TRUE(preview);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(preview->windowTitle(), QStringLiteral("預覽朗讀文字"));

    EXPECT_EQ(column(preview, ui::PreviewModel::Written),
              (QStringList{QStringLiteral("營業到21:30，"), QStringLiteral("去銀行。")}));
    const QStringList spoken = column(preview, ui::PreviewModel::Spoken);
    ASSERT_EQ(spoken.size(), 2);
    EXPECT_TRUE(spoken[0].contains(QStringLiteral("二十一點三十分"))) << spoken[0].toStdString();
    EXPECT_FALSE(spoken[0].contains(QStringLiteral("21")));
    EXPECT_TRUE(spoken[1].contains(QStringLiteral("yin2 hang2"))) << spoken[1].toStdString();
    EXPECT_EQ(column(preview, ui::PreviewModel::Pause), (QStringList{"250", "600"}));  // ，and 。
    EXPECT_EQ(preview->status->text(), QStringLiteral("共 2 段。"));

    // What the voice is then given is exactly what the preview listed.
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(waitFor([&] { return rig.engine.texts().size() >= 2; }));
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), spoken);

    const QRect cell = preview->grid->visualRect(preview->model().index(1, ui::PreviewModel::Spoken));
    doubleClick(preview, cell);
    EXPECT_EQ(rig.memo()->textCursor().selectedText(), QStringLiteral("去銀行。"));

    // From the caret, as a reading started there; the whole text on request.
    QTextCursor c = rig.memo()->textCursor();
    c.setPosition(int(QStringLiteral("營業到21:30，").size()));
    rig.memo()->setTextCursor(c);
    preview->refreshButton->click();
    ASSERT_TRUE(waitFor([preview] { return !preview->busy(); }));
    EXPECT_EQ(column(preview, ui::PreviewModel::Written), QStringList{QStringLiteral("去銀行。")});
    preview->fromTop->click();
    ASSERT_TRUE(waitFor([preview] { return !preview->busy(); }));
    EXPECT_EQ(preview->model().rowCount(), 2);

    // Rows of an older text select nothing and say why.
    rig.memo()->appendPlainText(QStringLiteral("再見。"));
    rig.memo()->moveCursor(QTextCursor::Start);
    doubleClick(preview, cell);
    EXPECT_FALSE(rig.memo()->textCursor().hasSelection());
    EXPECT_EQ(preview->status->text(), QStringLiteral("文字已修改，請先按「重新整理」。"));
}

TEST(Preview, ALongTextIsCappedAndItsRowsKeepTheirOffsets) {
    WindowRig rig;
    rig.window->ui.flatComboBox1->setCurrentIndex(0);
    // Blank stretches longer than a read window, line breaks and the delay symbol on the way.
    QString text = QString(1200, u' ') + QStringLiteral("第一段。\n※第二段，");
    for (int i = 0; i < ui::kPreviewMaxPieces; ++i) text += QStringLiteral("好。");
    rig.type(text);
    ui::PreviewWindow* preview = openPreview(rig);
    ASSERT_TRUE(preview);
    ASSERT_EQ(preview->model().rowCount(), ui::kPreviewMaxPieces);
    EXPECT_EQ(preview->status->text(), QStringLiteral("只列出前 %1 段。").arg(ui::kPreviewMaxPieces));

    const QStringList written = column(preview, ui::PreviewModel::Written);
    EXPECT_EQ(written[0].trimmed(), QStringLiteral("第一段。"));
    EXPECT_EQ(written[1], QStringLiteral("↵※第二段，"));
    EXPECT_FALSE(column(preview, ui::PreviewModel::Spoken)[1].contains(u'※'));
    EXPECT_TRUE(column(preview, ui::PreviewModel::Pause)[1].startsWith(QStringLiteral("250（朗讀前延時 ")));

    // A row far down still selects its own piece.
    const int last = ui::kPreviewMaxPieces - 1;
    preview->grid->scrollTo(preview->model().index(last, 0));
    const QRect cell = preview->grid->visualRect(preview->model().index(last, 0));
    doubleClick(preview, cell);
    const QTextCursor sel = rig.memo()->textCursor();
    EXPECT_EQ(sel.selectedText(), QStringLiteral("好。"));
    const int firstGood = int(text.size()) - 2 * ui::kPreviewMaxPieces;
    const int expectedStart = firstGood + 2 * (last - 2);
    EXPECT_EQ(sel.selectionStart(), expectedStart);
}
