// The plan window as a user drives it: the tool bar's button, the entry editor (a real modal
// dialog), play now, the log and its CSV, the exceptions; what reaches draft.dat.
#include "plan/plan_store.h"
#include "ui/plan/plan_controller.h"
#include "ui/plan/plan_entry_dialog.h"
#include "ui/plan/plan_window.h"
#include "window_rig.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace sayvell;
using sayvell::testing::WindowRig;

namespace {

// Runs `fill` on the entry dialog once it is open and modal.
void whenEditorOpens(std::function<void(ui::PlanEntryDialog*)> fill) {
    QTimer::singleShot(0, [fill] {
        auto* d = qobject_cast<ui::PlanEntryDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(d);
        fill(d);
    });
}

ui::PlanWindow* openPlanWindow(WindowRig& rig) {
    auto* button = rig.window->findChild<QToolButton*>(QStringLiteral("SB_plan"));
    EXPECT_TRUE(button);
    if (!button) return nullptr;
    EXPECT_EQ(button->accessibleName(), QStringLiteral("播報計畫"));
    button->click();
    auto* w = rig.window->findChild<ui::PlanWindow*>();
    EXPECT_TRUE(w && w->isVisible());
    return w;
}

}  // namespace

TEST(PlanWindow, AnEntryTypedInIsCheckedStoredAndShownAsItWillFall) {
    WindowRig rig;
    ui::PlanWindow* w = openPlanWindow(rig);
    ASSERT_TRUE(w);
    // A bad time is refused with a message; the dialog stays for the fix.
    bool stayedOpen = false;
    whenEditorOpens([&](ui::PlanEntryDialog* d) {
        d->name->setText(QStringLiteral("開門問候"));
        d->text->setPlainText(QStringLiteral("各位顧客早安。"));
        d->times->setText(QStringLiteral("25:00"));
        QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        stayedOpen = d->isVisible();
        d->times->setText(QStringLiteral("12:00，09:00"));
        QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    w->addEntry->click();
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(rig.dialogs.shown.contains(QStringLiteral("warning:「25:00」不是時間，請寫成 HH:mm。")))
        << rig.dialogs.shown.join(u'|').toStdString();
    ASSERT_EQ(w->entries->rowCount(), 1);
    EXPECT_EQ(w->entries->item(0, 0)->text(), QStringLiteral("開門問候"));
    EXPECT_EQ(w->entries->item(0, 1)->text(), QStringLiteral("09:00, 12:00"));
    EXPECT_EQ(w->next->rowCount(), 20);
    EXPECT_EQ(w->next->item(0, 2)->text(), QStringLiteral("開門問候"));
    auto* status = rig.window->findChild<QLabel*>(QStringLiteral("planStatus"));
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("下次播報："))) << status->text().toStdString();
    EXPECT_TRUE(status->text().endsWith(QStringLiteral("開門問候")));

    // In the file, for `plan run` and the next start.
    plan::Plan stored;
    ASSERT_TRUE(plan::PlanStore::open(rig.path("draft.dat"))->load(&stored));
    ASSERT_EQ(stored.entries.size(), 1u);
    EXPECT_EQ(stored.entries[0].times, (std::vector<int>{9 * 3600, 12 * 3600}));

    // Escape in the editor changes nothing.
    w->entries->selectRow(0);
    whenEditorOpens([](ui::PlanEntryDialog* d) {
        d->name->setText(QStringLiteral("改掉"));
        QTest::keyClick(d, Qt::Key_Escape);
    });
    w->editEntry->click();
    EXPECT_EQ(w->entries->item(0, 0)->text(), QStringLiteral("開門問候"));
}

