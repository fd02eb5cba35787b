// The chain of music tracks in the real main window on the real mixer, with a device-less
// output paced like a device: the frames it pulls are what a listener would hear, sample for
// sample, without a sound server's timing in between.
#include "audio/audio_engine.h"
#include "ui/music/music_panel.h"
#include "ui/window_rig.h"
#include "unit/test_music_fixtures.h"

#include <QDir>
#include <QToolButton>

#include <cmath>
#include <mutex>

using namespace sayvell;
using namespace sayvell::testing;

namespace {

constexpr double kQuiet = 1e-4;

// Where each tone of the mix lies, found from its zero crossings: 440 Hz crosses every 54.5
// frames at 48 kHz, 1000 Hz every 24.
struct Chain {
    std::size_t aStart = 0, aEnd = 0, bStart = 0, bEnd = 0;
    std::size_t silentBetween = 0;  // quiet frames from the end of the first to the second
    bool complete = false;          // the second tone has been heard to its end
};

Chain follow(const std::vector<float>& s) {
    Chain c;
    std::size_t i = 0;
    while (i < s.size() && std::fabs(s[i]) <= kQuiet) ++i;
    if (i == s.size()) return c;
    c.aStart = i;
    std::vector<std::size_t> crossings;
    for (std::size_t k = i + 1; k < s.size(); ++k)
        if ((s[k - 1] < 0) != (s[k] < 0) && std::fabs(s[k] - s[k - 1]) > kQuiet) crossings.push_back(k);
    // The first run of three short intervals is the second tone.
    std::size_t b = 0;
    for (std::size_t k = 3; k < crossings.size(); ++k)
        if (crossings[k] - crossings[k - 1] < 35 && crossings[k - 1] - crossings[k - 2] < 35 &&
            crossings[k - 2] - crossings[k - 3] < 35) {
            b = k - 3;
            break;
        }
    if (b == 0) return c;
    // The first tone ends after its last crossing, within half a period.
    std::size_t lastA = b;
    while (lastA > 0 && crossings[lastA] - crossings[lastA - 1] < 35) --lastA;
    c.aEnd = crossings[lastA - 1] + 27;
    c.bStart = crossings[b] > 12 ? crossings[b] - 12 : 0;
    std::size_t k = b + 1;
    while (k < crossings.size() && crossings[k] - crossings[k - 1] < 35) ++k;
    if (k == crossings.size()) return c;
    c.bEnd = crossings[k - 1] + 12;
    for (std::size_t f = c.aEnd; f < c.bStart + 12; ++f)
        if (std::fabs(s[f]) <= kQuiet) ++c.silentBetween;
    c.complete = true;
    return c;
}

}  // namespace

TEST(MusicChain, TheNextTrackFollowsSampleForSampleAndNothingOfTheFirstIsCut) {
    if (!haveLame()) GTEST_SKIP() << "lame is not installed";
    // The mixer outlives the window whose player feeds it.
    std::mutex m;
    std::vector<float> left;
    audio::AudioEngine engine(audio::makeNullOutput(true));
    WindowRig rig({}, false);
    QDir().mkpath(rig.path("music"));
    ASSERT_TRUE(writeMp3Tone(rig.path("music/1.mp3"), 1.5, 44100, 2, 440, 0.5));
    ASSERT_TRUE(writeMp3Tone(rig.path("music/2.mp3"), 1.0, 32000, 1, 1000, 0.5));
    {
        QFile ini(rig.path("setinfo.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[System]\nPrompt_tone=0\ndefault_volume=40\ndefault_volume1=40\nMp3bj=" +
                  rig.path("music").toUtf8() + "\n");
    }
    engine.setTap([&](const float* s, std::size_t frames) {
        std::lock_guard lk(m);
        for (std::size_t i = 0; i < frames; ++i) left.push_back(s[2 * i]);
    });
    ASSERT_TRUE(engine.start());
    rig.dm = store::TDM::open(rig.path("draft.dat"));
    ASSERT_TRUE(rig.dm);
    rig.window = std::make_unique<ui::Tf_speaker>(ui::Services{rig.engine, *rig.dm, rig.dialogs, rig.clock, &engine});
    rig.window->completeStart();

    rig.window->ui.bj_play->click();
    const auto mixed = [&] {
        std::lock_guard lk(m);
        return left;
    };
    // Until the second track has been mixed to its end (the chain then goes round again).
    ASSERT_TRUE(waitFor([&] { return follow(mixed()).complete; }, 30000)) << "recording too short";
    rig.window.reset();
    engine.setTap(nullptr);
    const Chain c = follow(mixed());
    std::printf("first track %.1f ms, second %.1f ms, %zu quiet frames between\n", (c.aEnd - c.aStart) / 48.0,
                (c.bEnd - c.bStart) / 48.0, c.silentBetween);
    // Every frame of each track, within a crossing's precision, and nothing in between.
    EXPECT_NEAR(static_cast<double>(c.aEnd - c.aStart), 1.5 * 48000, 60);
    EXPECT_NEAR(static_cast<double>(c.bEnd - c.bStart), 1.0 * 48000, 60);
    EXPECT_EQ(c.silentBetween, 0u) << "gap between the tracks";
    EXPECT_NEAR(static_cast<double>(c.bStart), static_cast<double>(c.aEnd), 40) << "gap between the tracks";
}
