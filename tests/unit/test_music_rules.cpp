// The music list's rules without a window or a clock: the volume under a reading tick by tick,
// which line plays next, and what a folder lists.
#include "music/track_list.h"
#include "music/volume_follower.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

using namespace sayvell::music;

namespace {

// Runs the follower for `ticks` ticks of a reading (or none) and returns the volumes applied.
std::vector<int> run(int ticks, bool reading, int v, int v1, int* level) {
    std::vector<int> applied;
    for (int i = 0; i < ticks; ++i) {
        const FollowerStep s = followVolume({reading, true, v, v1, *level});
        *level = s.level;
        if (s.volume) applied.push_back(*s.volume);
    }
    return applied;
}

}  // namespace

TEST(MusicFollower, DropsWithinOneTickAndRisesAHundredthATick) {
    int level = 40;  // playing at the music volume
    // A reading starts: the first tick drops to 10, and every tick holds it there.
    EXPECT_EQ(run(3, true, 40, 10, &level), (std::vector<int>{10, 10, 10}));
    // It ends: 11, 12, ... 40 in 30 ticks (0.6 s), then nothing more is set.
    const std::vector<int> rise = run(40, false, 40, 10, &level);
    ASSERT_EQ(rise.size(), 30u);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(rise[static_cast<size_t>(i)], 11 + i);
    EXPECT_EQ(level, 40);

    // A change of the reading volume during a reading lands on the next tick.
    run(2, true, 40, 10, &level);
    EXPECT_EQ(run(1, true, 40, 25, &level), (std::vector<int>{25}));

    // Loop reading: each pass drops, each interval rises again.
    level = 40;
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_EQ(run(1, true, 40, 10, &level), (std::vector<int>{10})) << pass;
        EXPECT_EQ(run(100, false, 40, 10, &level).size(), 30u) << pass;
    }

    // Without a stream nothing moves.
    const FollowerStep none = followVolume({true, false, 40, 10, 40});
    EXPECT_EQ(none.level, 40);
    EXPECT_FALSE(none.volume);
}

TEST(MusicFollower, AReadingVolumeNotBelowTheMusicVolumeStaysAfterTheReading) {
    int level = 30;
    EXPECT_EQ(run(1, true, 30, 50, &level), (std::vector<int>{50}));
    // It never lowers: after the reading the music stays at 50.
    EXPECT_TRUE(run(50, false, 30, 50, &level).empty());
    EXPECT_EQ(level, 50);
}

TEST(MusicTrackList, NextPreviousAndRandomAtTheEnds) {
    EXPECT_EQ(nextTrack(0, 3), 1);
    EXPECT_EQ(nextTrack(2, 3), 0);  // last wraps to first
    EXPECT_EQ(nextTrack(7, 3), 0);  // a line beyond a shorter new list
    EXPECT_EQ(nextTrack(0, 1), 0);
    EXPECT_EQ(previousTrack(2), 1);
    EXPECT_EQ(previousTrack(0), 0);  // no wrap

    std::mt19937 random(42);
    EXPECT_EQ(randomTrack(0, 1, random), 0);
    EXPECT_EQ(randomTrack(0, 0, random), 0);
    for (int count : {2, 3, 7}) {
        std::set<int> drawn;
        for (int i = 0; i < 2000; ++i) {
            const int ended = i % count;
            const int next = randomTrack(ended, count, random);
            ASSERT_NE(next, ended);
            ASSERT_GE(next, 0);
            ASSERT_LT(next, count);
            drawn.insert(next);
        }
        EXPECT_EQ(drawn.size(), static_cast<size_t>(count)) << "every line, the last one too";
    }
}

TEST(MusicTrackList, ListsMusicNamesSortedWithoutOpeningThem) {
    QTemporaryDir dir;
    for (const char* name :
         {"b.MP3", "a.mp3", "C.flac", "notes.txt", "d.ogg", "e.opus", "f.oga", "g.wav", ".hidden.mp3"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub.mp3"));
    bool readable = false;
    EXPECT_EQ(listMusicFiles(dir.path(), &readable),
              (QStringList{"a.mp3", "b.MP3", "C.flac", "d.ogg", "e.opus", "f.oga", "g.wav"}));
    EXPECT_TRUE(readable);

    EXPECT_TRUE(listMusicFiles(dir.filePath("gone"), &readable).isEmpty());
    EXPECT_FALSE(readable);
}
