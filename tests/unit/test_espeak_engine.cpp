// Speech as heard through the mixer: voices, timing, purges, rate and volume.
#include "test_espeak_fixtures.h"

#include <QString>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <vector>

using namespace sayvell;
using namespace sayvell::testing::espeak_rig;
using audio::Channel;
using reading::SpeechEngine;
using reading::Voice;

TEST(EspeakEngine, VoicesListMandarinThenCantoneseEachWithAFemaleVoiceThenEnglishThenTheRest) {
    Rig rig;
    ASSERT_TRUE(rig.speech.ok()) << rig.speech.errorText().toStdString();
    const QList<Voice> voices = rig.speech.voices();
    ASSERT_GT(voices.size(), 10);
    const std::pair<const char*, const char*> chinese[] = {
        {"cmn-latn-pinyin", "普通話（男聲）"},
        {"cmn-latn-pinyin+f3", "普通話（女聲）"},
        {"yue", "粵語（男聲）"},
        {"yue+f3", "粵語（女聲）"},
    };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(voices[i].id, QString::fromUtf8(chinese[i].first)) << i;
        EXPECT_EQ(voices[i].displayName, QString::fromUtf8(chinese[i].second)) << i;
    }
    // English in one block right after, then never again.
    auto english = [](const Voice& v) { return v.id == QLatin1String("en") || v.id.startsWith(QLatin1String("en-")); };
    int firstOther = 4;
    while (firstOther < voices.size() && english(voices[firstOther])) ++firstOther;
    EXPECT_GT(firstOther, 4) << "no English voice after the Chinese ones";
    for (int i = firstOther; i < voices.size(); ++i) EXPECT_FALSE(english(voices[i])) << voices[i].id.toStdString();
    EXPECT_TRUE(std::any_of(voices.begin(), voices.end(), [](const Voice& v) {
        return v.displayName == QLatin1String("English (Great Britain) [en]");
    }));

    QStringList ids;
    for (const Voice& v : voices) {
        EXPECT_FALSE(v.id.contains(QLatin1String("!v")) || v.id.startsWith(QLatin1String("mb"))) << v.id.toStdString();
        EXPECT_FALSE(v.displayName.trimmed().isEmpty());
        ids << v.id;
    }
    ids.removeDuplicates();
    EXPECT_EQ(ids.size(), voices.size());
    // A fresh enumeration gives the same list.
    const QList<Voice> again = rig.speech.voices();
    ASSERT_EQ(again.size(), voices.size());
    for (int i = 0; i < voices.size(); ++i) EXPECT_EQ(again[i].id, voices[i].id);
}

TEST(EspeakEngine, SynchronousSpeakReturnsOnlyWhenItsSoundHasBeenPlayed) {
    Rig rig(true);  // played in real time
    ASSERT_TRUE(rig.speech.ok());
    const QString text = QStringLiteral("一，二。");
    // The speech itself, from a file at the mixer's rate.
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("ref.wav"));
    ASSERT_TRUE(rig.speech.setOutputFile(wav, {AudioEngine::kRate, 16, 1}, nullptr));
    ASSERT_TRUE(rig.speech.speak(text, 0));
    ASSERT_TRUE(rig.speech.setOutputDefault(nullptr));
    const std::vector<float> reference = readWav(wav).left;
    const double span = soundSeconds(reference, AudioEngine::kRate);
    ASSERT_GT(span, 0.5);
    EXPECT_FALSE(anySound(rig.tap.left())) << "speech to a file reached the speakers";

    {
        // All of it has been played when speak() returns, and not much later.
        const auto start = Clock::now();
        const std::int64_t before = rig.audio.playedFrames();
        rig.tap.reset();
        ASSERT_TRUE(rig.speech.speak(text, 0));
        const double took = ms(Clock::now() - start) / 1000.0;
        EXPECT_TRUE(rig.audio.isIdle(Channel::Speech));
        const std::vector<float> heard = rig.tap.left();
        EXPECT_NEAR(energy(heard), energy(reference), 0.03 * energy(reference));
        EXPECT_GE(soundSeconds(heard, AudioEngine::kRate), span - 0.05);
        EXPECT_GE(static_cast<double>(rig.audio.playedFrames() - before) / AudioEngine::kRate, span - 0.05);
        EXPECT_GE(took, span - 0.05);
        EXPECT_LT(took, span + 0.5);
    }
    {
        // Queued speech: all of it has been heard when waitUntilDone returns.
        rig.tap.reset();
        ASSERT_TRUE(rig.speech.speak(text, SpeechEngine::Async));
        ASSERT_TRUE(rig.speech.speak(text, SpeechEngine::Async));
        rig.speech.waitUntilDone();
        EXPECT_TRUE(rig.audio.isIdle(Channel::Speech));
        EXPECT_NEAR(energy(rig.tap.left()), 2 * energy(reference), 0.06 * energy(reference));
    }
}

