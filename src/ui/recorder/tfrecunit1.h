#pragma once
// The recorder window: records what the computer plays into a WAV file, by either of two
// methods on two pages. Both go through the same recorder; method two always records two
// channels. The buttons always show whether a recording runs, also after the window was
// hidden and shown again, and a recording is never dropped: a second start is refused until
// the running one is stopped and saved.
#include "audio/sound_recorder.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QTimer;

namespace sayvell::ui {

class Dialogs;

class TFrecunit1 : public QWidget {
    Q_OBJECT
public:
    TFrecunit1(std::unique_ptr<audio::SoundRecorder> recorder, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TFrecunit1() override;

    QTabWidget* PageControl1 = nullptr;
    // Method one
    QRadioButton* rate11025 = nullptr;
    QRadioButton* rate22050 = nullptr;
    QRadioButton* rate44100 = nullptr;
    QRadioButton* mono = nullptr;    // "單通道"
    QRadioButton* stereo = nullptr;  // "立体聲"
    QRadioButton* bits8 = nullptr;   // "8位"
    QRadioButton* bits16 = nullptr;  // "16位"
    QPushButton* btn_start = nullptr;
    QPushButton* btn_stop = nullptr;
    // Method two
    QRadioButton* rate11025b = nullptr;
    QRadioButton* rate22050b = nullptr;
    QRadioButton* rate44100b = nullptr;
    QRadioButton* bits8b = nullptr;
    QRadioButton* bits16b = nullptr;
    QPushButton* btn_start1 = nullptr;
    QPushButton* btn_stop1 = nullptr;
    // Shared
    QPushButton* Button3 = nullptr;  // "聲音文件 "
    QLineEdit* Edit1 = nullptr;
    QLabel* ImgRecord = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* statusPanel0 = nullptr;
    QTimer* Timer1 = nullptr;

    int elapsedSeconds = 0;
    int timerTag() const { return tag_; }
    // 1 or 2 while that method records, 0 when idle.
    int recordingMethod() const { return method_; }

public slots:
    void btn_startClick();
    void btn_stopClick();
    void btn_start1Click();
    void btn_stop1Click();
    void Button3Click();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;  // FormShow

private:
    bool startRecording(int method, const audio::PcmFormat& format);
    void stopRecording(int method);
    void recordingLost();
    void showButtons();

    std::unique_ptr<audio::SoundRecorder> recorder_;
    Dialogs& dialogs_;
    int method_ = 0;
    int tag_ = 0;
};

}  // namespace sayvell::ui
