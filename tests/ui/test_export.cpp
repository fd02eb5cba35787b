// The export commands of the real main window, with the real espeak-ng on a null sound output:
// the files are read back with libsndfile.
#include "audio/audio_engine.h"
#include "reading/espeak_engine.h"
#include "window_rig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <sndfile.h>
#include <sys/mount.h>

using namespace sayvell;
using namespace sayvell::testing;

namespace {

struct FileInfo {
    bool ok = false;
    int rate = 0, channels = 0, format = 0;
    std::int64_t frames = 0;
};

FileInfo infoOf(const QString& path) {
    FileInfo r;
    SF_INFO info{};
    if (SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info)) {
        r = {true, info.samplerate, info.channels, info.format, info.frames};
        sf_close(f);
    }
    return r;
}

// A main window speaking through the real engine.
struct ExportRig {
    ExportRig() : rig({}, false) {
        audio.start();
        rig.dm = store::TDM::open(rig.path("draft.dat"));
        window = std::make_unique<ui::Tf_speaker>(ui::Services{speech, *rig.dm, rig.dialogs, rig.clock});
        window->completeStart();
    }
    ~ExportRig() { window.reset(); }
    void type(const QString& text) { window->ui.Memo1->setPlainText(text); }
    QStringList shown() const { return rig.dialogs.shown; }

    WindowRig rig;
    audio::AudioEngine audio{audio::makeNullOutput(false)};
    reading::EspeakEngine speech{audio};
    std::unique_ptr<ui::Tf_speaker> window;
};

// Acts on the first modal dialog of type T once it is up (and `ready` holds).
template <class T>
void whenShown(std::function<void(T*)> act, std::function<bool(T*)> ready = nullptr) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act, ready] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<T*>(w); d && d->isVisible() && (!ready || ready(d))) {
                poll->stop();
                poll->deleteLater();
                act(d);
                return;
            }
        }
    });
    poll->start(5);
}

// The export runs as a job: waits until the one started last has ended (its progress dialog
// closed, its result shown).
bool exportEnded(int timeoutMs = 60000) {
    return waitFor(
        [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QStringLiteral("exportProgress") && w->isVisible()) return false;
            return true;
        },
        timeoutMs);
}

}  // namespace

TEST(ExportWindow, ToolButtonWritesTheSettingsFormatAndAnExistingWavNameKeepsItsExtension) {
    ExportRig r;
    ASSERT_TRUE(r.speech.ok());
    QTemporaryDir out;
    r.type(QStringLiteral("歡迎光臨本店，今天全場八折。"));
    r.rig.dialogs.saveAnswer = out.filePath(QStringLiteral("report"));
    r.window->ui.SB_outwav->click();
    ASSERT_TRUE(exportEnded());
    const QString report = out.filePath(QStringLiteral("report.wav"));
    EXPECT_EQ(r.shown(), (QStringList{QStringLiteral("information:轉換可能要花0秒（-0分）鐘,轉換時請耐心等待！"),
                                      QStringLiteral("save:輸出聲音文件"),
                                      QStringLiteral("information:文本已成功轉換為聲音文件,并存放在") + report}));
    const FileInfo f = infoOf(report);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.rate, 32000);  // "Yinping" 24 by default
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    EXPECT_GT(f.frames, 32000);

    // Choosing the file again: x.wav stays x.wav; the selection alone is shorter.
    r.rig.dialogs.shown.clear();
    r.rig.dialogs.saveAnswer = report;
    QTextCursor c = r.window->ui.Memo1->textCursor();
    c.setPosition(0);
    c.setPosition(4, QTextCursor::KeepAnchor);
    r.window->ui.Memo1->setTextCursor(c);
    r.window->ui.N14->trigger();
    ASSERT_TRUE(exportEnded());
    EXPECT_EQ(r.shown().last(), QStringLiteral("information:文本已成功轉換為聲音文件,并存放在") + report);
    EXPECT_LT(infoOf(report).frames, f.frames / 2);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("report.wav")});
    // Later speech goes to the loudspeakers again, not into the file.
    const std::int64_t exported = infoOf(report).frames;
    EXPECT_TRUE(r.speech.speak(QStringLiteral("甲"), 0));
    EXPECT_EQ(infoOf(report).frames, exported);
}

