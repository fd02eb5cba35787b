#pragma once
// Speech into files: the WAV export of the whole text or the selection, and the export of the
// text as it is read aloud (pauses, date, delay symbol, music), each rendered off the
// user-interface thread behind a progress dialog whose cancel deletes the partial file.
//
// An export and a reading never share the engine: an export is refused while a reading runs,
// and holds the reading lock while it renders, so a reading started meanwhile (a hotkey)
// waits until the export has finished. An export is a job (export_job.h): the window goes on
// with its own event loop meanwhile, and a second export is not started while one runs.
#include "audio/speech_export.h"
#include "reading/tts.h"

#include <QObject>
#include <QString>
#include <functional>
#include <mutex>

class QAction;
namespace sayvell::ui {
class ExportJob;
}
class QComboBox;
class QMenu;
class QPlainTextEdit;
class QSlider;
class QToolButton;
class QWidget;

namespace sayvell::reading {
class SpeechEngine;
struct ReadingState;
}  // namespace sayvell::reading

namespace sayvell::ui {

class Dialogs;
class ReadingGate;

struct ExportWidgets {
    QWidget* window = nullptr;  // parent of the dialogs
    QToolButton* SB_outwav = nullptr;
    QAction* WAV1 = nullptr;          // "輸出聲音文件 (&W)"
    QAction* N14 = nullptr;           // "輸出選擇范圍 (&F)"
    QMenu* M_file = nullptr;          // gets "輸出朗讀效果…"
    QAction* insertBefore = nullptr;  // the file menu's item the new command goes before
    QComboBox* flatComboBox1 = nullptr;
    QSlider* TrackBar2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
};

// What the export as read takes from the music panel, asked when the export starts.
struct MusicSettings {
    QString folder;
    int currentRow = 0;
    bool random = false;
    int musicVolume = 40;
    int readingVolume = 10;
};

class ExportController : public QObject {
    Q_OBJECT
public:
    ExportController(ExportWidgets widgets, reading::SpeechEngine& speech, Dialogs& dialogs,
                     reading::ReadingState& state, std::timed_mutex& readingLock, ReadingGate& gate,
                     std::function<int()> baseRate, QObject* parent = nullptr);

    // The hidden list of the 36 output formats; its index is "Yinping".
    QComboBox* ComboBox1() const { return ComboBox1_; }
    QAction* exportAsReadAction() const { return exportAsRead_; }
    // The pronunciation table the export as read uses, as a reading does.
    void setLexiconSource(reading::LexiconSource lexicon) { lexicon_ = std::move(lexicon); }
    // Without one, the export as read offers no music.
    void setMusicSource(std::function<MusicSettings()> source) { music_ = std::move(source); }

    // Cancels a running export and waits for its thread: the window is going, and with it the
    // reading lock the export holds.
    void endExport();

public slots:
    void SB_outwavClick();
    void WAV1Click();
    void N14Click();
    void exportwav();
    void exportAsReadClick();

private:
    reading::LexiconSource lexicon_;
    // Voice and rate on the engine; false (and a warning) when no voice is chosen or a
    // reading runs.
    bool prepareEngine(QString* voiceId);
    // Starts `work` as the job behind a progress dialog; `done` gets its result.
    void render(const QString& caption, const std::function<audio::ExportResult(audio::ExportControl&)>& work,
                std::function<void(const audio::ExportResult&)> done);

    ExportWidgets w_;
    reading::SpeechEngine& speech_;
    Dialogs& dialogs_;
    reading::ReadingState& state_;
    std::timed_mutex& readingLock_;
    ReadingGate& gate_;
    std::function<int()> baseRate_;
    std::function<MusicSettings()> music_;
    QComboBox* ComboBox1_ = nullptr;
    QAction* exportAsRead_ = nullptr;
    ExportJob* job_ = nullptr;
};

}  // namespace sayvell::ui
