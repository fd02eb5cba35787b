// The recorder on the private PulseAudio: the window records what the program itself plays
// from the default output's monitor, into the file its header promises.
#include "../ui/window_rig.h"
#include "audio/audio_engine.h"
#include "audio/sound_recorder.h"
#include "reading/espeak_engine.h"
#include "support/fakes.h"
#include "support/sound_capture.h"
#include "ui/recorder/tfrecunit1.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstring>
#include <thread>

using namespace sayvell;
using namespace sayvell::testing;

namespace {

QByteArray headerOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(44) : QByteArray();
}

// The header as the table lays it out, byte by byte.
QByteArray expectedHeader(int channels, int rate, int bits) {
    QByteArray h;
    auto u32 = [&h](quint32 v) {
        for (int i = 0; i < 4; ++i) h.append(char(v >> (8 * i)));
    };
    auto u16 = [&h](quint16 v) {
        h.append(char(v));
        h.append(char(v >> 8));
    };
    h += "RIFF";
    u32(36);
    h += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(quint16(channels));
    u32(quint32(rate));
    u32(quint32(channels * rate * (bits / 8)));
    u16(quint16(channels * (bits / 8)));
    u16(quint16(bits));
    h += "data";
    u32(0);
    return h;
}

}  // namespace

TEST(RecorderSound, MethodOneWritesThePromisedHeaderFirstAndRecordsTheProgramsOwnReading) {
    if (!pulseAvailable()) GTEST_SKIP() << "no private PulseAudio (run under tests/support/with_pulse.sh)";
    WindowRig rig({}, false);
    audio::AudioEngine audioEngine(audio::makePulseOutput(QStringLiteral("Sayvell recorder test")));
    QString error;
    ASSERT_TRUE(audioEngine.start(&error)) << error.toStdString();
    reading::EspeakEngine speech(audioEngine);
    speech.setVoice({QStringLiteral("cmn-latn-pinyin"), {}});
    ui::TFrecunit1 window(audio::makePulseRecorder(QStringLiteral("Sayvell recorder test")), rig.dialogs);
    window.show();

    // 22050 Hz, one channel, 8 bits (the page's defaults), then 44100, two channels, 16 bits.
    window.Edit1->setText(rig.path("small file.wav"));
    window.btn_start->click();
    ASSERT_TRUE(window.btn_stop->isEnabled()) << rig.dialogs.shown.join(u'|').toStdString();
    EXPECT_EQ(headerOf(rig.path("small file.wav")), expectedHeader(1, 22050, 8));
    window.btn_stop->click();

    window.Edit1->setText(rig.path("take.wav"));
    window.stereo->setChecked(true);
    window.bits16->setChecked(true);
    window.rate44100->setChecked(true);
    window.btn_start->click();
    ASSERT_TRUE(window.btn_stop->isEnabled());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(headerOf(rig.path("take.wav")), expectedHeader(2, 44100, 16));

    // Two bursts of the program's own speech with a second of quiet between them.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(speech.speak(QStringLiteral("歡迎光臨。"), 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_TRUE(speech.speak(QStringLiteral("謝謝惠顧。"), 0));
    // Until the file holds the end of the speech and a little quiet after it, however late the
    // record stream runs (44100 Hz, two channels of 16 bits).
    const double spoken = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const auto wanted = static_cast<qint64>((spoken + 0.4) * 44100) * 4 + 44;
    ASSERT_TRUE(waitFor([&] { return QFileInfo(rig.path("take.wav")).size() >= wanted; }, kRecordDeadlineMs))
        << "recording too short: " << QFileInfo(rig.path("take.wav")).size() << " of " << wanted << " bytes";
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    window.btn_stop->click();
    EXPECT_EQ(rig.dialogs.shown.last(), QStringLiteral("information:聲音錄制完畢,保存在：") + rig.path("take.wav"));

    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(rig.path("take.wav")).constData(), SFM_READ, &info);
    ASSERT_TRUE(f);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 2);
    std::vector<std::int16_t> all(static_cast<std::size_t>(info.frames * 2));
    sf_readf_short(f, all.data(), info.frames);
    sf_close(f);
    std::vector<std::int16_t> left(all.size() / 2);
    for (std::size_t i = 0; i < left.size(); ++i) left[i] = all[2 * i];
    const auto bursts = findBursts(left, 44100, -45.0, 400);
    std::printf("recorded %.2f s in %.2f s, %zu bursts\n", static_cast<double>(info.frames) / 44100, seconds,
                bursts.size());
    EXPECT_EQ(bursts.size(), 2u);
    EXPECT_NEAR(static_cast<double>(info.frames) / 44100, seconds, 0.05 * seconds);
}

TEST(RecorderSound, WithoutAServerTheStartFailsWithTheDevicesMessage) {
    // A server address that nobody answers: the start fails at once.
    const QByteArray old = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/sayvell-no-server");
    WindowRig rig({}, false);
    ui::TFrecunit1 window(audio::makePulseRecorder(QStringLiteral("Sayvell recorder test")), rig.dialogs);
    window.Edit1->setText(rig.path("x.wav"));
    window.btn_start->click();
    if (old.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", old);
    EXPECT_EQ(rig.dialogs.shown, QStringList{QStringLiteral("error:媒体設備初始化失敗！")});
    EXPECT_TRUE(window.btn_start->isEnabled());
    EXPECT_FALSE(window.btn_stop->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(rig.path("x.wav")));
}
