// Speech exported to files by the real espeak-ng (on a null sound output), read back with
// libsndfile: what a listener of the file would hear.
#include "audio/audio_engine.h"
#include "audio/export_timeline_p.h"
#include "audio/speech_export.h"
#include "reading/date_format.h"
#include "reading/espeak_engine.h"
#include "test_espeak_fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <vector>

using namespace sayvell;
using audio::ExportControl;
using audio::ExportResult;

namespace {

using Sound = sayvell::testing::espeak_rig::WavContent;
using sayvell::testing::espeak_rig::readWav;

struct Gap {
    double startMs, endMs;
    double ms() const { return endMs - startMs; }
};

// Runs of at least minMs below the floor, between sounds.
std::vector<Gap> silences(const Sound& s, double minMs, float floor = audio::kSpeechFloor) {
    std::vector<Gap> gaps;
    std::ptrdiff_t quietFrom = -1;
    bool heard = false;
    for (std::size_t i = 0; i < s.left.size(); ++i) {
        const bool loud = std::fabs(s.left[i]) > floor;
        if (!loud && quietFrom < 0) quietFrom = static_cast<std::ptrdiff_t>(i);
        if (loud) {
            if (heard && quietFrom >= 0) {
                const Gap g{1000.0 * static_cast<double>(quietFrom) / s.rate, 1000.0 * static_cast<double>(i) / s.rate};
                if (g.ms() >= minMs) gaps.push_back(g);
            }
            heard = true;
            quietFrom = -1;
        }
    }
    return gaps;
}

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A steady stereo tone of `seconds` as the music; the right channel at `right` times the left.
bool writeTone(const QString& path, int seconds, float right = 1.0f) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f) return false;
    std::vector<float> buf(static_cast<std::size_t>(2 * 44100 * seconds));
    for (std::size_t i = 0; i < buf.size() / 2; ++i) {
        buf[2 * i] = 0.5f * static_cast<float>(std::sin(2 * M_PI * 220 * static_cast<double>(i) / 44100));
        buf[2 * i + 1] = right * buf[2 * i];
    }
    sf_writef_float(f, buf.data(), static_cast<sf_count_t>(buf.size() / 2));
    sf_close(f);
    return true;
}

QStringList entriesOf(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

struct Rig {
    Rig() {
        audio.start();
        speech.setVoice({QStringLiteral("cmn-latn-pinyin"), {}});
    }
    audio::ReadExport readJob(const QString& path, const QString& text) {
        audio::ReadExport job;
        job.path = path;
        job.text = text;
        job.format = {22050, 16, 1};
        job.delimiters.marks = QStringList{QStringLiteral("，"), QStringLiteral("。")};
        job.delimiters.delays[0] = 200;
        job.delimiters.delays[1] = 600;
        job.symbolDelayMs = 300;
        job.dateFormatType = 1;
        job.now = QDateTime(QDate(2014, 4, 7), QTime(9, 5, 3));
        job.voiceId = QStringLiteral("cmn-latn-pinyin");
        return job;
    }
    audio::AudioEngine audio{audio::makeNullOutput(false)};
    reading::EspeakEngine speech{audio};
};

}  // namespace

