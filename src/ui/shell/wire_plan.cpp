// How the announcement plan joins the main window: the tool bar, the settings menu and the
// tray open its window; the status bar and the tray say what comes next; Stop stops it.
#include "plan/speech_announcer.h"
#include "plan/wall_timer.h"
#include "platform/sleep_inhibitor.h"
#include "reading/date_format.h"
#include "reading/tts.h"
#include "store/pronunciation_table.h"
#include "store/settings_file.h"
#include "ui/common/icons.h"
#include "ui/desktop/desktop_controller.h"
#include "ui/plan/plan_controller.h"
#include "ui/shell/tf_speaker.h"

#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace sayvell::ui {

namespace {

// Where the program has no sound engine (tests): every announcement fails with the reason.
class NoSoundAnnouncer final : public QObject, public plan::Announcer {
public:
    void play(const plan::Entry&, const QString&, Done done) override {
        QTimer::singleShot(0, this, [done] { done(false, QStringLiteral("沒有聲音輸出")); });
    }
    void stop() override {}
};

}  // namespace

// Made with the window, so that the first frame's tool bar and status bar are already whole;
// the plan itself starts after that frame.
void Tf_speaker::addPlanControls() {
    const auto open = [this] {
        completeStart();
        plan_->showWindow();
    };
    auto* menuItem = ui.M_settings->addAction(icons::icon(icons::Glyph::Plan), QStringLiteral("播報計畫(&P)"));
    menuItem->setObjectName(QStringLiteral("N_plan"));
    connect(menuItem, &QAction::triggered, this, open);
    auto* tool = new QToolButton(ui.ToolBar1);
    tool->setObjectName(QStringLiteral("SB_plan"));
    tool->setIcon(icons::icon(icons::Glyph::Plan));
    tool->setIconSize(QSize(22, 22));
    tool->setFixedSize(31, 30);
    tool->setToolTip(QStringLiteral("播報計畫"));
    tool->setAccessibleName(QStringLiteral("播報計畫"));
    connect(tool, &QToolButton::clicked, this, open);
    QAction* before = nullptr;
    for (QAction* a : ui.ToolBar1->actions())
        if (ui.ToolBar1->widgetForAction(a) == ui.SB_panel) before = a;
    ui.ToolBar1->insertWidget(before, tool);
    auto* status = new QLabel(this);
    status->setObjectName(QStringLiteral("planStatus"));
    statusBar()->addPermanentWidget(status);
}

void Tf_speaker::wirePlan() {
    auto* timer = new plan::WallTimer(this);
    plan::Announcer* announcer = nullptr;
    if (services_.audio) {
        auto* speech = new plan::SpeechAnnouncer(*services_.audio, services_.speech, this);
        speech->setRunSettingsSource([this] {
            const reading::DateFormatter formatter(QLocale::system());
            reading::RunSettings rs;
            rs.delimiters = reading::DelimiterTable::fromMarks(services_.dm.q_delaytime.marks());
            rs.symbolDelayMs = state_.symbolDelayMs.load();
            rs.dateFormatType = state_.dateFormatType.load();
            rs.date = [formatter](const QString& piece, int type, const QDateTime& now) {
                return formatter.substitute(piece, type, now);
            };
            if (pronunciation_) rs.lexicon = pronunciation_->lexicon();
            return rs;
        });
        const store::SettingsFile ini;
        const QList<reading::Voice> voices = services_.speech.voices();
        const int index = ini.read(store::keys::Voice);
        if (!voices.isEmpty())
            speech->setDefaults(voices[index >= 0 && index < voices.size() ? index : 0], baseRate(),
                                std::clamp(ini.read(store::keys::Rate), -10, 15),
                                std::clamp(ini.read(store::keys::Volume), 0, 100));
        announcer = speech;
    } else {
        announcer = new NoSoundAnnouncer;
        static_cast<NoSoundAnnouncer*>(announcer)->setParent(this);
    }
    const store::SettingsFile ini;
    if (ini.read(store::keys::PlanStayAwake)) {
        QString notice;
        planAwake_ = platform::makeLogindSleepInhibitor(&notice);
    }
    auto* status = findChild<QLabel*>(QStringLiteral("planStatus"));
    PlanParts parts{services_.dm.path(), *timer,
                    *announcer,          services_.dialogs,
                    planAwake_.get(),    std::clamp(ini.read(store::keys::PlanGraceSeconds), 0, 24 * 3600)};
    // Only a single reading goes on afterwards; a loop goes on with its next pass by itself.
    auto resumeAt = std::make_shared<int>(-1);
    parts.readingBusy = [this] { return runner().busy(); };
    parts.pauseReading = [this, resumeAt] {
        *resumeAt = runner().rangeRunning() ? -1 : 0;
        runner().requestStop();
    };
    parts.resumeReading = [this, resumeAt] {
        if (*resumeAt < 0) return;
        // The last piece read is still selected: go on after it.
        QTextCursor c = ui.Memo1->textCursor();
        c.setPosition(c.selectionEnd());
        ui.Memo1->setTextCursor(c);
        SB_playClick();
    };
    plan_ = new PlanController(std::move(parts), status, this);
    // The player uses them until it is gone: they go with the controller, after it.
    timer->setParent(plan_);
    dynamic_cast<QObject*>(announcer)->setParent(plan_);

    const auto open = [this] { plan_->showWindow(); };
    if (auto* desktop = findChild<DesktopController*>()) {
        if (QMenu* menu = desktop->trayMenu()) {
            auto* trayItem = new QAction(QStringLiteral("播報計畫(&P)"), menu);
            trayItem->setObjectName(QStringLiteral("trayPlan"));
            // Above 退出, so the tray's own first items stay where they were.
            menu->insertAction(menu->actions().value(menu->actions().size() - 1), trayItem);
            connect(trayItem, &QAction::triggered, this, open);
        }
        plan_->onStatus = [desktop](const QString& text) {
            if (QSystemTrayIcon* tray = desktop->trayIcon()) tray->setToolTip(QStringLiteral("Sayvell\n") + text);
        };
    }
}

}  // namespace sayvell::ui
