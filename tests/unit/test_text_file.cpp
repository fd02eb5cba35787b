// Plain-text documents: which encoding a file is read in, that writing it back gives the same
// bytes, and that a failed write leaves the old file alone.
#include "document/text_file.h"
#include "support/iconv_fixture.h"
#include "text/big5.h"
#include "text/byte_text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace sayvell;
using document::Encoding;
using sayvell::testing::iconvBytes;

namespace {

// What the editor hands back: line breaks as paragraph separators.
QString asEditorHolds(QString s) {
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    s.replace(u'\n', text::kParagraphSeparator);
    return s;
}

QByteArray roundTrip(const QByteArray& file) {
    const document::DecodedText d = document::decodeText(file);
    QByteArray out;
    EXPECT_TRUE(document::encodeText(asEditorHolds(d.text), d.format, &out));
    return out;
}

}  // namespace

TEST(TextFile, EncodingIsTakenFromTheBytes) {
    const QByteArray big5 = text::toBig5(QStringLiteral("中文\r\n第二行"));
    document::DecodedText d = document::decodeText(big5);
    EXPECT_EQ(d.format.encoding, Encoding::Big5);
    EXPECT_EQ(d.text, QStringLiteral("中文\r\n第二行"));
    EXPECT_FALSE(d.undecodable);

    d = document::decodeText(QStringLiteral("中文\n").toUtf8());
    EXPECT_EQ(d.format, (document::TextFormat{Encoding::Utf8, false}));
    EXPECT_EQ(d.text, QStringLiteral("中文\n"));

    d = document::decodeText("\xEF\xBB\xBF" + QStringLiteral("abc\r\n").toUtf8());
    EXPECT_EQ(d.format, (document::TextFormat{Encoding::Utf8Bom, true}));
    EXPECT_EQ(d.text, QStringLiteral("abc\r\n"));

    // Plain ASCII is the same in both; it stays Big5 with CR LF.
    d = document::decodeText("plain\nascii");
    EXPECT_EQ(d.format, (document::TextFormat{Encoding::Big5, true}));

    // Overlong and surrogate forms are not UTF-8.
    EXPECT_FALSE(document::isValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(document::isValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(document::isValidUtf8("\xE4\xB8"));
    EXPECT_FALSE(document::isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_TRUE(document::isValidUtf8("\xF0\x9F\x98\x80"));

    // A bad sequence in otherwise UTF-8 text (a cut-off character at the very end included):
    // still UTF-8, the bad bytes flagged; behind a BOM too.
    for (const QByteArray& damage : {QByteArray("\xC0\xAF"), QByteArray("\xE4\xB8")}) {
        d = document::decodeText(QStringLiteral("歡迎光臨本店").toUtf8() + damage);
        EXPECT_EQ(d.format.encoding, Encoding::Utf8);
        EXPECT_TRUE(d.undecodable);
        EXPECT_TRUE(d.text.startsWith(QStringLiteral("歡迎光臨本店")));
    }
    d = document::decodeText("\xEF\xBB\xBF" + QStringLiteral("中文").toUtf8() + "\xE4\xB8");
    EXPECT_EQ(d.format.encoding, Encoding::Utf8Bom);
    EXPECT_TRUE(d.undecodable);
    EXPECT_TRUE(d.text.startsWith(QStringLiteral("中文")));
}

TEST(TextFile, FilesComeBackByteForByte) {
    const QByteArray big5 = text::toBig5(QStringLiteral("第一行，中文。\r\nsecond line\r\n\r\n最後"));
    EXPECT_EQ(roundTrip(big5), big5);
    const QByteArray big5End = big5 + "\r\n";
    EXPECT_EQ(roundTrip(big5End), big5End);
    const QByteArray utf8 = QStringLiteral("第一行 😀\nzweite Zeile ä\n").toUtf8();
    EXPECT_EQ(roundTrip(utf8), utf8);
    const QByteArray utf8Crlf = QStringLiteral("α\r\nβ").toUtf8();
    EXPECT_EQ(roundTrip(utf8Crlf), utf8Crlf);
    const QByteArray bom = "\xEF\xBB\xBF" + QStringLiteral("有 BOM\r\n的文字").toUtf8();
    EXPECT_EQ(roundTrip(bom), bom);
    const QByteArray twoBoms = "\xEF\xBB\xBF" + bom;  // the second is text
    EXPECT_EQ(roundTrip(twoBoms), twoBoms);
    // NUL and other control bytes of a binary file survive.
    const QByteArray binary(
        "ab\0\x01\x1F"
        "cd\t\r\n",
        10);
    EXPECT_EQ(roundTrip(binary), binary);
    // Big5 is written with CR LF whatever the file had.
    EXPECT_EQ(roundTrip(text::toBig5(QStringLiteral("甲\n乙"))), text::toBig5(QStringLiteral("甲\r\n乙")));
}

// Each encoding as another program writes it, short and long: found, read as written, and
// written back byte for byte. GBK is mostly valid Big5 too, so it is the one that matters.
TEST(TextFile, EveryCommonChineseEncodingIsFoundAndComesBackByteForByte) {
    const QString gbShort = QStringLiteral("各位顾客您好，欢迎光临");
    const QString gbLong = QStringLiteral(
                               "各位顾客您好，欢迎光临本店。今天所有商品八折优惠，会员再享九五折。\r\n"
                               "请注意安全，谢谢合作。营业时间到晚上十点。\r\n")
                               .repeated(40);
    const QString big5Short = QStringLiteral("各位顧客您好，歡迎光臨");
    const QString big5Long = QStringLiteral(
                                 "各位顧客您好，歡迎光臨本店。今天所有商品八折優惠，會員再享九五折。\r\n"
                                 "請注意安全，謝謝合作。營業時間到晚上十點。\r\n")
                                 .repeated(40);
    const QString hk = QStringLiteral("香港銅鑼灣嘅茶餐廳，啲嘢食好正，佢哋話聽日再嚟。");
    struct Case {
        QString text;
        QByteArray bytes;
        Encoding expected;
    };
    const Case cases[] = {
        {gbShort, iconvBytes(gbShort, "GBK"), Encoding::Gb18030},
        {gbLong, iconvBytes(gbLong, "GBK"), Encoding::Gb18030},
        {gbLong + QStringLiteral("𠀀"), iconvBytes(gbLong + QStringLiteral("𠀀"), "GB18030"), Encoding::Gb18030},
        {big5Short, iconvBytes(big5Short, "BIG5"), Encoding::Big5},
        {QStringLiteral("你好"), iconvBytes(QStringLiteral("你好"), "BIG5"), Encoding::Big5},  // the detector is unsure
        {big5Long, iconvBytes(big5Long, "CP950"), Encoding::Big5},
        {hk, iconvBytes(hk, "BIG5-HKSCS"), Encoding::Big5Hkscs},
        {big5Long, iconvBytes(big5Long, "UTF-8"), Encoding::Utf8},
        {big5Short, "\xFF\xFE" + iconvBytes(big5Short, "UTF-16LE"), Encoding::Utf16Le},
        {gbLong, "\xFE\xFF" + iconvBytes(gbLong, "UTF-16BE"), Encoding::Utf16Be},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.text.left(12)));
        ASSERT_FALSE(c.bytes.isEmpty());
        const document::DecodedText d = document::decodeText(c.bytes);
        EXPECT_EQ(document::encodingName(d.format.encoding), document::encodingName(c.expected));
        EXPECT_EQ(d.text, c.text);
        EXPECT_FALSE(d.undecodable);
        EXPECT_EQ(roundTrip(c.bytes), c.bytes);
    }
    // Single words, where the detector has no opinion: the reading of common Chinese wins. GBK
    // that happens to be valid UTF-8 (谢谢, 一楼) or that Big5-HKSCS takes too (请排队) included;
    // Big5 words stay Big5, UTF-8 Latin text stays UTF-8.
    for (const char* word : {"谢谢", "一楼", "请排队", "欢迎光临", "会员", "再见"}) {
        const QString text = QString::fromUtf8(word);
        const document::DecodedText gbk = document::decodeText(iconvBytes(text, "GBK"));
        EXPECT_EQ(gbk.text, text);
        EXPECT_EQ(gbk.format.encoding, Encoding::Gb18030) << word;
    }
    for (const char* word : {"謝謝", "一樓", "請排隊", "歡迎光臨", "會員", "再見", "出口", "公告", "今天"}) {
        const QString text = QString::fromUtf8(word);
        EXPECT_EQ(document::decodeText(iconvBytes(text, "BIG5")).text, text);
    }
    EXPECT_EQ(document::decodeText("caf\xC3\xA9").text, QStringLiteral("café"));
    EXPECT_EQ(document::decodeText(QStringLiteral("Привет").toUtf8()).text, QStringLiteral("Привет"));

    // UTF-16 without a mark is found too; it is written back with one, so others can read it.
    const QByteArray bare = iconvBytes(big5Long, "UTF-16LE");
    const document::DecodedText d = document::decodeText(bare);
    EXPECT_EQ(d.format.encoding, Encoding::Utf16Le);
    EXPECT_EQ(d.text, big5Long);
    EXPECT_EQ(roundTrip(bare), "\xFF\xFE" + bare);
}

// Whatever the bytes, the file is either written back exactly or flagged, so that saving asks
// first; and a file of two encodings reads right where most of it is.
TEST(TextFile, NothingIsLostSilentlyFromRandomOrMixedBytes) {
    std::mt19937 random(20261210);
    for (int size : {1, 2, 7, 64, 1000, 70000}) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& b : bytes) b = static_cast<char>(random());
        const document::DecodedText d = document::decodeText(bytes);
        QByteArray out;
        const bool encoded = document::encodeText(asEditorHolds(d.text), d.format, &out);
        EXPECT_TRUE(d.undecodable || (encoded && out == bytes)) << size << " random bytes";
    }
    const QString mostly = QStringLiteral("本店今天所有商品八折優惠，會員再享九五折。").repeated(10);
    const QByteArray mixed = mostly.toUtf8() + text::toBig5(QStringLiteral("舊的一行"));
    document::DecodedText d = document::decodeText(mixed);
    EXPECT_EQ(d.format.encoding, Encoding::Utf8);
    EXPECT_TRUE(d.undecodable);
    EXPECT_TRUE(d.text.startsWith(mostly));
    d = document::decodeText(text::toBig5(mostly) + QStringLiteral("新的一行").toUtf8());
    EXPECT_EQ(d.format.encoding, Encoding::Big5);
    EXPECT_TRUE(d.undecodable);
    EXPECT_TRUE(d.text.startsWith(mostly));
    // Chosen by the user: a BOM of that encoding is not text; the wrong choice is flagged.
    d = document::decodeTextAs("\xEF\xBB\xBF" + mostly.toUtf8(), Encoding::Utf8);
    EXPECT_EQ(d.format.encoding, Encoding::Utf8Bom);
    EXPECT_EQ(d.text, mostly);
    EXPECT_TRUE(document::decodeTextAs(mostly.toUtf8(), Encoding::Big5).undecodable);
    d = document::decodeTextAs(iconvBytes(mostly, "BIG5"), Encoding::Gb18030);
    EXPECT_EQ(d.format.encoding, Encoding::Gb18030);
    EXPECT_NE(d.text, mostly);
}

