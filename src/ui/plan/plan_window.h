#pragma once
// The plan window: the entries, the calendar of exceptions, the next 20 announcements as they
// will really fall, and the log by day. Every change goes through the controller, whole.
#include "plan/plan.h"
#include "ui/common/dialogs.h"

#include <QDialog>

class QDateEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace sayvell::ui {

class PlanController;

class PlanWindow : public QDialog {
    Q_OBJECT

public:
    PlanWindow(PlanController& controller, Dialogs& dialogs, plan::Plan plan, QWidget* parent = nullptr);

    void showNext();

    // The controls, for tests and the wiring.
    QTabWidget* tabs = nullptr;
    QTableWidget* entries = nullptr;
    QPushButton* addEntry = nullptr;
    QPushButton* editEntry = nullptr;
    QPushButton* removeEntry = nullptr;
    QPushButton* playNow = nullptr;
    QTableWidget* exceptions = nullptr;
    QDateEdit* exceptionDate = nullptr;
    QPushButton* addDayOff = nullptr;
    QPushButton* addWorkingDay = nullptr;
    QPushButton* removeException = nullptr;
    QPushButton* importIcs = nullptr;
    QTableWidget* next = nullptr;
    QDateEdit* logDay = nullptr;
    QTableWidget* log = nullptr;
    QPushButton* exportCsv = nullptr;

private:
    void showEntries();
    void showExceptions();
    void showLog();
    bool commit(plan::Plan changed);
    void onAddEntry();
    void onEditEntry();
    void onRemoveEntry();
    void onPlayNow();
    void onAddException(plan::DayKind kind);
    void onRemoveException();
    void onImportIcs();
    void onExportCsv();

    PlanController& controller_;
    Dialogs& dialogs_;
    plan::Plan plan_;
};

}  // namespace sayvell::ui
