// The about and help windows, opened from the help menu.
#include "audio/audio_engine.h"
#include "audio/audio_output.h"
#include "ui/common/dialogs.h"
#include "ui/info/tf_about.h"
#include "ui/info/tfuhelp.h"
#include "ui/window_rig.h"

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <cmath>

using namespace sayvell;
using sayvell::testing::WindowRig;

namespace {

// Opens the about window from its menu item; returns the figures it showed.
QStringList aboutFigures(WindowRig& rig) {
    QStringList figures;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<ui::Tf_about*>(QApplication::activeModalWidget());
        if (!w) return;
        figures << w->Label1->text() << w->PhysMem->text() << w->FreeRes->text();
        w->reject();
    });
    rig.window->ui.N32->trigger();
    return figures;
}

}  // namespace

TEST(AboutWindow, ShowsTheVersionAndTheFiguresOfTheProgramsStartEachTime) {
    WindowRig rig;
    const QStringList first = aboutFigures(rig);
    ASSERT_EQ(first.size(), 3);
    EXPECT_EQ(first[0], QStringLiteral("SayvellV2.60"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{1,3}(,\\d{3})* KB$")).match(first[1]).hasMatch())
        << first[1].toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{1,3} %$")).match(first[2]).hasMatch())
        << first[2].toStdString();
    EXPECT_EQ(aboutFigures(rig), first);

    // Figures given at creation are the ones shown, whatever the system says later.
    sayvell::testing::RecordingDialogs dialogs;
    ui::Tf_about about(dialogs, nullptr, info::MemoryStatus{2ull << 30, 45});
    EXPECT_EQ(about.PhysMem->text(), QStringLiteral("2,097,152 KB"));
    EXPECT_EQ(about.FreeRes->text(), QStringLiteral("45 %"));
}

TEST(AboutWindow, LinksOpenTheirAddressesAndTheSamplePlaysOnlyWhenItsFileIsThere) {
    WindowRig rig;
    ui::Tf_about about(rig.dialogs);
    QList<QUrl> opened;
    QStringList played;
    QString refusal;
    about.setUrlOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    about.setSamplePlayer([&](const QString& path, QString* error) {
        played << path;
        if (!refusal.isEmpty()) *error = refusal;
        return refusal.isEmpty();
    });
    about.show();

    QTest::mouseClick(about.Label7, Qt::LeftButton);
    QTest::mouseClick(about.Label6, Qt::LeftButton);
    EXPECT_EQ(opened, (QList<QUrl>{ui::Tf_about::homeUrl(), ui::Tf_about::mailUrl()}));
    EXPECT_EQ(ui::Tf_about::homeUrl().scheme(), "https");
    EXPECT_EQ(ui::Tf_about::mailUrl().scheme(), "mailto");
    EXPECT_EQ(about.Label6->text(), ui::Tf_about::mailUrl().path());

    QTest::mouseClick(about.Label8, Qt::LeftButton);  // no introduce.mp3 beside the program
    EXPECT_TRUE(played.isEmpty());
    EXPECT_TRUE(rig.dialogs.shown.isEmpty());

    QFile sample(rig.path("introduce.mp3"));
    ASSERT_TRUE(sample.open(QIODevice::WriteOnly));
    sample.write("not really");
    sample.close();
    about.Label8->setFocus();
    QTest::keyClick(about.Label8, Qt::Key_Space);
    refusal = QStringLiteral("無法打開");
    QTest::mouseClick(about.Label8, Qt::LeftButton);
    EXPECT_EQ(played, (QStringList{rig.path("introduce.mp3"), rig.path("introduce.mp3")}));
    EXPECT_EQ(rig.dialogs.shown, QStringList{QStringLiteral("error:無法打開")});
    EXPECT_TRUE(about.isVisible());
}

TEST(AboutWindow, TheBuildPutsAnMp3OfTheSampleBesideTheProgram) {
    QFile mp3(QStringLiteral(SAYVELL_BIN_DIR "/introduce.mp3"));
    ASSERT_TRUE(mp3.open(QIODevice::ReadOnly));
    const QByteArray bytes = mp3.readAll();
    EXPECT_GT(bytes.size(), 8000);  // a few seconds of two voices
    ASSERT_GE(bytes.size(), 2);
    // An MPEG audio frame from the first byte: no tag or other header before it.
    EXPECT_EQ(quint8(bytes[0]), 0xFF);
    EXPECT_EQ(quint8(bytes[1]) & 0xE0, 0xE0);
}

TEST(AboutWindow, TheSampleIsHeardThroughTheSoundOutput) {
    std::atomic<float> loudest{0};
    audio::AudioEngine engine(audio::makeNullOutput(false));
    ASSERT_TRUE(engine.start());
    engine.setTap([&](const float* s, std::size_t frames) {
        for (std::size_t i = 0; i < frames * 2; ++i)
            if (std::abs(s[i]) > loudest) loudest = std::abs(s[i]);
    });
    WindowRig rig({}, false);
    ASSERT_TRUE(QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/introduce.mp3"), rig.path("introduce.mp3")));
    rig.dm = store::TDM::open(rig.path("draft.dat"));
    rig.window = std::make_unique<ui::Tf_speaker>(ui::Services{rig.engine, *rig.dm, rig.dialogs, rig.clock, &engine});
    rig.window->completeStart();
    auto* about = rig.window->findChild<ui::Tf_about*>();
    ASSERT_TRUE(about);
    about->show();
    QTest::mouseClick(about->Label8, Qt::LeftButton);
    EXPECT_TRUE(sayvell::testing::waitFor([&] { return loudest > 0.05f; }, 5000));
    EXPECT_TRUE(rig.dialogs.shown.isEmpty());
    engine.clear(audio::Channel::Effects);
}

TEST(HelpWindow, ShowsTwelveNumberedParagraphsBesideTheMainWindow) {
    WindowRig rig;
    rig.window->ui.N31->trigger();
    auto* help = rig.window->findChild<ui::TFuhelp*>();
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(help->windowTitle(), QStringLiteral("使用幫助"));
    EXPECT_TRUE(help->fuhelp->isReadOnly());
    EXPECT_EQ(help->fuhelp->font().pixelSize(), 16);

    const QString text = help->fuhelp->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("一、幫助主題：")));
    qsizetype at = 0;
    for (int n = 1; n <= 12; ++n) {
        const qsizetype next = text.indexOf(QStringLiteral("\n%1. ").arg(n), at);
        EXPECT_GT(next, at) << "paragraph " << n;
        at = std::max(at, next);
    }
    EXPECT_EQ(text.indexOf(QStringLiteral("\n13. ")), -1);
    EXPECT_TRUE(text.contains(QStringLiteral("%Date%")));
}
