#include "ui/plan/plan_window.h"

#include "plan/holiday_ics.h"
#include "plan/plan_store.h"
#include "plan/plan_times.h"
#include "ui/plan/plan_controller.h"
#include "ui/plan/plan_entry_dialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace sayvell::ui {

namespace {

QPushButton* button(const QString& text) {
    auto* b = new QPushButton(text);
    b->setAccessibleName(QString(text).remove(u'&'));
    return b;
}

QTableWidget* table(const QStringList& headers, const QString& name) {
    auto* t = new QTableWidget(0, int(headers.size()));
    t->setHorizontalHeaderLabels(headers);
    t->setAccessibleName(name);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->hide();
    return t;
}

void setRow(QTableWidget* t, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

QString weekdayName(int d) { return QStringLiteral("週") + QStringLiteral("一二三四五六日")[d - 1]; }

QString whenOf(const plan::Entry& e) {
    QStringList parts;
    if (!e.times.empty()) parts << plan::formatTimeList(e.times);
    if (e.everyMinutes > 0)
        parts << QStringLiteral("%1–%2 每 %3 分鐘")
                     .arg(plan::formatTimeOfDay(e.fromSecond), plan::formatTimeOfDay(e.toSecond))
                     .arg(e.everyMinutes);
    return parts.join(QStringLiteral("；"));
}

QWidget* page(QLayout* layout) {
    auto* w = new QWidget;
    w->setLayout(layout);
    return w;
}

}  // namespace

PlanWindow::PlanWindow(PlanController& controller, Dialogs& dialogs, plan::Plan plan, QWidget* parent)
    : QDialog(parent), controller_(controller), dialogs_(dialogs), plan_(std::move(plan)) {
    setWindowTitle(QStringLiteral("播報計畫"));
    resize(820, 520);
    tabs = new QTabWidget;
    tabs->setAccessibleName(QStringLiteral("播報計畫"));

    entries = table({QStringLiteral("名稱"), QStringLiteral("時間"), QStringLiteral("星期"), QStringLiteral("狀態")},
                    QStringLiteral("播報項目"));
    addEntry = button(QStringLiteral("新增(&N)"));
    editEntry = button(QStringLiteral("編輯(&E)"));
    removeEntry = button(QStringLiteral("刪除(&D)"));
    playNow = button(QStringLiteral("立即播放(&P)"));
    auto* entryButtons = new QHBoxLayout;
    for (QPushButton* b : {addEntry, editEntry, removeEntry, playNow}) entryButtons->addWidget(b);
    entryButtons->addStretch();
    auto* entryPage = new QVBoxLayout;
    entryPage->addWidget(entries);
    entryPage->addLayout(entryButtons);
    tabs->addTab(page(entryPage), QStringLiteral("項目"));

    exceptions =
        table({QStringLiteral("日期"), QStringLiteral("類型"), QStringLiteral("說明")}, QStringLiteral("例外日"));
    exceptionDate = new QDateEdit(QDate::currentDate());
    exceptionDate->setCalendarPopup(true);
    exceptionDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    exceptionDate->setAccessibleName(QStringLiteral("日期"));
    addDayOff = button(QStringLiteral("加為休息日(&O)"));
    addWorkingDay = button(QStringLiteral("加為補班日(&W)"));
    removeException = button(QStringLiteral("刪除(&R)"));
    importIcs = button(QStringLiteral("匯入行事曆(&I)"));
    auto* exceptionButtons = new QHBoxLayout;
    exceptionButtons->addWidget(exceptionDate);
    for (QPushButton* b : {addDayOff, addWorkingDay, removeException, importIcs}) exceptionButtons->addWidget(b);
    exceptionButtons->addStretch();
    auto* exceptionPage = new QVBoxLayout;
    exceptionPage->addWidget(exceptions);
    exceptionPage->addLayout(exceptionButtons);
    tabs->addTab(page(exceptionPage), QStringLiteral("例外日"));

    next =
        table({QStringLiteral("時間"), QStringLiteral("星期"), QStringLiteral("項目")}, QStringLiteral("接下來的播報"));
    auto* nextPage = new QVBoxLayout;
    nextPage->addWidget(next);
    tabs->addTab(page(nextPage), QStringLiteral("接下來"));

    log = table({QStringLiteral("預定時間"), QStringLiteral("實際時間"), QStringLiteral("項目"), QStringLiteral("結果"),
                 QStringLiteral("說明")},
                QStringLiteral("播報紀錄"));
    logDay = new QDateEdit(QDate::currentDate());
    logDay->setCalendarPopup(true);
    logDay->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    logDay->setAccessibleName(QStringLiteral("紀錄日期"));
    exportCsv = button(QStringLiteral("匯出 CSV(&C)"));
    auto* logButtons = new QHBoxLayout;
    logButtons->addWidget(logDay);
    logButtons->addWidget(exportCsv);
    logButtons->addStretch();
    auto* logPage = new QVBoxLayout;
    logPage->addLayout(logButtons);
    logPage->addWidget(log);
    tabs->addTab(page(logPage), QStringLiteral("紀錄"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);

    connect(addEntry, &QPushButton::clicked, this, [this] { onAddEntry(); });
    connect(editEntry, &QPushButton::clicked, this, [this] { onEditEntry(); });
    connect(entries, &QTableWidget::cellDoubleClicked, this, [this] { onEditEntry(); });
    connect(removeEntry, &QPushButton::clicked, this, [this] { onRemoveEntry(); });
    connect(playNow, &QPushButton::clicked, this, [this] { onPlayNow(); });
    connect(addDayOff, &QPushButton::clicked, this, [this] { onAddException(plan::DayKind::DayOff); });
    connect(addWorkingDay, &QPushButton::clicked, this, [this] { onAddException(plan::DayKind::WorkingDay); });
    connect(removeException, &QPushButton::clicked, this, [this] { onRemoveException(); });
    connect(importIcs, &QPushButton::clicked, this, [this] { onImportIcs(); });
    connect(logDay, &QDateEdit::dateChanged, this, [this] { showLog(); });
    connect(exportCsv, &QPushButton::clicked, this, [this] { onExportCsv(); });
    connect(tabs, &QTabWidget::currentChanged, this, [this] { showLog(); });

    showEntries();
    showExceptions();
    showNext();
    showLog();
}

void PlanWindow::showEntries() {
    entries->setRowCount(int(plan_.entries.size()));
    for (int i = 0; i < int(plan_.entries.size()); ++i) {
        const plan::Entry& e = plan_.entries[std::size_t(i)];
        setRow(entries, i,
               {e.name, whenOf(e), plan::weekdayLetters(e.weekdays),
                e.enabled ? QStringLiteral("啟用") : QStringLiteral("停用")});
    }
    entries->resizeColumnsToContents();
}

void PlanWindow::showExceptions() {
    exceptions->setRowCount(int(plan_.exceptions.size()));
    for (int i = 0; i < int(plan_.exceptions.size()); ++i) {
        const plan::Exception& x = plan_.exceptions[std::size_t(i)];
        const QString kind = x.kind == plan::DayKind::DayOff
                                 ? QStringLiteral("休息日")
                                 : QStringLiteral("補班日（依%1）").arg(weekdayName(x.followsWeekday));
        setRow(exceptions, i, {x.date.toString(Qt::ISODate), kind, x.note});
    }
    exceptions->resizeColumnsToContents();
}

void PlanWindow::showNext() {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const auto list = plan::nextOccurrences(plan_, zone, QDateTime::currentSecsSinceEpoch() + 1, 20);
    next->setRowCount(int(list.size()));
    for (int i = 0; i < int(list.size()); ++i) {
        const QDateTime at = QDateTime::fromSecsSinceEpoch(list[std::size_t(i)].due, zone);
        setRow(next, i,
               {at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), weekdayName(at.date().dayOfWeek()),
                plan_.entries[std::size_t(list[std::size_t(i)].entry)].name});
    }
    next->resizeColumnsToContents();
}

void PlanWindow::showLog() {
    plan::PlanStore* store = controller_.store();
    if (!store) return;
    const QDate day = logDay->date();
    const auto rows = store->log(QDateTime(day, QTime(0, 0)).toSecsSinceEpoch(),
                                 QDateTime(day.addDays(1), QTime(0, 0)).toSecsSinceEpoch());
    auto time = [](qint64 s) { return QDateTime::fromSecsSinceEpoch(s).toString(QStringLiteral("HH:mm:ss")); };
    log->setRowCount(int(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i) {
        const plan::LogRow& r = rows[std::size_t(i)];
        setRow(log, i,
               {time(r.planned), r.played ? time(*r.played) : QString(), r.entryName, plan::statusText(r.status),
                r.detail});
    }
    log->resizeColumnsToContents();
}

bool PlanWindow::commit(plan::Plan changed) {
    if (!controller_.apply(changed)) return false;
    plan_ = controller_.player() ? controller_.player()->plan() : changed;
    showEntries();
    showExceptions();
    showNext();
    return true;
}

void PlanWindow::onAddEntry() {
    plan::Entry fresh;
    fresh.times = {9 * 3600};
    fresh.chime = plan::kBuiltinChime;
    PlanEntryDialog dialog(fresh, dialogs_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    plan::Plan changed = plan_;
    changed.entries.push_back(dialog.entry());
    if (commit(std::move(changed))) entries->selectRow(int(plan_.entries.size()) - 1);
}

void PlanWindow::onEditEntry() {
    const int row = entries->currentRow();
    if (row < 0 || row >= int(plan_.entries.size())) return dialogs_.warning(QStringLiteral("請先選擇一個項目。"));
    PlanEntryDialog dialog(plan_.entries[std::size_t(row)], dialogs_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    plan::Plan changed = plan_;
    changed.entries[std::size_t(row)] = dialog.entry();
    if (commit(std::move(changed))) entries->selectRow(row);
}

void PlanWindow::onRemoveEntry() {
    const int row = entries->currentRow();
    if (row < 0 || row >= int(plan_.entries.size())) return dialogs_.warning(QStringLiteral("請先選擇一個項目。"));
    if (!dialogs_.confirm(QStringLiteral("刪除「%1」？").arg(plan_.entries[std::size_t(row)].name))) return;
    plan::Plan changed = plan_;
    changed.entries.erase(changed.entries.begin() + row);
    commit(std::move(changed));
}

void PlanWindow::onPlayNow() {
    const int row = entries->currentRow();
    if (row < 0 || row >= int(plan_.entries.size())) return dialogs_.warning(QStringLiteral("請先選擇一個項目。"));
    if (!controller_.player()) return dialogs_.warning(controller_.statusText());
    controller_.player()->playNow(row);
}

void PlanWindow::onAddException(plan::DayKind kind) {
    plan::Exception x{exceptionDate->date(), kind, 1, {}};
    if (kind == plan::DayKind::WorkingDay) {
        QStringList names;
        for (int d = 1; d <= 7; ++d) names << weekdayName(d);
        bool ok = false;
        const QString chosen = QInputDialog::getItem(this, QStringLiteral("補班日"),
                                                     QStringLiteral("這一天依照哪一天的計畫："), names, 0, false, &ok);
        if (!ok) return;
        x.followsWeekday = int(names.indexOf(chosen)) + 1;
    }
    plan::Plan changed = plan_;
    std::erase_if(changed.exceptions, [&](const plan::Exception& e) { return e.date == x.date; });
    changed.exceptions.push_back(x);
    std::sort(changed.exceptions.begin(), changed.exceptions.end(),
              [](const plan::Exception& a, const plan::Exception& b) { return a.date < b.date; });
    commit(std::move(changed));
}

void PlanWindow::onRemoveException() {
    const int row = exceptions->currentRow();
    if (row < 0 || row >= int(plan_.exceptions.size())) return dialogs_.warning(QStringLiteral("請先選擇一個日子。"));
    plan::Plan changed = plan_;
    changed.exceptions.erase(changed.exceptions.begin() + row);
    commit(std::move(changed));
}

void PlanWindow::onImportIcs() {
    const QString path =
        dialogs_.openFileName(QStringLiteral("匯入行事曆"), QStringLiteral("行事曆 (*.ics);;所有檔案 (*)"));
    if (path.isEmpty()) return;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return dialogs_.warning(QStringLiteral("無法讀取 %1").arg(path));
    const int year = QDate::currentDate().year();
    std::vector<plan::Exception> days;
    QString error;
    if (!plan::daysOffFromIcs(f.read(16 * 1024 * 1024), year - 1, year + 5, &days, &error))
        return dialogs_.warning(error);
    plan::Plan changed = plan_;
    const std::size_t before = changed.exceptions.size();
    plan::mergeDaysOff(&changed, days);
    const std::size_t added = changed.exceptions.size() - before;
    if (commit(std::move(changed))) dialogs_.information(QStringLiteral("已加入 %1 個休息日。").arg(added));
}

void PlanWindow::onExportCsv() {
    plan::PlanStore* store = controller_.store();
    const QString path = dialogs_.saveFileName(QStringLiteral("匯出播報紀錄"), QStringLiteral("CSV 檔 (*.csv)"));
    if (path.isEmpty() || !store) return;
    const QDate day = logDay->date();
    const auto rows = store->log(QDateTime(day, QTime(0, 0)).toSecsSinceEpoch(),
                                 QDateTime(day.addDays(1), QTime(0, 0)).toSecsSinceEpoch());
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(plan::logCsv(rows)) < 0 || !out.commit())
        dialogs_.warning(QStringLiteral("Unable to write to %1").arg(path));
}

}  // namespace sayvell::ui
