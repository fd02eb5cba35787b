// The recorder window: its buttons, timer and messages, on a recorder that writes a tone
// through the same file code as the real one.
#include "audio/sound_recorder.h"
#include "ui/recorder/tfrecunit1.h"
#include "window_rig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

using namespace sayvell;
using namespace sayvell::testing;

namespace {

class ToneRecorder : public audio::SoundRecorder {
public:
    bool start(const QString& path, const audio::PcmFormat& format, QString* error) override {
        if (!available) {
            *error = QStringLiteral("no server");
            return false;
        }
        if (!file.open(path, format, error)) return false;
        starts << format;
        return true;
    }
    bool stop(QString* error) override {
        if (!file.isOpen()) return false;
        const std::vector<char> second(
            static_cast<std::size_t>(file.format().sampleRate * file.format().channels * (file.format().bits / 8)),
            char(0x40));
        file.append(second.data(), second.size());
        return file.close(error) && saves;
    }
    bool recording() const override { return file.isOpen(); }
    std::int64_t framesRecorded() const override { return 0; }

    bool available = true;
    bool saves = true;
    QList<audio::PcmFormat> starts;
    audio::RecordingFile file;
};

struct RecorderRig {
    RecorderRig() {
        auto r = std::make_unique<ToneRecorder>();
        recorder = r.get();
        window = std::make_unique<ui::TFrecunit1>(std::move(r), rig.dialogs);
        window->show();
    }
    bool idle() const {
        return window->btn_start->isEnabled() && window->btn_start1->isEnabled() && !window->btn_stop->isEnabled() &&
               !window->btn_stop1->isEnabled() && !window->ImgRecord->isVisible() && !window->Timer1->isActive();
    }
    WindowRig rig;
    ToneRecorder* recorder = nullptr;
    std::unique_ptr<ui::TFrecunit1> window;
};

}  // namespace

TEST(RecorderWindow, TheToolButtonShowsItAndItRecordsToTempWavBesideTheProgram) {
    WindowRig rig;
    auto* recorder = rig.window->findChild<ui::TFrecunit1*>();
    ASSERT_TRUE(recorder);
    EXPECT_FALSE(recorder->isVisible());
    rig.window->ui.SB_outwav2->click();
    EXPECT_TRUE(recorder->isVisible());
    EXPECT_EQ(recorder->windowTitle(), QStringLiteral("錄音程序(錄制電腦發出的聲音)"));
    EXPECT_EQ(recorder->Edit1->text(), rig.path("Temp.wav"));
    EXPECT_TRUE(rig.window->isEnabled());  // not modal
}

TEST(RecorderWindow, MethodOneRecordsItsChoicesAndTheButtonsFollowTheRecording) {
    RecorderRig r;
    EXPECT_TRUE(r.idle());
    r.rig.dialogs.saveAnswer = r.rig.path("take one.wav");
    r.window->Button3->click();
    EXPECT_EQ(r.window->Edit1->text(), r.rig.path("take one.wav"));  // no second ".wav"
    r.window->stereo->setChecked(true);
    r.window->bits16->setChecked(true);
    r.window->rate44100->setChecked(true);
    r.window->btn_start->click();
    ASSERT_EQ(r.recorder->starts.size(), 1);
    EXPECT_EQ(r.recorder->starts[0], (audio::PcmFormat{44100, 16, 2}));
    EXPECT_TRUE(r.window->btn_stop->isEnabled());
    EXPECT_FALSE(r.window->btn_start->isEnabled());
    EXPECT_FALSE(r.window->btn_start1->isEnabled());  // one recording at a time
    EXPECT_TRUE(r.window->ImgRecord->isVisible());

    // Hiding and showing again does not pretend the recording ended.
    r.window->hide();
    r.window->show();
    EXPECT_FALSE(r.window->btn_start->isEnabled());
    EXPECT_TRUE(r.window->btn_stop->isEnabled());

    // The counter starts at 0; the frame alternates with the tag.
    const QImage before = r.window->ImgRecord->pixmap().toImage();
    r.window->Timer1Timer();
    EXPECT_EQ(r.window->statusPanel0->text(), QStringLiteral("已錄音：0 秒"));
    const QImage after = r.window->ImgRecord->pixmap().toImage();
    r.window->Timer1Timer();
    EXPECT_EQ(r.window->statusPanel0->text(), QStringLiteral("已錄音：1 秒"));
    EXPECT_NE(before, after);
    EXPECT_EQ(r.window->ImgRecord->pixmap().toImage(), before);

    r.window->btn_stop->click();
    EXPECT_EQ(r.rig.dialogs.shown.last(),
              QStringLiteral("information:聲音錄制完畢,保存在：") + r.rig.path("take one.wav"));
    EXPECT_TRUE(r.idle());
    QFile f(r.rig.path("take one.wav"));
    EXPECT_EQ(f.size(), 44 + 176400);

    // A new recording counts from 0 again while the tag goes on.
    const int tag = r.window->timerTag();
    r.window->btn_start->click();
    r.window->Timer1Timer();
    EXPECT_EQ(r.window->statusPanel0->text(), QStringLiteral("已錄音：0 秒"));
    EXPECT_EQ(r.window->timerTag(), tag + 1);
    r.window->btn_stop->click();
}

TEST(RecorderWindow, FailuresAreToldAndNeverShownAsSuccess) {
    RecorderRig r;
    r.recorder->available = false;
    r.window->btn_start->click();
    EXPECT_EQ(r.rig.dialogs.shown, QStringList{QStringLiteral("error:媒体設備初始化失敗！")});
    EXPECT_TRUE(r.idle());
    r.window->btn_start1->click();
    EXPECT_EQ(r.rig.dialogs.shown.last(), QStringLiteral("error:媒体設備初始化失敗！"));
    EXPECT_TRUE(r.idle());

    // Method two: a name is needed, and its save failing is a failure.
    r.recorder->available = true;
    r.recorder->saves = false;
    r.window->Edit1->setText(QStringLiteral("  "));
    r.window->btn_start1->click();
    EXPECT_EQ(r.rig.dialogs.shown.last(), QStringLiteral("warning:請輸入要保存的文件名!"));
    r.window->Edit1->setText(r.rig.path("two.wav"));
    r.window->btn_start1->click();
    ASSERT_EQ(r.recorder->starts.size(), 1);
    EXPECT_EQ(r.recorder->starts[0], (audio::PcmFormat{44100, 16, 2}));  // the page's defaults
    EXPECT_TRUE(r.window->btn_stop1->isEnabled());
    r.window->btn_stop1->click();
    EXPECT_EQ(r.rig.dialogs.shown.last(), QStringLiteral("error:保存聲音文件出錯!"));
    EXPECT_TRUE(r.idle());
}
