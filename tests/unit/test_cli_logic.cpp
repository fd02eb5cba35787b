// The command line's logic, without running the program.
#include "cli/cli_args.h"
#include "cli/memory_editor.h"
#include "cli/piece_list.h"
#include "reading/tts.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace sayvell;

// The piece list claims to be what a reading speaks: run the reading worker itself over the
// same text and compare piece by piece, pauses included.
TEST(CommandLine, PieceListIsWhatTheReadingWorkerSpeaks) {
    QString text = QStringLiteral("第一句，有停頓。※等一下再說：21:30 開門!\r\n段落\u2029之後，");
    text += QString(620, u' ') + QStringLiteral("空白之後。\r\n");
    text += QString(300, u'長') + QStringLiteral("沒有標點的一大段\n\n最後一行");
    reading::DelimiterTable table;
    table.marks = QStringList{QStringLiteral("。"), QStringLiteral("，"), QStringLiteral("："), QStringLiteral("!")};
    table.delays = {600, 250, 300, 500};

    for (const QString& voice : QStringList{QStringLiteral("cmn-latn-pinyin"), QStringLiteral("en")}) {
        SCOPED_TRACE(voice.toStdString());
        app::cli::MemoryEditor editor(text);
        reading::ReadingState state;
        state.setDelimiterTable(table);
        state.symbolDelayMs = 800;
        sayvell::testing::FakeClock clock;
        sayvell::testing::FakeSpeechEngine engine(nullptr, &clock);
        engine.setSelectionProbe([&editor] { return std::pair{editor.selStart(), editor.selLength()}; });
        std::vector<int> sleeps;
        {
            reading::TtsRunner runner(state, editor, engine, clock);
            state.beginRun();
            runner.start({0, 0, voice});
            ASSERT_TRUE(runner.waitIdle(10000));
        }
        reading::RunSettings settings;
        settings.delimiters = table;
        settings.language = reading::languageOfVoice(voice);
        std::vector<app::cli::ListedPiece> listed;
        reading::MemoryText source(text);
        app::cli::listPieces(source, settings, [&](const app::cli::ListedPiece& p) { listed.push_back(p); });

        const auto spoken = engine.spoken();
        ASSERT_EQ(listed.size(), spoken.size());
        std::vector<int> expectedSleeps;
        for (std::size_t i = 0; i < listed.size(); ++i) {
            EXPECT_EQ(listed[i].start, spoken[i].selStart) << i;
            EXPECT_EQ(listed[i].length, spoken[i].selLength) << i;
            EXPECT_EQ(listed[i].spoken, spoken[i].text) << i;
            if (listed[i].written.contains(u'※')) expectedSleeps.push_back(800);
            if (listed[i].pauseMs > 0) expectedSleeps.push_back(listed[i].pauseMs);
        }
        std::vector<int> actualSleeps = clock.sleeps();
        std::erase(actualSleeps, 0);
        EXPECT_EQ(actualSleeps, expectedSleeps);
        // The blank stretch is stepped over and the text after it still read.
        EXPECT_TRUE(listed.back().written.endsWith(QStringLiteral("最後一行")));
    }
}

// What a user types and what the program makes of it: the options taken, or the one line that
// tells what is wrong (exit 2).
TEST(CommandLine, ArgumentsAreTakenOrRefusedWithTheirOwnMessage) {
    using app::cli::parseArguments;
    auto parse = [](const char* line) {
        return parseArguments(QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts));
    };

    const auto exportRun = parse("export in.txt -o out.flac --rate -5 --format=30 --srt");
    ASSERT_TRUE(exportRun.error.isEmpty()) << exportRun.error.toStdString();
    EXPECT_EQ(exportRun.options.command, app::cli::Command::Export);
    EXPECT_EQ(exportRun.options.input, QStringLiteral("in.txt"));
    EXPECT_EQ(exportRun.options.output, QStringLiteral("out.flac"));
    EXPECT_EQ(exportRun.options.rate, -5);
    EXPECT_EQ(exportRun.options.format, 30);
    EXPECT_TRUE(exportRun.options.subtitles && exportRun.options.asRead);

    const auto loop = parse("speak - --loop 3 --interval 10 --voice yue");
    ASSERT_TRUE(loop.error.isEmpty());
    EXPECT_EQ(loop.options.input, QStringLiteral("-"));
    EXPECT_EQ(loop.options.loop, 3);
    EXPECT_EQ(loop.options.interval, 10);
    EXPECT_EQ(loop.options.voice, QStringLiteral("yue"));
    EXPECT_EQ(parse("pieces -- -x").options.input, QStringLiteral("-x"));  // after "--", a name
    EXPECT_EQ(parse("export a --bogus --help").options.command, app::cli::Command::Help);

    const std::pair<const char*, const char*> refused[] = {
        {"bogus", "不明的指令：bogus"},
        {"speak", "speak 需要一個文字檔（或 - 代表標準輸入）"},
        {"speak a b", "多餘的參數：b"},
        {"speak a --format 3", "speak 不接受選項 --format"},
        {"speak a -x", "speak 不接受選項 -x"},
        {"speak a --rate", "選項 --rate 缺少值"},
        {"export a -o b --as-read=1", "選項 --as-read 不帶值"},
        {"speak a --volume 101", "--volume 須是 0 到 100 的整數：101"},
        {"speak a --interval 5", "--interval 只能與 --loop 一起使用"},
        {"export a", "export 需要 -o 輸出檔"},
        {"voices x", "多餘的參數：x"},
    };
    for (const auto& [line, message] : refused) EXPECT_EQ(parse(line).error, QString::fromUtf8(message)) << line;
}
