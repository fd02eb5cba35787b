#include "ui/shell/main_window_ui.h"

#include "ui/shell/status_panels.h"

#include "ui/shell/form_parts.h"

#include "document/text_encoding.h"
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

using namespace form;

namespace {

// Lies on the mint panel and lets its colour show through: no panel, frame or handle of its
// own. (A style sheet would do the same, at the cost of polishing every button through it.)
class FlatToolBar final : public QToolBar {
public:
    using QToolBar::QToolBar;

protected:
    void paintEvent(QPaintEvent*) override {}
};

}  // namespace

void addChineseFallback(QFont& f) {
    QStringList families = f.families();
    if (families.isEmpty()) families << f.family();
    for (const QString& c : kChineseFamilies)
        if (!families.contains(c)) families << c;
    f.setFamilies(families);
}

void MainWindowUi::setupUi(QMainWindow* w) {
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

    ToolBar1 = named(new FlatToolBar(Panel1), "ToolBar1", QStringLiteral("工具欄"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(22, 22));
    ToolBar1->setAutoFillBackground(false);

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
        {&MainWindowUi::SB_outwav2, "SB_outwav2", "輸出帶音樂背景的WAV文件", Glyph::ExportWavMusic, true},
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
        if (t.separatorAfter) ToolBar1->addSeparator();
    }
    topLayout->addWidget(ToolBar1);
    // The bar's own overflow button, shown when the window is narrow.
    if (auto* more = ToolBar1->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("更多工具"));

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
    btn_ok = named(new QPushButton(QStringLiteral("設為默認"), Panel9), "btn_ok", QStringLiteral("設為默認"));
    btn_close9 = button(Panel9, "btn_close9", QStringLiteral("關閉"), Glyph::Close, QSize(22, 22), 14);
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

    setupPanel(w, central, body);

    // ---- Status bar ----------------------------------------------------------------------
    auto* status = new PanelStatusBar(w);
    StatusBar1 = status;
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    w->setStatusBar(StatusBar1);
    statusPanel[0] = status->addPanel("StatusPanel0", QStringLiteral("光標位置"), 100);
    statusPanel[1] = status->addPanel("StatusPanel1", QStringLiteral("日期"), 150);
    statusPanel[2] = status->addPanel("StatusPanel2", QStringLiteral("文件名"), 400);
    // The encoding of the open file, beside its name.
    statusEncoding = status->addPanel("StatusEncoding", QStringLiteral("文件編碼"), 90);
    statusPanel[3] = status->addPanel("StatusPanel3", QStringLiteral("背景音樂"), 50);
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
    M_reopenAs = M_file->addMenu(QStringLiteral("以編碼重新開啟"));
    M_reopenAs->setObjectName(QStringLiteral("M_reopenAs"));
    for (const document::Encoding e : document::choosableEncodings()) {
        QAction* a = M_reopenAs->addAction(document::encodingName(e));
        a->setObjectName(QStringLiteral("reopenAs_") + document::encodingName(e));
        a->setData(static_cast<int>(e));
    }
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
                         [memo, menu](const QPoint& pos) { menu->popup(memo->viewport()->mapToGlobal(pos)); });
    }
    // Creation order gives the tab order: tool bar, editor, loop panel, right-hand panel.
}

std::array<QToolButton*, 17> MainWindowUi::toolButtons() const {
    return {SB_new,    SB_open, SB_save, SB_outwav, SB_outwav2, SB_jexu,     SB_play,  SB_stop, SB_repeat1,
            SB_repeat, SB_top,  SB_bott, sb_delay,  SB_time,    SB_schedule, SB_panel, SB_close};
}

void MainWindowUi::setFindPanelFolded(bool folded) { foldFindPanel(Panel7, Image1, Image2, folded); }

bool MainWindowUi::findPanelFolded() const { return Panel7->isHidden(); }

}  // namespace sayvell::ui
