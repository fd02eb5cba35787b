// Decoding music files into what the mixer is given: the right number of frames at the right
// pitch, and a clear refusal (never a crash) for files that hold no music.
#include "music/music_decoder.h"
#include "unit/test_music_fixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace sayvell;
using namespace sayvell::testing;

namespace {

struct Decoded {
    std::int64_t frames = 0;
    std::size_t crossings = 0;  // of the first channel
    double peak = 0;
};

Decoded decodeAll(music::MusicDecoder& d) {
    Decoded out;
    std::vector<std::int16_t> pcm;
    std::int16_t prev = 0;
    while (const std::size_t n = d.read(&pcm, 4096)) {
        const auto ch = static_cast<std::size_t>(d.channels());
        for (std::size_t i = 0; i < n; ++i) {
            const std::int16_t v = pcm[i * ch];
            if ((prev < 0) != (v < 0)) ++out.crossings;
            prev = v;
            out.peak = std::max(out.peak, std::abs(v) / 32768.0);
        }
        out.frames += static_cast<std::int64_t>(n);
    }
    return out;
}

}  // namespace

TEST(MusicDecoder, Mp3GivesBackTheToneFrameForFrameAndAgainAfterRewind) {
    if (!haveLame()) GTEST_SKIP() << "lame is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath("tone.mp3");
    ASSERT_TRUE(writeMp3Tone(path, 1.5, 44100, 2, 440, 0.5));

    QString error;
    auto d = music::MusicDecoder::open(path, &error);
    ASSERT_TRUE(d) << error.toStdString();
    EXPECT_EQ(d->rate(), 44100);
    EXPECT_EQ(d->channels(), 2);
    EXPECT_EQ(d->scanLength(), 66150);
    EXPECT_DOUBLE_EQ(d->lengthSeconds(), 1.5);

    const Decoded first = decodeAll(*d);
    EXPECT_EQ(first.frames, 66150);
    EXPECT_NEAR(static_cast<double>(first.crossings), 2 * 440 * 1.5, 4);
    EXPECT_NEAR(first.peak, 0.5, 0.05);
    EXPECT_FALSE(d->failed());

    ASSERT_TRUE(d->rewind());
    EXPECT_EQ(decodeAll(*d).frames, 66150);
}

TEST(MusicDecoder, OtherFormatsThroughLibsndfile) {
    QTemporaryDir dir;
    const std::tuple<const char*, int, int, int> cases[] = {{"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1},
                                                            {"b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2},
                                                            {"c.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2},
                                                            {"d.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1}};
    for (const auto& [name, format, rate, channels] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(writeTone(dir.filePath(name), 0.8, rate, channels, 500, 0.4, format));
        auto d = music::MusicDecoder::open(dir.filePath(name));
        ASSERT_TRUE(d);
        EXPECT_EQ(std::make_pair(d->rate(), d->channels()), std::make_pair(rate, channels));
        const Decoded all = decodeAll(*d);
        EXPECT_NEAR(static_cast<double>(all.frames), 0.8 * rate, 0.01 * rate);
        EXPECT_NEAR(static_cast<double>(all.crossings), 2 * 500 * 0.8, 8);
    }
}

TEST(MusicDecoder, FilesWithoutMusicAreRefusedAndDamagedOnesEndEarly) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return dir.filePath(name);
    };
    QByteArray text;
    for (int i = 0; i < 2000; ++i) text += "這不是音樂 not music at all\n";
    for (const QString& path :
         {write("text.mp3", text), write("empty.mp3", {}), write("text.ogg", text), dir.filePath("missing.mp3")}) {
        QString error;
        EXPECT_FALSE(music::MusicDecoder::open(path, &error)) << path.toStdString();
        EXPECT_FALSE(error.isEmpty()) << path.toStdString();
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mp3"));
    EXPECT_FALSE(music::MusicDecoder::open(dir.filePath("folder.mp3")));

    if (!haveLame()) GTEST_SKIP() << "lame is not installed";
    // Cut after about half: what is there plays, the length follows what is there.
    const QString whole = dir.filePath("whole.mp3");
    ASSERT_TRUE(writeMp3Tone(whole, 2.0));
    QFile f(whole);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString cut = write("cut.mp3", f.read(f.size() / 2));
    auto d = music::MusicDecoder::open(cut);
    ASSERT_TRUE(d);
    const double scanned = static_cast<double>(d->scanLength()) / d->rate();
    EXPECT_NEAR(scanned, 1.0, 0.15);
    EXPECT_NEAR(static_cast<double>(decodeAll(*d).frames) / d->rate(), scanned, 0.05);
}
