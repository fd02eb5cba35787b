#include "ui/music/music_panel.h"

#include "music/track_list.h"
#include "music/volume_follower.h"
#include "store/app_paths.h"
#include "store/settings_file.h"
#include "store/settings_keys.h"
#include "ui/common/dialogs.h"
#include "ui/common/reading_gate.h"
#include "ui/common/settings_writes.h"
#include "ui/music/folder_chooser.h"
#include "ui/shell/main_window_ui.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>

namespace sayvell::ui {
namespace {

// How long the note about a file that cannot be played stays before the next file starts.
constexpr int kSkipNoteMs = 1500;

QString cannotPlay(const QString& path) { return QStringLiteral("無法播放：") + QFileInfo(path).fileName(); }

}  // namespace

MusicPanel::Widgets MusicPanel::Widgets::of(const MainWindowUi& ui) {
    return {ui.bj_play, ui.bj_stop, ui.bj_next,       ui.bj_prev,    ui.bj_ok,         ui.bj_v,
            ui.bj_v1,   ui.ComBox1, ui.RzLEDDisplay1, ui.BJListBox1, ui.statusPanel[3]};
}

MusicPanel::MusicPanel(Widgets widgets, std::unique_ptr<music::MusicPlayer> player, const ReadingGate& gate,
                       Dialogs& dialogs, std::unique_ptr<FolderChooser> chooser, QObject* parent)
    : QObject(parent), w_(widgets), player_(std::move(player)), gate_(gate), dialogs_(dialogs),
      chooser_(std::move(chooser)),
      random_(static_cast<std::mt19937::result_type>(std::chrono::steady_clock::now().time_since_epoch().count())) {
    bj_timer1 = new QTimer(this);
    bj_timer1->setObjectName(QStringLiteral("bj_timer1"));
    bj_timer1->setInterval(1000);
    bj_timer2 = new QTimer(this);
    bj_timer2->setObjectName(QStringLiteral("bj_timer2"));
    bj_timer2->setInterval(20);
    skipTimer_ = new QTimer(this);
    skipTimer_->setSingleShot(true);
    skipTimer_->setInterval(kSkipNoteMs);
    // Thousands of names lay out at once when every line has the same height.
    w_.BJListBox1->setUniformItemSizes(true);

    connect(w_.bj_play, &QToolButton::clicked, this, &MusicPanel::bj_playClick);
    connect(w_.bj_stop, &QToolButton::clicked, this, &MusicPanel::bj_stopClick);
    connect(w_.bj_next, &QToolButton::clicked, this, &MusicPanel::bj_nextClick);
    connect(w_.bj_prev, &QToolButton::clicked, this, &MusicPanel::bj_prevClick);
    connect(w_.bj_ok, &QToolButton::clicked, this, &MusicPanel::bj_okClick);
    connect(w_.BJListBox1, &QListWidget::currentRowChanged, this, &MusicPanel::BJListBox1Change);
    connect(w_.BJListBox1, &QListWidget::itemDoubleClicked, this, &MusicPanel::BJListBox1DblClick);
    connect(w_.bj_v, &QSpinBox::valueChanged, this, &MusicPanel::bj_vChange);
    connect(w_.bj_v1, &QSpinBox::valueChanged, this, &MusicPanel::bj_v1Change);
    connect(bj_timer1, &QTimer::timeout, this, &MusicPanel::bj_timer1Timer);
    connect(bj_timer2, &QTimer::timeout, this, &MusicPanel::bj_timer2Timer);
    connect(skipTimer_, &QTimer::timeout, this, &MusicPanel::endOfTrack);

    listenForEnds();
    musicLevel = w_.bj_v1->value();
    bj_timer2->start();
}

MusicPanel::~MusicPanel() {
    // The player's thread ends before anything it might call back into goes away.
    player_.reset();
}

void MusicPanel::listenForEnds() {
    // The player tells from its own thread; the next track starts here, at once rather than at
    // the next progress tick, so the change leaves no gap.
    player_->setFinishedHandler([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (player_ && player_->finished()) endOfTrack();
            },
            Qt::QueuedConnection);
    });
}

void MusicPanel::setPlayer(std::unique_ptr<music::MusicPlayer> player) {
    player_.reset();
    player_ = std::move(player);
    listenForEnds();
}

void MusicPanel::setFolderChooser(std::unique_ptr<FolderChooser> chooser) { chooser_ = std::move(chooser); }

void MusicPanel::startMusicLibrary() {
    musicTrackIndex = 0;
    if (!player_->startError().isEmpty()) dialogs_.error(QStringLiteral("初始化錯誤"));
}

void MusicPanel::applySettings(const store::SettingsFile& ini) {
    namespace keys = store::keys;
    {
        const QSignalBlocker b1(w_.bj_v);
        const QSignalBlocker b2(w_.bj_v1);
        // The boxes hold a stored value outside 0..100 at the nearest end.
        w_.bj_v->setValue(ini.read(keys::DefaultVolume));
        w_.bj_v1->setValue(ini.read(keys::DefaultVolume1));
    }
    w_.ComBox1->setCurrentIndex(std::clamp(ini.read(keys::Playmode), 0, 1));
    const QString exeDir = store::appDir();
    const QString stored = ini.read(keys::Mp3bj, exeDir);
    if (!stored.isEmpty() && QFileInfo(stored).isDir())
        showFolder(stored);
    else if (QFileInfo(exeDir + QStringLiteral("/mp3files")).isDir())
        showFolder(exeDir + QStringLiteral("/mp3files"));
    else
        showFolder(exeDir);
    musicLevel = w_.bj_v1->value();
}