TEST(ExportAsRead, PausesDelaySymbolAndDateSoundAsTheReadingAndSubtitlesFollowThem) {
    Rig rig;
    ASSERT_TRUE(rig.speech.ok());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("read.wav"));
    audio::ReadExport job = rig.readJob(path, QStringLiteral("甲，乙。%Date%※丙"));
    job.subtitles = true;
    ExportControl control;
    const ExportResult r = audio::exportAsRead(rig.speech, job, control);
    ASSERT_TRUE(r.ok) << r.error.toStdString();

    const Sound s = readWav(path);
    ASSERT_EQ(s.rate, 22050);
    const auto gaps = silences(s, 150);
    ASSERT_EQ(gaps.size(), 2u);
    // "，" 200 ms; "。" 600 ms and then the delay symbol's 300 ms before the third piece.
    EXPECT_NEAR(gaps[0].ms(), 200, 25);
    EXPECT_NEAR(gaps[1].ms(), 900, 25);

    // Cues start and end where the sound does.
    const QString srt = readText(dir.filePath(QStringLiteral("read.srt")));
    const QString lrc = readText(dir.filePath(QStringLiteral("read.lrc")));
    const QStringList blocks = srt.trimmed().split(QStringLiteral("\n\n"));
    ASSERT_EQ(blocks.size(), 3) << srt.toStdString();
    auto msOf = [](const QString& t) {  // HH:MM:SS,mmm
        return ((t.mid(0, 2).toInt() * 60 + t.mid(3, 2).toInt()) * 60 + t.mid(6, 2).toInt()) * 1000.0 +
               t.mid(9, 3).toInt();
    };
    auto times = [&](int i) { return blocks[i].split(QLatin1Char('\n'))[1].split(QStringLiteral(" --> ")); };
    EXPECT_NEAR(msOf(times(0)[1]), gaps[0].startMs, 25);
    EXPECT_NEAR(msOf(times(1)[0]), gaps[0].endMs, 25);
    EXPECT_NEAR(msOf(times(1)[1]), gaps[1].startMs, 25);
    EXPECT_NEAR(msOf(times(2)[0]), gaps[1].endMs, 25);
    EXPECT_TRUE(blocks[0].endsWith(QStringLiteral("甲，")));
    // As heard: the date, not its token, and no delay symbol.
    const QString date = reading::DateFormatter().formatType(1, job.now);
    EXPECT_TRUE(blocks[2].endsWith(date + QStringLiteral("丙"))) << blocks[2].toStdString();
    EXPECT_TRUE(lrc.startsWith(QStringLiteral("[00:00.00]甲，\n"))) << lrc.toStdString();
    EXPECT_EQ(lrc.count(QLatin1Char('\n')), 6);  // three starts, three ends

    // The token is spoken as the date (2014-04-07 in words), longer than its letters.
    const QString raw = dir.filePath(QStringLiteral("raw.wav"));
    audio::ReadExport asLetters = rig.readJob(raw, QStringLiteral("%Date%丙"));
    asLetters.dateFormatType = 0;  // no format: the token reaches the voice as written
    audio::ReadExport asDate = rig.readJob(dir.filePath(QStringLiteral("date.wav")), QStringLiteral("%Date%丙"));
    const ExportResult letters = audio::exportAsRead(rig.speech, asLetters, control);
    const ExportResult dated = audio::exportAsRead(rig.speech, asDate, control);
    ASSERT_TRUE(letters.ok && dated.ok);
    std::printf("token as letters %.2f s, as the date %.2f s\n", letters.seconds, dated.seconds);
    EXPECT_GT(dated.seconds, letters.seconds + 0.5);
}

// As under a live reading, where the music follows readingActive: low from the first piece to
// the last, a 3 s pause included, rising only once the reading is over.
TEST(ExportAsRead, MusicStaysLowThroughAPauseAndRisesAfterTheLastPiece) {
    Rig rig;
    QTemporaryDir dir;
    // A steady tone as the music, long enough for the whole reading.
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writeTone(tone, 8));
    const QString path = dir.filePath(QStringLiteral("music.flac"));
    audio::ReadExport job = rig.readJob(path, QStringLiteral("甲。乙"));
    job.format = {44100, 16, 2};
    job.delimiters.delays[1] = 3000;  // five times what the music needs to rise (600 ms)
    job.music = audio::MusicBed{{tone}, 0, false, 40, 10};
    job.subtitles = true;
    ExportControl control;
    const ExportResult r = audio::exportAsRead(rig.speech, job, control);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    const Sound s = readWav(path);
    ASSERT_EQ(s.channels, 2);
    // The level of the music in 20 ms windows: the tone alone is 0.5 * gain in amplitude.
    auto peakAt = [&](double ms) {
        const auto from = static_cast<std::size_t>(ms * s.rate / 1000);
        float p = 0;
        for (std::size_t i = from; i < std::min(s.left.size(), from + static_cast<std::size_t>(s.rate / 50)); ++i)
            p = std::max(p, std::fabs(s.left[i]));
        return p;
    };
    EXPECT_TRUE(silences(s, 20).empty());  // the music plays through the pauses
    // Cue times from the .srt: the pause runs from the first cue's end to the second's start.
    const QStringList srt = readText(dir.filePath(QStringLiteral("music.srt"))).split(QLatin1Char('\n'));
    ASSERT_GT(srt.size(), 6);
    auto msOf = [](const QString& t) {  // HH:MM:SS,mmm
        return ((t.mid(0, 2).toInt() * 60 + t.mid(3, 2).toInt()) * 60 + t.mid(6, 2).toInt()) * 1000.0 +
               t.mid(9, 3).toInt();
    };
    const double pauseStart = msOf(srt[1].section(QStringLiteral(" --> "), 1));
    const double pauseEnd = msOf(srt[5].section(QStringLiteral(" --> "), 0, 0));
    ASSERT_NEAR(pauseEnd - pauseStart, 3000, 30);
    // The tone alone at the reading volume (10) is 0.05 of amplitude, at the music volume (40) 0.2.
    for (double at = pauseStart + 20; at < pauseEnd - 40; at += 20)
        ASSERT_NEAR(peakAt(at), 0.05, 0.01) << "at " << at - pauseStart << " ms into the pause";
    // After the last piece it rises one hundredth every 20 ms, from 10 to 40 in 600 ms, then fades.
    const double lastEnd = msOf(srt[5].section(QStringLiteral(" --> "), 1));
    EXPECT_NEAR(peakAt(lastEnd + 300), 0.05 + 0.005 * 15, 0.015);
    EXPECT_GT(peakAt(lastEnd + 640), 0.17f);
    EXPECT_LT(peakAt(r.seconds * 1000 - 25), 0.02f);
}

