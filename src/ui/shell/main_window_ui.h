#pragma once
// Widgets of the main window, built in code the way a form designer would: every control
// and menu item is a named member so handlers can find them by the names used throughout
// the project. Construction only; the window class wires the commands.
//
// Already wired here, because they are presentation and not commands:
//  - right-click on Memo1 pops up memoMenu, right-click on ListBox1 pops up PopupMenu7;
//  - Image1 / Image2 unfold / fold the find panel (setFindPanelFolded);
//  - the loop panel's close button hides Panel9 (for the rest of the run).
//
// Keyboard: the edit items carry their key names in the caption only and have no
// QAction shortcut. Memo1 handles Ctrl+C/V/X/Z/A itself when it has the focus; a window
// shortcut for the same keys would take them away from the find panel's edit boxes.
#include <array>

class QAction;
class QFont;
class QActionGroup;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QStatusBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace sayvell::ui {

// Appends faces with traditional Chinese glyph forms to f's families, after the ones it
// names. Use it when giving the editor a stored face, so Chinese text keeps its look.
void addChineseFallback(QFont& f);

struct MainWindowUi {
    // ---- Top bar (mint green) --------------------------------------------------------
    QWidget* Panel1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolButton* SB_new = nullptr;       // "新建"
    QToolButton* SB_open = nullptr;      // "打開文件"
    QToolButton* SB_save = nullptr;      // "保存"
    QToolButton* SB_outwav = nullptr;    // "輸出WAV聲音文件"
    QToolButton* SB_outwav2 = nullptr;   // "輸出帶音樂背景的WAV文件"
    QToolButton* SB_jexu = nullptr;      // "從最面前始朗讀"
    QToolButton* SB_play = nullptr;      // "當前位置朗讀"
    QToolButton* SB_stop = nullptr;      // "停止"
    QToolButton* SB_repeat1 = nullptr;   // "全文循環朗讀"
    QToolButton* SB_repeat = nullptr;    // "選擇范圍循環朗讀"
    QToolButton* SB_top = nullptr;       // "移到文章最前面"
    QToolButton* SB_bott = nullptr;      // "移到文章最後面"
    QToolButton* sb_delay = nullptr;     // "系統設置"
    QToolButton* SB_time = nullptr;      // "插入日期時間"
    QToolButton* SB_schedule = nullptr;  // "定時任務"
    QToolButton* SB_panel = nullptr;     // "顯示或隱藏面板"
    QToolButton* SB_close = nullptr;     // "退出"
    QCheckBox* Chk_prompt = nullptr;     // "提示音", ticked

    // ---- Right-hand panel, 170 px ----------------------------------------------------
    QWidget* Panel2 = nullptr;

    QGroupBox* GroupBox1 = nullptr;      // "朗讀選項"
    QLabel* StaticText1 = nullptr;       // "語音引擎:"
    QComboBox* flatComboBox1 = nullptr;  // voices, not editable
    QLabel* StaticText5 = nullptr;       // "語速:"
    QSlider* TrackBar2 = nullptr;        // rate -10..15, 0
    QLabel* StaticText6 = nullptr;       // rate value, "0"
    QLabel* StaticText8 = nullptr;       // "音量:"
    QSlider* TrackBar1 = nullptr;        // volume 0..100, 95
    QLabel* StaticText9 = nullptr;       // volume value, "95"

    QGroupBox* GroupBox3 = nullptr;   // "歷史打開文件"
    QListWidget* ListBox1 = nullptr;  // hint "雙擊或右鍵打開"
    QMenu* PopupMenu7 = nullptr;      // ListBox1's context menu
    QAction* O1 = nullptr;            // "打開(&O)"
    QAction* D2 = nullptr;            // "刪除記錄 (&D)"

    QGroupBox* GroupBox2 = nullptr;     // "MP3背景音樂播放"
    QToolButton* bj_play = nullptr;     // "播放"
    QToolButton* bj_stop = nullptr;     // "停止"
    QToolButton* bj_next = nullptr;     // "下一首"
    QToolButton* bj_prev = nullptr;     // "上一首"
    QToolButton* bj_ok = nullptr;       // "選擇背景音樂目錄"
    QLabel* StaticText13 = nullptr;     // "音樂音量:"
    QSpinBox* bj_v = nullptr;           // hint "音量", 0..100, 40
    QLabel* StaticText14 = nullptr;     // "朗讀時音量:"
    QSpinBox* bj_v1 = nullptr;          // hint "朗讀時背景音量", 0..100, 10
    QComboBox* ComBox1 = nullptr;       // "順序播放" (0), "隨机播放" (1)
    QLabel* RzLEDDisplay1 = nullptr;    // progress text, empty
    QListWidget* BJListBox1 = nullptr;  // hint "雙擊進行播放"

