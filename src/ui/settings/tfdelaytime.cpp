#include "ui/settings/tfdelaytime.h"

#include "ui/common/placement.h"

#include "reading/reading_state.h"
#include "store/delay_table_model.h"
#include "store/settings_file.h"
#include "ui/common/dialogs.h"
#include "ui/settings/delay_grid.h"
#include "ui/settings/pronunciation_page.h"
#include "ui/settings/tfaddbiaodian.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace sayvell::ui {

namespace keys = store::keys;

namespace {

QLabel* note(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color: blue;"));
    l->setWordWrap(true);
    return l;
}

QPushButton* saveButton(const char* name, QWidget* parent) {
    auto* b =
        new QPushButton(parent->style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("保存"), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QStringLiteral("保存"));
    b->setAccessibleName(QStringLiteral("保存"));
    return b;
}

QCheckBox* check(const char* name, const QString& caption, QWidget* parent) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

}  // namespace

const QStringList& outputFormatNames() {
    static const QStringList names = {
        "8kHz 8Bit Mono",    "8kHz 8Bit Stereo",    "8kHz 16Bit Mono",   "8kHz 16Bit Stereo",
        "11kHz 8Bit Mono",   "11kHz 8Bit   Stereo", "11kHz 16Bit Mono",  "11kHz 16Bit Stereo",
        "12kHz 8Bit   Mono", "12kHz 8Bit   Stereo", "12kHz 16Bit Mono",  "12kHz 16Bit Stereo",
        "16kHz 8Bit   Mono", "16kHz 8Bit   Stereo", "16kHz 16Bit Mono",  "16kHz 16Bit Stereo",
        "22kHz 8Bit   Mono", "22kHz 8Bit   Stereo", "22kHz 16Bit Mono",  "22kHz 16Bit Stereo",
        "24kHz 8Bit   Mono", "24kHz 8Bit   Stereo", "24kHz 16Bit Mono",  "24kHz 16Bit Stereo",
        "32kHz 8Bit   Mono", "32kHz 8Bit   Stereo", "32kHz 16Bit Mono",  "32kHz 16Bit Stereo",
        "44kHz 8Bit   Mono", "44kHz 8Bit   Stereo", "44kHz 16Bit Mono",  "44kHz 16Bit Stereo",
        "48kHz 8Bit   Mono", "48kHz 8Bit   Stereo", "48kHz 16Bit  Mono", "48kHz 16Bit  Stereo",
    };
    return names;
}

TFdelaytime::TFdelaytime(store::DelayDataset& rows, reading::ReadingState& state, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint), rows_(rows),
      state_(state), dialogs_(dialogs) {
    setObjectName(QStringLiteral("TFdelaytime"));
    setWindowTitle(QStringLiteral("系統設置"));
    setModal(false);
    model_ = new store::DelayTableModel(rows_, this);
    connect(model_, &store::DelayTableModel::writeFailed, this, [this](const QString& m) { dialogs_.error(m); });

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(buildDelayPage(), QStringLiteral("停頓及延時設置"));
    PageControl1->addTab(buildFormatPage(), QStringLiteral("輸出音頻格式"));
    PageControl1->addTab(buildHotkeyPage(), QStringLiteral("快捷鍵設置"));
    pronunciationPage = new PronunciationPage(dialogs_);
    PageControl1->addTab(pronunciationPage, QStringLiteral("讀音表"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    add_ = new TFaddbiaodian(*model_, dialogs_, this);
}

TFdelaytime::~TFdelaytime() = default;

void TFdelaytime::setPronunciationTable(store::PronunciationTable* table) { pronunciationPage->setTable(table); }

QWidget* TFdelaytime::buildDelayPage() {
    auto* page = new QWidget;
    DBGrid1 = new DelayGrid(page);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("停頓表"));
    DBGrid1->setToolTip(QStringLiteral("點右鍵操作或直接修改延時毫秒"));
    DBGrid1->setModel(model_);
    DBGrid1->setMinimumSize(420, 300);
    DBGrid1->setColumnWidth(store::DelayTableModel::NameColumn, 150);
    DBGrid1->setColumnWidth(store::DelayTableModel::SymbolColumn, 90);
    // The grid and the add window share the dataset's current row.
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { rows_.setCurrentIndex(current.row()); });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int, int last) {
        DBGrid1->setCurrentIndex(model_->index(last, store::DelayTableModel::NameColumn));
        DBGrid1->scrollTo(DBGrid1->currentIndex());
    });

    PopupMenu1 = new QMenu(DBGrid1);
    N_add = PopupMenu1->addAction(QStringLiteral("&A.新增"));
    N_add->setObjectName(QStringLiteral("N_add"));
    N_delete = PopupMenu1->addAction(QStringLiteral("&D.刪除"));
    N_delete->setObjectName(QStringLiteral("N_delete"));
    connect(N_add, &QAction::triggered, this, &TFdelaytime::N_addClick);
    connect(N_delete, &QAction::triggered, this, &TFdelaytime::N_deleteClick);
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(at)); });

    auto* delayCaption = new QLabel(QStringLiteral("\"※\" 符號延時毫秒數 "), page);
    S_delay2 = new QSpinBox(page);
    S_delay2->setObjectName(QStringLiteral("S_delay2"));
    S_delay2->setRange(1, 1000000);
    S_delay2->setValue(keys::Delay2.fallback);
    S_delay2->setAccessibleName(delayCaption->text());
    delayCaption->setBuddy(S_delay2);
    BitBtn4 = saveButton("BitBtn4", page);
    connect(BitBtn4, &QPushButton::clicked, this, &TFdelaytime::BitBtn4Click);

    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(delayCaption);
    delayRow->addWidget(S_delay2);
    delayRow->addStretch();
    delayRow->addWidget(BitBtn4);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(DBGrid1);
    layout->addWidget(note(
        QStringLiteral("注意：句中出現表格中的符號，便會停頓。可以設置停頓毫秒數。 在表格中點右鍵新增或刪除。"), page));
    layout->addLayout(delayRow);
    layout->addWidget(note(QStringLiteral("注意：句中出現該符號，便會延時。1毫秒=1/1000秒。 "), page));
    return page;
}