// The music is mixed off the exporting thread and, for a mono file, mixed down there: the mono
// file is the stereo one's two channels averaged, speech and music alike. (Laid directly: the
// engine's fricatives differ a little from one synthesis to the next.)
TEST(ExportAsRead, MonoFileWithMusicIsTheStereoMixMixedDown) {
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writeTone(tone, 1, 0.25f));  // shorter than the sound: the list starts again
    const audio::MusicBed bed{{tone}, 0, false, 40, 10};
    std::vector<float> speech(30000);
    for (std::size_t i = 0; i < speech.size(); ++i)
        speech[i] = 0.3f * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
    std::vector<Sound> sounds;
    for (int channels : {2, 1}) {
        const QString path = dir.filePath(QStringLiteral("mix%1.wav").arg(channels));
        audio::WavWriter out;
        QString error;
        ASSERT_TRUE(out.open(path, 44100, {44100, 16, channels}, &error, channels));
        audio::detail::Timeline line(out, 44100, channels, &bed);
        for (int piece = 0; piece < 3; ++piece) {
            line.speech(speech);
            line.silence(20000);
        }
        line.finish();
        EXPECT_GT(line.frames(), 3 * 50000);  // with the music's rise and fade after the last piece
        ASSERT_TRUE(out.finish(&error)) << error.toStdString();
        SF_INFO info{};
        SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        ASSERT_TRUE(f);
        Sound s;
        s.left.resize(static_cast<std::size_t>(info.frames * info.channels));  // every channel
        sf_readf_float(f, s.left.data(), info.frames);
        sf_close(f);
        ASSERT_EQ(info.frames, line.frames());
        sounds.push_back(s);
    }
    const std::vector<float>& stereo = sounds[0].left;
    const std::vector<float>& mono = sounds[1].left;
    ASSERT_EQ(mono.size(), stereo.size() / 2);
    std::size_t off = 0;
    for (std::size_t i = 0; i < mono.size(); ++i)
        off += std::fabs(mono[i] - 0.5f * (stereo[2 * i] + stereo[2 * i + 1])) > 1.5f / 32768;
    EXPECT_EQ(off, 0u);
    // Speech over the held music, the music alone in the pause.
    const float held = 0.1f * 0.5f * 1.25f / 2 * static_cast<float>(std::sin(2 * M_PI * 220 * 100.0 / 44100));
    EXPECT_NEAR(mono[100], speech[100] + held, 2.0f / 32768);
}

