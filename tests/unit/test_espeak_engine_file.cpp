// Speech written to WAV files: formats, spans, and failures that must not leave half a file.
#include "test_espeak_fixtures.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <vector>

using namespace sayvell;
using namespace sayvell::testing::espeak_rig;
using reading::SpeechEngine;

namespace {

QStringList entriesOf(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// A tiny tmpfs, to run out of space for real. Needs root; skipped elsewhere.
class TinyDisk {
public:
    TinyDisk() {
        if (::geteuid() != 0 || !dir_.isValid()) return;
        mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TinyDisk() {
        if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

}  // namespace

TEST(EspeakEngine, SpeechIsWrittenToWavFilesInTheChosenFormat) {
    Rig rig;
    ASSERT_TRUE(rig.speech.ok());
    const double reference = rig.fileSeconds(kCounting);
    ASSERT_GT(reference, 1.0);

    struct Case {
        PcmFormat format;
        int sfFormat;
    };
    const Case cases[] = {
        {{8000, 8, 1}, SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
        {{16000, 16, 2}, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {{48000, 16, 1}, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    };
    QTemporaryDir dir;
    rig.tap.reset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format.sampleRate);
        const QString path = dir.filePath(QStringLiteral("out%1.wav").arg(c.format.sampleRate));
        QString error;
        ASSERT_TRUE(rig.speech.setOutputFile(path, c.format, &error)) << error.toStdString();
        ASSERT_TRUE(rig.speech.speak(QStringLiteral("<LANG LANGID=\"804\">") + kCounting, SpeechEngine::Async));
        rig.speech.waitUntilDone();
        ASSERT_TRUE(rig.speech.setOutputDefault(&error)) << error.toStdString();

        const WavContent w = readWav(path);
        EXPECT_EQ(w.rate, c.format.sampleRate);
        EXPECT_EQ(w.channels, c.format.channels);
        EXPECT_EQ(w.format, c.sfFormat);
        const double seconds = soundSeconds(w.left, w.rate);
        EXPECT_NEAR(seconds, reference, 0.03 * reference);
        EXPECT_GT(peak(w.left), 0.1f) << "silent file";
        if (c.format.channels == 2) {
            EXPECT_EQ(w.left, w.right);
        }
    }
    EXPECT_FALSE(anySound(rig.tap.left())) << "speech to a file reached the speakers";
    // No temporary files stay behind.
    EXPECT_EQ(entriesOf(dir.path()).size(), 3);

    // Back to the speakers.
    EXPECT_GT(rig.heard(QStringLiteral("一。")), 0.1);
}

TEST(EspeakEngine, AFailedWavWriteIsReportedAndNeverLeavesAHalfFile) {
    Rig rig;
    ASSERT_TRUE(rig.speech.ok());
    QTemporaryDir dir;
    {
        // No such folder.
        QString error;
        EXPECT_FALSE(rig.speech.setOutputFile(dir.filePath(QStringLiteral("missing/out.wav")), {22050, 16, 1}, &error));
        EXPECT_TRUE(error.contains(QLatin1String("missing/out.wav"))) << error.toStdString();
        EXPECT_GT(rig.heard(QStringLiteral("一。")), 0.1) << "speech must still reach the speakers";
        QString closeError;
        EXPECT_TRUE(rig.speech.setOutputDefault(&closeError));
    }
    {
        // An existing file keeps its content until the new one is complete.
        const QString path = dir.filePath(QStringLiteral("keep.wav"));
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content");
        old.close();
        ASSERT_TRUE(rig.speech.setOutputFile(path, {22050, 16, 1}, nullptr));
        ASSERT_TRUE(rig.speech.speak(kCounting, 0));
        QFile check(path);
        ASSERT_TRUE(check.open(QIODevice::ReadOnly));
        EXPECT_EQ(check.readAll(), QByteArray("old content"));
        check.close();
        ASSERT_TRUE(rig.speech.setOutputDefault(nullptr));
        EXPECT_EQ(readWav(path).rate, 22050);
    }

    TinyDisk disk;
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): full-disk case skipped";
    const QString path = disk.path() + QStringLiteral("/full.wav");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content");
    }
    QString error;
    ASSERT_TRUE(rig.speech.setOutputFile(path, {48000, 16, 2}, &error)) << error.toStdString();
    EXPECT_FALSE(rig.speech.speak(kCounting, 0));  // about 1 MB for 64 KB of room
    EXPECT_FALSE(rig.speech.setOutputDefault(&error));
    EXPECT_TRUE(error.contains(QLatin1String("full.wav"))) << error.toStdString();
    QFile check(path);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("old content"));
    EXPECT_EQ(entriesOf(disk.path()), QStringList{QStringLiteral("full.wav")});
}

// An English stretch is its own synthesis with the English voice; the Chinese voice is back
// for what follows, in the same piece and in the next.
TEST(EspeakEngine, EnglishStretchesAreSpokenApartAndTheChosenVoiceComesBack) {
    Rig rig;
    ASSERT_TRUE(rig.speech.ok());
    const double pay = rig.fileSeconds(QStringLiteral("付款"));
    const double welcome = rig.fileSeconds(QStringLiteral("歡迎"));
    const double english = rig.fileSeconds(QStringLiteral("[en:LINE Pay]"));
    const double mixed = rig.fileSeconds(QStringLiteral("歡迎[en:LINE Pay]付款"));
    ASSERT_GT(english, 0.2);
    EXPECT_NEAR(rig.fileSeconds(QStringLiteral("付款")), pay, 0.02);
    // The three stretches, and the short silences that end each synthesis
    EXPECT_GT(mixed, welcome + english + pay - 0.05);
    EXPECT_LT(mixed, welcome + english + pay + 0.6);
    // The marks are not read out
    EXPECT_LT(english, rig.fileSeconds(QStringLiteral("[en LINE Pay]")) - 0.1);
}
