// The find panel's search over byte windows: what is found, where the selection goes, what
// is replaced, and the not-found messages.
#include "document/find_text.h"

#include <gtest/gtest.h>

using namespace sayvell;
using document::FindOptions;
using document::FindResult;

namespace {

text::ByteText T(const QString& s) { return text::ByteText(s); }

FindOptions opts(bool matchCase = false, bool whole = false, bool fromTop = false, bool upward = false) {
    return {matchCase, whole, fromTop, upward};
}

std::pair<int, int> sel(const FindResult& r) { return {r.selStart, r.selLength}; }

// The text after the result's edits, applied on the byte model.
QString applied(const QString& before, const FindResult& r) {
    text::ByteText t(before);
    QString out = before;
    for (size_t i = r.edits.size(); i-- > 0;) {
        const auto& e = r.edits[i];
        const qsizetype from = t.posOfByte(e.start);
        out.replace(from, t.posOfByte(e.start + e.length) - from, e.text);
    }
    return out;
}

}  // namespace

TEST(FindWindows, EveryOccurrenceUpTo26BytesIsFoundAcrossTheJointLongerOnesAreMissed) {
    const QString f26 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const QString f27 = f26 + u'!';
    // Ends exactly at the first window's last byte.
    EXPECT_EQ(document::findDownward(T(QString(224, u'x') + f26 + QString(40, u'x')), 0, f26, true, false), 224);
    // 27 bytes from byte 224 cross the joint: no window holds them, the next one is found.
    const QString twice = QString(224, u'x') + f27 + QString(100, u'x') + f27;
    EXPECT_EQ(document::findDownward(T(twice), 0, f27, true, false), 224 + 27 + 100);
    // One byte earlier the first window holds it.
    EXPECT_EQ(document::findDownward(T(QString(223, u'x') + f27), 0, f27, true, false), 223);
    // Windows count from the caret, not from the top.
    EXPECT_EQ(document::findDownward(T(QString(10 + 224, u'x') + f27 + QString(5, u'x')), 10, f27, true, false), -1);
    EXPECT_EQ(document::findDownward(T(QString(10 + 224, u'x') + f27 + QString(5, u'x')), 11, f27, true, false), 234);
}

TEST(FindWindows, FarOccurrencesAreFoundAtTheirBytePositionThroughSplitCharacters) {
    // Windows stepping 225 bytes over 2-byte characters start in the middle of one every
    // other time; nothing is found or lost because of it.
    const QString text = u'a' + QString(1000, QChar(0x4E2D)) + QStringLiteral("目標") + QString(301, QChar(0x4E2D));
    EXPECT_EQ(document::findDownward(T(text), 0, QStringLiteral("目標"), false, false), 2001);
    EXPECT_EQ(document::findUpward(T(text), text::byteLength(text), QStringLiteral("目標"), false, false), 2001);
    EXPECT_EQ(document::findDownward(T(text), 2002, QStringLiteral("目標"), false, false), -1);
    EXPECT_EQ(document::findDownward(T(text), 0, QStringLiteral("中目"), false, false), 1999);
}

TEST(FindWindows, WholeEntryNeedsBlanksOrLineBreaksOnBothSides) {
    const QString cat = QStringLiteral("cat");
    EXPECT_EQ(document::findDownward(T("cat dog"), 0, cat, false, true), 0);     // start of the text
    EXPECT_EQ(document::findDownward(T("dog cat"), 0, cat, false, true), 4);     // end of the text
    EXPECT_EQ(document::findDownward(T("cat, cat."), 0, cat, false, true), -1);  // punctuation
    EXPECT_EQ(document::findDownward(T("cat, cat"), 0, cat, false, true), 5);
    EXPECT_EQ(document::findDownward(T("concat cats cat"), 0, cat, false, true), 12);
    // Line breaks count 2 bytes; a line of its own is whole.
    EXPECT_EQ(document::findDownward(T("x\ncat\ny"), 0, cat, false, true), 3);
    EXPECT_EQ(document::findUpward(T("cat\nxcat\ncat x"), 14, cat, false, true), 11);
    EXPECT_EQ(document::findUpward(T("cat\nxcat\ncat x"), 11, cat, false, true), 0);
    // A window edge cuts "catfish" right after "cat": the filler blank makes it whole there.
    const QString edge = QString(246, u'y') + QStringLiteral(" catfish");
    EXPECT_EQ(document::findDownward(T(edge), 0, cat, false, true), 247);
    EXPECT_EQ(document::findDownward(T(edge), 1, cat, false, true), -1);
}