TEST(EspeakEngine, PurgeFromAnotherThreadEndsABlockedSpeakAtOnce) {
    Rig rig(true);  // played in real time
    ASSERT_TRUE(rig.speech.ok());
    QString longText;
    for (int i = 0; i < 6; ++i) longText += kCounting;  // about half a minute: more than is handed to the mixer ahead

    auto reader =
        std::async(std::launch::async, [&] { return rig.speech.speak(longText, SpeechEngine::PurgeBeforeSpeak); });
    ASSERT_TRUE(rig.tap.waitUntil([](const std::vector<float>& s) { return anySound(s); }));
    ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);

    const auto purgedAt = Clock::now();
    EXPECT_TRUE(rig.speech.speak(QString(), SpeechEngine::PurgeBeforeSpeak));
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    const double took = ms(Clock::now() - purgedAt);
    EXPECT_FALSE(reader.get()) << "a purged speak reported success";
    EXPECT_LT(took, 60.0);
    EXPECT_TRUE(rig.audio.isIdle(Channel::Speech));

    // Nothing more is heard (a block already mixed may still come out).
    const std::size_t mark = rig.tap.frames() + AudioEngine::kRate / 50;
    ASSERT_TRUE(
        rig.tap.waitUntil([&](const std::vector<float>& s) { return s.size() >= mark + AudioEngine::kRate / 2; }));
    EXPECT_FALSE(anySound(rig.tap.left(), mark));

    // The engine speaks again afterwards.
    rig.tap.reset();
    EXPECT_TRUE(rig.speech.speak(QStringLiteral("一。"), SpeechEngine::PurgeBeforeSpeak));
    EXPECT_TRUE(anySound(rig.tap.left()));
}

TEST(EspeakEngine, ASilentMixerDoesNotHangSpeech) {
    // Never started: the device position stands still.
    AudioEngine audio(audio::makeNullOutput(false));
    EspeakEngine speech(audio);
    ASSERT_TRUE(speech.ok());
    speech.setVoice({QStringLiteral("cmn-latn-pinyin"), {}});
    QString longText;
    for (int i = 0; i < 4; ++i) longText += kCounting;
    auto reader = std::async(std::launch::async, [&] { return speech.speak(longText, 0); });
    const auto status = reader.wait_for(std::chrono::seconds(10));
    if (status != std::future_status::ready)
        speech.speak(QString(), SpeechEngine::PurgeBeforeSpeak);  // release it before failing
    ASSERT_EQ(status, std::future_status::ready);
    EXPECT_FALSE(reader.get()) << "nothing was played";
}

TEST(EspeakEngine, AsyncSpeechReturnsAtOnceAndAnEmptyPurgeSilencesIt) {
    Rig rig(true);
    ASSERT_TRUE(rig.speech.ok());
    const auto before = Clock::now();
    ASSERT_TRUE(rig.speech.speak(kCounting, SpeechEngine::Async));
    ASSERT_TRUE(rig.speech.speak(kCounting, SpeechEngine::Async));
    EXPECT_LT(ms(Clock::now() - before), 500.0);  // far less than the speech itself
    ASSERT_TRUE(rig.tap.waitUntil([](const std::vector<float>& s) { return anySound(s); }));
    EXPECT_FALSE(rig.audio.isIdle(Channel::Speech));

    EXPECT_TRUE(rig.speech.speak(QString(), SpeechEngine::PurgeBeforeSpeak));
    EXPECT_TRUE(rig.audio.isIdle(Channel::Speech));
    const auto waitStart = Clock::now();
    rig.speech.waitUntilDone();  // the queued second text is gone too
    EXPECT_LT(ms(Clock::now() - waitStart), 200.0);
    const std::size_t mark = rig.tap.frames() + AudioEngine::kRate / 50;
    ASSERT_TRUE(
        rig.tap.waitUntil([&](const std::vector<float>& s) { return s.size() >= mark + AudioEngine::kRate / 2; }));
    EXPECT_FALSE(anySound(rig.tap.left(), mark));
}

TEST(EspeakEngine, LanguageTagIsNotSpokenAndOtherMarkupIsPlainText) {
    Rig rig;
    ASSERT_TRUE(rig.speech.ok());
    const double plain = rig.heard(QStringLiteral("你好"));
    ASSERT_GT(plain, 0.2);
    for (const char* tagged :
         {"<LANG LANGID=\"804\">你好</LANG>", " <lang langid=\"\"> 你好", "<Lang LangId=\"0404\">你好"})
        EXPECT_NEAR(rig.heard(QString::fromUtf8(tagged)), plain, 0.1 * plain) << tagged;
    // Not at the start, the same characters are text and are read out.
    EXPECT_GT(rig.heard(QStringLiteral("你好<LANG LANGID=\"804\">")), 1.5 * plain);

    // Markup-like text is neither obeyed (a five-second break) nor allowed to break anything.
    const double breakText = rig.heard(QStringLiteral("一<break time=\"5s\"/>二"));
    EXPECT_GT(breakText, 0.2);
    EXPECT_LT(breakText, 4.0);
    EXPECT_GT(rig.heard(QStringLiteral("1 < 2 & 3 > 0 &amp; \"x\"")), 0.2);
    EXPECT_GT(rig.heard(QStringLiteral("一\x01二")), 0.2);
}

