// The export formats as files: each is written and read back with libsndfile.
#include "audio/wav_formats.h"
#include "audio/wav_writer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cmath>
#include <vector>

using namespace sayvell;
using audio::FileKind;
using audio::WavWriter;

namespace {

struct ReadBack {
    bool ok = false;
    int rate = 0;
    int channels = 0;
    int format = 0;
    std::int64_t frames = 0;
    float peak = 0;
};

ReadBack readBack(const QString& path) {
    ReadBack r;
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) return r;
    r.ok = true;
    r.rate = info.samplerate;
    r.channels = info.channels;
    r.format = info.format;
    r.frames = info.frames;
    std::vector<float> all(4096 * static_cast<std::size_t>(info.channels));
    for (sf_count_t n; (n = sf_readf_float(f, all.data(), 4096)) > 0;)
        for (sf_count_t i = 0; i < n * info.channels; ++i)
            r.peak = std::max(r.peak, std::fabs(all[static_cast<std::size_t>(i)]));
    sf_close(f);
    return r;
}

// A 440 Hz tone at half scale, 16-bit mono.
std::vector<std::int16_t> tone(int rate, double seconds) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(16000 * std::sin(2 * M_PI * 440 * static_cast<double>(i) / rate));
    return s;
}

QStringList entriesOf(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

bool writeTone(const QString& path, const audio::PcmFormat& format, QString* error, FileKind kind = FileKind::Wav) {
    WavWriter w;
    if (!w.open(path, 22050, format, error, 1, kind)) return false;
    const auto s = tone(22050, 0.5);
    w.write(s.data(), s.size());
    return w.finish(error);
}

}  // namespace

TEST(WavFormats, EveryIndexWritesTheRateBitsAndChannelsItsNameSays) {
    QTemporaryDir dir;
    const QRegularExpression pattern(QStringLiteral(R"(^SAFT(\d+)kHz(8|16)Bit(Mono|Stereo)$)"));
    for (int i = 0; i < audio::kWavFormatCount; ++i) {
        SCOPED_TRACE(i);
        const auto& entry = audio::wavFormats()[static_cast<std::size_t>(i)];
        const auto m = pattern.match(QString::fromLatin1(entry.name));
        ASSERT_TRUE(m.hasMatch()) << entry.name;
        const int khz = m.captured(1).toInt();
        const int rate = khz == 11 ? 11025 : khz == 22 ? 22050 : khz == 44 ? 44100 : khz * 1000;
        const int bits = m.captured(2).toInt();
        const int channels = m.captured(3) == QLatin1String("Mono") ? 1 : 2;
        // The settings window's name is the same format, only spaced differently.
        EXPECT_EQ(QString::fromLatin1(entry.displayName).simplified(),
                  QStringLiteral("%1kHz %2Bit %3").arg(khz).arg(bits).arg(m.captured(3)));

        const QString path = dir.filePath(QStringLiteral("f%1.wav").arg(i));
        QString error;
        ASSERT_TRUE(writeTone(path, audio::pcmFormatOf(i), &error)) << error.toStdString();
        const ReadBack r = readBack(path);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.rate, rate);
        EXPECT_EQ(r.channels, channels);
        EXPECT_EQ(r.format, SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16));
        EXPECT_NEAR(static_cast<double>(r.frames), rate * 0.5, rate * 0.005);
        EXPECT_GT(r.peak, 0.4f);  // the tone survived resampling and the 8-bit step
        EXPECT_LT(r.peak, 0.6f);
    }
    // The settings' default, and what an index outside the list falls back to.
    EXPECT_EQ(audio::pcmFormatOf(24), (audio::PcmFormat{32000, 8, 1}));
    EXPECT_EQ(audio::pcmFormatOf(99), (audio::PcmFormat{32000, 8, 1}));
    EXPECT_EQ(audio::pcmFormatOf(-1), (audio::PcmFormat{32000, 8, 1}));
}

