// Export figures: a 6,000-character traditional-Chinese text exported at index 30 (44.1 kHz
// 16-bit mono) against espeak-ng -w followed by sox; the same text exported as read with music;
// and, given --record SECONDS under a sound server, whether a long recording loses samples
// while the program speaks and plays.
//   bench_export [--record SECONDS]
#include "audio/audio_engine.h"
#include "audio/sound_recorder.h"
#include "audio/speech_export.h"
#include "audio/wav_formats.h"
#include "reading/espeak_engine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

using namespace sayvell;

namespace {

// Sentences of a shop's announcements, with their marks, to `chars` characters.
QString announcementText(int chars) {
    const QStringList sentences{
        QStringLiteral("各位顧客您好，歡迎光臨本店。"),
        QStringLiteral("今天的新鮮水果放在入口右邊的貨架上，歡迎選購！"),
        QStringLiteral("本店營業時間為早上九點至晚上十點，週末照常營業。"),
        QStringLiteral("請帶好您的隨身物品，小心地滑；"),
        QStringLiteral("會員購物滿五百元可以換領精美禮品一份，數量有限，送完即止。"),
        QStringLiteral("如果需要幫忙，請到服務台找我們的工作人員？"),
        QStringLiteral("感謝您的光臨，祝您購物愉快，生活美滿。"),
    };
    QString text;
    for (int i = 0; text.size() < chars; ++i) {
        text += sentences[i % sentences.size()];
        if (i % 9 == 8)
            text += QLatin1Char('\n');
    }
    text.truncate(chars);
    return text;
}

double seconds(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

bool writeTone(const QString& path, double secs) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f)
        return false;
    std::vector<float> buf(2 * 44100);
    for (int s = 0; s < secs; ++s) {
        for (std::size_t i = 0; i < 44100; ++i)
            buf[2 * i] = buf[2 * i + 1] = 0.3f * static_cast<float>(std::sin(2 * M_PI * 330 * static_cast<double>(i) / 44100));
        sf_writef_float(f, buf.data(), 44100);
    }
    sf_close(f);
    return true;
}

void recordBench(int secs) {
    audio::AudioEngine mix(audio::makePulseOutput(QStringLiteral("Sayvell bench")));
    QString error;
    if (!mix.start(&error)) {
        std::printf("recording: no sound server (%s)\n", qPrintable(error));
        return;
    }
    reading::EspeakEngine speech(mix);
    speech.setVoice({QStringLiteral("cmn-latn-pinyin"), {}});
    QTemporaryDir dir;
    auto recorder = audio::makePulseRecorder(QStringLiteral("Sayvell bench"));
    const QString path = dir.filePath(QStringLiteral("long.wav"));
    if (!recorder->start(path, {44100, 16, 2}, &error)) {
        std::printf("recording: %s\n", qPrintable(error));
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    // Reads on and on while a tone plays as music.
    std::vector<std::int16_t> tone(48000 * 2);
    for (std::size_t i = 0; i < tone.size() / 2; ++i)
        tone[2 * i] = tone[2 * i + 1] = static_cast<std::int16_t>(6000 * std::sin(2 * M_PI * 220 * static_cast<double>(i) / 48000));
    const QString text = announcementText(200);
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(secs)) {
        mix.append(audio::Channel::Music, tone.data(), tone.size() / 2, 48000, 2);
        speech.speak(text.left(40), 0);
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    recorder->stop(&error);
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    const double frames = f ? static_cast<double>(info.frames) : 0;
    if (f)
        sf_close(f);
    std::printf("recording: %.1f s, %.0f frames, expected %.0f (%.3f %%)\n", elapsed, frames, elapsed * 44100,
                100.0 * (frames - elapsed * 44100) / (elapsed * 44100));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int recordSeconds = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--record")
            recordSeconds = QByteArray(argv[i + 1]).toInt();

    audio::AudioEngine mix(audio::makeNullOutput(false));
    mix.start();
    reading::EspeakEngine speech(mix);
    speech.setVoice({QStringLiteral("cmn-latn-pinyin"), {}});
    QTemporaryDir dir;
    const QString text = announcementText(6000);
    {
        QFile f(dir.filePath(QStringLiteral("text.txt")));
        f.open(QIODevice::WriteOnly);
        f.write(text.toUtf8());
    }

    audio::ExportControl control;
    QElapsedTimer t;
    t.start();
    const audio::ExportResult plain = audio::exportSpeech(
        speech, {dir.filePath(QStringLiteral("plain.wav")), text, QStringLiteral("404"), audio::pcmFormatOf(30)}, control);
    const double plainSeconds = seconds(t);
    std::printf("export, 6000 characters at index 30: %.2f s (%s, %.0f s of speech)\n", plainSeconds,
                plain.ok ? "ok" : qPrintable(plain.error),
                static_cast<double>(QFile(dir.filePath(QStringLiteral("plain.wav"))).size() - 44) / 88200);

    t.restart();
    const int espeakRc = QProcess::execute(QStringLiteral("espeak-ng"),
                                           {QStringLiteral("-v"), QStringLiteral("cmn-latn-pinyin"), QStringLiteral("-w"),
                                            dir.filePath(QStringLiteral("cli.wav")), QStringLiteral("-f"),
                                            dir.filePath(QStringLiteral("text.txt"))});
    const int soxRc = QProcess::execute(QStringLiteral("sox"), {dir.filePath(QStringLiteral("cli.wav")), QStringLiteral("-r"),
                                                                QStringLiteral("44100"), dir.filePath(QStringLiteral("cli44.wav"))});
    const double cliSeconds = seconds(t);
    std::printf("espeak-ng -w + sox: %.2f s (rc %d, %d); export / pair = %.2f (goal <= 1.2)\n", cliSeconds, espeakRc,
                soxRc, plainSeconds / cliSeconds);

    const QString music = dir.filePath(QStringLiteral("music.wav"));
    writeTone(music, 120);
    audio::ReadExport job;
    job.path = dir.filePath(QStringLiteral("read.wav"));
    job.text = text;
    job.format = audio::pcmFormatOf(30);
    job.delimiters.marks = QStringList{QStringLiteral("，"), QStringLiteral("。"), QStringLiteral("！"),
                                       QStringLiteral("？"), QStringLiteral("；")};
    job.delimiters.delays = {200, 600, 600, 600, 400};
    job.voiceId = QStringLiteral("cmn-latn-pinyin");
    job.music = audio::MusicBed{{music}, 0, false, 40, 10};
    t.restart();
    const audio::ExportResult read = audio::exportAsRead(speech, job, control);
    const double readSeconds = seconds(t);
    std::printf("export as read with music: %.2f s (%s, %.0f s of sound); / plain export = %.2f (goal <= 1.5)\n",
                readSeconds, read.ok ? "ok" : qPrintable(read.error), read.seconds, readSeconds / plainSeconds);

    if (recordSeconds > 0)
        recordBench(recordSeconds);
    return 0;
}
