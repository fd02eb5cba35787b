#include "cli/cli_args.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <functional>

namespace sayvell::app::cli {
namespace {

struct Flag {
    const char* name;
    bool takesValue;
    std::function<QString(Options&, const QString&)> apply;  // an error, or empty
};

QString integerIn(const QString& name, const QString& value, int low, int high, int* out) {
    bool ok = false;
    const int v = value.toInt(&ok);
    if (!ok || v < low || v > high)
        return QStringLiteral("%1 須是 %2 到 %3 的整數：%4").arg(name).arg(low).arg(high).arg(value);
    *out = v;
    return {};
}

template <typename T>
std::function<QString(Options&, const QString&)> intOption(const char* name, int low, int high, T Options::*field) {
    return [=](Options& o, const QString& v) {
        int n = 0;
        const QString e = integerIn(QString::fromLatin1(name), v, low, high, &n);
        if (e.isEmpty()) o.*field = n;
        return e;
    };
}

std::vector<Flag> flagsOf(Command c) {
    const Flag voice{"--voice", true, [](Options& o, const QString& v) {
                         o.voice = v;
                         return QString();
                     }};
    const Flag rate{"--rate", true, intOption("--rate", -10, 15, &Options::rate)};
    const Flag date{"--date-format", true, intOption("--date-format", 1, 8, &Options::dateFormat)};
    const Flag encoding{"--encoding", true, [](Options& o, const QString& v) {
                            o.encoding = document::encodingFromName(v);
                            return o.encoding ? QString()
                                              : QStringLiteral("--encoding 沒有這種編碼：%1（可用：%2）")
                                                    .arg(v, document::knownEncodingNames());
                        }};
    switch (c) {
    case Command::Speak:
        return {voice,
                rate,
                date,
                encoding,
                {"--volume", true, intOption("--volume", 0, 100, &Options::volume)},
                {"--loop", true, intOption("--loop", 1, 9999, &Options::loop)},
                {"--interval", true, intOption("--interval", 0, 86400, &Options::interval)}};
    case Command::Export:
        return {voice,
                rate,
                date,
                encoding,
                {"--format", true, intOption("--format", 0, 35, &Options::format)},
                {"-o", true,
                 [](Options& o, const QString& v) {
                     o.output = v;
                     return QString();
                 }},
                {"--as-read", false,
                 [](Options& o, const QString&) {
                     o.asRead = true;
                     return QString();
                 }},
                {"--music", true,
                 [](Options& o, const QString& v) {
                     o.musicDir = v;
                     o.asRead = true;
                     return QString();
                 }},
                {"--srt", false, [](Options& o, const QString&) {
                     o.subtitles = true;
                     o.asRead = true;
                     return QString();
                 }}};
    case Command::Pieces: return {voice, date, encoding};
    default: return {};
    }
}

bool needsInput(Command c) { return c == Command::Speak || c == Command::Export || c == Command::Pieces; }

ParseResult fail(const QString& message) {
    ParseResult r;
    r.error = message;
    return r;
}

}  // namespace

ParseResult parseArguments(const QStringList& args) {
    ParseResult result;
    Options& o = result.options;
    if (args.isEmpty()) return result;

    const QString first = args.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help"))
        o.command = Command::Help;
    else if (first == QLatin1String("--version") || first == QLatin1String("-V"))
        o.command = Command::Version;
    else if (first == QLatin1String("--paths"))
        o.command = Command::Paths;
    else if (first == QLatin1String("speak"))
        o.command = Command::Speak;
    else if (first == QLatin1String("export"))
        o.command = Command::Export;
    else if (first == QLatin1String("voices"))
        o.command = Command::Voices;
    else if (first == QLatin1String("formats"))
        o.command = Command::Formats;
    else if (first == QLatin1String("pieces"))
        o.command = Command::Pieces;
    else
        return fail(QStringLiteral("不明的指令：%1").arg(first));

    // Help anywhere before "--" wins, whatever else is wrong.
    for (qsizetype i = 1; i < args.size() && args[i] != QLatin1String("--"); ++i) {
        if (args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h")) {
            o = Options{};
            o.command = Command::Help;
            return result;
        }
    }

    const std::vector<Flag> flags = flagsOf(o.command);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const Flag& f : flags) {
        const QString name = QString::fromLatin1(f.name).remove(QRegularExpression(QStringLiteral("^-+")));
        parser.addOption(f.takesValue ? QCommandLineOption(name, QString(), QStringLiteral("value"))
                                      : QCommandLineOption(name));
    }
    // The parser wants the program's name first.
    if (!parser.parse(QStringList{QStringLiteral("sayvell")} + args.mid(1))) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString& n = unknown.first();
            return fail(QStringLiteral("%1 不接受選項 %2")
                            .arg(first, (n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n));
        }
        // Its own words name the option between quotes: "Missing value after '--rate'."
        const QString text = parser.errorText();
        const QString name = text.section(u'\'', 1, 1);
        if (text.startsWith(QLatin1String("Missing value"))) return fail(QStringLiteral("選項 %1 缺少值").arg(name));
        return fail(QStringLiteral("選項 %1 不帶值").arg(name));
    }
    for (const Flag& f : flags) {
        const QString name = QString::fromLatin1(f.name).remove(QRegularExpression(QStringLiteral("^-+")));
        if (!parser.isSet(name)) continue;
        const QString error = f.apply(o, f.takesValue ? parser.value(name) : QString());
        if (!error.isEmpty()) return fail(error);
    }
    const QStringList operands = parser.positionalArguments();
    for (const QString& arg : operands) {
        if (!needsInput(o.command) || !o.input.isEmpty()) return fail(QStringLiteral("多餘的參數：%1").arg(arg));
        o.input = arg;
    }
    if (needsInput(o.command) && o.input.isEmpty())
        return fail(QStringLiteral("%1 需要一個文字檔（或 - 代表標準輸入）").arg(first));
    if (o.command == Command::Export && o.output.isEmpty()) return fail(QStringLiteral("export 需要 -o 輸出檔"));
    if (o.command == Command::Speak && o.loop == 0 && o.interval != 0)
        return fail(QStringLiteral("--interval 只能與 --loop 一起使用"));
    return result;
}

