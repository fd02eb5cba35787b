#include "cli/command_line.h"

#include "audio/audio_engine.h"
#include "audio/speech_export.h"
#include "audio/wav_formats.h"
#include "cli/cli_args.h"
#include "cli/memory_editor.h"
#include "cli/output_target.h"
#include "cli/piece_list.h"
#include "cli/plan_command.h"
#include "document/text_file.h"
#include "music/track_list.h"
#include "reading/clock.h"
#include "reading/date_format.h"
#include "reading/espeak_engine.h"
#include "reading/loop_reading.h"
#include "reading/tts.h"
#include "store/app_paths.h"
#include "store/pronunciation_table.h"
#include "store/settings_file.h"
#include "store/tdm.h"
#include "text/byte_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#ifndef SAYVELL_VERSION
#define SAYVELL_VERSION "0"
#endif

namespace sayvell::app::cli {
namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kInterrupted = 130;

void say(FILE* f, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f);
}

int failure(int code, const QString& message) {
    say(stderr, QStringLiteral("sayvell: ") + message + u'\n');
    return code;
}

const QString kNothingToRead = QStringLiteral("沒有可朗讀的文字");

// What a command printed must have reached standard output (a full disk, a closed pipe).
int flushed(int code) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int refused = failure(kFailed, QStringLiteral("無法寫出結果到標準輸出"));
        return code == kOk ? refused : code;
    }
    return code;
}

// ---- Ctrl+C ---------------------------------------------------------------------------
// The handler only writes a byte; the event loop reads it and decides.
int signalPipe[2] = {-1, -1};
std::atomic<bool>* cancelFlag = nullptr;  // an export's cancel, set straight from the handler

extern "C" void onSignal(int sig) {
    if (cancelFlag) cancelFlag->store(true);
    const char c = static_cast<char>(sig);
    if (signalPipe[1] >= 0) [[maybe_unused]]
        auto n = ::write(signalPipe[1], &c, 1);
}

void catchSignals() {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) signalPipe[0] = signalPipe[1] = -1;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

// ---- What every reading command needs ------------------------------------------------------

// The reading goes on; the user learns why some of it sounds wrong.
void warnUndecodable(const QString& input, const document::DecodedText& decoded) {
    if (!decoded.undecodable) return;
    say(stderr, QStringLiteral("sayvell: %1 中有些位元組不是 %2 文字，已略過（可用 --encoding 指定編碼）\n")
                    .arg(input, document::encodingName(decoded.format.encoding)));
}

bool readInput(const QString& input, std::optional<document::Encoding> encoding, QString* text, int* code) {
    if (input == QLatin1String("-")) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) {
            *code = failure(kFailed, QStringLiteral("無法讀取標準輸入"));
            return false;
        }
        const QByteArray bytes = in.readAll();
        if (bytes.size() > document::kMaxTextFileBytes) {
            *code = failure(kFailed, QStringLiteral("標準輸入的文字太大"));
            return false;
        }
        const document::DecodedText decoded =
            encoding ? document::decodeTextAs(bytes, *encoding) : document::decodeText(bytes);
        warnUndecodable(QStringLiteral("標準輸入"), decoded);
        *text = decoded.text;
        return true;
    }
    document::DecodedText decoded;
    QString error;
    if (!document::readTextFile(input, &decoded, &error, encoding)) {
        *code = failure(kFailed, QStringLiteral("無法讀取 %1：%2").arg(input, error));
        return false;
    }
    warnUndecodable(input, decoded);
    *text = decoded.text;
    return true;
}

// The settings, the pause table and the pronunciation table, as the window would start with.
struct Store {
    std::unique_ptr<store::SettingsFile> ini;
    std::unique_ptr<store::TDM> dm;
    std::unique_ptr<store::PronunciationTable> words;
    reading::DelimiterTable delimiters;
};

bool openStore(Store* s, int* code) {
    QString error;
    if (!store::prepareAppFiles(&error)) {
        *code = failure(kFailed, error);
        return false;
    }
    s->ini = std::make_unique<store::SettingsFile>(store::settingsPath());
    s->dm = store::TDM::open(store::databasePath(), &error);
    if (!s->dm) {
        *code = failure(kFailed, store::kConnectFailedMessage + QStringLiteral("（%1）").arg(store::databasePath()));
        return false;
    }
    s->words = store::PronunciationTable::open(store::databasePath());
    s->delimiters = reading::DelimiterTable::fromMarks(s->dm->q_delaytime.marks());
    return true;
}

struct Speech {
    std::unique_ptr<audio::AudioEngine> audio;
    std::unique_ptr<reading::EspeakEngine> engine;
    int baseRate = 0;
    ~Speech() {
        engine.reset();
        if (audio) audio->stop();
    }
};

