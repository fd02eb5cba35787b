// Export figures: a 6,000-character traditional-Chinese text exported at index 30 (44.1 kHz
// 16-bit mono) against espeak-ng -w followed by sox; the same text exported as read, without
// and with music; and, given --record SECONDS under a sound server, whether a long recording
// loses samples while the program speaks and plays. Each export also shows the process's CPU
// time: wall time well above it is time spent waiting.
//   bench_export [--music wav|mp3] [--music-rate HZ] [--only bare|music] [--rounds N] [--keep DIR]
//                [--record SECONDS]
// The music is a two-minute stereo tone written as a WAV (default) or an MP3 file, at 44.1 kHz
// unless --music-rate says otherwise (another rate is resampled while mixing). --only runs one
// export as read alone, without or with music (for a profiler); --keep leaves the files
// exported as read in DIR, to compare the sound of two builds. --rounds repeats the exports
// (the machine is shared: the plain export and the one with music run side by side each round)
// and ends with the median.
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
#include <sys/resource.h>

#include <algorithm>
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
        if (i % 9 == 8) text += QLatin1Char('\n');
    }
    text.truncate(chars);
    return text;
}

double seconds(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e9; }

// User and system time of the whole process (every thread) so far.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto secs = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return secs(u.ru_utime) + secs(u.ru_stime);
}

struct Timed {
    double wall = 0;
    double cpu = 0;  // every thread of the process
};

template <typename F>
Timed timed(F&& f) {
    QElapsedTimer t;
    t.start();
    const double cpu = cpuSeconds();
    f();
    return {seconds(t), cpuSeconds() - cpu};
}