QString usageText() {
    return QStringLiteral(
        "用法：sayvell                       開啟視窗\n"
        "      sayvell speak 檔案|- [選項]     朗讀文字（不開視窗）\n"
        "      sayvell export 檔案|- -o 輸出檔 [選項]\n"
        "      sayvell pieces 檔案|- [--voice V] [--date-format N] [--encoding 編碼]\n"
        "      sayvell voices                  列出語音：編號、名稱、語言\n"
        "      sayvell formats                 列出 WAV 格式：編號、名稱\n"
        "      sayvell plan run|next|log|export|import|holidays   播報計畫（詳見 sayvell plan help）\n"
        "      sayvell --paths | --version | --help\n"
        "\n"
        "朗讀與輸出的選項（未給出時取 setinfo.ini 的設定）：\n"
        "  --voice V          語音：編號、名稱或 espeak-ng 語音名（如 cmn-latn-pinyin）\n"
        "  --rate R           語速 -10..15\n"
        "  --date-format N    %Date% 的格式 1..8\n"
        "  --encoding 編碼    輸入文字的編碼：big5、big5-hkscs、gb18030（gbk）、utf-8、utf-16le、utf-16be；\n"
        "                     未給出時由內容判斷\n"
        "speak：\n"
        "  --volume N         音量 0..100\n"
        "  --loop N           循環朗讀 N 次\n"
        "  --interval S       每次之間相隔 S 秒\n"
        "  按 Ctrl+C 會在目前這一段讀完後停止（結束碼 130）；再按一次立即停止。\n"
        "export：\n"
        "  -o 輸出檔          .wav .mp3 .ogg .opus .flac；無副檔名時加上 .wav\n"
        "  --format N         WAV 格式編號 0..35（見 sayvell formats）\n"
        "  --as-read          照朗讀的效果輸出：停頓、※ 的等待都成為靜音（.wav 以外一律如此）\n"
        "  --music 資料夾     把資料夾中的音樂墊在朗讀之下（即 --as-read）\n"
        "  --srt              另寫 .srt 與 .lrc 字幕（即 --as-read）\n"
        "pieces：每段一行，以 Tab 分隔：起始位元組、位元組長度、停頓毫秒、原文、朗讀的文字。\n"
        "\n"
        "結束碼：0 成功，1 執行失敗，2 用法錯誤。\n");
}

}  // namespace sayvell::app::cli
