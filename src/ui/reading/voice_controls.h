#pragma once
// The voice list, the rate bar and the volume bar. Every rate sent to the engine is the bar's
// position plus the engine's own rate at start-up (baseRate); the volume is sent only when
// the bar moves; the voice is taken from a fresh enumeration at each start.
#include <QObject>
#include <QString>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QSlider;

namespace sayvell::reading {
class SpeechEngine;
}
namespace sayvell::store {
class SettingsFile;
}

namespace sayvell::ui {

class Dialogs;

struct VoiceWidgets {
    QComboBox* flatComboBox1;
    QSlider* TrackBar2;   // rate
    QLabel* StaticText6;  // rate value
    QSlider* TrackBar1;   // volume
    QLabel* StaticText9;  // volume value
    QPlainTextEdit* Memo1;
};

class VoiceControls : public QObject {
    Q_OBJECT
public:
    VoiceControls(VoiceWidgets w, reading::SpeechEngine& speech, Dialogs& dialogs, QObject* parent = nullptr);

    // Start-up, in the order the settings are applied.
    void rememberBaseRate();
    void applyRateAndVolume(const store::SettingsFile& ini);
    void fillVoiceList();
    void selectStoredVoice(const store::SettingsFile& ini);
    void saveAtExit(store::SettingsFile& ini) const;

    int baseRate() const { return baseRate_; }
    QString currentVoiceName() const;
    // The voice check of every reading command: warns when no voice is chosen.
    bool voiceChosen();
    // Hands the engine the voice at the list's index; its id (empty when none is chosen).
    QString selectVoice();

    void TrackBar2Change();
    void TrackBar1Change();
    void flatComboBox1Change();

private:
    VoiceWidgets w_;
    reading::SpeechEngine& speech_;
    Dialogs& dialogs_;
    int baseRate_ = 0;
};

}  // namespace sayvell::ui