QWidget* TFdelaytime::buildFormatPage() {
    auto* page = new QWidget;
    auto* caption = new QLabel(QStringLiteral("選擇輸出音頻格式："), page);
    ComboBox1 = new QComboBox(page);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(false);
    ComboBox1->addItems(outputFormatNames());
    ComboBox1->setCurrentIndex(kDefaultFormatIndex);
    ComboBox1->setAccessibleName(caption->text());
    caption->setBuddy(ComboBox1);
    BitBtn2 = new QPushButton(QStringLiteral("使用默認值"), page);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAccessibleName(BitBtn2->text());
    BitBtn1 = saveButton("BitBtn1", page);
    connect(BitBtn2, &QPushButton::clicked, this, &TFdelaytime::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TFdelaytime::BitBtn1Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(caption);
    layout->addWidget(ComboBox1);
    layout->addStretch();
    layout->addLayout(buttons);
    return page;
}

QWidget* TFdelaytime::buildHotkeyPage() {
    auto* page = new QWidget;
    chkf7 = check("chkf7", QStringLiteral("是否設置F7 (從最前面朗讀)"), page);
    chkf9 = check("chkf9", QStringLiteral("是否設置F9 (全文循環朗讀)"), page);
    chkf11 = check("chkf11", QStringLiteral("是否設置F11 (停止朗讀)"), page);
    BitBtn3 = saveButton("BitBtn3", page);
    connect(BitBtn3, &QPushButton::clicked, this, &TFdelaytime::BitBtn3Click);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(chkf7);
    layout->addWidget(chkf9);
    layout->addWidget(chkf11);
    layout->addStretch();
    layout->addWidget(BitBtn3, 0, Qt::AlignRight);
    return page;
}

void TFdelaytime::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TFdelaytime::FormShow() {
    const store::SettingsFile ini;
    S_delay2->setValue(ini.read(keys::Delay2));  // held within the box's range
    const int format = ini.read(keys::Yinping);
    // An index that names no format shows the default rather than an empty list.
    ComboBox1->setCurrentIndex(format >= 0 && format < ComboBox1->count() ? format : kDefaultFormatIndex);
    chkf7->setChecked(ini.read(keys::HotkeyF7));
    chkf9->setChecked(ini.read(keys::HotkeyF9));
    chkf11->setChecked(ini.read(keys::HotkeyF11));
}

void TFdelaytime::BitBtn4Click() {
    DBGrid1->commitPending();
    S_delay2->interpretText();
    const int delay = S_delay2->value();
    try {
        store::SettingsFile().write(keys::Delay2, delay);
    } catch (const store::SettingsWriteError& e) {
        dialogs_.error(QString::fromUtf8(e.what()));
        return;
    }
    state_.symbolDelayMs = delay;
    // One whole table replaces the other: a reading in progress cuts its next piece by the
    // old table or the new one, never by a mixture.
    state_.setDelimiterTable(reading::DelimiterTable::fromMarks(rows_.marks()));
    dialogs_.information(kSaved);
}

void TFdelaytime::BitBtn2Click() { ComboBox1->setCurrentIndex(kDefaultFormatIndex); }

void TFdelaytime::BitBtn1Click() {
    const int index = ComboBox1->currentIndex();
    try {
        store::SettingsFile().write(keys::Yinping, index);
    } catch (const store::SettingsWriteError& e) {
        dialogs_.error(QString::fromUtf8(e.what()));
        return;
    }
    if (exportFormat_) exportFormat_(index);
    dialogs_.information(kSaved);
}

void TFdelaytime::BitBtn3Click() {
    try {
        store::SettingsFile ini;
        ini.write(keys::HotkeyF7, chkf7->isChecked());
        ini.write(keys::HotkeyF9, chkf9->isChecked());
        ini.write(keys::HotkeyF11, chkf11->isChecked());
    } catch (const store::SettingsWriteError& e) {
        dialogs_.error(QString::fromUtf8(e.what()));
        return;
    }
    dialogs_.information(kHotkeysAfterRestart);
}

void TFdelaytime::N_addClick() {
    if (!add_->isVisible()) centreOnScreenOf(add_, this);
    add_->show();
    add_->raise();
    add_->activateWindow();
}

void TFdelaytime::N_deleteClick() {
    DBGrid1->commitPending();
    const int row = DBGrid1->currentIndex().isValid() ? DBGrid1->currentIndex().row() : rows_.currentIndex();
    const store::DbResult r = model_->deleteRow(row);
    if (!r) dialogs_.warning(r.message);
}

}  // namespace sayvell::ui