TEST(WavFormats, EstimateIsSixMillisecondsForEveryTwoBytesInWholeUnits) {
    EXPECT_EQ(audio::estimateMessage(30000), QStringLiteral("轉換可能要花90秒（-1分）鐘,轉換時請耐心等待！"));
    EXPECT_EQ(audio::estimateMessage(12000), QStringLiteral("轉換可能要花36秒（-0分）鐘,轉換時請耐心等待！"));
    EXPECT_EQ(audio::estimateMessage(0), QStringLiteral("轉換可能要花0秒（-0分）鐘,轉換時請耐心等待！"));
    // Integer steps: 333 bytes -> 166 * 6 = 996 ms -> 0 s; 19,999 s is 333 whole minutes.
    EXPECT_EQ(audio::estimateFor(333).seconds, 0);
    EXPECT_EQ(audio::estimateFor(6666667).seconds, 19999);
    EXPECT_EQ(audio::estimateFor(6666667).minutes, 333);
    // A 20 MB text does not overflow.
    EXPECT_EQ(audio::estimateFor(20LL * 1024 * 1024).seconds, 62914);
}

TEST(WavFormats, LanguageCodesFollowTheVoicesLanguage) {
    EXPECT_EQ(audio::languageCodeOf(QStringLiteral("cmn-latn-pinyin")), QStringLiteral("804"));
    EXPECT_EQ(audio::languageCodeOf(QStringLiteral("cmn-latn-pinyin+f3")), QStringLiteral("804"));
    EXPECT_EQ(audio::languageCodeOf(QStringLiteral("yue+f3")), QStringLiteral("C04"));
    EXPECT_EQ(audio::languageCodeOf(QStringLiteral("zh-TW")), QStringLiteral("404"));
    EXPECT_EQ(audio::languageCodeOf(QStringLiteral("en-US")), QStringLiteral("409"));
    EXPECT_EQ(audio::languageCodeOf(QStringLiteral("en-GB-x-rp")), QStringLiteral("809"));
    EXPECT_EQ(audio::languageCodeOf(QStringLiteral("fr-FR")), QStringLiteral("40C"));
    // A dialect not in the table takes its language's code; an unknown language none.
    EXPECT_EQ(audio::languageCodeOf(QStringLiteral("de-AT")), QStringLiteral("407"));
    EXPECT_EQ(audio::languageCodeOf(QStringLiteral("qya")), QString());
    EXPECT_EQ(audio::languageCodeOf(QString()), QString());
    EXPECT_EQ(audio::languageTag(QString()), QStringLiteral("<LANG LANGID=\"\">"));
    EXPECT_EQ(audio::languageTag(QStringLiteral("404")), QStringLiteral("<LANG LANGID=\"404\">"));
}

TEST(WavFormats, AWavNameGetsNoSecondExtension) {
    EXPECT_EQ(audio::withExtension(QStringLiteral("/t/report"), QStringLiteral(".wav")),
              QStringLiteral("/t/report.wav"));
    EXPECT_EQ(audio::withExtension(QStringLiteral("/t/x.wav"), QStringLiteral(".wav")), QStringLiteral("/t/x.wav"));
    EXPECT_EQ(audio::withExtension(QStringLiteral("/t/X.WAV"), QStringLiteral(".wav")), QStringLiteral("/t/X.WAV"));
    EXPECT_EQ(audio::withExtension(QStringLiteral("/t/x.wav.bak"), QStringLiteral(".wav")),
              QStringLiteral("/t/x.wav.bak.wav"));
}

