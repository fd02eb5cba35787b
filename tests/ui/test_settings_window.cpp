// The system settings window and its add window, opened from the main window's tool button
// and driven through their own controls.
#include "store/delay_table_model.h"
#include "store/settings_file.h"
#include "ui/export/export_controller.h"
#include "ui/settings/delay_grid.h"
#include "ui/settings/tfaddbiaodian.h"
#include "ui/settings/tfdelaytime.h"
#include "ui/window_rig.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace sayvell;
using sayvell::testing::waitFor;
using sayvell::testing::WindowRig;

namespace {

ui::TFdelaytime* openSettings(WindowRig& rig) {
    rig.window->ui.sb_delay->click();
    auto* w = rig.window->findChild<ui::TFdelaytime*>();
    EXPECT_TRUE(w && w->isVisible());
    return w;
}

// The rows as a second connection reads them from the file.
std::vector<store::DelayRow> rowsInFile(WindowRig& rig) {
    auto other = store::TDM::open(rig.path("draft.dat"));
    EXPECT_TRUE(other);
    return other ? other->q_delaytime.rows() : std::vector<store::DelayRow>{};
}

void addRow(ui::TFdelaytime* w, const QString& name, const QString& symbol, int ms) {
    ui::TFaddbiaodian* add = w->addWindow();
    add->Edit1->setText(name);
    add->Edit2->setText(symbol);
    add->SpinEdit1->setValue(ms);
    add->Button1->click();
}

// Pixels of the cell's text drawn in red.
int redPixels(ui::DelayGrid* grid, int row) {
    grid->viewport()->repaint();
    const QImage image = grid->viewport()->grab().toImage();
    const QRect cell = grid->visualRect(grid->model()->index(row, store::DelayTableModel::NameColumn));
    int red = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 180 && c.green() < 90 && c.blue() < 90;
        }
    return red;
}

}  // namespace

TEST(SettingsWindow, ShowsTheSavedValuesOnEveryShowingAndSavesEachPage) {
    WindowRig rig;
    ui::TFdelaytime* w = openSettings(rig);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("系統設置"));
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->S_delay2->value(), 800);
    EXPECT_EQ(w->ComboBox1->count(), 36);
    EXPECT_EQ(w->ComboBox1->currentText(), QStringLiteral("32kHz 8Bit   Mono"));
    EXPECT_TRUE(w->chkf7->isChecked() && w->chkf9->isChecked() && w->chkf11->isChecked());

    // "使用默認值" saves nothing; closing drops the unsaved choice.
    w->PageControl1->setCurrentIndex(1);
    w->ComboBox1->setCurrentIndex(30);
    w->BitBtn1->click();
    EXPECT_EQ(rig.dialogs.shown.takeLast(), QStringLiteral("information:保存成功!"));
    auto* exporter = rig.window->findChild<ui::ExportController*>();
    ASSERT_TRUE(exporter);
    EXPECT_EQ(exporter->ComboBox1()->currentIndex(), 30);  // the next export's format
    w->ComboBox1->setCurrentIndex(3);
    w->BitBtn2->click();
    EXPECT_EQ(w->ComboBox1->currentIndex(), 24);
    w->close();
    EXPECT_EQ(store::SettingsFile().readInteger("System", "Yinping", -1), 30);
    w = openSettings(rig);
    EXPECT_EQ(w->ComboBox1->currentText(), QStringLiteral("44kHz 16Bit Mono"));
    EXPECT_EQ(w->PageControl1->currentIndex(), 1);  // the page last shown

    w->PageControl1->setCurrentIndex(2);
    w->chkf9->setChecked(false);
    w->BitBtn3->click();
    EXPECT_EQ(rig.dialogs.shown.takeLast(), QStringLiteral("information:設置已完成，需退出重新進入后才有效!"));
    const store::SettingsFile ini;
    EXPECT_TRUE(ini.readBool("System", "F7", false));
    EXPECT_FALSE(ini.readBool("System", "F9", true));
    EXPECT_TRUE(ini.readBool("System", "F11", false));
}

TEST(SettingsWindow, ValuesOutsideTheirRangeShowTheDefaultOrTheNearestBound) {
    for (const char* text : {"[System]\nYinping=99\nDelay2=-5\nF7=true\nF11=0\n", "[System]\nYinping=x\nDelay2=0\n"}) {
        WindowRig rig(text);
        ui::TFdelaytime* w = openSettings(rig);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->ComboBox1->currentIndex(), 24) << text;
        EXPECT_EQ(w->S_delay2->value(), 1) << text;
        EXPECT_TRUE(w->chkf7->isChecked());
        EXPECT_EQ(w->chkf11->isChecked(), QByteArray(text).contains("F11") ? false : true);
    }
}

