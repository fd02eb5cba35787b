#include "cli/plan_command.h"

#include "audio/audio_engine.h"
#include "document/text_file.h"
#include "plan/holiday_ics.h"
#include "plan/plan_json.h"
#include "plan/plan_lock.h"
#include "plan/plan_store.h"
#include "plan/plan_times.h"
#include "plan/speech_announcer.h"
#include "plan/wall_timer.h"
#include "platform/sleep_inhibitor.h"
#include "reading/date_format.h"
#include "reading/espeak_engine.h"
#include "store/app_paths.h"
#include "store/pronunciation_table.h"
#include "store/settings_file.h"
#include "store/tdm.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace sayvell::app::cli {
namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

void say(FILE* f, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), f);
    std::fflush(f);
}

int failure(int code, const QString& message) {
    say(stderr, QStringLiteral("sayvell: ") + message + u'\n');
    return code;
}

QString usage() {
    return QStringLiteral(
        "用法：sayvell plan run                 不開視窗播放播報計畫（SIGTERM 結束）\n"
        "      sayvell plan next [N]            列出接下來 N 次播報（預設 20）\n"
        "      sayvell plan log [--from 日期]    列出播報紀錄（日期 yyyy-MM-dd，預設今天）\n"
        "      sayvell plan export 檔案|-        匯出整個計畫（JSON）\n"
        "      sayvell plan import 檔案          匯入計畫，取代現有的計畫\n"
        "      sayvell plan holidays 檔案.ics    把行事曆中的日子加為休息日\n");
}

std::unique_ptr<plan::PlanStore> openPlan(int* code) {
    QString error;
    if (!store::prepareAppFiles(&error)) {
        *code = failure(kFailed, error);
        return nullptr;
    }
    auto s = plan::PlanStore::open(store::databasePath(), &error);
    if (!s)
        *code = failure(kFailed, store::kConnectFailedMessage + QStringLiteral("（%1）").arg(store::databasePath()));
    return s;
}

QString when(qint64 secs) {
    return QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

int next(const QStringList& args) {
    int count = 20;
    if (!args.isEmpty()) {
        bool ok = false;
        count = args[0].toInt(&ok);
        if (!ok || count < 1 || count > 100000 || args.size() > 1)
            return failure(kUsage, QStringLiteral("N 須是 1 至 100000 的整數"));
    }
    int code = kOk;
    auto s = openPlan(&code);
    if (!s) return code;
    plan::Plan p;
    s->load(&p);
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const auto list = plan::nextOccurrences(p, zone, QDateTime::currentSecsSinceEpoch() + 1, count);
    static const QString days = QStringLiteral("一二三四五六日");
    QString out;
    for (const plan::Occurrence& o : list) {
        const QDateTime at = QDateTime::fromSecsSinceEpoch(o.due, zone);
        out += QStringLiteral("%1\t週%2\t%3\n")
                   .arg(when(o.due), days[at.date().dayOfWeek() - 1], p.entries[std::size_t(o.entry)].name);
    }
    if (list.empty()) say(stderr, QStringLiteral("sayvell: 計畫中沒有預定的播報\n"));
    say(stdout, out);
    return kOk;
}

int showLog(const QStringList& args) {
    QDate from = QDate::currentDate();
    if (args.size() == 2 && args[0] == u"--from") {
        from = QDate::fromString(args[1], Qt::ISODate);
        if (!from.isValid()) return failure(kUsage, QStringLiteral("日期須寫成 yyyy-MM-dd：%1").arg(args[1]));
    } else if (!args.isEmpty()) {
        return failure(kUsage, QStringLiteral("用法：sayvell plan log [--from yyyy-MM-dd]"));
    }
    int code = kOk;
    auto s = openPlan(&code);
    if (!s) return code;
    const qint64 start = QDateTime(from, QTime(0, 0)).toSecsSinceEpoch();
    QString out;
    for (const plan::LogRow& r : s->log(start, std::numeric_limits<qint64>::max()))
        out += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                   .arg(when(r.planned), r.played ? when(*r.played) : QStringLiteral("-"), plan::statusText(r.status),
                        r.entryName, r.detail);
    say(stdout, out);
    return kOk;
}

int exportPlan(const QStringList& args) {
    if (args.size() != 1) return failure(kUsage, QStringLiteral("用法：sayvell plan export 檔案|-"));
    int code = kOk;
    auto s = openPlan(&code);
    if (!s) return code;
    plan::Plan p;
    s->load(&p);
    const QByteArray json = plan::planToJson(p);
    if (args[0] == u"-") {
        std::fwrite(json.constData(), 1, std::size_t(json.size()), stdout);
        return std::fflush(stdout) == 0 ? kOk : failure(kFailed, QStringLiteral("無法寫出結果"));
    }
    QString error;
    if (!document::writeFileSafely(args[0], json, &error))
        return failure(kFailed, QStringLiteral("無法寫入 %1：%2").arg(args[0], error));
    say(stdout, args[0] + u'\n');
    return kOk;
}

bool readWhole(const QString& path, QByteArray* data, int* code) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *code = failure(kFailed, QStringLiteral("無法讀取 %1：%2").arg(path, f.errorString()));
        return false;
    }
    *data = f.read(64 * 1024 * 1024);
    return true;
}