TEST(FindWindows, CaseFoldingTouchesOnlyAtoZ) {
    EXPECT_EQ(document::findDownward(T("Hello HELLO"), 0, "hello", false, false), 0);
    EXPECT_EQ(document::findDownward(T("HELLO hello"), 0, "hello", true, false), 6);
    EXPECT_EQ(document::findDownward(T(QStringLiteral("ＡＢab")), 0, QStringLiteral("ａｂ"), false, false), -1);
    EXPECT_EQ(document::findDownward(T(QStringLiteral("ÀB àb")), 0, QStringLiteral("àb"), false, false), 4);
    EXPECT_EQ(document::foldCase(QStringLiteral("ÀBC中Z")), QStringLiteral("Àbc中z"));
}

TEST(FindWindows, OnlyWholeCharactersMatchAndFillerIsNotText) {
    // 許 is B3 5C in Big5: a backslash must not be found in its second byte.
    EXPECT_EQ(document::findDownward(T(QStringLiteral("許功蓋")), 0, QStringLiteral("\\"), false, false), -1);
    EXPECT_EQ(document::findDownward(T(QStringLiteral("中文測試，中文")), 2, QStringLiteral("中文"), false, false), 10);
    // Characters Big5 cannot hold count 2 bytes and match only themselves.
    EXPECT_EQ(document::findDownward(T(QStringLiteral("😀ab😀")), 0, QStringLiteral("ab"), false, false), 2);
    EXPECT_EQ(document::findDownward(T(QStringLiteral("x😀y😀")), 2, QStringLiteral("😀"), false, false), 4);
    // A search text with a blank at its edge matches only real blanks.
    EXPECT_EQ(document::findDownward(T("abc def"), 0, " abc", false, false), -1);
    EXPECT_EQ(document::findDownward(T("z abc"), 0, " abc", false, false), 1);
    EXPECT_EQ(document::findDownward(T("abc"), 0, "abc ", false, false), -1);
    EXPECT_EQ(document::findUpward(T("abc"), 3, " ", false, false), -1);
}

TEST(FindStep, DownwardSelectsConsecutiveOccurrencesThenLeavesTheCaretAfterTheLast) {
    const auto t = T("ab ab");
    FindResult r = document::findStep(t, 0, 0, "ab", {}, opts());
    EXPECT_TRUE(r.found);
    EXPECT_EQ(sel(r), std::make_pair(0, 2));
    r = document::findStep(t, 0, 2, "ab", {}, opts());
    EXPECT_EQ(sel(r), std::make_pair(3, 2));
    r = document::findStep(t, 3, 2, "ab", {}, opts());
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.notFoundMessage, QStringLiteral("\"ab\" 沒有找到。"));
    EXPECT_EQ(sel(r), std::make_pair(5, 0));
    // A selection that is not an occurrence stays when nothing is found.
    r = document::findStep(T("abc"), 1, 2, "zz", {}, opts());
    EXPECT_EQ(sel(r), std::make_pair(1, 2));
}

TEST(FindStep, UpwardWalksBackAndTheMessageHasNoBlank) {
    const auto t = T("ab ab ab");
    FindResult r = document::findStep(t, 8, 0, "AB", {}, opts(false, false, false, true));
    EXPECT_EQ(sel(r), std::make_pair(6, 2));
    r = document::findStep(t, 6, 2, "AB", {}, opts(false, false, false, true));
    EXPECT_EQ(sel(r), std::make_pair(3, 2));
    r = document::findStep(t, 3, 2, "AB", {}, opts(false, false, false, true));
    EXPECT_EQ(sel(r), std::make_pair(0, 2));
    r = document::findStep(t, 0, 2, "AB", {}, opts(false, false, false, true));
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.notFoundMessage, QStringLiteral("\"ab\"沒有找到。"));  // as compared: folded
    EXPECT_EQ(sel(r), std::make_pair(0, 2));
}

TEST(FindStep, FromTopActsFromTheStartAndUpwardFromTheTopFindsNothing) {
    const auto t = T("ab ab");
    EXPECT_EQ(sel(document::findStep(t, 5, 0, "ab", {}, opts(false, false, true))), std::make_pair(0, 2));
    const FindResult r = document::findStep(t, 3, 2, "ab", {}, opts(false, false, true, true));
    EXPECT_FALSE(r.found);
    EXPECT_EQ(sel(r), std::make_pair(0, 0));
}