bool startSpeech(Speech* s, bool withSound, int* code) {
    s->audio = std::make_unique<audio::AudioEngine>(withSound ? audio::makePulseOutput(QStringLiteral("Sayvell"))
                                                              : audio::makeNullOutput(true));
    QString error;
    s->audio->start(&error);
    if (withSound && !s->audio->hasSound()) {
        *code = failure(kFailed, QStringLiteral("無法播放聲音，找不到聲音伺服器") +
                                     (error.isEmpty() ? QString() : QStringLiteral("：") + error));
        return false;
    }
    s->engine = std::make_unique<reading::EspeakEngine>(*s->audio);
    if (!s->engine->ok()) {
        *code = failure(kFailed, QStringLiteral("語音引擎無法啟動：") + s->engine->errorText());
        return false;
    }
    s->baseRate = s->engine->rate();
    return true;
}

QString languageOf(const reading::Voice& v) { return v.id.section(u'+', 0, 0); }

// The voice named on the command line (index, engine name or shown name) or the stored one;
// a stored index that names no voice falls back to the first, as there is nobody to ask.
bool chooseVoice(reading::SpeechEngine& engine, const Options& o, const store::SettingsFile& ini, reading::Voice* out,
                 int* code) {
    const QList<reading::Voice> voices = engine.voices();
    if (voices.isEmpty()) {
        *code = failure(kFailed, QStringLiteral("沒有可用的語音"));
        return false;
    }
    if (!o.voice) {
        const int index = ini.read(store::keys::Voice);
        *out = voices[index >= 0 && index < voices.size() ? index : 0];
        return true;
    }
    bool isNumber = false;
    const int index = o.voice->toInt(&isNumber);
    for (qsizetype i = 0; i < voices.size(); ++i) {
        const reading::Voice& v = voices[i];
        if ((isNumber && index == i) || (!isNumber && (v.id == *o.voice || v.displayName == *o.voice))) {
            *out = v;
            return true;
        }
    }
    *code = failure(kUsage, QStringLiteral("沒有這個語音：%1（見 sayvell voices）").arg(*o.voice));
    return false;
}

int rateOf(const Options& o, const store::SettingsFile& ini) {
    return o.rate ? *o.rate : std::clamp(ini.read(store::keys::Rate), -10, 15);
}

int dateTypeOf(const Options& o, const store::SettingsFile& ini) {
    return o.dateFormat ? *o.dateFormat : ini.read(store::keys::Datetimetype);
}

// ---- speak ---------------------------------------------------------------------------------

class LoopPasses final : public reading::LoopHost {
public:
    LoopPasses(reading::TtsRunner& runner, QTimer& timer, QString voiceId)
        : runner_(runner), timer_(timer), voiceId_(std::move(voiceId)) {}
    void disableControls() override {}
    void enableControls() override {}
    void stopTimer() override { timer_.stop(); }
    void setSelection(int, int) override {}
    void startPass(int selStart, int selLength) override {
        runner_.start({selStart, selLength, voiceId_, reading::RunMode::Range});
    }

private:
    reading::TtsRunner& runner_;
    QTimer& timer_;
    QString voiceId_;
};