int importPlan(const QStringList& args) {
    if (args.size() != 1) return failure(kUsage, QStringLiteral("用法：sayvell plan import 檔案"));
    int code = kOk;
    QByteArray data;
    if (!readWhole(args[0], &data, &code)) return code;
    plan::Plan p;
    QString error;
    if (!plan::planFromJson(data, &p, &error)) return failure(kFailed, error);
    auto s = openPlan(&code);
    if (!s) return code;
    if (const auto r = s->save(&p); !r) return failure(kFailed, r.message);
    say(stdout, QStringLiteral("已匯入 %1 個項目、%2 個例外日\n").arg(p.entries.size()).arg(p.exceptions.size()));
    return kOk;
}

int importHolidays(const QStringList& args) {
    if (args.size() != 1) return failure(kUsage, QStringLiteral("用法：sayvell plan holidays 檔案.ics"));
    int code = kOk;
    QByteArray data;
    if (!readWhole(args[0], &data, &code)) return code;
    const int year = QDate::currentDate().year();
    std::vector<plan::Exception> days;
    QString error;
    if (!plan::daysOffFromIcs(data, year - 1, year + 5, &days, &error)) return failure(kFailed, error);
    auto s = openPlan(&code);
    if (!s) return code;
    plan::Plan p;
    s->load(&p);
    const std::size_t before = p.exceptions.size();
    plan::mergeDaysOff(&p, days);
    if (const auto r = s->save(&p); !r) return failure(kFailed, r.message);
    say(stdout, QStringLiteral("已加入 %1 個休息日\n").arg(p.exceptions.size() - before));
    return kOk;
}

// ---- run ----------------------------------------------------------------------------------

int signalPipe[2] = {-1, -1};

extern "C" void onStopSignal(int sig) {
    const char c = static_cast<char>(sig);
    if (signalPipe[1] >= 0) [[maybe_unused]]
        auto n = ::write(signalPipe[1], &c, 1);
}