bool writeTone(const QString& path, double secs, int rate, bool mp3) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = mp3 ? SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III : SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f) return false;
    const auto frames = static_cast<std::size_t>(rate);
    std::vector<float> buf(2 * frames);
    for (int s = 0; s < secs; ++s) {
        for (std::size_t i = 0; i < frames; ++i)
            buf[2 * i] = buf[2 * i + 1] =
                0.3f * static_cast<float>(std::sin(2 * M_PI * 330 * static_cast<double>(i) / rate));
        sf_writef_float(f, buf.data(), static_cast<sf_count_t>(frames));
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
        tone[2 * i] = tone[2 * i + 1] =
            static_cast<std::int16_t>(6000 * std::sin(2 * M_PI * 220 * static_cast<double>(i) / 48000));
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
    if (f) sf_close(f);
    std::printf("recording: %.1f s, %.0f frames, expected %.0f (%.3f %%)\n", elapsed, frames, elapsed * 44100,
                100.0 * (frames - elapsed * 44100) / (elapsed * 44100));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int recordSeconds = 0;
    bool mp3 = false;
    int musicRate = 44100;
    QByteArray only;
    QString keep;
    int rounds = 1;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--only")
            only = argv[i + 1];
        else if (QByteArray(argv[i]) == "--keep")
            keep = QFile::decodeName(argv[i + 1]);
        else if (QByteArray(argv[i]) == "--record")
            recordSeconds = QByteArray(argv[i + 1]).toInt();
        else if (QByteArray(argv[i]) == "--music")
            mp3 = QByteArray(argv[i + 1]) == "mp3";
        else if (QByteArray(argv[i]) == "--music-rate")
            musicRate = std::max(8000, QByteArray(argv[i + 1]).toInt());
        else if (QByteArray(argv[i]) == "--rounds")
            rounds = std::max(1, QByteArray(argv[i + 1]).toInt());
    }

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

    const QString out = keep.isEmpty() ? dir.path() : keep;
    const QString music = dir.filePath(mp3 ? QStringLiteral("music.mp3") : QStringLiteral("music.wav"));
    if (only != "bare" && !writeTone(music, 120, musicRate, mp3))
        std::printf("music: cannot write %s\n", qPrintable(music));
    audio::ReadExport job;
    job.text = text;
    job.format = audio::pcmFormatOf(30);
    job.delimiters.marks = QStringList{QStringLiteral("，"), QStringLiteral("。"), QStringLiteral("！"),
                                       QStringLiteral("？"), QStringLiteral("；")};
    job.delimiters.delays = {200, 600, 600, 600, 400};
    job.voiceId = QStringLiteral("cmn-latn-pinyin");
    const audio::MusicBed bed{{music}, 0, false, 40, 10};

    audio::ExportControl control;
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        if (rounds > 1) std::printf("round %d\n", round + 1);
        Timed plain;
        if (only.isEmpty()) {
            audio::ExportResult r;
            plain = timed([&] {
                r = audio::exportSpeech(
                    speech,
                    {dir.filePath(QStringLiteral("plain.wav")), text, QStringLiteral("404"), audio::pcmFormatOf(30)},
                    control);
            });
            std::printf("export, 6000 characters at index 30: %.2f s, CPU %.2f s (%s, %.0f s of speech)\n", plain.wall,
                        plain.cpu, r.ok ? "ok" : qPrintable(r.error),
                        static_cast<double>(QFile(dir.filePath(QStringLiteral("plain.wav"))).size() - 44) / 88200);
        }
        if (only.isEmpty() && round == 0) {
            int espeakRc = 0, soxRc = 0;
            const Timed pair = timed([&] {
                espeakRc = QProcess::execute(QStringLiteral("espeak-ng"),
                                             {QStringLiteral("-v"), QStringLiteral("cmn-latn-pinyin"),
                                              QStringLiteral("-w"), dir.filePath(QStringLiteral("cli.wav")),
                                              QStringLiteral("-f"), dir.filePath(QStringLiteral("text.txt"))});
                soxRc = QProcess::execute(QStringLiteral("sox"),
                                          {dir.filePath(QStringLiteral("cli.wav")), QStringLiteral("-r"),
                                           QStringLiteral("44100"), dir.filePath(QStringLiteral("cli44.wav"))});
            });
            std::printf("espeak-ng -w + sox: %.2f s (rc %d, %d); export / pair = %.2f (goal <= 1.2)\n", pair.wall,
                        espeakRc, soxRc, plain.wall / pair.wall);
        }
        const auto ratio = [&](double wall) { return plain.wall > 0 ? wall / plain.wall : 0.0; };
        if (only.isEmpty() || only == "bare") {
            job.path = out + QStringLiteral("/read.wav");
            job.music.reset();
            audio::ExportResult r;
            const Timed bare = timed([&] { r = audio::exportAsRead(speech, job, control); });
            std::printf(
                "export as read without music: %.2f s, CPU %.2f s (%s, %.0f s of sound); / plain export = %.2f\n",
                bare.wall, bare.cpu, r.ok ? "ok" : qPrintable(r.error), r.seconds, ratio(bare.wall));
        }
        if (only.isEmpty() || only == "music") {
            job.path = out + QStringLiteral("/read-music.wav");
            job.music = bed;
            audio::ExportResult r;
            const Timed read = timed([&] { r = audio::exportAsRead(speech, job, control); });
            std::printf(
                "export as read with music (%s, %d Hz): %.2f s, CPU %.2f s (%s, %.0f s of sound); / plain export = "
                "%.2f (goal <= 1.5)\n",
                mp3 ? "MP3" : "WAV", musicRate, read.wall, read.cpu, r.ok ? "ok" : qPrintable(r.error), r.seconds,
                ratio(read.wall));
            if (plain.wall > 0) ratios.push_back(ratio(read.wall));
        }
    }
    if (ratios.size() > 1) {
        std::sort(ratios.begin(), ratios.end());
        std::printf("with music / plain export over %zu rounds: median %.2f, %.2f to %.2f (goal <= 1.5)\n",
                    ratios.size(), ratios[ratios.size() / 2], ratios.front(), ratios.back());
    }

    if (recordSeconds > 0) recordBench(recordSeconds);
    return 0;
}
