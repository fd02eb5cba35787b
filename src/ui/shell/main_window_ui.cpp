#include "ui/shell/main_window_ui.h"

#include "ui/common/icons.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace sayvell::ui {
namespace {

using icons::Glyph;

const QColor kMint(0xc4, 0xec, 0xd2);
const QColor kMintEdge(0x9c, 0xd4, 0xb0);
const QColor kTeal(0, 128, 128);

const QStringList kChineseFamilies{QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans TC"),
                                   QStringLiteral("Source Han Sans TC"),
                                   QStringLiteral("WenQuanYi Micro Hei")};

// Controls: Latin in the desktop's own face, whose compact line height keeps the rows tidy;
// Chinese falls back to a face with traditional glyph forms before anything else.
QStringList controlFamilies(const QFont& base)
{
    return QStringList{QFontInfo(base).family()} + kChineseFamilies;
}

// The editor: one face for both scripts, so a mixed line reads evenly.
QStringList editorFamilies(const QFont& base)
{
    return kChineseFamilies + QStringList{QFontInfo(base).family()};
}

void fill(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

template <typename T>
T* named(T* w, const char* name, const QString& accessible)
{
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(accessible);
    return w;
}

QToolButton* button(QWidget* parent, const char* name, const QString& hint, Glyph g, QSize size,
                    int iconSide)
{
    auto* b = named(new QToolButton(parent), name, hint);
    b->setToolTip(hint);
    b->setIcon(icons::icon(g));
    b->setIconSize(QSize(iconSide, iconSide));
    b->setFixedSize(size);
    b->setAutoRaise(true);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    return named(new QLabel(text, parent), name, text);
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& text)
{
    return named(new QCheckBox(text, parent), name, text);
}

QAction* action(QMenu* menu, const char* name, const QString& caption)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}

QSlider* trackBar(QWidget* parent, const char* name, const QString& caption, int lo, int hi,
                  int pos)
{
    auto* s = named(new QSlider(Qt::Horizontal, parent), name, caption);
    s->setRange(lo, hi);
    s->setValue(pos);
    s->setTickPosition(QSlider::NoTicks);
    return s;
}

QSpinBox* spinBox(QWidget* parent, const char* name, const QString& accessible, int lo, int hi,
                  int value)
{
    auto* s = named(new QSpinBox(parent), name, accessible);
    s->setRange(lo, hi);
    s->setValue(value);
    return s;
}

void foldFindPanel(QWidget* body, QWidget* unfold, QWidget* fold, bool folded)
{
    body->setVisible(!folded);
    unfold->setVisible(folded);
    fold->setVisible(!folded);
}

}  // namespace

void addChineseFallback(QFont& f)
{
    QStringList families = f.families();
    if (families.isEmpty())
        families << f.family();
    for (const QString& c : kChineseFamilies)
        if (!families.contains(c))
            families << c;
    f.setFamilies(families);
}

