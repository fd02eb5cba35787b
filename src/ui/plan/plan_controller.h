#pragma once
// The announcement plan in the window: the player (when no `plan run` plays this plan), the
// plan window, and the short line of the status bar and the tray that says what comes next.
#include "plan/plan_lock.h"
#include "plan/plan_player.h"
#include "plan/plan_store.h"
#include "ui/common/dialogs.h"
#include "ui/plan/plan_window.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

class QLabel;
class QWidget;

namespace sayvell::ui {

struct PlanParts {
    QString databasePath;
    plan::WakeTimer& timer;
    plan::Announcer& announcer;
    Dialogs& dialogs;
    plan::SleepInhibitor* inhibitor = nullptr;
    int graceSeconds = plan::kDefaultGraceSeconds;
    // A reading running when an announcement is due ends after its piece and goes on after it.
    std::function<bool()> readingBusy;
    std::function<void()> pauseReading;   // asks the reading to end after its piece
    std::function<void()> resumeReading;  // goes on from the piece after the last one read
};

class PlanController : public QObject {
    Q_OBJECT

public:
    PlanController(PlanParts parts, QLabel* status, QWidget* windowParent);
    ~PlanController() override;

    // Opens (or raises) the plan window.
    void showWindow();
    // An announcement is being said (the music panel holds the music low meanwhile).
    bool announcing() const { return player_ && player_->playing(); }
    // The Stop command reaches announcements too.
    void stop();
    // What the status bar shows: the next announcement and its time, or who plays the plan.
    QString statusText() const;
    std::function<void(const QString&)> onStatus;  // the tray's tooltip

    plan::PlanStore* store() { return store_.get(); }
    plan::PlanPlayer* player() { return player_.get(); }
    PlanWindow* window();
    // After the window changed the plan: stores it whole, or says why not and keeps the old.
    bool apply(plan::Plan plan);

private:
    void refresh();

    PlanParts parts_;
    QLabel* status_;
    QWidget* windowParent_;
    std::unique_ptr<plan::PlanStore> store_;
    plan::PlanLock lock_;
    std::unique_ptr<plan::PlanPlayer> player_;
    plan::Plan plan_;                // the plan when no player runs here
    QTimer* readingEnds_ = nullptr;  // runs only while an announcement waits for a reading's piece
    bool resumeAfter_ = false;
    QPointer<PlanWindow> window_;
};

}  // namespace sayvell::ui