TEST(EspeakEngine, RateChangesTheSpeedOfTheNextSpeech) {
    Rig rig;
    ASSERT_TRUE(rig.speech.ok());
    EXPECT_EQ(rig.speech.rate(), 0);
    rig.speech.setRate(10);
    EXPECT_EQ(rig.speech.rate(), 10);
    const double fast = rig.heard(kCounting);
    rig.speech.setRate(-10);
    const double slow = rig.heard(kCounting);
    rig.speech.setRate(0);
    const double normal = rig.heard(kCounting);
    EXPECT_LT(fast, 0.6 * normal);
    EXPECT_GT(slow, 1.4 * normal);

    // Callers do not clamp; far outside the range the engine holds its limits.
    rig.speech.setRate(40);
    EXPECT_EQ(rig.speech.rate(), 40);
    EXPECT_NEAR(rig.heard(kCounting), fast, 0.05 * fast);
}

TEST(EspeakEngine, VoiceAndVolumeApplyAsTheySay) {
    Rig rig;
    ASSERT_TRUE(rig.speech.ok());
    const double male = rig.heard(kCounting);
    rig.speech.setVoice({QStringLiteral("yue"), {}});
    const double cantonese = rig.heard(kCounting);
    EXPECT_GT(std::fabs(cantonese - male), 0.05 * male) << "the voice did not change";
    // An unknown voice keeps the last one.
    rig.speech.setVoice({QStringLiteral("no-such-voice"), {}});
    EXPECT_NEAR(rig.heard(kCounting), cantonese, 0.02 * cantonese);

    rig.speech.setVolume(40);
    EXPECT_FLOAT_EQ(rig.audio.volume(Channel::Speech), 0.4f);

    // A file gets the volume too.
    QTemporaryDir dir;
    double level[2] = {};
    const int volumes[2] = {100, 50};
    for (int i = 0; i < 2; ++i) {
        rig.speech.setVolume(volumes[i]);
        const QString path = dir.filePath(QStringLiteral("v%1.wav").arg(i));
        ASSERT_TRUE(rig.speech.setOutputFile(path, {22050, 16, 1}, nullptr));
        ASSERT_TRUE(rig.speech.speak(kCounting, 0));
        ASSERT_TRUE(rig.speech.setOutputDefault(nullptr));
        level[i] = std::sqrt(energy(readWav(path).left));
    }
    EXPECT_NEAR(level[1] / level[0], 0.5, 0.05);
}

TEST(EspeakEngine, WithoutSpeechDataTheEngineStillExistsAndRefusesToSpeak) {
    QTemporaryDir empty;
    AudioEngine audio(audio::makeNullOutput(false));
    audio.start();
    for (const QString& path : {empty.path(), empty.filePath(QStringLiteral("nowhere"))}) {
        EspeakEngine speech(audio, path);
        EXPECT_FALSE(speech.ok());
        EXPECT_FALSE(speech.errorText().isEmpty());
        EXPECT_TRUE(speech.voices().isEmpty());
        EXPECT_FALSE(speech.speak(QStringLiteral("一。"), 0));
        EXPECT_FALSE(speech.speak(QStringLiteral("一。"), SpeechEngine::Async));
        speech.waitUntilDone();
        QString error;
        EXPECT_FALSE(speech.setOutputFile(empty.filePath(QStringLiteral("x.wav")), {22050, 16, 1}, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    // The installed data still works for the next engine.
    EspeakEngine speech(audio);
    EXPECT_TRUE(speech.ok());
    EXPECT_TRUE(speech.speak(QStringLiteral("一。"), 0));
}

// The window's engine waits to load espeak until something needs it.
TEST(EspeakEngine, AnEngineStartedWhenNeededLoadsAtItsFirstUseAndNeverIfUnused) {
    AudioEngine audio(audio::makeNullOutput(false));
    audio.start();
    { EspeakEngine unused(audio, {}, EspeakEngine::Start::WhenNeeded); }
    EspeakEngine now(audio);
    const QList<Voice> expected = now.voices();
    ASSERT_FALSE(expected.isEmpty());

    EspeakEngine asked(audio, {}, EspeakEngine::Start::WhenNeeded);
    asked.prefetchVoices();
    const QList<Voice> listed = asked.voices();
    ASSERT_EQ(listed.size(), expected.size());
    for (int i = 0; i < listed.size(); ++i) EXPECT_EQ(listed[i].id, expected[i].id);

    EspeakEngine spoken(audio, {}, EspeakEngine::Start::WhenNeeded);
    EXPECT_TRUE(spoken.speak(QStringLiteral("一。"), 0));
    EXPECT_TRUE(spoken.ok());
}