void MainWindowUi::setupUi(QMainWindow* w)
{
    w->setWindowTitle(QStringLiteral("Sayvell"));
    w->setWindowIcon(icons::icon(Glyph::App));
    w->resize(966, 640);
    {
        QFont f = w->font();
        f.setFamilies(controlFamilies(f));
        w->setFont(f);
    }

    auto* central = new QWidget(w);
    central->setObjectName(QStringLiteral("centralWidget"));
    w->setCentralWidget(central);
    auto* rootLayout = new QVBoxLayout(central);
    rootLayout->setContentsMargins(0, 0, 0, 0);
    rootLayout->setSpacing(0);

    // ---- Top bar -----------------------------------------------------------------------
    Panel1 = named(new QWidget(central), "Panel1", QStringLiteral("工具欄"));
    fill(Panel1, kMint);
    auto* topLayout = new QHBoxLayout(Panel1);
    topLayout->setContentsMargins(4, 3, 12, 3);
    topLayout->setSpacing(8);

    ToolBar1 = named(new QToolBar(Panel1), "ToolBar1", QStringLiteral("工具欄"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(22, 22));
    // The bar lies on the mint panel; let the panel's colour show through.
    ToolBar1->setAutoFillBackground(false);
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));

    struct ToolDef {
        QToolButton* MainWindowUi::*member;
        const char* name;
        const char* hint;
        Glyph glyph;
        bool separatorAfter;
    };
    const ToolDef tools[] = {
        {&MainWindowUi::SB_new, "SB_new", "新建", Glyph::New, false},
        {&MainWindowUi::SB_open, "SB_open", "打開文件", Glyph::Open, false},
        {&MainWindowUi::SB_save, "SB_save", "保存", Glyph::Save, true},
        {&MainWindowUi::SB_outwav, "SB_outwav", "輸出WAV聲音文件", Glyph::ExportWav, false},
        {&MainWindowUi::SB_outwav2, "SB_outwav2", "輸出帶音樂背景的WAV文件", Glyph::ExportWavMusic,
         true},
        {&MainWindowUi::SB_jexu, "SB_jexu", "從最面前始朗讀", Glyph::ReadFromStart, false},
        {&MainWindowUi::SB_play, "SB_play", "當前位置朗讀", Glyph::Play, false},
        {&MainWindowUi::SB_stop, "SB_stop", "停止", Glyph::Stop, true},
        {&MainWindowUi::SB_repeat1, "SB_repeat1", "全文循環朗讀", Glyph::LoopAll, false},
        {&MainWindowUi::SB_repeat, "SB_repeat", "選擇范圍循環朗讀", Glyph::LoopRange, true},
        {&MainWindowUi::SB_top, "SB_top", "移到文章最前面", Glyph::ToTop, false},
        {&MainWindowUi::SB_bott, "SB_bott", "移到文章最後面", Glyph::ToBottom, true},
        {&MainWindowUi::sb_delay, "sb_delay", "系統設置", Glyph::Settings, false},
        {&MainWindowUi::SB_time, "SB_time", "插入日期時間", Glyph::DateTime, false},
        {&MainWindowUi::SB_schedule, "SB_schedule", "定時任務", Glyph::Schedule, true},
        {&MainWindowUi::SB_panel, "SB_panel", "顯示或隱藏面板", Glyph::Panel, true},
        {&MainWindowUi::SB_close, "SB_close", "退出", Glyph::Exit, false},
    };
    for (const ToolDef& t : tools) {
        QToolButton* b = button(ToolBar1, t.name, QString::fromUtf8(t.hint), t.glyph, QSize(31, 30), 22);
        this->*t.member = b;
        ToolBar1->addWidget(b);
        if (t.separatorAfter)
            ToolBar1->addSeparator();
    }
    topLayout->addWidget(ToolBar1);

    Chk_prompt = checkBox(Panel1, "Chk_prompt", QStringLiteral("提示音"));
    Chk_prompt->setChecked(true);
    topLayout->addWidget(Chk_prompt);
    topLayout->addStretch(1);
    rootLayout->addWidget(Panel1);

    auto* edge = new QWidget(central);
    edge->setObjectName(QStringLiteral("Panel1Edge"));
    edge->setFixedHeight(1);
    fill(edge, kMintEdge);
    rootLayout->addWidget(edge);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    rootLayout->addLayout(body, 1);

    // ---- Centre: editor and loop panel -------------------------------------------------
    auto* centre = new QVBoxLayout;
    centre->setContentsMargins(0, 0, 0, 0);
    centre->setSpacing(0);
    body->addLayout(centre, 1);

    Memo1 = named(new QPlainTextEdit(central), "Memo1", QStringLiteral("正文"));
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    {
        QPalette pal = Memo1->palette();
        pal.setColor(QPalette::Base, kTeal);
        pal.setColor(QPalette::Text, Qt::white);
        Memo1->setPalette(pal);
        QFont f = Memo1->font();
        f.setFamilies(editorFamilies(QApplication::font()));
        f.setPixelSize(16);
        Memo1->setFont(f);
    }
    centre->addWidget(Memo1, 1);

    Panel9 = named(new QWidget(central), "Panel9", QStringLiteral("循環朗讀"));
    fill(Panel9, QColor(0xe6, 0xf4, 0xea));
    auto* loopLayout = new QHBoxLayout(Panel9);
    loopLayout->setContentsMargins(8, 3, 3, 3);
    loopLayout->setSpacing(6);
    Label3 = label(Panel9, "Label3", QStringLiteral("循環次數"));
    SpinEdit1 = spinBox(Panel9, "SpinEdit1", QStringLiteral("循環次數"), 1, 1000000, 2);
    SpinEdit1->setMinimumWidth(90);
    Label4 = label(Panel9, "Label4", QStringLiteral("間隔秒數"));
    SpinEdit2 = spinBox(Panel9, "SpinEdit2", QStringLiteral("間隔秒數"), 1, 10000000, 60);
    SpinEdit2->setMinimumWidth(100);
    Label3->setBuddy(SpinEdit1);
    Label4->setBuddy(SpinEdit2);
    btn_ok = named(new QPushButton(QStringLiteral("設為默認"), Panel9), "btn_ok",
                   QStringLiteral("設為默認"));
    btn_close9 = button(Panel9, "btn_close9", QStringLiteral("Close"), Glyph::Close, QSize(22, 22), 14);
    loopLayout->addWidget(Label3);
    loopLayout->addWidget(SpinEdit1);
    loopLayout->addSpacing(10);
    loopLayout->addWidget(Label4);
    loopLayout->addWidget(SpinEdit2);
    loopLayout->addSpacing(10);
    loopLayout->addWidget(btn_ok);
    loopLayout->addStretch(1);
    loopLayout->addWidget(btn_close9);
    QObject::connect(btn_close9, &QToolButton::clicked, Panel9, &QWidget::hide);
    centre->addWidget(Panel9);

    // ---- Right-hand panel ----------------------------------------------------------------
    Panel2 = named(new QWidget(central), "Panel2", QStringLiteral("面板"));
    Panel2->setFixedWidth(170);
    auto* right = new QVBoxLayout(Panel2);
    right->setContentsMargins(4, 3, 4, 2);
    right->setSpacing(3);
    body->addWidget(Panel2);

    // Reading options.
    GroupBox1 = named(new QGroupBox(QStringLiteral("朗讀選項"), Panel2), "GroupBox1",
                      QStringLiteral("朗讀選項"));
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
        StaticText6->setAccessibleName(QStringLiteral("語速值"));
        StaticText8 = label(GroupBox1, "StaticText8", QStringLiteral("音量:"));
        TrackBar1 = trackBar(GroupBox1, "TrackBar1", QStringLiteral("音量:"), 0, 100, 95);
        StaticText9 = label(GroupBox1, "StaticText9", QStringLiteral("95"));
        StaticText9->setAccessibleName(QStringLiteral("音量值"));
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
    GroupBox3 = named(new QGroupBox(QStringLiteral("歷史打開文件"), Panel2), "GroupBox3",
                      QStringLiteral("歷史打開文件"));
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
                         [list, menu](const QPoint& pos) {
                             menu->popup(list->viewport()->mapToGlobal(pos));
                         });
    }
    right->addWidget(GroupBox3);

    // Background music: the controls are here; the music panel gives them life.
    GroupBox2 = named(new QGroupBox(QStringLiteral("MP3背景音樂播放"), Panel2), "GroupBox2",
                      QStringLiteral("MP3背景音樂播放"));
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
        bj_ok = button(GroupBox2, "bj_ok", QStringLiteral("選擇背景音樂目錄"), Glyph::MusicFolder, bs,
                       18);
        for (QToolButton* b : {bj_play, bj_stop, bj_prev, bj_next, bj_ok})
            buttons->addWidget(b);
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

        RzLEDDisplay1 = named(new QLabel(GroupBox2), "RzLEDDisplay1", QStringLiteral("播放進度"));
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
            auto* b = named(new QToolButton(Panel6), name, QStringLiteral("查找与替換"));
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
        SpeedButton3 = button(Panel7, "SpeedButton3", QStringLiteral("查找与替換"), Glyph::FindReplace,
                              bs, 18);
        SpeedButton4 = button(Panel7, "SpeedButton4", QStringLiteral("替換以下"),
                              Glyph::ReplaceFollowing, bs, 18);
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
        QObject::connect(Image1, &QToolButton::clicked, Panel5,
                         [=] { foldFindPanel(bodyPanel, unfold, fold, false); });
        QObject::connect(Image2, &QToolButton::clicked, Panel5,
                         [=] { foldFindPanel(bodyPanel, unfold, fold, true); });
    }
    right->addWidget(Panel5);
    setFindPanelFolded(true);

    // Compact rows, so the design size holds every control with the find panel open.
    for (QWidget* c : Panel2->findChildren<QWidget*>()) {
        if (qobject_cast<QComboBox*>(c) || qobject_cast<QSpinBox*>(c) || qobject_cast<QLineEdit*>(c))
            c->setFixedHeight(24);
    }

    // ---- Status bar ----------------------------------------------------------------------
    StatusBar1 = new QStatusBar(w);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    w->setStatusBar(StatusBar1);
    const int widths[4] = {100, 150, 400, 50};
    const char* panelNames[4] = {"StatusPanel0", "StatusPanel1", "StatusPanel2", "StatusPanel3"};
    const QString panelRoles[4] = {QStringLiteral("光標位置"), QStringLiteral("日期"),
                                   QStringLiteral("文件名"), QStringLiteral("背景音樂")};
    for (int i = 0; i < 4; ++i) {
        auto* p = named(new QLabel(StatusBar1), panelNames[i], panelRoles[i]);
        p->setFixedWidth(widths[i]);
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Sunken);
        p->setTextFormat(Qt::PlainText);
        statusPanel[static_cast<size_t>(i)] = p;
        StatusBar1->addWidget(p);
    }
    StatusBar1->setSizeGripEnabled(true);

    // ---- Main menu -----------------------------------------------------------------------
    QMenuBar* bar = w->menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    M_file = bar->addMenu(QStringLiteral("文件(&F)"));
    M_file->setObjectName(QStringLiteral("M_file"));
    N35 = action(M_file, "N35", QStringLiteral("新建  (&N)"));
    N11 = action(M_file, "N11", QStringLiteral("打開  (&O)"));
    N12 = action(M_file, "N12", QStringLiteral("保存  (&S)"));
    N21 = action(M_file, "N21", QStringLiteral("另存為(&A)"));
    M_file->addSeparator();
    WAV1 = action(M_file, "WAV1", QStringLiteral("輸出聲音文件 (&W)"));
    N14 = action(M_file, "N14", QStringLiteral("輸出選擇范圍 (&F)"));
    M_file->addSeparator();
    N_exit = action(M_file, "N_exit", QStringLiteral("退出 (&C)"));
    N35->setIcon(icons::icon(Glyph::New));
    N11->setIcon(icons::icon(Glyph::Open));
    N12->setIcon(icons::icon(Glyph::Save));
    WAV1->setIcon(icons::icon(Glyph::ExportWav));
    N_exit->setIcon(icons::icon(Glyph::Exit));

    M_edit = bar->addMenu(QStringLiteral("編輯(&E)"));
    M_edit->setObjectName(QStringLiteral("M_edit"));
    CCtrlC2 = action(M_edit, "CCtrlC2", QStringLiteral("复制 (&C)  Ctrl+C"));
    VCtrlV3 = action(M_edit, "VCtrlV3", QStringLiteral("粘貼 (&V)  Ctrl+V"));
    XCtrlX1 = action(M_edit, "XCtrlX1", QStringLiteral("剪切 (&X)  Ctrl+X"));
    ZCtrlZ1 = action(M_edit, "ZCtrlZ1", QStringLiteral("撤銷 (&Z)  Ctrl+Z"));
    M_edit->addSeparator();
    A1 = action(M_edit, "A1", QStringLiteral("全選 (&A)  Ctrl+A "));

    M_settings = bar->addMenu(QStringLiteral("設置(&S)"));
    M_settings->setObjectName(QStringLiteral("M_settings"));
    N23 = action(M_settings, "N23", QStringLiteral("正文字体   (&F)"));
    N25 = action(M_settings, "N25", QStringLiteral("正文背景色 (&B)"));
    M_settings->addSeparator();
    N27 = action(M_settings, "N27", QStringLiteral("左對齊    (&L)"));
    N28 = action(M_settings, "N28", QStringLiteral("居中       (&C)"));
    N29 = action(M_settings, "N29", QStringLiteral("右對齊     (&R)"));
    alignGroup = new QActionGroup(w);
    alignGroup->setObjectName(QStringLiteral("alignGroup"));
    for (QAction* a : {N27, N28, N29}) {
        a->setCheckable(true);
        alignGroup->addAction(a);
    }
    N27->setChecked(true);
    M_settings->addSeparator();
    N_sysset = action(M_settings, "N_sysset", QStringLiteral("系統設置"));
    N_sysset->setIcon(icons::icon(Glyph::Settings));

    M_help = bar->addMenu(QStringLiteral("幫助(&H)"));
    M_help->setObjectName(QStringLiteral("M_help"));
    N32 = action(M_help, "N32", QStringLiteral("關于(&A)"));
    N31 = action(M_help, "N31", QStringLiteral("幫助(&H)"));

    // ---- Editor's context menu -------------------------------------------------------------
    memoMenu = new QMenu(w);
    memoMenu->setObjectName(QStringLiteral("memoMenu"));
    P_readHere = action(memoMenu, "P_readHere", QStringLiteral("從此處朗讀    (&M)"));
    P_readLine = action(memoMenu, "P_readLine", QStringLiteral("朗讀當前行    (&L)"));
    P_readSelection = action(memoMenu, "P_readSelection", QStringLiteral("朗讀所選范圍  (&S)"));
    P_loopRange = action(memoMenu, "P_loopRange", QStringLiteral("范圍循環朗讀  (&W)"));
    P_loopAll = action(memoMenu, "P_loopAll", QStringLiteral("全文循環朗讀  (&T)"));
    memoMenu->addSeparator();
    P_bookmark = action(memoMenu, "P_bookmark", QStringLiteral("記錄書簽位置    (&B)"));
    P_readLast = action(memoMenu, "P_readLast", QStringLiteral("從上次位置朗讀(&R)"));
    memoMenu->addSeparator();
    HCtrlH1 = action(memoMenu, "HCtrlH1", QStringLiteral("复制 (&C)  Ctrl+C"));
    VCtrlV1 = action(memoMenu, "VCtrlV1", QStringLiteral("粘貼 (&V)  Ctrl+V"));
    N10 = action(memoMenu, "N10", QStringLiteral("全選 (&A)  Ctrl+A"));
    memoMenu->addSeparator();
    P_insertDelay = action(memoMenu, "P_insertDelay", QStringLiteral("插入延時符號  (&Y)"));
    P_readHere->setIcon(icons::icon(Glyph::Play));
    P_loopRange->setIcon(icons::icon(Glyph::LoopRange));
    P_loopAll->setIcon(icons::icon(Glyph::LoopAll));

    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    {
        QPlainTextEdit* memo = Memo1;
        QMenu* menu = memoMenu;
        QObject::connect(memo, &QWidget::customContextMenuRequested, menu,
                         [memo, menu](const QPoint& pos) {
                             menu->popup(memo->viewport()->mapToGlobal(pos));
                         });
    }
    // Creation order gives the tab order: tool bar, editor, loop panel, right-hand panel.
}

std::array<QToolButton*, 17> MainWindowUi::toolButtons() const
{
    return {SB_new,  SB_open,    SB_save,   SB_outwav, SB_outwav2, SB_jexu,
            SB_play, SB_stop,    SB_repeat1, SB_repeat, SB_top,     SB_bott,
            sb_delay, SB_time,   SB_schedule, SB_panel, SB_close};
}

void MainWindowUi::setFindPanelFolded(bool folded)
{
    foldFindPanel(Panel7, Image1, Image2, folded);
}

bool MainWindowUi::findPanelFolded() const
{
    return Panel7->isHidden();
}

}  // namespace sayvell::ui
