// The main window as the user first sees it: buttons, captions, menus, panels.
#include "ui/common/icons.h"
#include "ui/shell/main_window_ui.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRawFont>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using sayvell::ui::MainWindowUi;

struct Window {
    QMainWindow w;
    MainWindowUi ui;
    Window() {
        ui.setupUi(&w);
        w.show();
        QApplication::processEvents();
    }
};

// Captions of a menu's items; "-" for a separator.
QStringList items(const QMenu* m) {
    QStringList out;
    for (const QAction* a : m->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

TEST(Layout, WindowCaptionAndSize) {
    QMainWindow w;
    MainWindowUi ui;
    ui.setupUi(&w);
    EXPECT_EQ(w.windowTitle(), "Sayvell");
    EXPECT_EQ(w.size(), QSize(966, 640));
    EXPECT_FALSE(w.windowIcon().isNull());
}

TEST(Layout, ToolBarHasSeventeenButtonsInOrderWithTheirHints) {
    Window win;
    const QStringList hints{"新建",
                            "打開文件",
                            "保存",
                            "輸出WAV聲音文件",
                            "輸出帶音樂背景的WAV文件",
                            "從最面前始朗讀",
                            "當前位置朗讀",
                            "停止",
                            "全文循環朗讀",
                            "選擇范圍循環朗讀",
                            "移到文章最前面",
                            "移到文章最後面",
                            "系統設置",
                            "插入日期時間",
                            "定時任務",
                            "顯示或隱藏面板",
                            "退出"};
    const QStringList names{"SB_new",   "SB_open", "SB_save",     "SB_outwav", "SB_outwav2", "SB_jexu",
                            "SB_play",  "SB_stop", "SB_repeat1",  "SB_repeat", "SB_top",     "SB_bott",
                            "sb_delay", "SB_time", "SB_schedule", "SB_panel",  "SB_close"};
    const auto buttons = win.ui.toolButtons();
    ASSERT_EQ(buttons.size(), 17u);

    int lastX = -1;
    for (size_t i = 0; i < buttons.size(); ++i) {
        QToolButton* b = buttons[i];
        ASSERT_NE(b, nullptr) << i;
        SCOPED_TRACE(names[int(i)].toStdString());
        EXPECT_EQ(b->objectName(), names[int(i)]);
        EXPECT_EQ(b->toolTip(), hints[int(i)]);
        EXPECT_EQ(b->size(), QSize(31, 30));
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_TRUE(b->isVisible());
        EXPECT_TRUE(win.ui.ToolBar1->isAncestorOf(b));
        const int x = b->mapTo(&win.w, QPoint(0, 0)).x();
        EXPECT_GT(x, lastX) << "buttons out of left-to-right order";
        lastX = x;
    }
    // Nothing else on the bar looks like a button (its overflow arrow stays hidden).
    int visibleButtons = 0;
    for (QToolButton* b : win.ui.ToolBar1->findChildren<QToolButton*>()) visibleButtons += b->isVisible();
    EXPECT_EQ(visibleButtons, 17);

    EXPECT_TRUE(win.ui.Panel1->isAncestorOf(win.ui.ToolBar1));
    EXPECT_EQ(win.ui.Chk_prompt->text(), "提示音");
    EXPECT_TRUE(win.ui.Chk_prompt->isChecked());
    EXPECT_GT(win.ui.Chk_prompt->x(), win.ui.ToolBar1->x());
}

TEST(Layout, MainMenuCaptionsAreVerbatim) {
    Window win;
    QStringList titles;
    for (QAction* a : win.w.menuBar()->actions()) titles << a->text();
    EXPECT_EQ(titles, QStringList({"文件(&F)", "編輯(&E)", "設置(&S)", "幫助(&H)"}));

    auto captions = [](const QMenu* m) {
        QStringList out = items(m);
        out.removeAll(QStringLiteral("-"));
        return out;
    };
    EXPECT_EQ(captions(win.ui.M_file),
              QStringList({"新建  (&N)", "打開  (&O)", "保存  (&S)", "另存為(&A)", "以編碼重新開啟",
                           "輸出聲音文件 (&W)", "輸出選擇范圍 (&F)", "退出 (&C)"}));
    EXPECT_EQ(captions(win.ui.M_reopenAs),
              QStringList({"Big5", "Big5-HKSCS", "GB18030", "UTF-8", "UTF-16LE", "UTF-16BE"}));
    EXPECT_EQ(captions(win.ui.M_edit), QStringList({"复制 (&C)  Ctrl+C", "粘貼 (&V)  Ctrl+V", "剪切 (&X)  Ctrl+X",
                                                    "撤銷 (&Z)  Ctrl+Z", "全選 (&A)  Ctrl+A "}));
    EXPECT_EQ(captions(win.ui.M_settings), QStringList({"正文字体   (&F)", "正文背景色 (&B)", "左對齊    (&L)",
                                                        "居中       (&C)", "右對齊     (&R)", "系統設置"}));
    EXPECT_EQ(captions(win.ui.M_help), QStringList({"關于(&A)", "幫助(&H)"}));

    // Left alignment carries the only check mark at start.
    EXPECT_TRUE(win.ui.N27->isCheckable() && win.ui.N27->isChecked());
    EXPECT_TRUE(win.ui.N28->isCheckable() && !win.ui.N28->isChecked());
    EXPECT_TRUE(win.ui.N29->isCheckable() && !win.ui.N29->isChecked());
    win.ui.N28->trigger();
    EXPECT_FALSE(win.ui.N27->isChecked());
    EXPECT_TRUE(win.ui.N28->isChecked());

    // Key names live in the captions; a shortcut as well would be shown twice.
    for (QMenu* m : {win.ui.M_file, win.ui.M_edit, win.ui.M_settings, win.ui.M_help, win.ui.memoMenu})
        for (QAction* a : m->actions()) EXPECT_TRUE(a->shortcut().isEmpty()) << a->text().toStdString();
}

TEST(Layout, ContextMenusHoldTheirItemsInOrder) {
    Window win;
    EXPECT_EQ(items(win.ui.memoMenu),
              QStringList({"從此處朗讀    (&M)", "朗讀當前行    (&L)", "朗讀所選范圍  (&S)", "范圍循環朗讀  (&W)",
                           "全文循環朗讀  (&T)", "-", "記錄書簽位置    (&B)", "從上次位置朗讀(&R)", "-",
                           "复制 (&C)  Ctrl+C", "粘貼 (&V)  Ctrl+V", "全選 (&A)  Ctrl+A", "-", "插入延時符號  (&Y)"}));
    EXPECT_EQ(win.ui.Memo1->contextMenuPolicy(), Qt::CustomContextMenu);

    EXPECT_EQ(items(win.ui.PopupMenu7), QStringList({"打開(&O)", "刪除記錄 (&D)"}));
    EXPECT_EQ(win.ui.ListBox1->toolTip(), "雙擊或右鍵打開");
}

TEST(Layout, StatusBarPanelsHaveTheirWidths) {
    Window win;
    const int widths[4] = {100, 150, 400, 50};
    for (int i = 0; i < 4; ++i) {
        QLabel* p = win.ui.statusPanel[size_t(i)];
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->width(), widths[i]) << "panel " << i;
        EXPECT_TRUE(p->isVisible());
        EXPECT_EQ(p->parentWidget(), win.ui.StatusBar1);
    }
    EXPECT_EQ(win.w.statusBar(), win.ui.StatusBar1);
    // Left to right in index order.
    for (int i = 1; i < 4; ++i) EXPECT_GT(win.ui.statusPanel[size_t(i)]->x(), win.ui.statusPanel[size_t(i - 1)]->x());
    // The file's encoding beside its name.
    EXPECT_TRUE(win.ui.statusEncoding->isVisible());
    EXPECT_GT(win.ui.statusEncoding->x(), win.ui.statusPanel[2]->x());
    EXPECT_LT(win.ui.statusEncoding->x(), win.ui.statusPanel[3]->x());
}

TEST(Layout, LoopPanelRangesDefaultsAndClose) {
    Window win;
    auto& ui = win.ui;
    EXPECT_EQ(ui.Label3->text(), "循環次數");
    EXPECT_EQ(ui.Label4->text(), "間隔秒數");
    EXPECT_EQ(ui.SpinEdit1->minimum(), 1);
    EXPECT_EQ(ui.SpinEdit1->maximum(), 1000000);
    EXPECT_EQ(ui.SpinEdit1->value(), 2);
    EXPECT_EQ(ui.SpinEdit2->minimum(), 1);
    EXPECT_EQ(ui.SpinEdit2->maximum(), 10000000);
    EXPECT_EQ(ui.SpinEdit2->value(), 60);
    // Typing past the top stops at the top.
    ui.SpinEdit2->setValue(99999999);
    EXPECT_EQ(ui.SpinEdit2->value(), 10000000);
    EXPECT_EQ(ui.btn_ok->text(), "設為默認");
    EXPECT_EQ(ui.btn_close9->toolTip(), QStringLiteral("關閉"));

    // The loop panel sits under the editor, and its close button hides it.
    EXPECT_GE(ui.Panel9->y(), ui.Memo1->y() + ui.Memo1->height());
    ASSERT_TRUE(ui.Panel9->isVisible());
    ui.btn_close9->click();
    EXPECT_FALSE(ui.Panel9->isVisible());
}

TEST(Layout, RightPanelControls) {
    Window win;
    auto& ui = win.ui;
    EXPECT_EQ(ui.Panel2->width(), 170);
    EXPECT_GE(ui.Panel2->x(), ui.Memo1->x() + ui.Memo1->width());

    EXPECT_EQ(ui.GroupBox1->title(), "朗讀選項");
    EXPECT_EQ(ui.StaticText1->text(), "語音引擎:");
    EXPECT_FALSE(ui.flatComboBox1->isEditable());
    EXPECT_EQ(ui.flatComboBox1->currentIndex(), -1);
    EXPECT_EQ(ui.StaticText5->text(), "語速:");
    EXPECT_EQ(ui.TrackBar2->minimum(), -10);
    EXPECT_EQ(ui.TrackBar2->maximum(), 15);
    EXPECT_EQ(ui.TrackBar2->value(), 0);
    EXPECT_EQ(ui.StaticText6->text(), "0");
    EXPECT_EQ(ui.StaticText8->text(), "音量:");
    EXPECT_EQ(ui.TrackBar1->minimum(), 0);
    EXPECT_EQ(ui.TrackBar1->maximum(), 100);
    EXPECT_EQ(ui.TrackBar1->value(), 95);
    EXPECT_EQ(ui.StaticText9->text(), "95");

    EXPECT_EQ(ui.GroupBox3->title(), "歷史打開文件");
    EXPECT_EQ(ui.GroupBox2->title(), "MP3背景音樂播放");
    const std::pair<QToolButton*, const char*> music[] = {{ui.bj_play, "播放"},
                                                          {ui.bj_stop, "停止"},
                                                          {ui.bj_next, "下一首"},
                                                          {ui.bj_prev, "上一首"},
                                                          {ui.bj_ok, "選擇背景音樂目錄"}};
    for (const auto& [b, hint] : music) {
        EXPECT_EQ(b->toolTip(), QString::fromUtf8(hint));
        EXPECT_TRUE(b->isVisible());
    }
    EXPECT_EQ(ui.StaticText13->text(), "音樂音量:");
    EXPECT_EQ(ui.bj_v->toolTip(), "音量");
    EXPECT_EQ(ui.bj_v->value(), 40);
    EXPECT_EQ(ui.bj_v->maximum(), 100);
    EXPECT_EQ(ui.StaticText14->text(), "朗讀時音量:");
    EXPECT_EQ(ui.bj_v1->toolTip(), "朗讀時背景音量");
    EXPECT_EQ(ui.bj_v1->value(), 10);
    ASSERT_EQ(ui.ComBox1->count(), 2);
    EXPECT_EQ(ui.ComBox1->itemText(0), "順序播放");
    EXPECT_EQ(ui.ComBox1->itemText(1), "隨机播放");
    EXPECT_EQ(ui.ComBox1->currentIndex(), 0);
    EXPECT_EQ(ui.BJListBox1->toolTip(), "雙擊進行播放");
    EXPECT_TRUE(ui.RzLEDDisplay1->text().isEmpty());

    // Top to bottom: reading options, history, music, find panel.
    auto top = [&](QWidget* x) { return x->mapTo(ui.Panel2, QPoint(0, 0)).y(); };
    EXPECT_LT(top(ui.GroupBox1), top(ui.GroupBox3));
    EXPECT_LT(top(ui.GroupBox3), top(ui.GroupBox2));
    EXPECT_LT(top(ui.GroupBox2), top(ui.Panel5));
}

TEST(Layout, FindPanelFoldsAndUnfoldsWithItsImages) {
    Window win;
    auto& ui = win.ui;
    EXPECT_EQ(ui.Panel6->toolTip(), "查找与替換");
    EXPECT_EQ(ui.Panel6->height(), 17);

    // Folded at start: only the header, the unfold image showing.
    EXPECT_TRUE(ui.findPanelFolded());
    EXPECT_FALSE(ui.Panel7->isVisible());
    EXPECT_TRUE(ui.Image1->isVisible());
    EXPECT_FALSE(ui.Image2->isVisible());
    EXPECT_EQ(ui.Panel5->height(), 17);
    const int musicListHeight = ui.BJListBox1->height();

    ui.Image1->click();
    QApplication::processEvents();
    EXPECT_FALSE(ui.findPanelFolded());
    EXPECT_TRUE(ui.Panel7->isVisible());
    EXPECT_FALSE(ui.Image1->isVisible());
    EXPECT_TRUE(ui.Image2->isVisible());
    EXPECT_EQ(ui.Panel7->height(), 129);
    EXPECT_EQ(ui.Panel5->height(), 17 + 129);
    // Still at the foot of the panel.
    EXPECT_EQ(ui.Panel5->y() + ui.Panel5->height(),
              ui.Panel2->height() - ui.Panel2->layout()->contentsMargins().bottom());
    EXPECT_EQ(ui.BJListBox1->height(), musicListHeight - 129) << "the body's room comes from the music list";
    // The window's design size still holds everything.
    EXPECT_LE(win.w.minimumSizeHint().height(), 640);
    // Everything in the body is on screen and not clipped by the 129 pixels.
    for (QWidget* c :
         std::initializer_list<QWidget*>{ui.Fedit, ui.Redit, ui.SpeedButton2, ui.SpeedButton3, ui.SpeedButton4,
                                         ui.CheckBox2, ui.CheckBox1, ui.CheckBox4, ui.CheckBox3}) {
        EXPECT_TRUE(c->isVisible());
        EXPECT_LE(c->y() + c->height(), ui.Panel7->height()) << c->objectName().toStdString();
        EXPECT_LE(c->x() + c->width(), ui.Panel7->width()) << c->objectName().toStdString();
    }

    ui.Image2->click();
    QApplication::processEvents();
    EXPECT_TRUE(ui.findPanelFolded());
    EXPECT_FALSE(ui.Panel7->isVisible());
    EXPECT_EQ(ui.Panel5->height(), 17);

    EXPECT_EQ(ui.Label1->text(), "查找內容");
    EXPECT_EQ(ui.Label2->text(), "替換為");
    EXPECT_EQ(ui.SpeedButton2->toolTip(), "查找");
    EXPECT_EQ(ui.SpeedButton3->toolTip(), "查找与替換");
    EXPECT_EQ(ui.SpeedButton4->toolTip(), "替換以下");
    const std::pair<QCheckBox*, const char*> checks[] = {
        {ui.CheckBox2, "區分大小寫"}, {ui.CheckBox1, "全部"}, {ui.CheckBox4, "從頂部開始"}, {ui.CheckBox3, "向上查找"}};
    for (const auto& [c, caption] : checks) {
        EXPECT_EQ(c->text(), QString::fromUtf8(caption));
        EXPECT_FALSE(c->isChecked());
    }
}

TEST(Layout, EditorLooksAndWrapsAsDesigned) {
    Window win;
    QPlainTextEdit* memo = win.ui.Memo1;
    EXPECT_EQ(memo->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_NE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(memo->palette().color(QPalette::Base), QColor(0, 128, 128));
    EXPECT_EQ(memo->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_EQ(memo->font().pixelSize(), 16);

    // One long paragraph is shown as several lines, with no sideways scrolling.
    memo->setPlainText(QString(400, QChar(0x6717)));  // 朗 x 400
    QApplication::processEvents();
    EXPECT_GT(memo->document()->firstBlock().layout()->lineCount(), 1);
    EXPECT_EQ(memo->horizontalScrollBar()->maximum(), 0);
}

// The face that actually draws the text.
QString faceOf(const QFont& font, const QString& text) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const auto runs = layout.glyphRuns();
    return runs.isEmpty() ? QString() : runs.first().rawFont().familyName();
}

TEST(Layout, ChineseIsDrawnWithTraditionalGlyphForms) {
    if (!QFontDatabase::hasFamily(QStringLiteral("Noto Sans CJK TC")))
        GTEST_SKIP() << "no traditional Chinese face installed";
    Window win;
    const QString chinese = QStringLiteral("朗讀選項");
    EXPECT_EQ(faceOf(win.ui.Memo1->font(), chinese), "Noto Sans CJK TC");
    EXPECT_EQ(faceOf(win.ui.GroupBox1->font(), chinese), "Noto Sans CJK TC");

    // A stored face without Chinese glyphs keeps the same fallback.
    QFont stored(QStringLiteral("MS Sans Serif"), 12);
    sayvell::ui::addChineseFallback(stored);
    EXPECT_EQ(faceOf(stored, chinese), "Noto Sans CJK TC");
}

// Internal parts of composite widgets (a spin box's line edit, a scroll area's viewport)
// are reached through their owner and named by it.
bool isInternalPart(const QWidget* w) {
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<QAbstractSpinBox*>(p) || qobject_cast<QAbstractScrollArea*>(p) || qobject_cast<QComboBox*>(p))
            return true;
    return false;
}

TEST(Layout, EveryFocusableControlAndToolButtonHasAnAccessibleName) {
    Window win;
    win.ui.setFindPanelFolded(false);
    int checked = 0;
    for (QWidget* c : win.w.findChildren<QWidget*>()) {
        const bool toolButton = qobject_cast<QToolButton*>(c) != nullptr;
        const bool focusable = c->focusPolicy() != Qt::NoFocus && !c->focusProxy();
        if (!toolButton && !(focusable && !isInternalPart(c))) continue;
        if (c->objectName().startsWith(QLatin1String("qt_")))  // Qt's own overflow arrows
            continue;
        ++checked;
        EXPECT_FALSE(c->accessibleName().trimmed().isEmpty())
            << c->metaObject()->className() << " " << c->objectName().toStdString();
    }
    EXPECT_GT(checked, 40);  // tool bar, right panel, loop panel, find panel
}

}  // namespace