TEST(TextFile, EncodingNamesOfTheCommandLine) {
    EXPECT_EQ(document::encodingFromName("GBK"), Encoding::Gb18030);
    EXPECT_EQ(document::encodingFromName(" Big5-HKSCS "), Encoding::Big5Hkscs);
    EXPECT_EQ(document::encodingFromName("utf16be"), Encoding::Utf16Be);
    EXPECT_EQ(document::encodingFromName("latin-1"), std::nullopt);
    EXPECT_EQ(document::encodingFromName(""), std::nullopt);
    for (const Encoding e : document::choosableEncodings())
        EXPECT_EQ(document::encodingFromName(document::encodingName(e)), e) << qPrintable(document::encodingName(e));
}

TEST(TextFile, BytesThatAreNotBig5AreFlaggedAndBig5NeverReplacesACharacter) {
    const document::DecodedText d = document::decodeText(QByteArray("ok\xFF\x80 end"));
    EXPECT_TRUE(d.undecodable);
    EXPECT_TRUE(d.text.startsWith(QStringLiteral("ok")));
    EXPECT_TRUE(d.text.endsWith(QStringLiteral(" end")));

    QByteArray out = "untouched";
    EXPECT_FALSE(document::encodeText(QStringLiteral("中文 😀 ü"), {Encoding::Big5, true}, &out));
    EXPECT_EQ(out, QByteArray("untouched"));
    EXPECT_FALSE(document::encodeText(QStringLiteral("简体字 😀"), {Encoding::Big5Hkscs, true}, &out));
    EXPECT_EQ(out, QByteArray("untouched"));
    ASSERT_TRUE(document::encodeText(QStringLiteral("繁體 😀"), {Encoding::Gb18030, false}, &out));
    EXPECT_EQ(out, iconvBytes(QStringLiteral("繁體 😀"), "GB18030"));
    ASSERT_TRUE(document::encodeText(QStringLiteral("中文 😀\u2029ü"), {Encoding::Utf8Bom, true}, &out));
    EXPECT_EQ(out, "\xEF\xBB\xBF" + QStringLiteral("中文 😀\r\nü").toUtf8());
}

