// The music panel in the real main window: its buttons, list and volume boxes, with a player
// that records what would be heard (which file, at which volume) and a folder dialog answered
// by the test.
#include "music/music_player.h"
#include "store/app_paths.h"
#include "store/settings_file.h"
#include "ui/music/folder_chooser.h"
#include "ui/music/music_panel.h"
#include "ui/window_rig.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <stdexcept>

using namespace sayvell;
using namespace sayvell::testing;
using ui::MusicPanel;

namespace {

// Plays nothing; remembers every order. Files whose name holds "bad" cannot be decoded.
class RecordingPlayer : public music::MusicPlayer {
public:
    struct Log {
        QStringList played;        // file names, in the order they started
        std::vector<int> volumes;  // every volume set, in hundredths
    };
    explicit RecordingPlayer(std::shared_ptr<Log> log) : log_(std::move(log)) {}

    bool create(const QString& path) override {
        free();
        if (QFileInfo(path).fileName().contains("bad")) return false;
        path_ = path;
        return true;
    }
    void free() override {
        path_.clear();
        playing_ = false;
        finished_ = false;
    }
    bool live() const override { return !path_.isEmpty(); }
    void play() override {
        playing_ = true;
        finished_ = false;
        log_->played << QFileInfo(path_).fileName();
    }
    void stop() override { playing_ = false; }
    void setVolume(float v) override { log_->volumes.push_back(qRound(v * 100)); }
    double lengthSeconds() const override { return live() ? 245.0 : 0.0; }
    double positionSeconds() const override { return playing_ ? 12.7 : 0.0; }
    bool finished() const override { return playing_ && finished_; }
    QString lastError() const override { return QStringLiteral("no music"); }
    // The track has played to its end.
    void end() {
        finished_ = true;
        notifyFinished();
    }

private:
    std::shared_ptr<Log> log_;
    QString path_;
    bool playing_ = false;
    bool finished_ = false;
};

class AnsweringChooser : public ui::FolderChooser {
public:
    explicit AnsweringChooser(QString* answer, QStringList* asked) : answer_(answer), asked_(asked) {}
    QString chooseFolder(const QString& start) override {
        *asked_ << start;
        return *answer_;
    }

private:
    QString* answer_;
    QStringList* asked_;
};

void touch(const QString& folder, const QStringList& names) {
    QDir().mkpath(folder);
    for (const QString& n : names) {
        QFile f(folder + "/" + n);
        f.open(QIODevice::WriteOnly);
    }
}

struct MusicRig {
    // Without a folder of its own in `settings` the panel is pointed at "mp3files" beside the program.
    explicit MusicRig(QByteArray settings = {}) : rig({}, false) {
        touch(rig.path("mp3files"), {"b.mp3", "a.mp3", "c.mp3", "notes.txt"});
        if (!settings.startsWith("[System]\n")) settings.prepend("[System]\n");
        if (!settings.contains("Mp3bj")) settings.insert(9, "Mp3bj=" + rig.path("mp3files").toUtf8() + "\n");
        QFile file(rig.path("setinfo.ini"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(settings);
        file.close();
        rig.open();
        panel = rig.window->findChild<MusicPanel*>();
        if (!panel) throw std::runtime_error("the main window has no music panel");
        auto p = std::make_unique<RecordingPlayer>(log);
        player = p.get();
        panel->setPlayer(std::move(p));
        panel->setFolderChooser(std::make_unique<AnsweringChooser>(&folderAnswer, &foldersAsked));
    }
    const ui::MainWindowUi& ui() const { return rig.window->ui; }
    QStringList lines() const {
        QStringList out;
        for (int i = 0; i < ui().BJListBox1->count(); ++i) out << ui().BJListBox1->item(i)->text();
        return out;
    }
    QString panel3() const { return ui().statusPanel[3]->text(); }
    void click(QToolButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    void setReading(bool on) { rig.window->readingState().readingActive = on; }
    int lastVolume() const { return log->volumes.empty() ? -1 : log->volumes.back(); }

    WindowRig rig;
    std::shared_ptr<RecordingPlayer::Log> log = std::make_shared<RecordingPlayer::Log>();
    RecordingPlayer* player = nullptr;
    MusicPanel* panel = nullptr;
    QString folderAnswer;
    QStringList foldersAsked;
};

}  // namespace

TEST(MusicPanel, StartsFromTheSettingsAndKeepsThemAtExit) {
    {
        // A deleted folder falls back to "mp3files"; volumes the boxes cannot show are held.
        MusicRig m("[System]\nMp3bj=/nonexistent/music\ndefault_volume=500\ndefault_volume1=abc\nPlaymode=1\n");
        EXPECT_EQ(m.lines(), (QStringList{"a.mp3", "b.mp3", "c.mp3"}));
        EXPECT_EQ(m.ui().bj_v->value(), 100);
        EXPECT_EQ(m.ui().bj_v1->value(), 10);
        EXPECT_EQ(m.ui().ComBox1->currentIndex(), 1);
        EXPECT_EQ(m.panel->musicLevel, 10);
    }
    {
        // No folder stored: the program's own folder.
        MusicRig m("[System]\nMp3bj_unused=1\n");
        EXPECT_TRUE(m.lines().isEmpty());
        EXPECT_EQ(m.panel->folder(), store::appDir());
    }
    MusicRig m;
    m.ui().bj_v->setValue(55);
    m.ui().bj_v1->setValue(7);
    m.ui().ComBox1->setCurrentIndex(0);
    m.click(m.ui().bj_play);
    EXPECT_FALSE(m.rig.settings().contains("default_volume=55"));  // not before the exit
    m.click(m.ui().SB_close);
    EXPECT_EQ(m.rig.exitCode, 0);
    EXPECT_FALSE(m.player->live());  // the music stopped with the exit command
    const QString s = m.rig.settings();
    EXPECT_TRUE(s.contains("default_volume=55") && s.contains("default_volume1=7") && s.contains("Playmode=0"))
        << s.toStdString();
}

TEST(MusicPanel, PlayNextAndPreviousWalkTheListAndShowThePathAndProgress) {
    MusicRig m;
    m.click(m.ui().bj_play);  // nothing selected: the first line
    EXPECT_EQ(m.log->played, (QStringList{"a.mp3"}));
    EXPECT_EQ(m.panel3(), "a.mp3");
    EXPECT_TRUE(m.panel->bj_timer1->isActive());
    // A new track starts at the reading volume, never at full volume.
    EXPECT_EQ(m.lastVolume(), 10);
    EXPECT_EQ(m.panel->musicTrackSeconds, 245);

    m.click(m.ui().bj_next);
    m.click(m.ui().bj_next);
    m.click(m.ui().bj_next);  // from the last line to the first
    EXPECT_EQ(m.log->played, (QStringList{"a.mp3", "b.mp3", "c.mp3", "a.mp3"}));
    m.click(m.ui().bj_prev);  // on the first line it stays there
    m.click(m.ui().bj_next);
    m.click(m.ui().bj_prev);
    EXPECT_EQ(m.log->played.mid(4), (QStringList{"a.mp3", "b.mp3", "a.mp3"}));
    EXPECT_EQ(m.ui().BJListBox1->currentRow(), 0);

    // Double-clicking a line plays it.
    QListWidget* list = m.ui().BJListBox1;
    const QRect r = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(m.log->played.back(), "c.mp3");

    // Progress: elapsed and total seconds, two digits at least, no minutes.
    m.panel->bj_timer1->setInterval(10);
    ASSERT_TRUE(waitFor([&] { return !m.ui().RzLEDDisplay1->text().isEmpty(); }));
    EXPECT_EQ(m.ui().RzLEDDisplay1->text(), " 12 / 245 ");

    // Stop: silence; no next track comes.
    m.click(m.ui().bj_stop);
    EXPECT_FALSE(m.player->live());
    const int before = static_cast<int>(m.log->played.size());
    m.player->end();
    QCoreApplication::processEvents();
    EXPECT_EQ(m.log->played.size(), before);
}

TEST(MusicPanel, TheChainFollowsTheOrderOrDrawsAnotherLineAndSkipsWhatCannotPlay) {
    MusicRig m;
    m.click(m.ui().bj_play);
    for (int i = 0; i < 3; ++i) {
        const int n = static_cast<int>(m.log->played.size());
        m.player->end();
        ASSERT_TRUE(waitFor([&] { return m.log->played.size() > n; }));
    }
    EXPECT_EQ(m.log->played, (QStringList{"a.mp3", "b.mp3", "c.mp3", "a.mp3"}));

    // Random: every line can come, never the one that just ended.
    m.ui().ComBox1->setCurrentIndex(1);
    QSet<QString> drawn;
    for (int i = 0; i < 60; ++i) {
        const QString ended = m.log->played.back();
        const int n = static_cast<int>(m.log->played.size());
        m.player->end();
        ASSERT_TRUE(waitFor([&] { return m.log->played.size() > n; }));
        ASSERT_NE(m.log->played.back(), ended);
        drawn.insert(m.log->played.back());
    }
    EXPECT_EQ(drawn.size(), 3);

    // A new folder while playing: the playing track goes on, the next comes from the new list.
    m.ui().ComBox1->setCurrentIndex(0);
    QTemporaryDir other;
    touch(other.path(), {"1.mp3", "2-bad.mp3", "3.mp3", "4.mp3"});
    m.folderAnswer = other.path();
    m.ui().BJListBox1->setCurrentRow(0);
    m.click(m.ui().bj_play);  // line 0 of the old list
    const int n = static_cast<int>(m.log->played.size());
    m.click(m.ui().bj_ok);
    EXPECT_EQ(m.foldersAsked.back(), m.rig.path("mp3files"));
    EXPECT_TRUE(m.player->live());
    EXPECT_EQ(m.log->played.size(), n);
    EXPECT_TRUE(m.rig.settings().contains("Mp3bj=" + other.path()));
    m.player->end();
    // Line 1 of the new list cannot be decoded: a note, then line 2.
    ASSERT_TRUE(waitFor([&] { return m.panel3().contains("2-bad.mp3"); }));
    EXPECT_TRUE(m.panel3().startsWith("無法播放"));
    ASSERT_TRUE(waitFor([&] { return m.log->played.size() > n; }, 5000));
    EXPECT_EQ(m.log->played.back(), "3.mp3");

    // An empty folder: Play switches the progress off, Next and Previous do nothing.
    QTemporaryDir empty;
    m.folderAnswer = empty.path();
    m.click(m.ui().bj_ok);
    m.click(m.ui().bj_stop);
    const int before = static_cast<int>(m.log->played.size());
    m.click(m.ui().bj_play);
    m.click(m.ui().bj_next);
    m.click(m.ui().bj_prev);
    EXPECT_FALSE(m.panel->bj_timer1->isActive());
    EXPECT_EQ(m.log->played.size(), before);
}

TEST(MusicPanel, TheMusicDucksUnderAReadingAndComesBackUp) {
    MusicRig m;
    m.click(m.ui().bj_play);
    // Outside a reading the follower takes a new track from 10 up to 40.
    ASSERT_TRUE(waitFor([&] { return m.lastVolume() == 40; }, 3000));
    const std::vector<int> rise(m.log->volumes.begin(), m.log->volumes.end());
    ASSERT_GE(rise.size(), 31u);
    for (std::size_t i = rise.size() - 30; i < rise.size(); ++i) EXPECT_EQ(rise[i], rise[i - 1] + 1);

    m.setReading(true);
    ASSERT_TRUE(waitFor([&] { return m.lastVolume() == 10; }, 1000));
    // The reading volume changed during the reading: at once.
    m.ui().bj_v1->setValue(20);
    EXPECT_EQ(m.lastVolume(), 20);
    // The music volume changed during the reading: nothing until the reading ends.
    m.ui().bj_v->setValue(50);
    EXPECT_EQ(m.lastVolume(), 20);
    m.setReading(false);
    ASSERT_TRUE(waitFor([&] { return m.lastVolume() == 50; }, 3000));
    EXPECT_EQ(m.panel->musicLevel, 50);
    // Outside a reading the music volume applies at once.
    m.ui().bj_v->setValue(30);
    EXPECT_EQ(m.lastVolume(), 30);
}