// The glyphs are drawn at the size asked, sharp on a double-density screen, and greyed when
// their button is disabled.
TEST(Layout, GlyphsAreDrawnAtTheirSizeAndGreyedWhenDisabled) {
    const QIcon icon = sayvell::ui::icons::icon(sayvell::ui::icons::Glyph::Play);
    const QImage normal = icon.pixmap(QSize(22, 22), 1.0).toImage();
    ASSERT_EQ(normal.size(), QSize(22, 22));
    int inked = 0;
    for (int y = 0; y < normal.height(); ++y)
        for (int x = 0; x < normal.width(); ++x) inked += qAlpha(normal.pixel(x, y)) > 128;
    EXPECT_GT(inked, 22 * 22 / 8);
    const QPixmap sharp = icon.pixmap(QSize(22, 22), 2.0);
    EXPECT_EQ(sharp.size(), QSize(44, 44));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(22, 22));
    const QImage greyed = icon.pixmap(QSize(22, 22), 1.0, QIcon::Disabled).toImage();
    ASSERT_EQ(greyed.size(), normal.size());
    const QRgb green = normal.pixel(11, 11);
    const QRgb grey = greyed.pixel(11, 11);
    EXPECT_GT(qGreen(green) - qRed(green), 40);
    EXPECT_LT(std::abs(qGreen(grey) - qRed(grey)), 20);
}