TEST(PlanWindow, PlayNowIsLoggedAndTheDayExportsAsCsvAndADayOffSilencesTheDay) {
    WindowRig rig;
    ui::PlanWindow* w = openPlanWindow(rig);
    ASSERT_TRUE(w);
    whenEditorOpens([](ui::PlanEntryDialog* d) {
        d->name->setText(QStringLiteral("優惠"));
        d->text->setPlainText(QStringLiteral("全館八折。"));
        d->times->setText(QStringLiteral("10:00"));
        d->accept();
    });
    w->addEntry->click();
    ASSERT_EQ(w->entries->rowCount(), 1);
    w->entries->selectRow(0);
    w->playNow->click();
    // Without a sound engine the announcement fails, and says why in the log.
    w->tabs->setCurrentIndex(3);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            w->logDay->setDate(QDate::currentDate().addDays(1));
            w->logDay->setDate(QDate::currentDate());
            return w->log->rowCount() == 1;
        },
        5000));
    EXPECT_EQ(w->log->item(0, 2)->text(), QStringLiteral("優惠"));
    EXPECT_EQ(w->log->item(0, 3)->text(), QStringLiteral("失敗"));
    EXPECT_EQ(w->log->item(0, 4)->text(), QStringLiteral("沒有聲音輸出"));
    rig.dialogs.saveAnswer = rig.path("log.csv");
    w->exportCsv->click();
    QFile csv(rig.path("log.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(csv.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("預定時間,實際時間,項目,結果,說明\n")));
    EXPECT_TRUE(text.contains(QStringLiteral(",優惠,失敗,沒有聲音輸出")));

    // Tomorrow a day off: its 10:00 is gone from what comes next.
    const QDate tomorrow = QDate::currentDate().addDays(1);
    w->exceptionDate->setDate(tomorrow);
    w->addDayOff->click();
    ASSERT_EQ(w->exceptions->rowCount(), 1);
    EXPECT_EQ(w->exceptions->item(0, 1)->text(), QStringLiteral("休息日"));
    for (int r = 0; r < w->next->rowCount(); ++r)
        EXPECT_FALSE(w->next->item(r, 0)->text().startsWith(tomorrow.toString(Qt::ISODate)));
}

TEST(PlanWindow, AReadingFinishesItsPieceLetsTheAnnouncementThroughAndGoesOnFromTheNextPiece) {
    WindowRig rig;
    rig.window->ui.Chk_prompt->setChecked(false);
    ui::PlanWindow* w = openPlanWindow(rig);
    ASSERT_TRUE(w);
    whenEditorOpens([](ui::PlanEntryDialog* d) {
        d->name->setText(QStringLiteral("廣播"));
        d->text->setPlainText(QStringLiteral("請注意。"));
        d->times->setText(QStringLiteral("10:00"));
        d->accept();
    });
    w->addEntry->click();
    rig.type(QStringLiteral("第一句。第二句。第三句。"));
    rig.engine.hold();
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(sayvell::testing::waitFor([&] { return rig.engine.spoken().size() == 1; }));
    w->entries->selectRow(0);
    w->playNow->click();
    // The announcement waits while the piece is being said.
    QTest::qWait(200);
    plan::PlanStore* store = rig.window->findChild<ui::PlanController*>()->store();
    EXPECT_EQ(store->logCount(), 0);
    rig.engine.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->logCount() == 1; }, 5000))
        << rig.engine.texts().join(u'|').toStdString() << " busy " << rig.window->runner().busy();
    // Then the reading goes on from the second piece, the first never said again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.engine.texts().size() >= 3; }, 5000))
        << rig.engine.texts().join(u'|').toStdString();
    rig.waitIdle();
    const auto spoken = rig.engine.spoken();
    QStringList texts;
    for (const auto& s : spoken)
        if (!s.text.isEmpty()) texts << s.text;
    EXPECT_EQ(texts, (QStringList{QStringLiteral("第一句。"), QStringLiteral("第二句。"), QStringLiteral("第三句。")}));
    for (const auto& s : spoken) {
        if (s.text == QStringLiteral("第二句。")) {
            EXPECT_EQ(s.selStart, 8);
        }
    }
}