TEST(SettingsWindow, TheAddWindowRefusesEmptyAndDelaySymbolsAndTheTableStopsAtThirtyRows) {
    WindowRig rig;
    ui::TFdelaytime* w = openSettings(rig);
    ASSERT_TRUE(w);
    const int delivered = w->DBGrid1->model()->rowCount();
    w->N_add->trigger();
    EXPECT_TRUE(w->addWindow()->isVisible());
    EXPECT_EQ(w->addWindow()->windowTitle(), QStringLiteral("新增延時符號"));

    addRow(w, QStringLiteral("空"), QStringLiteral("  "), 100);
    addRow(w, QStringLiteral("延時"), QStringLiteral("ab※c"), 100);
    EXPECT_EQ(rig.dialogs.shown, (QStringList{QStringLiteral("information:請輸入標點符號!"),
                                              QStringLiteral("warning:該符號為系統功能符號，不能添加!")}));
    EXPECT_EQ(int(rowsInFile(rig).size()), delivered);

    // A quotation mark is stored as typed; the fields stay for the next row.
    addRow(w, QStringLiteral("單引號"), QStringLiteral("'"), 150);
    EXPECT_EQ(w->addWindow()->Edit2->text(), QStringLiteral("'"));
    EXPECT_EQ(rowsInFile(rig).back().descript, QStringLiteral("'"));
    EXPECT_EQ(w->DBGrid1->currentIndex().row(), delivered);  // the grid shows the new row

    rig.dialogs.shown.clear();
    for (int i = delivered + 1; i < store::kMaxDelayRows; ++i)
        addRow(w, QStringLiteral("符號"), QString(QChar(0x2460 + i)), i);
    EXPECT_TRUE(rig.dialogs.shown.isEmpty()) << rig.dialogs.shown.join(u'|').toStdString();
    addRow(w, QStringLiteral("多一個"), QStringLiteral("＃"), 1);
    EXPECT_EQ(rig.dialogs.shown, QStringList{"warning:" + store::kTableFullMessage});
    EXPECT_EQ(w->DBGrid1->model()->rowCount(), store::kMaxDelayRows);
    EXPECT_EQ(int(rowsInFile(rig).size()), store::kMaxDelayRows);
}

TEST(SettingsWindow, TheGridDrawsSystemRowsRedKeepsThemAndEditsRowsInTheFile) {
    WindowRig rig;
    ui::TFdelaytime* w = openSettings(rig);
    ASSERT_TRUE(w);
    ui::DelayGrid* grid = w->DBGrid1;
    const int delivered = grid->model()->rowCount();
    addRow(w, QStringLiteral("頓號"), QStringLiteral("、"), 300);
    ASSERT_EQ(grid->model()->rowCount(), delivered + 1);
    EXPECT_GT(redPixels(grid, 0), 10);
    EXPECT_EQ(redPixels(grid, delivered), 0);

    rig.dialogs.shown.clear();
    grid->setCurrentIndex(grid->model()->index(0, 0));
    w->N_delete->trigger();
    EXPECT_EQ(rig.dialogs.shown, QStringList{"warning:" + store::kSystemRowMessage});
    EXPECT_EQ(int(rowsInFile(rig).size()), delivered + 1);

    // Down on the last row neither appends nor moves.
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(delivered, 2));
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentIndex().row(), delivered);
    EXPECT_EQ(grid->model()->rowCount(), delivered + 1);

    // An edit typed into the grid is in the file once the cell is left.
    const QModelIndex delay = grid->model()->index(1, store::DelayTableModel::DelayColumn);
    grid->setCurrentIndex(delay);
    grid->edit(delay);
    auto* editor = grid->viewport()->findChild<QSpinBox*>();
    ASSERT_TRUE(editor);
    editor->setValue(444);
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(rowsInFile(rig)[1].delaytime, 444);
    EXPECT_FALSE(grid->model()->flags(grid->model()->index(1, store::DelayTableModel::SymbolColumn)) &
                 Qt::ItemIsEditable);

    grid->setCurrentIndex(grid->model()->index(delivered, 0));
    rig.dialogs.shown.clear();
    w->N_delete->trigger();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty()) << rig.dialogs.shown.join(u'|').toStdString();
    EXPECT_EQ(grid->model()->rowCount(), delivered);
    EXPECT_EQ(int(rowsInFile(rig).size()), delivered);
}

TEST(SettingsWindow, ASymbolAddedPausesTheNextReadingOnceThePageIsSaved) {
    WindowRig rig;
    ui::TFdelaytime* w = openSettings(rig);
    ASSERT_TRUE(w);
    addRow(w, QStringLiteral("頓號"), QStringLiteral("、"), 700);
    auto& state = rig.window->readingState();
    EXPECT_EQ(state.delimiterTable().delayOf(u"、"), -1);  // not before the page is saved

    w->S_delay2->setValue(1234);
    w->BitBtn4->click();
    EXPECT_EQ(rig.dialogs.shown.takeLast(), QStringLiteral("information:保存成功!"));
    EXPECT_EQ(store::SettingsFile().readInteger("System", "Delay2", 0), 1234);

    rig.type(QStringLiteral("甲、※乙。"));
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig.engine.texts(), (QStringList{QStringLiteral("甲、"), QStringLiteral("乙。")}));
    EXPECT_EQ(rig.clock.sleeps(), (std::vector<int>{700, 1234, 600}));
}
