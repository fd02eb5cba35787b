#include "text/big5.h"
#include "text/byte_text.h"

#include <gtest/gtest.h>

using namespace sayvell::text;

TEST(TextModel, CountsAsciiOneChineseTwoLineBreakTwo) {
    EXPECT_EQ(byteLength(u"abc"), 3);
    EXPECT_EQ(byteLength(u"一，二。"), 8);
    EXPECT_EQ(byteLength(u"a\nb"), 4);
    EXPECT_EQ(byteLength(u"a\r\nb"), 4);
    EXPECT_EQ(byteLength(u"a\rb"), 3);
    EXPECT_EQ(byteLength(QStringLiteral("a") + kParagraphSeparator + QStringLiteral("b")), 4);
    // Not in Big5, still one character of two bytes, never dropped.
    EXPECT_EQ(byteLength(u"é😀"), 4);
    EXPECT_EQ(byteLength(u"𠀋"), 2);
}

TEST(TextModel, OffsetsRoundTripThroughMixedText) {
    QString s;
    for (int i = 0; i < 3000; ++i)
        s += (i % 7 == 0) ? QStringLiteral("\n") : (i % 3 ? QStringLiteral("中") : QStringLiteral("a"));
    s += QStringLiteral("😀z");
    ByteText t(s);
    int bytes = 0;
    for (qsizetype pos = 0; pos < s.size(); pos += charUnitsAt(s, pos)) {
        ASSERT_EQ(t.byteOfPos(pos), bytes) << pos;
        ASSERT_EQ(t.posOfByte(bytes), pos) << bytes;
        bytes += charBytesAt(s, pos);
    }
    EXPECT_EQ(t.byteLength(), bytes);
    EXPECT_EQ(t.posOfByte(bytes + 100), s.size());
}

TEST(TextModel, ByteInsideACharacterRoundsUpSoReadingAlwaysAdvances) {
    ByteText t(QStringLiteral("中文"));
    EXPECT_EQ(t.posOfByte(1), 1);
    EXPECT_EQ(t.posOfByte(3), 2);
}

TEST(TextModel, WindowHoldsWholeCharactersOnly) {
    // 499 ASCII bytes then a Chinese character: the 500-byte window stops before it.
    const QString s = QString(499, u'a') + QStringLiteral("中b");
    ByteText t(s);
    const QString w = t.window(0, 500);
    EXPECT_EQ(w.size(), 499);
    EXPECT_EQ(t.window(499, 500), QStringLiteral("中b"));
    // A line break is one two-byte character, written '\n'.
    ByteText lines(QStringLiteral("ab") + kParagraphSeparator + QStringLiteral("cd"));
    EXPECT_EQ(lines.window(0, 3), QStringLiteral("ab"));
    EXPECT_EQ(lines.window(0, 4), QStringLiteral("ab\n"));
    EXPECT_EQ(lines.window(2, 500), QStringLiteral("\ncd"));
}

TEST(TextModel, EditsKeepOffsetsRightAtTheStartAndTheEnd) {
    QString s;
    for (int i = 0; i < 5000; ++i) s += QStringLiteral("中a");
    ByteText t(s);
    EXPECT_EQ(t.byteLength(), 15000);
    t.replace(10, 0, u"一二");
    EXPECT_EQ(t.byteLength(), 15004);
    EXPECT_EQ(t.byteOfPos(t.size()), 15004);
    t.replace(t.size() - 1, 1, u"xyz");
    EXPECT_EQ(t.byteLength(), 15006);
    t.replace(0, 2, u"");  // "中a"
    EXPECT_EQ(t.byteLength(), 15003);
    EXPECT_EQ(t.window(0, 4), QStringLiteral("中a"));
    EXPECT_EQ(t.window(12, 4), QStringLiteral("一二"));
}

TEST(Big5, RoundTripsChineseAndMarksWhatItCannotHold) {
    const QString s = QStringLiteral("一，二。abc");
    bool lossless = false;
    const QByteArray b = toBig5(s, &lossless);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(b, QByteArray("\xa4\x40\xa1\x41\xa4\x47\xa1\x43"
                            "abc"));
    EXPECT_EQ(fromBig5(b), s);
    EXPECT_FALSE(fitsBig5(QStringLiteral("中😀")));
    EXPECT_EQ(toBig5(QStringLiteral("a😀b"), &lossless), QByteArray("a?b"));
    EXPECT_FALSE(lossless);
}

TEST(Big5, BinaryBytesDecodeWithoutLoss) {
    QByteArray junk;
    for (int i = 0; i < 256; ++i) junk.append(static_cast<char>(i));
    junk.append("\xa4\x40");  // a real character after the junk
    junk.append('\xa4');      // a lead byte cut off at the end
    const QString s = fromBig5(junk);
    // Fails when the codec cannot be opened, whatever the fallback.
    for (int i = 0; i < 128; ++i) ASSERT_EQ(s[i].unicode(), i);
    EXPECT_TRUE(s.endsWith(QStringLiteral("一\uFFFD")));
}