int runPlan(int argc, char** argv) {
    int code = kOk;
    auto planStore = openPlan(&code);
    if (!planStore) return code;
    plan::PlanLock lock(store::databasePath(), QStringLiteral("sayvell plan run"));
    if (!lock.tryLock()) return failure(kFailed, QStringLiteral("播報計畫已由 %1播放").arg(lock.holder()));

    QString error;
    store::SettingsFile ini(store::settingsPath());
    auto dm = store::TDM::open(store::databasePath(), &error);
    if (!dm)
        return failure(kFailed, store::kConnectFailedMessage + QStringLiteral("（%1）").arg(store::databasePath()));
    auto words = store::PronunciationTable::open(store::databasePath());

    audio::AudioEngine audio(audio::makePulseOutput(QStringLiteral("Sayvell")));
    audio.start(&error);
    if (!audio.hasSound())
        say(stderr, QStringLiteral("sayvell: 找不到聲音伺服器，播報不會有聲音%1\n")
                        .arg(error.isEmpty() ? QString() : QStringLiteral("：") + error));
    reading::EspeakEngine engine(audio);
    if (!engine.ok()) return failure(kFailed, QStringLiteral("語音引擎無法啟動：") + engine.errorText());
    const QList<reading::Voice> voices = engine.voices();
    if (voices.isEmpty()) return failure(kFailed, QStringLiteral("沒有可用的語音"));
    const int index = ini.read(store::keys::Voice);
    const reading::Voice voice = voices[index >= 0 && index < voices.size() ? index : 0];
    const int baseRate = engine.rate();

    QCoreApplication app(argc, argv);
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return failure(kFailed, QStringLiteral("無法設定訊號"));
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);

    plan::SpeechAnnouncer announcer(audio, engine);
    const reading::DateFormatter formatter(QLocale::system());
    auto refreshSettings = [&] {
        reading::RunSettings rs;
        rs.delimiters = reading::DelimiterTable::fromMarks(dm->q_delaytime.marks());
        rs.symbolDelayMs = std::max(0, ini.read(store::keys::Delay2));
        rs.dateFormatType = ini.read(store::keys::Datetimetype);
        rs.date = [formatter](const QString& piece, int type, const QDateTime& now) {
            return formatter.substitute(piece, type, now);
        };
        if (words) rs.lexicon = words->lexicon();
        announcer.setRunSettings(std::move(rs));
    };
    refreshSettings();
    announcer.setDefaults(voice, baseRate, std::clamp(ini.read(store::keys::Rate), -10, 15),
                          std::clamp(ini.read(store::keys::Volume), 0, 100));

    plan::WallTimer timer;
    std::unique_ptr<plan::SleepInhibitor> inhibitor;
    if (ini.read(store::keys::PlanStayAwake)) {
        QString notice;
        inhibitor = platform::makeLogindSleepInhibitor(&notice);
        if (!notice.isEmpty()) say(stderr, QStringLiteral("sayvell: ") + notice + u'\n');
    }
    plan::PlayerEnv env{timer,
                        announcer,
                        [] { return QDateTime::currentSecsSinceEpoch(); },
                        [] { return QTimeZone::systemTimeZone(); },
                        planStore.get(),
                        inhibitor.get()};
    plan::PlanPlayer player(env);
    player.setGrace(std::clamp(ini.read(store::keys::PlanGraceSeconds), 0, 24 * 3600));
    auto loadPlan = [&] {
        plan::Plan p;
        QString why;
        if (!planStore->load(&p, &why)) return failure(kFailed, QStringLiteral("無法讀取播報計畫：") + why), void();
        player.setPlan(std::move(p));
    };
    loadPlan();
    QString shown;
    player.onChanged = [&] {
        const QString text = player.nextText();
        if (text == shown) return;
        shown = text;
        say(stdout, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + text + u'\n');
    };
    player.start();

    // The window edits the plan in the same file: take it up when the file changes.
    QFileSystemWatcher watcher({store::databasePath()});
    QTimer reload;
    reload.setSingleShot(true);
    reload.setInterval(500);
    QObject::connect(&watcher, &QFileSystemWatcher::fileChanged, &reload, [&] {
        if (!watcher.files().contains(store::databasePath())) watcher.addPath(store::databasePath());
        reload.start();
    });
    QObject::connect(&reload, &QTimer::timeout, [&] {
        plan::Plan p;
        if (!planStore->load(&p)) return;
        if (plan::planToJson(p) == plan::planToJson(player.plan())) return;
        refreshSettings();
        player.setPlan(std::move(p));
    });

    int exitCode = kOk;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char c = 0;
        while (::read(signalPipe[0], &c, 1) == 1) {}
        player.stopAnnouncements();
        exitCode = c == SIGTERM ? kOk : 130;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    timer.disarm();
    audio.stop();
    return exitCode;
}

}  // namespace

int runPlanCommand(int argc, char** argv) {
    QStringList args;
    for (int i = 2; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const QString sub = args.isEmpty() ? QString() : args.takeFirst();
    if (sub == u"run" && args.isEmpty()) return runPlan(argc, argv);
    if (sub == u"next") return next(args);
    if (sub == u"log") return showLog(args);
    if (sub == u"export") return exportPlan(args);
    if (sub == u"import") return importPlan(args);
    if (sub == u"holidays") return importHolidays(args);
    if (sub == u"--help" || sub == u"help") {
        say(stdout, usage());
        return kOk;
    }
    say(stderr, usage());
    return kUsage;
}

}  // namespace sayvell::app::cli
