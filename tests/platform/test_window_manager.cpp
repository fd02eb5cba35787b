// The program's windows under a real window manager (openbox) on the private X server: where
// they appear and which buttons their frames offer.
#include "platform/private_servers.h"
#include "platform/x_client.h"
#include "ui/info/tf_about.h"
#include "ui/info/tfuhelp.h"
#include "ui/recorder/tfrecunit1.h"
#include "ui/schedule/tf_sch.h"
#include "ui/settings/tfdelaytime.h"
#include "ui/window_rig.h"

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

QString xprop(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xprop"), args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class UnderOpenbox : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveXTools() || QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
            GTEST_SKIP() << "needs Xvfb, openbox and xprop";
        // A manager that ran before on this display may have left its mark on the root window:
        // only the new one's counts.
        xprop({QStringLiteral("-root"), QStringLiteral("-remove"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        ASSERT_TRUE(wm_.start({QStringLiteral("openbox"), QStringLiteral("--sm-disable")},
                              {QStringLiteral("HOME=") + home_.path()}));
        ASSERT_TRUE(waitFor(
            [] {
                return xprop({QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}).contains(u'#');
            },
            10000));
        rig_ = std::make_unique<WindowRig>();
        rig_->window->showMaximized();
        // A loaded machine: the manager may take its time to frame the first window.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(rig_->window.get(), 20000));
    }
    void TearDown() override {
        rig_.reset();
        wm_.stop();
    }
    // Once the manager has framed it, the window's frame lies in the middle of the screen.
    static void expectCentred(QWidget* w) {
        ASSERT_TRUE(waitFor([w] { return w->isVisible() && w->frameGeometry() != w->geometry(); }, 5000))
            << w->objectName().toStdString();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
        const QPoint screen = w->screen()->availableGeometry().center();
        const QPoint centre = w->frameGeometry().center();
        EXPECT_LE((centre - screen).manhattanLength(), 4)
            << w->objectName().toStdString() << " at " << centre.x() << "," << centre.y() << " not " << screen.x()
            << "," << screen.y();
    }
    // What the manager lets the user do with the window.
    static QString allowed(QWidget* w) {
        return xprop({QStringLiteral("-id"), QString::number(w->winId()), QStringLiteral("_NET_WM_ALLOWED_ACTIONS")});
    }
    // The frame's decorations the window asks for (Motif hints: flags, functions, decorations).
    static int decorations(QWidget* w) {
        const QString hints =
            xprop({QStringLiteral("-id"), QString::number(w->winId()), QStringLiteral("_MOTIF_WM_HINTS")});
        const QStringList fields = hints.section(u'=', 1).split(u',');
        bool ok = false;
        const int flags = fields.value(0).trimmed().toInt(&ok, 16);
        if (!ok || !(flags & 0x2)) return -1;  // none asked for: the manager's full frame
        return fields.value(2).trimmed().toInt(nullptr, 16);
    }
    static constexpr int kDecorAll = 0x1, kDecorMinimize = 0x20, kDecorMaximize = 0x40;

    QTemporaryDir home_;
    ServerProcess wm_;
    std::unique_ptr<WindowRig> rig_;
};

TEST_F(UnderOpenbox, AMessageInTheStatusBarLeavesTheMainWindowMaximised) {
    const auto maximised = [this] {
        return xprop({QStringLiteral("-id"), QString::number(rig_->window->winId()), QStringLiteral("_NET_WM_STATE")})
            .contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_HORZ"));
    };
    ASSERT_TRUE(waitFor(maximised, 5000));
    rig_->window->statusBar()->showMessage(QString(200, QChar(0x5B57)), 10000);
    QTest::qWait(500);
    EXPECT_TRUE(maximised());
}

TEST_F(UnderOpenbox, WindowsOpenInTheMiddleOfTheScreenNotInItsCorner) {
    ui::MainWindowUi& ui = rig_->window->ui;
    ui.N31->trigger();
    expectCentred(rig_->window->findChild<ui::TFuhelp*>());
    ui.SB_outwav2->click();
    auto* recorder = rig_->window->findChild<ui::TFrecunit1*>();
    expectCentred(recorder);
    const QString actions = allowed(recorder);
    EXPECT_TRUE(actions.contains(QStringLiteral("_NET_WM_ACTION_CLOSE"))) << actions.toStdString();
    EXPECT_FALSE(actions.contains(QStringLiteral("MAXIMIZE"))) << actions.toStdString();
    const int decor = decorations(recorder);
    EXPECT_GE(decor, 0);
    EXPECT_EQ(decor & (kDecorAll | kDecorMinimize | kDecorMaximize), 0) << decor;
    recorder->close();
    ui.sb_delay->click();
    expectCentred(rig_->window->findChild<ui::TFdelaytime*>());

    // The modal ones are looked at from the event loops they run.
    for (const auto& open :
         std::vector<std::function<void()>>{[&] { ui.N32->trigger(); }, [&] { ui.SB_schedule->click(); }}) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(waitFor([] { return QApplication::activeModalWidget() != nullptr; }));
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            expectCentred(dialog);
            if (qobject_cast<ui::Tf_about*>(dialog)) {
                const QString frame = allowed(dialog);
                EXPECT_FALSE(frame.contains(QStringLiteral("MAXIMIZE"))) << frame.toStdString();
                const int frameDecor = decorations(dialog);
                EXPECT_GE(frameDecor, 0);
                EXPECT_EQ(frameDecor & (kDecorAll | kDecorMinimize | kDecorMaximize), 0) << frameDecor;
            }
            seen = true;
            dialog->reject();
        });
        open();
        EXPECT_TRUE(seen);
    }
}

}  // namespace
}  // namespace sayvell::testing
