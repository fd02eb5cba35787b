// The reading worker against a fake editor, engine and clock.
#include "reading/piece_cutter.h"
#include "reading/reading_dictionary.h"
#include "reading/tts.h"
#include "support/fakes.h"
#include "text/byte_text.h"

#include <gtest/gtest.h>

using namespace sayvell;
using namespace sayvell::reading;
using sayvell::testing::FakeClock;
using sayvell::testing::FakeEditor;
using sayvell::testing::FakeSpeechEngine;

namespace {

DelimiterTable table() {
    DelimiterTable t;
    t.marks = {QStringLiteral("，"), QStringLiteral("。"), QStringLiteral(","), QStringLiteral("xy")};
    t.delays = {200, 600, 150, 50};
    return t;
}

struct Rig {
    ReadingState state;
    FakeEditor editor;
    FakeClock clock;
    FakeSpeechEngine engine{&editor, &clock};
    TtsRunner runner{state, editor, engine, clock};

    explicit Rig(const QString& text) {
        editor.setText(text);
        state.setDelimiterTable(table());
        state.symbolDelayMs = 800;
    }
    void startSingle(int caret) {
        editor.setSelection(caret, 0);
        state.beginRun();
        runner.start({caret, 0});
    }
    void startRange(int start, int length) {
        editor.setSelection(start, length);
        state.beginRun();
        runner.start({start, length, {}, RunMode::Range});
    }
};

}  // namespace

TEST(PieceCutter, CutsAtTheFirstDelimiterWithItsPause) {
    const Piece p = cutPiece(u"一，二。", table());
    EXPECT_EQ(p.text, QStringLiteral("一，"));
    EXPECT_EQ(p.delayMs, 200);
    // The full-width comma is A1 41 in Big5; the letter A is no delimiter.
    EXPECT_EQ(cutPiece(u"AAA。", table()).text, QStringLiteral("AAA。"));
    // A character held in a longer mark is a delimiter with that row's pause.
    EXPECT_EQ(cutPiece(u"abcxdef", table()).delayMs, 50);
    const Piece none = cutPiece(u"no marks here", table());
    EXPECT_EQ(none.text, QStringLiteral("no marks here"));
    EXPECT_EQ(none.delayMs, 0);
    EXPECT_EQ(cutPiece(u"abc", DelimiterTable{}).text, QStringLiteral("abc"));
}

TEST(Tts, ReadsTwoClausesAsTwoSelectedPiecesEachWithItsPause) {
    Rig rig(QStringLiteral("一，二。"));
    rig.startSingle(0);
    ASSERT_TRUE(rig.runner.waitIdle(5000));
    const auto spoken = rig.engine.spoken();
    ASSERT_EQ(spoken.size(), 2u);
    EXPECT_EQ(spoken[0].text, QStringLiteral("一，"));
    EXPECT_EQ(spoken[0].selStart, 0);
    EXPECT_EQ(spoken[0].selLength, 4);
    EXPECT_EQ(spoken[1].text, QStringLiteral("二。"));
    EXPECT_EQ(spoken[1].selStart, 4);
    EXPECT_EQ(spoken[1].selLength, 4);
    EXPECT_EQ(spoken[0].flags, SpeechEngine::PurgeBeforeSpeak);
    EXPECT_EQ(rig.clock.sleeps(), (std::vector<int>{200, 600}));
    EXPECT_FALSE(rig.state.readingActive.load());
    EXPECT_EQ(rig.editor.finishedCount(), 1);
    EXPECT_EQ(rig.editor.selStartNow(), 8);
}

TEST(Tts, StartsAtTheCaretAndEndsOnTrailingBlankLines) {
    Rig rig(QStringLiteral("甲。乙。丙。\n\n\n   \n"));
    rig.startSingle(4);
    ASSERT_TRUE(rig.runner.waitIdle(5000));
    EXPECT_EQ(rig.engine.texts(), (QStringList{"乙。", "丙。"}));
    EXPECT_EQ(rig.editor.finishedCount(), 1);
}

TEST(Tts, DelaySymbolWaitsOnceAndIsNotSpoken) {
    Rig rig(QStringLiteral("請※稍※候。"));
    rig.startSingle(0);
    ASSERT_TRUE(rig.runner.waitIdle(5000));
    EXPECT_EQ(rig.engine.texts(), QStringList{"請稍候。"});
    EXPECT_EQ(rig.clock.sleeps(), (std::vector<int>{800, 600}));
}