int speak(const Options& o, int argc, char** argv) {
    int code = kOk;
    QString text;
    if (!readInput(o.input, o.encoding, &text, &code)) return code;
    if (text.trimmed().isEmpty()) return failure(kFailed, kNothingToRead);
    Store st;
    if (!openStore(&st, &code)) return code;
    Speech sp;
    if (!startSpeech(&sp, true, &code)) return code;
    reading::Voice voice;
    if (!chooseVoice(*sp.engine, o, *st.ini, &voice, &code)) return code;
    sp.engine->setVoice(voice);
    sp.engine->setRate(rateOf(o, *st.ini) + sp.baseRate);
    sp.engine->setVolume(o.volume ? *o.volume : std::clamp(st.ini->read(store::keys::Volume), 0, 100));

    QCoreApplication app(argc, argv);
    catchSignals();
    reading::ReadingState state;
    state.setDelimiterTable(st.delimiters);
    state.symbolDelayMs = std::max(0, st.ini->read(store::keys::Delay2));
    state.dateFormatType = dateTypeOf(o, *st.ini);
    reading::SystemClock clock;
    MemoryEditor editor(text);
    editor.setOnRunFinished([&app] { QMetaObject::invokeMethod(&app, [] { QCoreApplication::exit(kOk); }); });
    reading::TtsRunner runner(state, editor, *sp.engine, clock);
    const reading::DateFormatter formatter(QLocale::system());
    runner.setDateSubstitution([formatter](const QString& piece, int type, const QDateTime& now) {
        return formatter.substitute(piece, type, now);
    });
    if (st.words) runner.setLexiconSource(st.words->source());

    QTimer loopTimer;
    LoopPasses host(runner, loopTimer, voice.id);
    reading::LoopReading loop(state, clock, host);
    bool interrupted = false;
    QTimer idleCheck;
    idleCheck.setInterval(50);
    QObject::connect(&idleCheck, &QTimer::timeout, [&] {
        if (!runner.busy()) QCoreApplication::exit(kInterrupted);
    });
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char c = 0;
        while (::read(signalPipe[0], &c, 1) == 1) {}
        loop.disarm();
        loopTimer.stop();
        if (interrupted || c == SIGTERM) {
            // A second Ctrl+C, or a request to end: silence now.
            runner.abort();
            QCoreApplication::exit(c == SIGTERM ? 128 + SIGTERM : kInterrupted);
            return;
        }
        interrupted = true;
        say(stderr, QStringLiteral("\nsayvell: 讀完這一段就停止（再按 Ctrl+C 立即停止）\n"));
        runner.requestStop();
        idleCheck.start();
    });

    if (o.loop > 0) {
        loop.arm(o.loop, o.interval, 0, editor.byteLength());
        QObject::connect(&loopTimer, &QTimer::timeout, [&] {
            if (loop.tick() == reading::LoopReading::Tick::Finished) QCoreApplication::exit(kOk);
        });
        loopTimer.start(1000);
        QTimer::singleShot(0, &app, [&] {
            if (loop.tick() == reading::LoopReading::Tick::Finished) QCoreApplication::exit(kOk);
        });
    } else {
        state.beginRun();
        runner.start({0, 0, voice.id});
    }
    code = QCoreApplication::exec();
    if (interrupted && code == kOk) code = kInterrupted;
    runner.shutdown();
    return code;
}

// ---- export --------------------------------------------------------------------------------

int exportFile(const Options& o) {
    int code = kOk;
    QString refusal;
    const std::optional<OutputTarget> target = outputTarget(o.output, &refusal);
    if (!target) return failure(kUsage, refusal);
    const QString path = target->path;
    const bool wav = target->wav;
    QString text;
    if (!readInput(o.input, o.encoding, &text, &code)) return code;
    text = normaliseLineBreaks(text);
    if (text.trimmed().isEmpty()) return failure(kFailed, kNothingToRead);
    Store st;
    if (!openStore(&st, &code)) return code;
    Speech sp;
    if (!startSpeech(&sp, false, &code)) return code;
    reading::Voice voice;
    if (!chooseVoice(*sp.engine, o, *st.ini, &voice, &code)) return code;
    sp.engine->setVoice(voice);
    sp.engine->setRate(rateOf(o, *st.ini) + sp.baseRate);
    const reading::PcmFormat format = audio::pcmFormatOf(o.format ? *o.format : st.ini->read(store::keys::Yinping));

    audio::ExportControl control;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    int shown = -1;
    control.progress = [&](int permille) {
        if (!terminal || permille / 10 == shown) return;
        shown = permille / 10;
        say(stderr, QStringLiteral("\r正在輸出 %1%").arg(shown, 3));
        std::fflush(stderr);
    };
    catchSignals();
    cancelFlag = &control.cancel;

    audio::ExportResult result;
    std::shared_ptr<const reading::PronunciationLexicon> words = st.words ? st.words->lexicon() : nullptr;
    if (wav && !o.asRead) {
        audio::PlainExport job;
        job.path = path;
        job.text = text;
        job.languageCode = audio::languageCodeOf(voice.id);
        job.format = format;
        result = audio::exportSpeech(*sp.engine, job, control);
    } else {
        audio::ReadExport job;
        job.path = path;
        job.text = text;
        job.format = format;
        job.delimiters = st.delimiters;
        job.symbolDelayMs = std::max(0, st.ini->read(store::keys::Delay2));
        job.dateFormatType = dateTypeOf(o, *st.ini);
        job.now = QDateTime::currentDateTime();
        job.voiceId = voice.id;
        job.lexicon = words;
        job.subtitles = o.subtitles;
        if (!o.musicDir.isEmpty()) {
            bool readable = false;
            const QStringList names = music::listMusicFiles(o.musicDir, &readable);
            if (!QFileInfo(o.musicDir).isDir() || !readable) {
                cancelFlag = nullptr;
                return failure(kFailed, QStringLiteral("無法讀取音樂資料夾 %1").arg(o.musicDir));
            }
            audio::MusicBed bed;
            for (const QString& name : names) bed.files << QDir(o.musicDir).filePath(name);
            bed.random = st.ini->read(store::keys::Playmode) == 1;
            bed.musicVolume = std::clamp(st.ini->read(store::keys::DefaultVolume), 0, 100);
            bed.readingVolume = std::clamp(st.ini->read(store::keys::DefaultVolume1), 0, 100);
            if (bed.files.isEmpty())
                say(stderr, QStringLiteral("sayvell: 音樂資料夾中沒有音樂檔，只輸出語音\n"));
            else
                job.music = bed;
        }
        result = audio::exportAsRead(*sp.engine, job, control);
    }
    cancelFlag = nullptr;
    if (terminal && shown >= 0) say(stderr, QStringLiteral("\n"));
    if (result.cancelled) return failure(kInterrupted, QStringLiteral("已取消，沒有寫入任何檔案"));
    if (!result.ok) return failure(kFailed, QStringLiteral("輸出失敗：") + result.error);
    for (const QString& written : result.written) say(stdout, written + u'\n');
    return kOk;
}