    // Find and replace, at the foot of Panel2; folded at start.
    QWidget* Panel5 = nullptr;      // header + body
    QWidget* Panel6 = nullptr;      // header strip, 17 px, hint "查找与替換"
    QToolButton* Image1 = nullptr;  // shown while folded; click unfolds
    QToolButton* Image2 = nullptr;  // shown while unfolded; click folds
    QWidget* Panel7 = nullptr;      // body, 129 px
    QLabel* Label1 = nullptr;       // "查找內容"
    QLineEdit* Fedit = nullptr;
    QLabel* Label2 = nullptr;  // "替換為"
    QLineEdit* Redit = nullptr;
    QToolButton* SpeedButton2 = nullptr;  // "查找"
    QToolButton* SpeedButton3 = nullptr;  // "查找与替換"
    QToolButton* SpeedButton4 = nullptr;  // "替換以下"
    QCheckBox* CheckBox2 = nullptr;       // "區分大小寫"
    QCheckBox* CheckBox1 = nullptr;       // "全部"
    QCheckBox* CheckBox4 = nullptr;       // "從頂部開始"
    QCheckBox* CheckBox3 = nullptr;       // "向上查找"

    // ---- Centre ----------------------------------------------------------------------
    QPlainTextEdit* Memo1 = nullptr;
    QWidget* Panel9 = nullptr;          // loop panel under the editor
    QLabel* Label3 = nullptr;           // "循環次數"
    QSpinBox* SpinEdit1 = nullptr;      // 1..1000000, 2
    QLabel* Label4 = nullptr;           // "間隔秒數"
    QSpinBox* SpinEdit2 = nullptr;      // 1..10000000, 60
    QPushButton* btn_ok = nullptr;      // "設為默認"
    QToolButton* btn_close9 = nullptr;  // hint "Close": hides Panel9

    // ---- Status bar: widths 100, 150, 400, 50 ----------------------------------------
    // 0 caret position, 1 date and weekday, 2 document file, 3 music file.
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 4> statusPanel{};
    QLabel* statusEncoding = nullptr;  // the open file's encoding, between panels 2 and 3

    // ---- Main menu -------------------------------------------------------------------
    QMenu* M_file = nullptr;      // "文件(&F)"
    QAction* N35 = nullptr;       // "新建  (&N)"
    QAction* N11 = nullptr;       // "打開  (&O)"
    QAction* N12 = nullptr;       // "保存  (&S)"
    QAction* N21 = nullptr;       // "另存為(&A)"
    QMenu* M_reopenAs = nullptr;  // "以編碼重新開啟": one action per encoding, its data the encoding
    QAction* WAV1 = nullptr;      // "輸出聲音文件 (&W)"
    QAction* N14 = nullptr;       // "輸出選擇范圍 (&F)"
    QAction* N_exit = nullptr;    // "退出 (&C)"

    QMenu* M_edit = nullptr;     // "編輯(&E)"
    QAction* CCtrlC2 = nullptr;  // "复制 (&C)  Ctrl+C"
    QAction* VCtrlV3 = nullptr;  // "粘貼 (&V)  Ctrl+V"
    QAction* XCtrlX1 = nullptr;  // "剪切 (&X)  Ctrl+X"
    QAction* ZCtrlZ1 = nullptr;  // "撤銷 (&Z)  Ctrl+Z"
    QAction* A1 = nullptr;       // "全選 (&A)  Ctrl+A " (trailing blank kept)

    QMenu* M_settings = nullptr;         // "設置(&S)"
    QAction* N23 = nullptr;              // "正文字体   (&F)"
    QAction* N25 = nullptr;              // "正文背景色 (&B)"
    QAction* N27 = nullptr;              // "左對齊    (&L)", checkable, checked
    QAction* N28 = nullptr;              // "居中       (&C)", checkable
    QAction* N29 = nullptr;              // "右對齊     (&R)", checkable
    QActionGroup* alignGroup = nullptr;  // N27..N29: exactly one carries the check mark
    QAction* N_sysset = nullptr;         // "系統設置"

    QMenu* M_help = nullptr;  // "幫助(&H)"
    QAction* N32 = nullptr;   // "關于(&A)"
    QAction* N31 = nullptr;   // "幫助(&H)"

    // ---- Context menu of Memo1 -------------------------------------------------------
    QMenu* memoMenu = nullptr;
    QAction* P_readHere = nullptr;       // "從此處朗讀    (&M)"
    QAction* P_readLine = nullptr;       // "朗讀當前行    (&L)"
    QAction* P_readSelection = nullptr;  // "朗讀所選范圍  (&S)"
    QAction* P_loopRange = nullptr;      // "范圍循環朗讀  (&W)"
    QAction* P_loopAll = nullptr;        // "全文循環朗讀  (&T)"
    QAction* P_bookmark = nullptr;       // "記錄書簽位置    (&B)"
    QAction* P_readLast = nullptr;       // "從上次位置朗讀(&R)"
    QAction* HCtrlH1 = nullptr;          // "复制 (&C)  Ctrl+C"
    QAction* VCtrlV1 = nullptr;          // "粘貼 (&V)  Ctrl+V"
    QAction* N10 = nullptr;              // "全選 (&A)  Ctrl+A"
    QAction* P_insertDelay = nullptr;    // "插入延時符號  (&Y)"

    // Builds everything into w: caption "Sayvell", 966 x 640, find panel folded.
    void setupUi(QMainWindow* w);

    // The tool bar's 17 buttons, left to right.
    std::array<QToolButton*, 17> toolButtons() const;

    // Folded: body hidden, Image1 shown; unfolded: body shown, Image2 shown.
    void setFindPanelFolded(bool folded);
    bool findPanelFolded() const;

private:
    void setupPanel(QMainWindow* w, QWidget* central, QBoxLayout* body);
};

}  // namespace sayvell::ui