void MusicPanel::saveExitSettings(store::SettingsFile& ini) const {
    namespace keys = store::keys;
    ini.write(keys::DefaultVolume, w_.bj_v->value());
    ini.write(keys::DefaultVolume1, w_.bj_v1->value());
    ini.write(keys::Playmode, w_.ComBox1->currentIndex());
}

void MusicPanel::showFolder(const QString& folder) {
    folder_ = folder;
    bool readable = true;
    const QStringList names = music::listMusicFiles(folder, &readable);
    {
        // Listing is not choosing a line: the playing track and its volume stay.
        const QSignalBlocker block(w_.BJListBox1);
        w_.BJListBox1->clear();
        w_.BJListBox1->addItems(names);
    }
    if (!readable) w_.statusPanel3->setText(QStringLiteral("無法讀取目錄：") + folder);
    emit stateChanged();
}

bool MusicPanel::reading() const { return gate_.readingActive(); }

void MusicPanel::selectLine(int line) {
    const QSignalBlocker block(w_.BJListBox1);
    w_.BJListBox1->setCurrentRow(line);
}

void MusicPanel::bj_playClick() {
    skipTimer_->stop();
    const int count = w_.BJListBox1->count();
    if (count == 0) {
        bj_timer1->stop();
        return;
    }
    const int selected = w_.BJListBox1->currentRow();
    musicTrackIndex = selected >= 0 && selected < count ? selected : 0;
    const QString path = folder_ + QLatin1Char('/') + w_.BJListBox1->item(musicTrackIndex)->text();
    trackPath_ = path;
    w_.statusPanel3->setText(QFileInfo(path).fileName());
    musicLevel = w_.bj_v1->value();
    // create() replaces the stream; after a finished one it lets its tail play out first.
    if (!player_->create(path)) {
        skipUndecodable(path);
        emit stateChanged();
        return;
    }
    failuresInARow_ = 0;
    // Set before the first sound: a new track starts at the reading volume and, outside a
    // reading, the follower takes it up from there; never a burst at full volume.
    player_->setVolume(static_cast<float>(musicLevel) / 100.0f);
    musicTrackSeconds = static_cast<int>(player_->lengthSeconds());
    player_->play();
    bj_timer1->start();
    emit stateChanged();
}

void MusicPanel::skipUndecodable(const QString& path) {
    w_.statusPanel3->setText(cannotPlay(path));
    // A whole list of files that cannot be played ends the chain instead of going round.
    if (++failuresInARow_ < w_.BJListBox1->count()) skipTimer_->start();
}

void MusicPanel::bj_stopClick() {
    skipTimer_->stop();
    if (player_->live()) player_->free();
    emit stateChanged();
}

void MusicPanel::bj_nextClick() {
    const int count = w_.BJListBox1->count();
    if (count == 0) return;
    musicTrackIndex = music::nextTrack(musicTrackIndex, count);
    selectLine(musicTrackIndex);
    BJListBox1Change();
    bj_playClick();
}

void MusicPanel::bj_prevClick() {
    const int count = w_.BJListBox1->count();
    if (count == 0) return;
    if (musicTrackIndex > 0) {
        const int selected = w_.BJListBox1->currentRow();
        musicTrackIndex = std::clamp(music::previousTrack(selected >= 0 ? selected : musicTrackIndex), 0, count - 1);
    }
    selectLine(musicTrackIndex);
    BJListBox1Change();
    bj_playClick();
}

void MusicPanel::bj_okClick() {
    const QString chosen = chooser_->chooseFolder(folder_);
    if (chosen.isEmpty()) return;
    showFolder(chosen);
    writeSettings(dialogs_, [&](store::SettingsFile& ini) { ini.write(store::keys::Mp3bj, chosen); });
}

void MusicPanel::BJListBox1Change() {
    if (!player_->live()) return;
    const int level = reading() ? w_.bj_v1->value() : w_.bj_v->value();
    player_->setVolume(static_cast<float>(level) / 100.0f);
}

void MusicPanel::BJListBox1DblClick() { w_.bj_play->click(); }

void MusicPanel::bj_vChange() {
    if (reading()) return;
    musicLevel = w_.bj_v->value();
    player_->setVolume(static_cast<float>(musicLevel) / 100.0f);
}

void MusicPanel::bj_v1Change() {
    if (!reading()) return;
    musicLevel = w_.bj_v1->value();
    player_->setVolume(static_cast<float>(musicLevel) / 100.0f);
}

void MusicPanel::bj_timer1Timer() {
    const bool live = player_->live();
    const int position = live ? static_cast<int>(player_->positionSeconds()) : 0;
    // Exact once the player's thread has scanned the file.
    if (live) musicTrackSeconds = static_cast<int>(player_->lengthSeconds());
    w_.RzLEDDisplay1->setText(QString::asprintf(" %.2d / %.2d ", position, musicTrackSeconds));
    // The end is the player's: all of the track has been played, not a whole-second guess.
    if (player_->finished()) endOfTrack();
}

void MusicPanel::endOfTrack() {
    const int count = w_.BJListBox1->count();
    if (w_.ComBox1->currentIndex() == 1)
        musicTrackIndex = music::randomTrack(musicTrackIndex, count, random_);
    else
        musicTrackIndex = music::nextTrack(musicTrackIndex, count);
    if (count > 0) selectLine(musicTrackIndex);
    bj_playClick();
}

void MusicPanel::bj_timer2Timer() {
    const music::FollowerStep step =
        music::followVolume({reading(), player_->live(), w_.bj_v->value(), w_.bj_v1->value(), musicLevel});
    musicLevel = step.level;
    if (step.volume) player_->setVolume(static_cast<float>(*step.volume) / 100.0f);
}

}  // namespace sayvell::ui