TEST(Tts, DateTokenIsReplacedOnlyInTheSpokenCopy) {
    Rig rig(QStringLiteral("今天是%Date%。%date%。"));
    rig.runner.setDateSubstitution([](const QString& piece, int type, const QDateTime& now) {
        QString out = piece;
        if (piece.contains(QStringLiteral("%Date%")))
            out.replace(QStringLiteral("%Date%"), QString::number(type) + now.toString("hh"), Qt::CaseInsensitive);
        return out;
    });
    rig.state.dateFormatType = 5;
    rig.startSingle(0);
    ASSERT_TRUE(rig.runner.waitIdle(5000));
    EXPECT_EQ(rig.engine.texts(), (QStringList{"今天是509。", "%date%。"}));
    EXPECT_TRUE(rig.editor.text().contains(QStringLiteral("%Date%")));
}

TEST(Tts, TextWithoutDelimitersIsReadInWindowsOfWholeCharacters) {
    const QString text = QString(499, u'a') + QString(10, u'中');
    Rig rig(text);
    rig.startSingle(0);
    ASSERT_TRUE(rig.runner.waitIdle(5000));
    const auto spoken = rig.engine.spoken();
    ASSERT_EQ(spoken.size(), 2u);
    EXPECT_EQ(spoken[0].text.size(), 499);
    EXPECT_EQ(spoken[1].text, QString(10, u'中'));
    EXPECT_EQ(spoken[1].selStart, 499);
    EXPECT_EQ(rig.editor.selStartNow(), 519);
}

TEST(Tts, ScrollsOneLineWhenReadingMovesToANewLine) {
    Rig rig(QStringLiteral("一。\n二。\n三。\n四。"));
    rig.startSingle(0);
    ASSERT_TRUE(rig.runner.waitIdle(5000));
    EXPECT_EQ(rig.engine.texts(), (QStringList{"一。", "\n二。", "\n三。", "\n四。"}));
    EXPECT_EQ(rig.editor.scrolls(), 1);
}

TEST(Tts, StopEndsTheRunAfterTheCurrentPiece) {
    Rig rig(QStringLiteral("一，二，三。"));
    rig.engine.hold();
    rig.startSingle(0);
    ASSERT_TRUE(rig.engine.waitSpoken(1));
    rig.runner.requestStop();
    rig.engine.release();
    ASSERT_TRUE(rig.runner.waitIdle(5000));
    EXPECT_EQ(rig.engine.texts(), QStringList{"一，"});
    // The piece's pause is still kept and the caret stands after the spoken piece.
    EXPECT_EQ(rig.clock.sleeps(), std::vector<int>{200});
    EXPECT_EQ(rig.editor.selStartNow(), 4);
    EXPECT_FALSE(rig.state.readingActive.load());
}

TEST(Tts, StopThenStartNeverOverlapsAndBeginsWhereTheNewCommandPutTheCaret) {
    Rig rig(QStringLiteral("一，二，三，四。"));
    rig.engine.hold();
    rig.startSingle(4);  // from 二
    ASSERT_TRUE(rig.engine.waitSpoken(1));
    rig.runner.requestStop();
    rig.startSingle(0);  // F7: from the top
    rig.engine.release();
    ASSERT_TRUE(rig.runner.waitIdle(5000));
    EXPECT_EQ(rig.engine.texts(), (QStringList{"二，", "一，", "二，", "三，", "四。"}));
    EXPECT_EQ(rig.engine.spoken()[1].selStart, 0);
    // Only the surviving run re-enabled the controls.
    EXPECT_EQ(rig.editor.finishedCount(), 1);
}

TEST(Tts, SkipToCutsThePieceBeingSpokenAndItsPauseAndTheReadingGoesOnAsOne) {
    Rig rig(QStringLiteral("一，二，三，四。"));
    rig.engine.hold();  // every piece is spoken until it is cut
    rig.startSingle(0);
    ASSERT_TRUE(rig.engine.waitSpoken(1));
    rig.runner.skipTo({8, 0});  // on to 三 while 一 is spoken
    ASSERT_TRUE(rig.engine.waitSpoken(2));
    rig.runner.skipTo({4, 0});  // back to 二 while 三 is spoken
    ASSERT_TRUE(rig.engine.waitSpoken(3));
    rig.engine.release();
    ASSERT_TRUE(rig.runner.waitIdle(5000));
    const auto spoken = rig.engine.spoken();
    ASSERT_EQ(rig.engine.texts(), (QStringList{"一，", "三，", "二，", "三，", "四。"}));
    EXPECT_EQ(spoken[1].selStart, 8);
    EXPECT_EQ(spoken[2].selStart, 4);
    // The cut pieces keep no pause; the reading ends once, at the end of the text.
    EXPECT_EQ(rig.clock.sleeps(), (std::vector<int>{200, 200, 600}));
    EXPECT_EQ(rig.editor.finishedCount(), 1);
    EXPECT_FALSE(rig.state.readingActive.load());
}