TEST(ExportWindow, CancelInTheProgressDialogDeletesThePartialFileAndKeepsTheOldOne) {
    ExportRig r;
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("long.wav"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("older export");
    }
    QString text;
    for (int i = 0; i < 400; ++i) text += QStringLiteral("本店今天的特價商品放在第三排貨架上，歡迎選購。");
    r.type(text);
    r.rig.dialogs.saveAnswer = path;
    bool pressed = false;
    whenShown<QProgressDialog>(
        [&](QProgressDialog* d) {
            for (auto* b : d->findChildren<QPushButton*>())
                if (b->text() == QStringLiteral("取消")) {
                    b->click();
                    pressed = true;
                }
        },
        [](QProgressDialog* d) { return d->value() > 0; });
    r.window->ui.WAV1->trigger();
    ASSERT_TRUE(exportEnded());
    EXPECT_TRUE(pressed);
    for (const QString& s : r.shown()) EXPECT_FALSE(s.contains(QStringLiteral("成功"))) << s.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("older export"));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("long.wav")});
}

TEST(ExportWindow, RefusedWhileReadingAndAFolderThatCannotTakeTheFileSaysSo) {
    ExportRig r;
    r.type(QStringLiteral("甲乙丙"));
    r.window->readingState().readingActive = true;
    r.window->ui.WAV1->trigger();
    ASSERT_TRUE(exportEnded());
    EXPECT_EQ(r.shown(), QStringList{QStringLiteral("warning:正在朗讀，請先停止朗讀再輸出聲音文件。")});
    r.window->readingState().readingActive = false;

    // A read-only folder (a read-only mount holds even for root) and one that vanished.
    QTemporaryDir ro;
    const QByteArray mountPoint = QFile::encodeName(ro.path());
    const bool mounted = ::mount("tmpfs", mountPoint.constData(), "tmpfs", MS_RDONLY, "size=64k") == 0;
    for (const QString& target : {ro.filePath(QStringLiteral("x.wav")), ro.filePath(QStringLiteral("gone/x.wav"))}) {
        if (!mounted && !target.contains(QStringLiteral("gone"))) continue;
        r.rig.dialogs.shown.clear();
        r.rig.dialogs.saveAnswer = target;
        r.window->ui.SB_outwav->click();
        ASSERT_TRUE(exportEnded());
        ASSERT_EQ(r.shown().size(), 3);
        EXPECT_TRUE(r.shown().last().startsWith(QStringLiteral("error:聲音文件未能輸出：")))
            << r.shown().last().toStdString();
        EXPECT_FALSE(QFileInfo::exists(target));
    }
    if (mounted) ::umount2(mountPoint.constData(), MNT_DETACH);
    EXPECT_EQ(r.window->ui.Memo1->toPlainText(), QStringLiteral("甲乙丙"));
}

