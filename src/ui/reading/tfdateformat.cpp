#include "ui/reading/tfdateformat.h"

#include "ui/common/settings_writes.h"

#include "reading/clock.h"
#include "reading/reading_state.h"
#include "store/settings_file.h"
#include "ui/common/dialogs.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace sayvell::ui {

namespace {

const QString kDefaultPrefix = QStringLiteral("默認格式是：");

QLabel* blueLabel(const QString& text, const char* name, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    l->setPalette(pal);
    return l;
}

QPushButton* pushButton(const QString& caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(QString(caption).remove(u'&').simplified());
    b->setAutoDefault(false);
    return b;
}

}  // namespace

Tfdateformat::Tfdateformat(reading::ReadingState& state, reading::Clock& clock, reading::DateFormatter formatter,
                           Dialogs& dialogs, InsertText inserttime, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      state_(state), clock_(clock), formatter_(std::move(formatter)), dialogs_(dialogs),
      inserttime_(std::move(inserttime)) {
    setObjectName(QStringLiteral("fdateformat"));
    setWindowTitle(QStringLiteral("選擇動態日期時間格式"));
    setModal(false);

    Label1 = blueLabel(QStringLiteral("輸入%Date%系統會讀出當前日期時間"), "Label1", this);
    Label1->setAccessibleName(Label1->text());
    Label2 = blueLabel(QString(), "Label2", this);

    GroupBox1 = new QGroupBox(QStringLiteral("選擇日期時間格式"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* radios = new QVBoxLayout(GroupBox1);
    for (int type = 1; type <= reading::kDateFormatTypes; ++type) {
        auto* r = new QRadioButton(GroupBox1);
        r->setObjectName(QStringLiteral("RadioButton%1").arg(type));
        radios->addWidget(r);
        connect(r, &QRadioButton::clicked, this, [this, type] { radioClick(type); });
        RadioButtons[static_cast<size_t>(type - 1)] = r;
    }
    RadioButtons[0]->setChecked(true);

    BitBtn1 = pushButton(QStringLiteral("設為默認"), "BitBtn1", this);
    BitBtn2 = pushButton(QStringLiteral("&I.插       入"), "BitBtn2", this);
    BitBtn3 = pushButton(QStringLiteral("&E.退       出"), "BitBtn3", this);
    connect(BitBtn1, &QPushButton::clicked, this, &Tfdateformat::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Tfdateformat::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &Tfdateformat::BitBtn3Click);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);
    auto* root = new QVBoxLayout(this);
    root->addWidget(Label1);
    root->addWidget(Label2);
    root->addWidget(GroupBox1);
    root->addLayout(buttons);
    // Room for the longest caption (a full date with its weekday) in any locale.
    setMinimumWidth(320);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

int Tfdateformat::selectedType() const {
    for (size_t i = 0; i < RadioButtons.size(); ++i)
        if (RadioButtons[i]->isChecked()) return static_cast<int>(i) + 1;
    return 1;
}

void Tfdateformat::readdefault() {
    const int type = store::SettingsFile().read(store::keys::Datetimetype);
    if (type < 1 || type > reading::kDateFormatTypes) return;
    Label2->setText(kDefaultPrefix + formatter_.formatType(type, clock_.now()));
}

void Tfdateformat::showEvent(QShowEvent* event) {
    const QDateTime now = clock_.now();
    for (int type = 1; type <= reading::kDateFormatTypes; ++type) {
        QRadioButton* r = RadioButtons[static_cast<size_t>(type - 1)];
        const QString caption = formatter_.formatType(type, now);
        r->setText(caption);
        r->setAccessibleName(caption);
    }
    const int current = state_.dateFormatType.load();
    if (current >= 1 && current <= reading::kDateFormatTypes)
        RadioButtons[static_cast<size_t>(current - 1)]->setChecked(true);
    readdefault();
    QDialog::showEvent(event);
}

void Tfdateformat::hideEvent(QHideEvent* event) {
    // However the window goes away, the checked format is the one in force.
    state_.dateFormatType = selectedType();
    QDialog::hideEvent(event);
}

void Tfdateformat::radioClick(int type) { state_.dateFormatType = type; }

void Tfdateformat::BitBtn1Click() {
    const int type = selectedType();
    state_.dateFormatType = type;
    if (writeSettings(dialogs_, [type](store::SettingsFile& ini) { ini.write(store::keys::Datetimetype, type); }))
        readdefault();
}

void Tfdateformat::BitBtn2Click() {
    if (inserttime_) inserttime_(reading::kDateToken);
}

void Tfdateformat::BitBtn3Click() { close(); }

}  // namespace sayvell::ui
