#include "ui/shell/main_window_ui.h"

#include "ui/shell/form_parts.h"

namespace sayvell::ui {

using namespace form;

// The right-hand panel: reading options, the history list, background music and the find panel.
void MainWindowUi::setupPanel(QMainWindow* w, QWidget* central, QBoxLayout* body) {
    Panel2 = named(new QWidget(central), "Panel2", QStringLiteral("面板"));
    Panel2->setFixedWidth(170);
    auto* right = new QVBoxLayout(Panel2);
    right->setContentsMargins(4, 3, 4, 2);
    right->setSpacing(3);
    body->addWidget(Panel2);

    // Reading options.
    GroupBox1 = named(new QGroupBox(QStringLiteral("朗讀選項"), Panel2), "GroupBox1", QStringLiteral("朗讀選項"));
    {
        auto* g = new QGridLayout(GroupBox1);
        g->setContentsMargins(6, 2, 6, 3);
        g->setVerticalSpacing(2);
        g->setHorizontalSpacing(4);
        StaticText1 = label(GroupBox1, "StaticText1", QStringLiteral("語音引擎:"));
        flatComboBox1 = named(new QComboBox(GroupBox1), "flatComboBox1", QStringLiteral("語音引擎:"));
        flatComboBox1->setEditable(false);
        StaticText1->setBuddy(flatComboBox1);
        StaticText5 = label(GroupBox1, "StaticText5", QStringLiteral("語速:"));
        TrackBar2 = trackBar(GroupBox1, "TrackBar2", QStringLiteral("語速:"), -10, 15, 0);
        StaticText6 = label(GroupBox1, "StaticText6", QStringLiteral("0"));
        StaticText6->setAccessibleDescription(QStringLiteral("語速值"));
        StaticText8 = label(GroupBox1, "StaticText8", QStringLiteral("音量:"));
        TrackBar1 = trackBar(GroupBox1, "TrackBar1", QStringLiteral("音量:"), 0, 100, 95);
        StaticText9 = label(GroupBox1, "StaticText9", QStringLiteral("95"));
        StaticText9->setAccessibleDescription(QStringLiteral("音量值"));
        StaticText5->setBuddy(TrackBar2);
        StaticText8->setBuddy(TrackBar1);
        for (QLabel* v : {StaticText6, StaticText9}) {
            v->setMinimumWidth(24);
            v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        g->addWidget(StaticText1, 0, 0, 1, 3);
        g->addWidget(flatComboBox1, 1, 0, 1, 3);
        g->addWidget(StaticText5, 2, 0);
        g->addWidget(TrackBar2, 2, 1);
        g->addWidget(StaticText6, 2, 2);
        g->addWidget(StaticText8, 3, 0);
        g->addWidget(TrackBar1, 3, 1);
        g->addWidget(StaticText9, 3, 2);
        g->setColumnStretch(1, 1);
    }
    right->addWidget(GroupBox1);

    // History.
    GroupBox3 =
        named(new QGroupBox(QStringLiteral("歷史打開文件"), Panel2), "GroupBox3", QStringLiteral("歷史打開文件"));
    {
        auto* l = new QVBoxLayout(GroupBox3);
        l->setContentsMargins(4, 2, 4, 3);
        ListBox1 = named(new QListWidget(GroupBox3), "ListBox1", QStringLiteral("歷史打開文件"));
        ListBox1->setToolTip(QStringLiteral("雙擊或右鍵打開"));
        ListBox1->setAccessibleDescription(QStringLiteral("雙擊或右鍵打開"));
        ListBox1->setFixedHeight(64);
        // Paths are long: keep the file name, drop the folders (the hint shows it whole).
        ListBox1->setTextElideMode(Qt::ElideLeft);
        ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        l->addWidget(ListBox1);

        PopupMenu7 = new QMenu(w);
        PopupMenu7->setObjectName(QStringLiteral("PopupMenu7"));
        O1 = action(PopupMenu7, "O1", QStringLiteral("打開(&O)"));
        D2 = action(PopupMenu7, "D2", QStringLiteral("刪除記錄 (&D)"));
        ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
        QListWidget* list = ListBox1;
        QMenu* menu = PopupMenu7;
        QObject::connect(list, &QWidget::customContextMenuRequested, menu,
                         [list, menu](const QPoint& pos) { menu->popup(list->viewport()->mapToGlobal(pos)); });
    }
    right->addWidget(GroupBox3);

    // Background music: the controls are here; the music panel gives them life.
    GroupBox2 =
        named(new QGroupBox(QStringLiteral("MP3背景音樂播放"), Panel2), "GroupBox2", QStringLiteral("MP3背景音樂播放"));
    {
        auto* l = new QVBoxLayout(GroupBox2);
        l->setContentsMargins(4, 2, 4, 3);
        l->setSpacing(2);
        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(1);
        const QSize bs(26, 22);
        bj_play = button(GroupBox2, "bj_play", QStringLiteral("播放"), Glyph::MusicPlay, bs, 16);
        bj_stop = button(GroupBox2, "bj_stop", QStringLiteral("停止"), Glyph::MusicStop, bs, 16);
        bj_prev = button(GroupBox2, "bj_prev", QStringLiteral("上一首"), Glyph::MusicPrev, bs, 16);
        bj_next = button(GroupBox2, "bj_next", QStringLiteral("下一首"), Glyph::MusicNext, bs, 16);
        bj_ok = button(GroupBox2, "bj_ok", QStringLiteral("選擇背景音樂目錄"), Glyph::MusicFolder, bs, 18);
        for (QToolButton* b : {bj_play, bj_stop, bj_prev, bj_next, bj_ok}) buttons->addWidget(b);
        buttons->addStretch(1);
        l->addLayout(buttons);

        auto* g = new QGridLayout;
        g->setHorizontalSpacing(4);
        g->setVerticalSpacing(2);
        StaticText13 = label(GroupBox2, "StaticText13", QStringLiteral("音樂音量:"));
        bj_v = spinBox(GroupBox2, "bj_v", QStringLiteral("音量"), 0, 100, 40);
        bj_v->setToolTip(QStringLiteral("音量"));
        StaticText14 = label(GroupBox2, "StaticText14", QStringLiteral("朗讀時音量:"));
        bj_v1 = spinBox(GroupBox2, "bj_v1", QStringLiteral("朗讀時背景音量"), 0, 100, 10);
        bj_v1->setToolTip(QStringLiteral("朗讀時背景音量"));
        StaticText13->setBuddy(bj_v);
        StaticText14->setBuddy(bj_v1);
        g->addWidget(StaticText13, 0, 0);
        g->addWidget(bj_v, 0, 1);
        g->addWidget(StaticText14, 1, 0);
        g->addWidget(bj_v1, 1, 1);
        g->setColumnStretch(1, 1);
        l->addLayout(g);

        ComBox1 = named(new QComboBox(GroupBox2), "ComBox1", QStringLiteral("播放順序"));
        ComBox1->addItems({QStringLiteral("順序播放"), QStringLiteral("隨机播放")});
        ComBox1->setCurrentIndex(0);
        l->addWidget(ComBox1);

        RzLEDDisplay1 = label(GroupBox2, "RzLEDDisplay1", QString());
        RzLEDDisplay1->setAccessibleDescription(QStringLiteral("播放進度"));
        RzLEDDisplay1->setAlignment(Qt::AlignCenter);
        RzLEDDisplay1->setFixedHeight(22);
        {
            QPalette pal = RzLEDDisplay1->palette();
            pal.setColor(QPalette::Window, QColor(0x10, 0x22, 0x1a));
            pal.setColor(QPalette::WindowText, QColor(0x5c, 0xff, 0x8a));
            RzLEDDisplay1->setPalette(pal);
            RzLEDDisplay1->setAutoFillBackground(true);
            QFont f(QStringLiteral("Monospace"));
            f.setStyleHint(QFont::Monospace);
            f.setBold(true);
            RzLEDDisplay1->setFont(f);
        }
        l->addWidget(RzLEDDisplay1);

        BJListBox1 = named(new QListWidget(GroupBox2), "BJListBox1", QStringLiteral("背景音樂"));
        BJListBox1->setToolTip(QStringLiteral("雙擊進行播放"));
        BJListBox1->setAccessibleDescription(QStringLiteral("雙擊進行播放"));
        // Gives its height to the find panel when that unfolds.
        BJListBox1->setMinimumHeight(20);
        l->addWidget(BJListBox1, 1);
    }
    right->addWidget(GroupBox2, 1);

    // Find and replace.
    Panel5 = named(new QWidget(Panel2), "Panel5", QStringLiteral("查找与替換"));
    {
        auto* l = new QVBoxLayout(Panel5);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);

        Panel6 = named(new QWidget(Panel5), "Panel6", QStringLiteral("查找与替換"));
        Panel6->setToolTip(QStringLiteral("查找与替換"));
        Panel6->setFixedHeight(17);
        fill(Panel6, kMint);
        auto* h = new QHBoxLayout(Panel6);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(0);
        QFont small = Panel6->font();
        small.setPixelSize(11);
        auto header = [&](const char* name, Glyph g, const QString& what) {
            auto* b = named(new QToolButton(Panel6), name, what + QStringLiteral("查找与替換"));
            b->setAccessibleDescription(what);
            b->setText(QStringLiteral("查找与替換"));
            b->setIcon(icons::icon(g));
            b->setIconSize(QSize(13, 13));
            b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            b->setFixedHeight(17);
            b->setFont(small);
            b->setAutoRaise(true);
            b->setCursor(Qt::PointingHandCursor);
            h->addWidget(b);
            return b;
        };
        Image1 = header("Image1", Glyph::Unfold, QStringLiteral("展開"));
        Image2 = header("Image2", Glyph::Fold, QStringLiteral("收起"));
        l->addWidget(Panel6);

        Panel7 = named(new QWidget(Panel5), "Panel7", QStringLiteral("查找与替換"));
        Panel7->setFixedHeight(129);
        auto* g = new QGridLayout(Panel7);
        g->setContentsMargins(2, 4, 2, 2);
        g->setHorizontalSpacing(4);
        g->setVerticalSpacing(3);
        Label1 = label(Panel7, "Label1", QStringLiteral("查找內容"));
        Fedit = named(new QLineEdit(Panel7), "Fedit", QStringLiteral("查找內容"));
        Label2 = label(Panel7, "Label2", QStringLiteral("替換為"));
        Redit = named(new QLineEdit(Panel7), "Redit", QStringLiteral("替換為"));
        Label1->setBuddy(Fedit);
        Label2->setBuddy(Redit);
        g->addWidget(Label1, 0, 0);
        g->addWidget(Fedit, 0, 1);
        g->addWidget(Label2, 1, 0);
        g->addWidget(Redit, 1, 1);

        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(2);
        const QSize bs(28, 24);
        SpeedButton2 = button(Panel7, "SpeedButton2", QStringLiteral("查找"), Glyph::Find, bs, 18);
        SpeedButton3 = button(Panel7, "SpeedButton3", QStringLiteral("查找与替換"), Glyph::FindReplace, bs, 18);
        SpeedButton4 = button(Panel7, "SpeedButton4", QStringLiteral("替換以下"), Glyph::ReplaceFollowing, bs, 18);
        for (QToolButton* b : {SpeedButton2, SpeedButton3, SpeedButton4}) {
            b->setAutoRaise(false);
            buttons->addWidget(b);
        }
        buttons->addStretch(1);
        g->addLayout(buttons, 2, 0, 1, 2);

        auto* checks = new QGridLayout;
        checks->setHorizontalSpacing(4);
        checks->setVerticalSpacing(1);
        CheckBox2 = checkBox(Panel7, "CheckBox2", QStringLiteral("區分大小寫"));
        CheckBox1 = checkBox(Panel7, "CheckBox1", QStringLiteral("全部"));
        CheckBox4 = checkBox(Panel7, "CheckBox4", QStringLiteral("從頂部開始"));
        CheckBox3 = checkBox(Panel7, "CheckBox3", QStringLiteral("向上查找"));
        checks->addWidget(CheckBox2, 0, 0);
        checks->addWidget(CheckBox1, 0, 1);
        checks->addWidget(CheckBox4, 1, 0);
        checks->addWidget(CheckBox3, 1, 1);
        g->addLayout(checks, 3, 0, 1, 2);
        g->setRowStretch(4, 1);
        l->addWidget(Panel7);

        QWidget* bodyPanel = Panel7;
        QWidget* unfold = Image1;
        QWidget* fold = Image2;
        QObject::connect(Image1, &QToolButton::clicked, Panel5, [=] { foldFindPanel(bodyPanel, unfold, fold, false); });
        QObject::connect(Image2, &QToolButton::clicked, Panel5, [=] { foldFindPanel(bodyPanel, unfold, fold, true); });
    }
    right->addWidget(Panel5);
    setFindPanelFolded(true);

    // Compact rows, so the design size holds every control with the find panel open.
    for (QWidget* c : Panel2->findChildren<QWidget*>()) {
        if (qobject_cast<QComboBox*>(c) || qobject_cast<QSpinBox*>(c) || qobject_cast<QLineEdit*>(c))
            c->setFixedHeight(24);
    }
}

}  // namespace sayvell::ui
