// Background music heard through the private PulseAudio: its level under a reading and the
// change from one track to the next, measured in the null sink's monitor. The reading's voice
// is a 3 kHz tone played through the speech channel, so music (440 Hz) and voice can be told
// apart in the one recording.
#include "audio/audio_engine.h"
#include "reading/clock.h"
#include "reading/speech_engine.h"
#include "reading/tts.h"
#include "store/app_paths.h"
#include "store/tdm.h"
#include "support/fakes.h"
#include "support/sound_capture.h"
#include "ui/music/music_panel.h"
#include "ui/shell/tf_speaker.h"
#include "ui/window_rig.h"
#include "unit/test_music_fixtures.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextCursor>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace sayvell;
using namespace sayvell::testing;

namespace {

constexpr int kRate = MonitorRecorder::kRate;
constexpr int kWindow = 480;  // 10 ms

// Each piece is heard as 0.8 s of 3 kHz; speak() returns once it has been played.
class ToneSpeech : public reading::SpeechEngine {
public:
    explicit ToneSpeech(audio::AudioEngine& e) : engine_(e) {
        const int frames = 8 * audio::AudioEngine::kRate / 10;
        for (int i = 0; i < frames; ++i)
            tone_.push_back(static_cast<std::int16_t>(
                std::lround(0.3 * 32767 * std::sin(2 * std::numbers::pi * 3000.0 * i / audio::AudioEngine::kRate))));
    }
    QList<reading::Voice> voices() override { return {{"tone", "測試聲音"}}; }
    void setVoice(const reading::Voice&) override {}
    int rate() const override { return 0; }
    void setRate(int) override {}
    void setVolume(int) override {}
    bool speak(const QString& text, int) override {
        if (text.trimmed().isEmpty()) {
            engine_.clear(audio::Channel::Speech);
            return true;
        }
        engine_.append(audio::Channel::Speech, tone_.data(), tone_.size(), audio::AudioEngine::kRate, 1);
        return engine_.waitPlayed(audio::Channel::Speech, 10000);
    }
    void waitUntilDone() override {}
    bool setOutputFile(const QString&, const reading::PcmFormat&, QString*) override { return false; }
    bool setOutputDefault(QString*) override { return true; }

private:
    audio::AudioEngine& engine_;
    std::vector<std::int16_t> tone_;
};

// Level in dBFS of the `hz` component of the 10 ms window starting at `from` (Hann window).
double levelAt(const std::vector<std::int16_t>& s, std::size_t from, double hz) {
    double re = 0, im = 0, wsum = 0;
    for (int i = 0; i < kWindow; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (kWindow - 1));
        const double x = s[from + static_cast<std::size_t>(i)] / 32768.0;
        const double a = 2 * std::numbers::pi * hz * i / kRate;
        re += w * x * std::cos(a);
        im -= w * x * std::sin(a);
        wsum += w;
    }
    return 20 * std::log10(std::max(1e-9, 2 * std::hypot(re, im) / wsum));
}

// One level per 10 ms window.
std::vector<double> levels(const std::vector<std::int16_t>& s, double hz) {
    std::vector<double> out;
    for (std::size_t from = 0; from + kWindow <= s.size(); from += kWindow) out.push_back(levelAt(s, from, hz));
    return out;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -200 : v[v.size() / 2];
}

struct SoundRig {
    QTemporaryDir dir;
    audio::AudioEngine engine{audio::makePulseOutput(QStringLiteral("Sayvell test"))};
    std::unique_ptr<ToneSpeech> speech;
    reading::SystemClock clock;
    RecordingDialogs dialogs;
    std::unique_ptr<store::TDM> dm;
    std::unique_ptr<ui::Tf_speaker> window;
    ui::MusicPanel* panel = nullptr;

    bool open(const QByteArray& settings) {
        store::setAppDirForTesting(dir.path());
        QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
        QFile ini(dir.filePath("setinfo.ini"));
        if (!ini.open(QIODevice::WriteOnly)) return false;
        ini.write("[System]\nPrompt_tone=0\nMp3bj=" + dir.filePath("music").toUtf8() + "\n" + settings);
        ini.close();
        QString error;
        if (!engine.start(&error)) return false;
        speech = std::make_unique<ToneSpeech>(engine);
        dm = store::TDM::open(dir.filePath("draft.dat"));
        if (!dm) return false;
        window = std::make_unique<ui::Tf_speaker>(ui::Services{*speech, *dm, dialogs, clock, &engine});
        panel = window->findChild<ui::MusicPanel*>();
        return panel != nullptr;
    }
    ~SoundRig() {
        window.reset();
        store::setAppDirForTesting(QString());
    }
    // Lets the window's timers run while `ms` of sound are recorded.
    void record(MonitorRecorder& rec, int ms) {
        const std::size_t target = rec.sampleCount() + static_cast<std::size_t>(kRate) * ms / 1000;
        waitFor([&] { return rec.sampleCount() >= target; }, ms + 5000);
    }
};

}  // namespace