TEST(WavFormats, CompressedKindsAreReadBackWithTheirRateAndChannels) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        FileKind kind;
        audio::PcmFormat format;
        int major;
        int rate;  // what the file holds
    };
    const Case cases[] = {
        {"a.mp3", FileKind::Mp3, {44100, 16, 1}, SF_FORMAT_MPEG, 44100},
        {"a.ogg", FileKind::OggVorbis, {22050, 16, 2}, SF_FORMAT_OGG, 22050},
        {"a.opus", FileKind::Opus, {44100, 16, 1}, SF_FORMAT_OGG, 48000},
        {"a.flac", FileKind::Flac, {32000, 16, 2}, SF_FORMAT_FLAC, 32000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(audio::fileKindOf(QString::fromLatin1(c.name).toUpper()), c.kind);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QString error;
        ASSERT_TRUE(writeTone(path, c.format, &error, c.kind)) << error.toStdString();
        const ReadBack r = readBack(path);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.format & SF_FORMAT_TYPEMASK, c.major);
        EXPECT_EQ(r.rate, c.rate);
        EXPECT_EQ(r.channels, c.format.channels);
        // Encoders pad a little at either end; the length is still the tone's.
        EXPECT_NEAR(static_cast<double>(r.frames) / r.rate, 0.5, 0.06);
        EXPECT_GT(r.peak, 0.3f);
    }
}

TEST(WavFormats, AFailedOrAbandonedFileNeverReplacesTheOldOneOrLeavesAHalfFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.wav"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old contents");
    }
    {
        WavWriter w;
        QString error;
        ASSERT_TRUE(w.open(path, 22050, {22050, 16, 1}, &error));
        const auto s = tone(22050, 0.2);
        w.write(s.data(), s.size());
        w.abandon();  // a cancelled export
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old contents"));
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("keep.wav")});

    // A folder that cannot take files: a clear message and no file.
    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(locked));
    ::chmod(QFile::encodeName(locked).constData(), 0555);
    QString error;
    const bool opened = writeTone(locked + QStringLiteral("/x.wav"), {22050, 16, 1}, &error);
    ::chmod(QFile::encodeName(locked).constData(), 0755);
    if (::geteuid() != 0) {  // root writes anywhere
        EXPECT_FALSE(opened);
        EXPECT_TRUE(error.contains(QStringLiteral("x.wav"))) << error.toStdString();
        EXPECT_TRUE(entriesOf(locked).isEmpty());
    }
    // A folder that vanished.
    error.clear();
    EXPECT_FALSE(writeTone(dir.filePath(QStringLiteral("gone/x.wav")), {22050, 16, 1}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(WavFormats, AFullDiskIsReportedAndKeepsTheOldFile) {
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    const QString path = dir.filePath(QStringLiteral("full.wav"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    QString error;
    // 5 s of 48 kHz stereo 16-bit is close to 1 MB: far more than the disk holds.
    WavWriter w;
    ASSERT_TRUE(w.open(path, 22050, {48000, 16, 2}, &error));
    const auto s = tone(22050, 5);
    w.write(s.data(), s.size());
    EXPECT_FALSE(w.finish(&error));
    EXPECT_FALSE(error.isEmpty());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old"));
    f.close();
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("full.wav")});
    ::umount2(mountPoint.constData(), MNT_DETACH);
}

// The window, the command line and the writer take their kinds from one list: every name they
// accept is written as that kind, any letter case, and a name of no kind is refused.
TEST(SoundKinds, EveryListedExtensionIsWrittenAsItsKind) {
    for (const audio::SoundKind& k : audio::soundKinds()) {
        EXPECT_EQ(audio::extensionOf(k.kind), QLatin1Char('.') + k.extensions.first());
        for (const QString& e : k.extensions) {
            EXPECT_EQ(audio::soundKindOf(QStringLiteral("/tmp/a.") + e.toUpper()), k.kind) << e.toStdString();
            EXPECT_EQ(audio::fileKindOf(QStringLiteral("a.") + e), k.kind) << e.toStdString();
        }
    }
    EXPECT_FALSE(audio::soundKindOf(QStringLiteral("a.txt")).has_value());
    EXPECT_FALSE(audio::soundKindOf(QStringLiteral("dir.ogg/a")).has_value());
    EXPECT_EQ(audio::soundExtensions(QStringLiteral("*.%1")), QStringLiteral("*.wav *.mp3 *.ogg *.opus *.flac"));
}