// A list shorter than the reading plays again from memory: every pass, the first decoded and
// the later ones kept, is the track sample for sample under the held music volume.
TEST(ExportAsRead, TheListPlaysAgainSampleForSample) {
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writeTone(tone, 1, -0.5f));
    SF_INFO toneInfo{};
    SNDFILE* t = sf_open(QFile::encodeName(tone).constData(), SFM_READ, &toneInfo);
    ASSERT_TRUE(t);
    std::vector<float> track(static_cast<std::size_t>(2 * toneInfo.frames));
    sf_readf_float(t, track.data(), toneInfo.frames);
    sf_close(t);

    const audio::MusicBed bed{{tone, dir.filePath(QStringLiteral("missing.mp3"))}, 0, false, 40, 10};
    const QString path = dir.filePath(QStringLiteral("bed.wav"));
    audio::WavWriter out;
    QString error;
    ASSERT_TRUE(out.open(path, 44100, {44100, 16, 2}, &error, 2));
    audio::detail::Timeline line(out, 44100, 2, &bed);
    line.silence(4 * 44100);  // a pause of the reading: the music holds at the reading volume
    line.finish();
    ASSERT_TRUE(out.finish(&error)) << error.toStdString();

    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    ASSERT_TRUE(f);
    std::vector<float> sound(static_cast<std::size_t>(2 * info.frames));
    sf_readf_float(f, sound.data(), info.frames);
    sf_close(f);
    const std::size_t frames = track.size() / 2;
    std::size_t off = 0;
    for (std::size_t i = 44100; i < 4 * 44100; ++i)  // four passes of the track, held at 10
        for (std::size_t c = 0; c < 2; ++c)
            off += std::fabs(sound[2 * i + c] - 0.1f * track[2 * (i % frames) + c]) > 1.5f / 32768;
    EXPECT_EQ(off, 0u);
}

// A cancel while the music is mixed leaves no file.
TEST(ExportAsRead, ACancelWhileTheMusicIsMixedLeavesNothing) {
    Rig rig;
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writeTone(tone, 2));
    QString longText;
    for (int i = 0; i < 100; ++i) longText += QStringLiteral("今天的特價商品在第三排貨架，歡迎選購。");
    audio::ReadExport job = rig.readJob(dir.filePath(QStringLiteral("cancelled.wav")), longText);
    job.music = audio::MusicBed{{tone}, 0, false, 40, 10};
    ExportControl cancelling;
    cancelling.progress = [&](int p) {
        if (p > 100) cancelling.cancel = true;
    };
    const ExportResult c = audio::exportAsRead(rig.speech, job, cancelling);
    EXPECT_TRUE(c.cancelled);
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("tone.wav")});
}

TEST(ExportSpeech, WritesTheChosenFormatAndACancelLeavesNothing) {
    Rig rig;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.wav"));
    ExportControl control;
    int lastProgress = -1;
    control.progress = [&](int p) { lastProgress = p; };
    const ExportResult r = audio::exportSpeech(
        rig.speech, {path, QStringLiteral("我們的商店今天開門。歡迎光臨！"), QStringLiteral("404"), {32000, 8, 1}},
        control);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(lastProgress, 1000);
    const Sound s = readWav(path);
    EXPECT_EQ(s.rate, 32000);
    EXPECT_GT(s.left.size(), 32000u);  // more than a second of speech, the tag not spoken as text
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("x.wav")});

    // A cancel during a long text: the old file stays as it was and no part file remains.
    QFile::resize(path, 100);
    QString longText;
    for (int i = 0; i < 200; ++i) longText += QStringLiteral("今天的特價商品在第三排貨架，歡迎選購。");
    ExportControl cancelling;
    cancelling.progress = [&](int p) {
        if (p > 100) cancelling.cancel = true;
    };
    const ExportResult c = audio::exportSpeech(rig.speech, {path, longText, QString(), {22050, 16, 1}}, cancelling);
    EXPECT_TRUE(c.cancelled);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(QFileInfo(path).size(), 100);
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("x.wav")});

    // An empty selection: a valid file holding no sound.
    const QString empty = dir.filePath(QStringLiteral("empty.wav"));
    ASSERT_TRUE(audio::exportSpeech(rig.speech, {empty, QString(), QStringLiteral("804"), {32000, 8, 1}}, control).ok);
    EXPECT_EQ(readWav(empty).rate, 32000);
    EXPECT_TRUE(readWav(empty).left.empty());

    // A folder that vanished.
    const ExportResult gone = audio::exportSpeech(
        rig.speech, {dir.filePath(QStringLiteral("gone/y.wav")), QStringLiteral("甲"), {}, {}}, control);
    EXPECT_FALSE(gone.ok);
    EXPECT_FALSE(gone.error.isEmpty());
}