TEST(MusicSound, TheMusicDropsByTheVolumeRatioUnderAReadingAndRisesBackAfterIt) {
    if (!pulseAvailable()) GTEST_SKIP() << "no private PulseAudio (run under tests/support/with_pulse.sh)";
    if (!haveLame()) GTEST_SKIP() << "lame is not installed";
    SoundRig rig;
    QDir().mkpath(rig.dir.filePath("music"));
    ASSERT_TRUE(writeMp3Tone(rig.dir.filePath("music/long.mp3"), 8.0, 44100, 2, 440, 0.5));
    ASSERT_TRUE(rig.open("default_volume=40\ndefault_volume1=10\n"));

    MonitorRecorder rec;
    std::string error;
    ASSERT_TRUE(rec.start(&error)) << error;
    rig.window->ui.bj_play->click();
    rig.record(rec, 1500);  // past the fade-in from 10 to 40
    // No delimiter, so no pause after the voice: the reading ends when its sound does.
    rig.window->ui.Memo1->setPlainText(QStringLiteral("一"));
    rig.window->ui.Memo1->moveCursor(QTextCursor::Start);
    rig.window->ui.SB_play->click();
    ASSERT_TRUE(waitFor([&] { return rig.window->readingState().readingActive.load(); }, 5000));
    ASSERT_TRUE(waitFor([&] { return !rig.window->readingState().readingActive.load(); }, 10000));
    rig.record(rec, 1500);
    const std::vector<std::int16_t> s = rec.stop();
    EXPECT_TRUE(rig.dialogs.shown.isEmpty()) << rig.dialogs.shown.join(" | ").toStdString();

    const std::vector<double> music = levels(s, 440);
    const std::vector<double> voice = levels(s, 3000);
    std::size_t first = voice.size(), last = 0;
    for (std::size_t i = 0; i < voice.size(); ++i)
        if (voice[i] > -30) {
            first = std::min(first, i);
            last = i;
        }
    ASSERT_LT(first, voice.size()) << "the reading was not heard";
    ASSERT_GT(first, 60u);
    // Music volume 40 of a tone at half scale.
    const double before = median({music.begin() + static_cast<long>(first) - 50, music.begin() + static_cast<long>(first) - 5});
    const double during = median({music.begin() + static_cast<long>(first) + 10, music.begin() + static_cast<long>(last) - 5});
    EXPECT_NEAR(before - during, 20 * std::log10(40.0 / 10.0), 1.0);

    std::size_t dropped = 0;
    for (std::size_t i = first - 50; i < music.size(); ++i)
        if (music[i] < before - 11) {
            dropped = i;
            break;
        }
    EXPECT_LE(static_cast<double>(dropped) - static_cast<double>(first), 4.0) << "drop later than 40 ms after the voice";

    std::size_t back = 0;
    for (std::size_t i = last; i < music.size(); ++i)
        if (music[i] > before - 1) {
            back = i;
            break;
        }
    ASSERT_GT(back, 0u) << "the music did not come back up";
    EXPECT_LE(static_cast<double>(back - last) * 10, 700.0);
    EXPECT_GE(static_cast<double>(back - last) * 10, 400.0) << "the rise is a glide, not a jump";
}

TEST(MusicSound, TheNextTrackFollowsWithoutAGapAndNothingOfTheFirstIsCut) {
    if (!pulseAvailable()) GTEST_SKIP() << "no private PulseAudio (run under tests/support/with_pulse.sh)";
    if (!haveLame()) GTEST_SKIP() << "lame is not installed";
    SoundRig rig;
    QDir().mkpath(rig.dir.filePath("music"));
    ASSERT_TRUE(writeMp3Tone(rig.dir.filePath("music/1.mp3"), 1.5, 44100, 2, 440, 0.5));
    ASSERT_TRUE(writeMp3Tone(rig.dir.filePath("music/2.mp3"), 1.0, 32000, 1, 1000, 0.5));
    // One volume throughout: a level that does not move while the change is measured.
    ASSERT_TRUE(rig.open("default_volume=40\ndefault_volume1=40\n"));

    MonitorRecorder rec;
    std::string error;
    ASSERT_TRUE(rec.start(&error)) << error;
    rig.window->ui.bj_play->click();
    rig.record(rec, 3500);
    const std::vector<std::int16_t> s = rec.stop();

    const std::vector<double> a = levels(s, 440);
    const std::vector<double> b = levels(s, 1000);
    // The first stretch of a tone longer than a click (the chain goes round to the first track
    // again later; the edges of the other tone may spill into a window or two).
    const auto span = [](const std::vector<double>& l) {
        std::size_t first = 0;
        for (;;) {
            while (first < l.size() && l[first] <= -35) ++first;
            std::size_t last = first;
            while (last < l.size() && l[last] > -35) ++last;
            if (last - first >= 20 || last >= l.size()) return std::pair<double, double>(first * 10.0, last * 10.0);
            first = last;
        }
    };
    const auto [aStart, aEnd] = span(a);
    const auto [bStart, bEnd] = span(b);
    ASSERT_LT(aStart, aEnd) << "the first track was not heard";
    ASSERT_LT(bStart, bEnd) << "the second track was not heard";
    EXPECT_NEAR(aEnd - aStart, 1500.0, 50.0);
    EXPECT_NEAR(bEnd - bStart, 1000.0, 50.0);
    EXPECT_LE(bStart - aEnd, 50.0) << "gap between the tracks";
}