TEST(ExportWindow, ExportAsReadFromTheFileMenuWritesMp3AndSubtitles) {
    ExportRig r;
    QTemporaryDir out;
    r.type(QStringLiteral("甲，乙。丙"));
    QAction* item = nullptr;
    for (QAction* a : r.window->ui.M_file->actions())
        if (a->text().startsWith(QStringLiteral("輸出朗讀效果"))) item = a;
    ASSERT_TRUE(item);
    whenShown<QDialog>([&](QDialog* d) {
        d->findChild<QLineEdit*>(QStringLiteral("fileEdit"))->setText(out.filePath(QStringLiteral("announce.mp3")));
        d->findChild<QCheckBox*>(QStringLiteral("subtitleCheck"))->setChecked(true);
        d->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    item->trigger();
    ASSERT_TRUE(exportEnded());
    const QString mp3 = out.filePath(QStringLiteral("announce.mp3"));
    ASSERT_FALSE(r.shown().isEmpty());
    EXPECT_TRUE(r.shown().last().startsWith(QStringLiteral("information:文本已成功轉換為聲音文件,并存放在") + mp3))
        << r.shown().last().toStdString();
    const FileInfo f = infoOf(mp3);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.format & SF_FORMAT_TYPEMASK, SF_FORMAT_MPEG);
    EXPECT_EQ(f.rate, 32000);
    EXPECT_TRUE(QFileInfo::exists(out.filePath(QStringLiteral("announce.srt"))));
    EXPECT_TRUE(QFileInfo::exists(out.filePath(QStringLiteral("announce.lrc"))));
}

TEST(ExportWindow, ABareNameGoesToTheFolderShownAndExistingFilesAreReplacedOnlyAfterAsking) {
    // Started from a desktop: the working folder is "/".
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Music")));
    const QByteArray savedHome = qgetenv("HOME");
    const QString savedCwd = QDir::currentPath();
    qputenv("HOME", QFile::encodeName(home.path()));
    QDir::setCurrent(QStringLiteral("/"));
    const QString music = QDir(home.path()).filePath(QStringLiteral("Music"));
    const QString wav = music + QStringLiteral("/通告.wav");
    const QStringList files{wav, music + QStringLiteral("/通告.srt"), music + QStringLiteral("/通告.lrc")};
    {
        ExportRig r;
        r.type(QStringLiteral("甲，乙。"));
        QAction* item = nullptr;
        for (QAction* a : r.window->ui.M_file->actions())
            if (a->text().startsWith(QStringLiteral("輸出朗讀效果"))) item = a;
        ASSERT_TRUE(item);
        QString note;
        bool stayedOpen = false;
        // Types the bare name, asks for subtitles and presses 輸出; cancels if the dialog stays.
        const auto exportAs = [&] {
            whenShown<QDialog>(
                [&](QDialog* d) {
                    note = d->findChild<QLabel*>(QStringLiteral("folderNote"))->text();
                    d->findChild<QLineEdit*>(QStringLiteral("fileEdit"))->setText(QStringLiteral("通告"));
                    d->findChild<QCheckBox*>(QStringLiteral("subtitleCheck"))->setChecked(true);
                    d->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
                    stayedOpen = d->isVisible();
                    if (stayedOpen) d->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
                },
                [](QDialog* d) { return d->objectName() == QStringLiteral("ReadExportDialog"); });
            item->trigger();
            ASSERT_TRUE(exportEnded());
        };

        exportAs();
        EXPECT_TRUE(note.endsWith(music)) << note.toStdString();
        for (const QString& f : files) EXPECT_TRUE(QFileInfo::exists(f)) << f.toStdString();
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/通告.wav")));
        ASSERT_FALSE(r.shown().isEmpty());
        EXPECT_EQ(r.shown().last(),
                  QStringLiteral("information:文本已成功轉換為聲音文件,并存放在") + files.join(QStringLiteral("、")));

        // Again: asked about all three; No leaves them as they were and the dialog open.
        const QDateTime written = QFileInfo(wav).lastModified();
        r.type(QStringLiteral("另一段比較長的文字，不一樣。"));
        r.rig.dialogs.shown.clear();
        r.rig.dialogs.confirmAnswer = false;
        exportAs();
        EXPECT_TRUE(stayedOpen);
        ASSERT_EQ(r.shown().size(), 1);
        EXPECT_TRUE(r.shown().first().startsWith(QStringLiteral("confirm:這些文件已存在，要覆蓋它們嗎？\n") + wav));
        EXPECT_EQ(QFileInfo(wav).lastModified(), written);

        r.rig.dialogs.shown.clear();
        r.rig.dialogs.confirmAnswer = true;
        exportAs();
        EXPECT_FALSE(stayedOpen);
        EXPECT_TRUE(r.shown().last().startsWith(QStringLiteral("information:"))) << r.shown().last().toStdString();
    }
    QDir::setCurrent(savedCwd);
    qputenv("HOME", savedHome);
}

// An export runs beside the window's own event loop, not inside a loop of its own: the window's
// timers go on, and a second export asked for meanwhile (a menu shortcut) starts nothing.
TEST(ExportWindow, WhileAnExportRunsTheWindowGoesOnAndASecondExportStartsNothing) {
    ExportRig r;
    QTemporaryDir out;
    QString text;
    for (int i = 0; i < 400; ++i) text += QStringLiteral("本店今天的特價商品放在第三排貨架上，歡迎選購。");
    r.type(text);
    r.rig.dialogs.saveAnswer = out.filePath(QStringLiteral("first.wav"));
    r.window->ui.WAV1->trigger();
    QProgressDialog* progress = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("exportProgress") && w->isVisible())
            progress = qobject_cast<QProgressDialog*>(w);
    ASSERT_TRUE(progress);  // up, and the trigger has returned: the export is not run inside it
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    ASSERT_TRUE(waitFor([&] { return progress->value() > 0 && ticks >= 3; }, 30000));

    const QStringList before = r.shown();
    r.rig.dialogs.saveAnswer = out.filePath(QStringLiteral("second.wav"));
    r.window->ui.WAV1->trigger();
    EXPECT_EQ(r.shown(), before);
    for (auto* b : progress->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("取消")) b->click();
    ASSERT_TRUE(exportEnded());
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}
