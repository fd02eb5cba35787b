#include "ui/plan/plan_entry_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

namespace sayvell::ui {

namespace {

template <typename W>
W* named(W* w, const QString& name) {
    w->setAccessibleName(name);
    return w;
}

QSpinBox* spin(int lo, int hi, int value, const QString& name) {
    auto* s = named(new QSpinBox, name);
    s->setRange(lo, hi);
    s->setValue(value);
    return s;
}

QString dateText(QDate d) { return d.isValid() ? d.toString(Qt::ISODate) : QString(); }

}  // namespace

PlanEntryDialog::PlanEntryDialog(const plan::Entry& e, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), entry_(e), dialogs_(dialogs) {
    setWindowTitle(QStringLiteral("播報項目"));
    auto* form = new QFormLayout;
    name = named(new QLineEdit(e.name), QStringLiteral("名稱"));
    enabled = named(new QCheckBox(QStringLiteral("啟用")), QStringLiteral("啟用"));
    enabled->setChecked(e.enabled);
    text = named(new QPlainTextEdit(e.text), QStringLiteral("播報文字"));
    text->setTabChangesFocus(true);
    text->setMinimumHeight(80);
    textFile = named(new QLineEdit(e.textFile), QStringLiteral("文字檔（填了就讀檔案）"));
    times = named(new QLineEdit(plan::formatTimeList(e.times)), QStringLiteral("時間（如 09:00, 21:45）"));
    every = spin(0, 1440, e.everyMinutes, QStringLiteral("每隔幾分鐘（0 不重複）"));
    from = named(new QLineEdit(plan::formatTimeOfDay(e.fromSecond)), QStringLiteral("從"));
    to = named(new QLineEdit(plan::formatTimeOfDay(e.toSecond)), QStringLiteral("到"));
    auto* dayRow = new QHBoxLayout;
    static const QString letters = QStringLiteral("一二三四五六日");
    for (int d = 0; d < 7; ++d) {
        days[d] = named(new QCheckBox(QStringLiteral("週") + letters[d]), QStringLiteral("週") + letters[d]);
        days[d]->setChecked(e.playsOnWeekday(d + 1));
        dayRow->addWidget(days[d]);
    }
    firstDate = named(new QLineEdit(dateText(e.firstDate)), QStringLiteral("開始日期（yyyy-MM-dd，空白為不限）"));
    lastDate = named(new QLineEdit(dateText(e.lastDate)), QStringLiteral("結束日期（yyyy-MM-dd，空白為不限）"));
    onDaysOff = named(new QCheckBox(QStringLiteral("休息日也播報")), QStringLiteral("休息日也播報"));
    onDaysOff->setChecked(e.onDaysOff);
    chime = named(new QComboBox, QStringLiteral("提示音"));
    chime->addItems({QStringLiteral("無"), QStringLiteral("內建鐘聲"), QStringLiteral("聲音檔")});
    chime->setCurrentIndex(e.chime.isEmpty() ? 0 : e.chime == plan::kBuiltinChime ? 1 : 2);
    chimeFile =
        named(new QLineEdit(e.chime == plan::kBuiltinChime ? QString() : e.chime), QStringLiteral("提示音檔案"));
    repeat = spin(1, plan::kMaxRepeat, e.repeat, QStringLiteral("播報次數"));
    gap = spin(0, plan::kMaxGapSeconds, e.gapSeconds, QStringLiteral("每次間隔（秒）"));
    rate = spin(-10, 15, e.rate, QStringLiteral("語速"));
    volume = spin(0, 100, e.volume, QStringLiteral("音量"));
    voice = named(new QLineEdit(e.voice), QStringLiteral("語音（空白為系統設定）"));
    sink = named(new QLineEdit(e.sink), QStringLiteral("輸出裝置（空白為預設）"));

    form->addRow(QStringLiteral("名稱："), name);
    form->addRow(QString(), enabled);
    form->addRow(QStringLiteral("播報文字："), text);
    form->addRow(QStringLiteral("或文字檔："), textFile);
    form->addRow(QStringLiteral("時間："), times);
    auto* everyRow = new QHBoxLayout;
    everyRow->addWidget(every);
    everyRow->addWidget(from);
    everyRow->addWidget(to);
    form->addRow(QStringLiteral("每隔分鐘、從、到："), everyRow);
    form->addRow(QStringLiteral("星期："), dayRow);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(firstDate);
    dateRow->addWidget(lastDate);
    form->addRow(QStringLiteral("日期範圍："), dateRow);
    form->addRow(QString(), onDaysOff);
    auto* chimeRow = new QHBoxLayout;
    chimeRow->addWidget(chime);
    chimeRow->addWidget(chimeFile);
    form->addRow(QStringLiteral("提示音："), chimeRow);
    auto* repeatRow = new QHBoxLayout;
    repeatRow->addWidget(repeat);
    repeatRow->addWidget(gap);
    form->addRow(QStringLiteral("次數、間隔秒："), repeatRow);
    auto* voiceRow = new QHBoxLayout;
    voiceRow->addWidget(voice);
    voiceRow->addWidget(rate);
    voiceRow->addWidget(volume);
    form->addRow(QStringLiteral("語音、語速、音量："), voiceRow);
    form->addRow(QStringLiteral("輸出裝置："), sink);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("確定"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setLayout(form);
}

bool PlanEntryDialog::read(plan::Entry* e, QString* error) const {
    e->name = name->text().trimmed();
    e->enabled = enabled->isChecked();
    e->text = text->toPlainText();
    e->textFile = textFile->text().trimmed();
    QString bad;
    if (!plan::parseTimeList(times->text(), &e->times, &bad)) {
        *error = QStringLiteral("「%1」不是時間，請寫成 HH:mm。").arg(bad);
        return false;
    }
    e->everyMinutes = every->value();
    e->fromSecond = plan::parseTimeOfDay(from->text());
    e->toSecond = plan::parseTimeOfDay(to->text());
    if (e->everyMinutes > 0 && (e->fromSecond < 0 || e->toSecond < 0)) {
        *error = QStringLiteral("「從」和「到」須寫成 HH:mm。");
        return false;
    }
    e->weekdays = 0;
    for (int d = 0; d < 7; ++d)
        if (days[d]->isChecked()) e->weekdays |= quint8(1u << d);
    for (auto [edit, date] : {std::pair{firstDate, &e->firstDate}, std::pair{lastDate, &e->lastDate}}) {
        const QString t = edit->text().trimmed();
        *date = t.isEmpty() ? QDate() : QDate::fromString(t, Qt::ISODate);
        if (!t.isEmpty() && !date->isValid()) {
            *error = QStringLiteral("「%1」不是日期，請寫成 yyyy-MM-dd。").arg(t);
            return false;
        }
    }
    e->onDaysOff = onDaysOff->isChecked();
    e->chime = chime->currentIndex() == 0   ? QString()
               : chime->currentIndex() == 1 ? plan::kBuiltinChime
                                            : chimeFile->text().trimmed();
    if (chime->currentIndex() == 2 && e->chime.isEmpty()) {
        *error = QStringLiteral("請填提示音的檔案。");
        return false;
    }
    e->repeat = repeat->value();
    e->gapSeconds = gap->value();
    e->rate = rate->value();
    e->volume = volume->value();
    e->voice = voice->text().trimmed();
    e->sink = sink->text().trimmed();
    *error = plan::validateEntry(*e);
    return error->isEmpty();
}

void PlanEntryDialog::accept() {
    plan::Entry e = entry_;
    QString error;
    if (!read(&e, &error)) {
        dialogs_.warning(error);
        return;
    }
    entry_ = std::move(e);
    QDialog::accept();
}

}  // namespace sayvell::ui