TEST(TextFile, NamesGetOneTxtExtensionAndWordProcessorFilesAreKnown) {
    EXPECT_EQ(document::withTxtExtension("/a/notes"), QStringLiteral("/a/notes.txt"));
    EXPECT_EQ(document::withTxtExtension("/a/notes.TXT"), QStringLiteral("/a/notes.TXT"));
    EXPECT_EQ(document::withTxtExtension("/a/notes.txt.bak"), QStringLiteral("/a/notes.txt.bak.txt"));
    EXPECT_TRUE(document::isWordProcessorFile("/a/b.DOCX"));
    EXPECT_TRUE(document::isWordProcessorFile("/a/b.rtf"));
    EXPECT_FALSE(document::isWordProcessorFile("/a/b.txt"));
}

TEST(TextFile, ReadingAndWritingFailuresKeepTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.txt");
    ASSERT_TRUE(document::writeFileSafely(path, "old", nullptr));
    QString error;
    // The folder of the target is a file: nothing can be written there.
    EXPECT_FALSE(document::writeFileSafely(dir.filePath("keep.txt/inner.txt"), "new", &error));
    EXPECT_FALSE(error.isEmpty());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.txt"});  // no temporary left

    document::DecodedText d;
    error.clear();
    EXPECT_FALSE(document::readTextFile(dir.filePath("gone.txt"), &d, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(document::readTextFile(dir.path(), &d, &error));  // a folder
}