TEST(Tts, RangeModeReadsTheCapturedSelectionAndIgnoresEdits) {
    Rig rig(QStringLiteral("前。一，二。後。"));
    rig.engine.hold();
    rig.startRange(4, 8);
    ASSERT_TRUE(rig.engine.waitSpoken(1));
    rig.editor.setText(QStringLiteral("完全不同的文字。"));
    rig.engine.release();
    ASSERT_TRUE(rig.runner.waitIdle(5000));
    const auto spoken = rig.engine.spoken();
    ASSERT_EQ(spoken.size(), 2u);
    EXPECT_EQ(spoken[0].text, QStringLiteral("一，"));
    EXPECT_EQ(spoken[0].selStart, 4);
    EXPECT_EQ(spoken[0].selLength, 4);
    EXPECT_EQ(spoken[1].text, QStringLiteral("二。"));
    EXPECT_FALSE(rig.state.readingActive.load());
    EXPECT_EQ(rig.editor.finishedCount(), 0);  // a loop pass leaves the controls to the loop
    EXPECT_TRUE(rig.state.lastRunEndTime().isValid());
}

TEST(Tts, ShutdownCutsAHeldPieceShort) {
    Rig rig(QStringLiteral("一，二。"));
    rig.engine.hold();
    rig.startSingle(0);
    ASSERT_TRUE(rig.engine.waitSpoken(1));
    rig.runner.shutdown();
    EXPECT_FALSE(rig.runner.busy());
    EXPECT_EQ(rig.engine.texts(), QStringList{"一，"});
}

TEST(Tts, ChineseVoiceHearsNumbersAndTableReadingsWhileTheWrittenPieceIsSelected) {
    ReadingState state;
    FakeEditor editor;
    FakeClock clock;
    FakeSpeechEngine engine{&editor, &clock};
    TtsRunner runner{state, editor, engine, clock};
    DelimiterTable marks;
    marks.marks = {QStringLiteral("，"), QStringLiteral(":"), QStringLiteral(","), QStringLiteral("。")};
    marks.delays = {250, 300, 250, 600};
    state.setDelimiterTable(marks);
    auto lexicon = std::make_shared<const PronunciationLexicon>(
        std::vector<PronunciationEntry>{{QStringLiteral("銀行"), QStringLiteral("yin2 hang2"), QStringLiteral("cmn")}});
    runner.setLexiconSource([lexicon] { return lexicon; });

    const QString text = QStringLiteral("21:30打烊，去銀行付NT$1,299。");
    editor.setText(text);
    auto run = [&](const QString& voice) {
        editor.setSelection(0, 0);
        state.beginRun();
        runner.start({0, 0, voice});
        return runner.waitIdle(5000);
    };
    ASSERT_TRUE(run(QStringLiteral("cmn-latn-pinyin+f3")));
    auto spoken = engine.spoken();
    ASSERT_EQ(spoken.size(), 2u);
    // The colon and the grouping comma between digits do not cut the piece.
    EXPECT_EQ(spoken[0].text, QStringLiteral("二十一點三十分打烊，"));
    EXPECT_EQ(spoken[0].selStart, 0);
    EXPECT_EQ(spoken[0].selLength, 11);  // "21:30打烊，" as written
    // 一 before 千 takes the fourth tone where the build delivered the readings of words.
    const QString thousand = ReadingDictionary::installed() ? QStringLiteral(" yi4 千") : QStringLiteral("一千");
    EXPECT_EQ(spoken[1].text, QStringLiteral("去 yin2 hang2 付新台幣%1二百九十九元。").arg(thousand));
    EXPECT_EQ(spoken[1].selStart, 11);
    EXPECT_EQ(spoken[1].selLength, text::byteLength(u"去銀行付NT$1,299。"));
    EXPECT_EQ(clock.sleeps(), (std::vector<int>{250, 600}));
    EXPECT_EQ(editor.text(), text);

    // Another language's voice gets the text as written, cut at every mark.
    ASSERT_TRUE(run(QStringLiteral("en-us")));
    spoken = engine.spoken();
    ASSERT_GE(spoken.size(), 3u);
    EXPECT_EQ(spoken[2].text, QStringLiteral("21:"));
}
