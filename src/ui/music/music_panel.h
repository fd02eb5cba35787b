#pragma once
// The group "MP3背景音樂播放": the files of one folder played one after another through the
// music player, held at the reading volume while a reading runs. Handlers keep the names of
// the controls they belong to; the rules they follow live in music/ and are tested there.
#include "music/music_player.h"

#include <QObject>
#include <QString>

#include <memory>
#include <random>

class QComboBox;
class QLabel;
class QListWidget;
class QSpinBox;
class QTimer;
class QToolButton;

namespace sayvell::store {
class SettingsFile;
}

namespace sayvell::ui {

class Dialogs;
class FolderChooser;
class ReadingGate;
struct MainWindowUi;

class MusicPanel : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QToolButton* bj_play = nullptr;
        QToolButton* bj_stop = nullptr;
        QToolButton* bj_next = nullptr;
        QToolButton* bj_prev = nullptr;
        QToolButton* bj_ok = nullptr;
        QSpinBox* bj_v = nullptr;
        QSpinBox* bj_v1 = nullptr;
        QComboBox* ComBox1 = nullptr;
        QLabel* RzLEDDisplay1 = nullptr;
        QListWidget* BJListBox1 = nullptr;
        QLabel* statusPanel3 = nullptr;
        static Widgets of(const MainWindowUi& ui);
    };

    MusicPanel(Widgets widgets, std::unique_ptr<music::MusicPlayer> player, const ReadingGate& gate, Dialogs& dialogs,
               std::unique_ptr<FolderChooser> chooser, QObject* parent = nullptr);
    ~MusicPanel() override;
    // Tests put stand-ins in place of the player and the folder dialog (any stream is dropped).
    void setPlayer(std::unique_ptr<music::MusicPlayer> player);
    void setFolderChooser(std::unique_ptr<FolderChooser> chooser);

    // Start-up: says "初始化錯誤" when the music output cannot start; the panel works on.
    void startMusicLibrary();
    // Start-up: the two volumes, the play order and the folder (with its fallbacks).
    void applySettings(const store::SettingsFile& ini);
    // Exit: the volumes and the play order (the folder was written when it was chosen).
    void saveExitSettings(store::SettingsFile& ini) const;
    // Lists the folder's music files; also what a chosen folder does.
    void showFolder(const QString& folder);
    QString folder() const { return folder_; }
    // The track last started (also when it could not be played); empty before the first.
    QString trackPath() const { return trackPath_; }

    music::MusicPlayer& player() { return *player_; }
    QTimer* bj_timer1 = nullptr;  // 1000 ms: progress and end of track
    QTimer* bj_timer2 = nullptr;  // 20 ms: the volume follower

    int musicTrackIndex = 0;
    int musicTrackSeconds = 0;
    int musicLevel = 10;

signals:
    // A track started or stopped, or the list changed.
    void stateChanged();

public slots:
    void bj_playClick();
    void bj_stopClick();
    void bj_nextClick();
    void bj_prevClick();
    void bj_okClick();
    void BJListBox1Change();
    void BJListBox1DblClick();
    void bj_vChange();
    void bj_v1Change();
    void bj_timer1Timer();
    void bj_timer2Timer();

private:
    void endOfTrack();
    void selectLine(int line);
    void skipUndecodable(const QString& path);
    bool reading() const;
    void listenForEnds();

    Widgets w_;
    std::unique_ptr<music::MusicPlayer> player_;
    const ReadingGate& gate_;
    Dialogs& dialogs_;
    std::unique_ptr<FolderChooser> chooser_;
    QString folder_;
    QString trackPath_;
    std::mt19937 random_;
    QTimer* skipTimer_ = nullptr;
    int failuresInARow_ = 0;
};

}  // namespace sayvell::ui
