// Where the media controls' Next and Previous take the reading: the piece boundaries a reading
// itself would cut, and paragraph starts.
#include "reading/piece_steps.h"
#include "text/byte_text.h"

#include <gtest/gtest.h>

using namespace sayvell;
using namespace sayvell::reading;

namespace {

DelimiterTable table() {
    struct Row {
        QString mark;
        int delayMs;
    };
    const std::vector<Row> rows{{QStringLiteral("。"), 600}, {QStringLiteral("，"), 300}, {QStringLiteral(","), 300}};
    return DelimiterTable::fromMarks(rows);
}

}  // namespace

TEST(PieceSteps, NextAndPreviousPiecesMeetTheBoundariesAReadingCuts) {
    // 甲。(0) 乙，(4) 丙。(8) \n丁。(12) 戊(18)
    const text::ByteText t(QStringLiteral("甲。乙，丙。\n丁。戊"));
    const auto lang = SpeechLanguage::Mandarin;
    EXPECT_EQ(pieceEnd(t, 0, table(), lang), 4);
    EXPECT_EQ(pieceEnd(t, 8, table(), lang), 12);
    EXPECT_EQ(pieceEnd(t, 12, table(), lang), 18);  // the line break goes with the piece after it
    EXPECT_EQ(pieceEnd(t, 18, table(), lang), 20);  // no delimiter: to the end
    EXPECT_EQ(pieceEnd(t, 20, table(), lang), 20);

    // Each step back lands on a boundary a reading cuts; within a paragraph, counted from
    // the paragraph's first character.
    EXPECT_EQ(previousPieceStart(t, 8, table(), lang), 4);
    EXPECT_EQ(previousPieceStart(t, 4, table(), lang), 0);
    EXPECT_EQ(previousPieceStart(t, 0, table(), lang), 0);
    EXPECT_EQ(previousPieceStart(t, 18, table(), lang), 14);
    // From a paragraph's first piece, back across the line break into the paragraph before;
    // a reading started at the line's first character steps back past the bare line break.
    EXPECT_EQ(previousPieceStart(t, 12, table(), lang), 8);
    EXPECT_EQ(previousPieceStart(t, 14, table(), lang), 8);

    // A digit's comma is no boundary for a Chinese voice, as when reading.
    const text::ByteText price(QStringLiteral("共1,299元。好"));
    EXPECT_EQ(pieceEnd(price, 0, table(), lang), 11);
    EXPECT_EQ(previousPieceStart(price, 11, table(), lang), 0);
}

TEST(PieceSteps, ParagraphsStepForwardAndBack) {
    // 一二 (0) \n (4) 三 (6) \n (8) \n (10) 四 (12)
    const text::ByteText t(QStringLiteral("一二\n三\n\n四"));
    EXPECT_EQ(nextParagraphStart(t, 0), 6);
    EXPECT_EQ(nextParagraphStart(t, 2), 6);
    EXPECT_EQ(nextParagraphStart(t, 6), 10);
    EXPECT_EQ(nextParagraphStart(t, 10), 12);
    EXPECT_EQ(nextParagraphStart(t, 12), -1);
    EXPECT_EQ(previousParagraphStart(t, 13), 12);  // inside: to its own start
    EXPECT_EQ(previousParagraphStart(t, 12), 10);  // at its start: the one before
    EXPECT_EQ(previousParagraphStart(t, 6), 0);
    EXPECT_EQ(previousParagraphStart(t, 0), 0);
}