TEST(FindStep, ReplaceActsOnlyOnASelectedOccurrenceIgnoringCase) {
    const QString text = QStringLiteral("one one one");
    // Nothing selected: the first click only selects.
    FindResult r = document::findStep(T(text), 0, 0, "one", "1", opts());
    EXPECT_TRUE(r.edits.empty());
    EXPECT_EQ(sel(r), std::make_pair(0, 3));
    // The second replaces it and selects the next one, in the changed text.
    r = document::findStep(T(text), 0, 3, "one", "1", opts());
    EXPECT_EQ(applied(text, r), QStringLiteral("1 one one"));
    EXPECT_EQ(sel(r), std::make_pair(2, 3));

    // Ignoring case, the replacement goes in in small letters.
    r = document::findStep(T("Cat cat"), 0, 3, "CAT", "DOG", opts());
    EXPECT_EQ(applied("Cat cat", r), QStringLiteral("dog cat"));
    EXPECT_EQ(sel(r), std::make_pair(4, 3));

    // A case-sensitive search does not find capitals, but a selected one is still replaced.
    EXPECT_FALSE(document::findStep(T("CAT"), 0, 0, "cat", "Dog", opts(true)).found);
    r = document::findStep(T("CAT"), 0, 3, "cat", "Dog", opts(true));
    EXPECT_EQ(applied("CAT", r), QStringLiteral("Dog"));
    EXPECT_FALSE(r.found);
    EXPECT_EQ(sel(r), std::make_pair(3, 0));  // caret after the inserted text
}

TEST(FindStep, ChineseReplacementCountsBytes) {
    const QString text = QStringLiteral("今天天氣很好，今天");
    const FindResult r = document::findStep(T(text), 0, 4, QStringLiteral("今天"), QStringLiteral("明日ab"), opts());
    EXPECT_EQ(applied(text, r), QStringLiteral("明日ab天氣很好，今天"));
    EXPECT_EQ(sel(r), std::make_pair(16, 4));  // 14 original bytes + 2 more for "明日ab"
}

TEST(ReplaceFollowing, ReplacesTheFiveThatFollowAndEndsWithTheMessage) {
    const QString text = QStringLiteral("x cat x cat x cat x cat x cat x");
    FindResult r = document::replaceFollowing(T(text), 0, 0, "cat", "dog", opts());
    EXPECT_EQ(r.edits.size(), 5u);
    EXPECT_EQ(applied(text, r), QStringLiteral("x dog x dog x dog x dog x dog x"));
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.notFoundMessage, QStringLiteral("\"cat\" 沒有找到。"));
    EXPECT_EQ(sel(r), std::make_pair(29, 0));
    // From the caret after the second, only the three that follow.
    r = document::replaceFollowing(T(text), 11, 0, "cat", "dog", opts());
    EXPECT_EQ(applied(text, r), QStringLiteral("x cat x cat x dog x dog x dog x"));
    // An empty replacement only walks to the end.
    r = document::replaceFollowing(T(text), 0, 0, "cat", {}, opts());
    EXPECT_TRUE(r.edits.empty());
    EXPECT_EQ(sel(r), std::make_pair(29, 0));
}

TEST(ReplaceFollowing, UpwardWithTheSearchTextInTheReplacementEnds) {
    const QString text = QStringLiteral("a b a b a");
    const FindResult r = document::replaceFollowing(T(text), 9, 0, "a", "aa", opts(false, false, false, true));
    EXPECT_EQ(applied(text, r), QStringLiteral("aa b aa b aa"));
    EXPECT_EQ(r.edits.size(), 3u);
    EXPECT_EQ(r.notFoundMessage, QStringLiteral("\"a\"沒有找到。"));
    EXPECT_EQ(sel(r), std::make_pair(2, 0));
    // Downward the run goes on after each replacement and ends too.
    const FindResult down = document::replaceFollowing(T(text), 0, 0, "a", "aa", opts());
    EXPECT_EQ(applied(text, down), QStringLiteral("aa b aa b aa"));
}

TEST(ReplaceFollowing, TenThousandInALongTextStayInOrder) {
    QString text;
    for (int i = 0; i < 10000; ++i) text += QStringLiteral("第%1句 needle。").arg(i);
    const FindResult r = document::replaceFollowing(T(text), 0, 0, "NEEDLE", "pin", opts());
    ASSERT_EQ(r.edits.size(), 10000u);
    for (size_t i = 1; i < r.edits.size(); ++i) ASSERT_LT(r.edits[i - 1].start, r.edits[i].start);
    QString expected = text;
    expected.replace(QStringLiteral("needle"), QStringLiteral("pin"));
    EXPECT_EQ(applied(text, r), expected);
}