// ---- voices, formats, pieces, paths ----------------------------------------------------------

int listVoices() {
    int code = kOk;
    Speech sp;
    if (!startSpeech(&sp, false, &code)) return code;
    const QList<reading::Voice> voices = sp.engine->voices();
    QString out;
    for (qsizetype i = 0; i < voices.size(); ++i)
        out += QStringLiteral("%1\t%2\t%3\n").arg(i).arg(voices[i].displayName, languageOf(voices[i]));
    say(stdout, out);
    return kOk;
}

int listFormats() {
    QString out;
    const auto& table = audio::wavFormats();
    for (std::size_t i = 0; i < table.size(); ++i)
        out += QStringLiteral("%1\t%2\n").arg(i).arg(QString::fromUtf8(table[i].displayName).simplified());
    say(stdout, out);
    return kOk;
}

int listPiecesOf(const Options& o) {
    int code = kOk;
    QString text;
    if (!readInput(o.input, o.encoding, &text, &code)) return code;
    Store st;
    if (!openStore(&st, &code)) return code;
    // The voice decides the spoken copy's language; naming one needs no sound, but the list of
    // voices comes from the engine.
    QString voiceId;
    {
        Speech sp;
        if (!startSpeech(&sp, false, &code)) return code;
        reading::Voice voice;
        if (!chooseVoice(*sp.engine, o, *st.ini, &voice, &code)) return code;
        voiceId = voice.id;
    }
    reading::MemoryText source(text);
    const reading::DateFormatter formatter(QLocale::system());
    reading::RunSettings settings;
    settings.delimiters = st.delimiters;
    settings.symbolDelayMs = std::max(0, st.ini->read(store::keys::Delay2));
    settings.dateFormatType = dateTypeOf(o, *st.ini);
    settings.now = QDateTime::currentDateTime();
    settings.date = [&formatter](const QString& piece, int type, const QDateTime& now) {
        return formatter.substitute(piece, type, now);
    };
    settings.language = reading::languageOfVoice(voiceId);
    settings.lexicon = st.words ? st.words->lexicon() : nullptr;

    printPieces(source, std::move(settings), stdout);
    if (std::fflush(stdout) != 0) return failure(kFailed, QStringLiteral("無法寫出結果"));
    return kOk;
}

int printPaths() {
    const bool beside = store::pathMode() == store::PathMode::BesideExecutable;
    QString out;
    out += QStringLiteral("位置\t%1\n")
               .arg(beside ? QStringLiteral("程式旁邊（%1）").arg(store::executableDir()) : QStringLiteral("XDG"));
    out += QStringLiteral("設定\t%1\n").arg(store::settingsPath());
    out += QStringLiteral("資料庫\t%1\n").arg(store::databasePath());
    out += QStringLiteral("資料\t%1\n").arg(store::appDir());
    out += QStringLiteral("錄音\t%1\n").arg(store::recordingPath());
    if (!beside) out += QStringLiteral("隨附資料庫\t%1\n").arg(store::deliveredFile(QStringLiteral("draft.dat")));
    say(stdout, out);
    return kOk;
}

}  // namespace

int runCommandLine(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "plan") == 0) return runPlanCommand(argc, argv);
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const ParseResult parsed = parseArguments(args);
    if (!parsed.error.isEmpty()) return failure(kUsage, parsed.error + QStringLiteral("（用法見 sayvell --help）"));
    const Options& o = parsed.options;
    switch (o.command) {
    case Command::Help: say(stdout, usageText()); return flushed(kOk);
    case Command::Version: say(stdout, QStringLiteral("sayvell " SAYVELL_VERSION "\n")); return flushed(kOk);
    case Command::Paths: return flushed(printPaths());
    case Command::Speak: return flushed(speak(o, argc, argv));
    case Command::Export: return flushed(exportFile(o));
    case Command::Voices: return flushed(listVoices());
    case Command::Formats: return flushed(listFormats());
    case Command::Pieces: return flushed(listPiecesOf(o));
    case Command::Window: break;
    }
    return kUsage;
}

}  // namespace sayvell::app::cli
