// Plain-text documents: which encoding a file is read in, that writing it back gives the same
// bytes, and that a failed write leaves the old file alone.
#include "document/text_file.h"
#include "text/big5.h"
#include "text/byte_text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace sayvell;
using document::Encoding;

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

    // One bad sequence in otherwise UTF-8 text: the file is not UTF-8 (a cut-off character at
    // the very end included); behind a BOM it stays UTF-8 and is flagged.
    EXPECT_EQ(document::decodeText(QStringLiteral("中文").toUtf8() + "\xC0\xAF").format.encoding, Encoding::Big5);
    EXPECT_EQ(document::decodeText(QStringLiteral("中文").toUtf8() + "\xE4\xB8").format.encoding, Encoding::Big5);
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
    // NUL and other control bytes of a binary file survive.
    const QByteArray binary("ab\0\x01\x1F" "cd\t\r\n", 10);
    EXPECT_EQ(roundTrip(binary), binary);
    // Big5 is written with CR LF whatever the file had.
    EXPECT_EQ(roundTrip(text::toBig5(QStringLiteral("甲\n乙"))), text::toBig5(QStringLiteral("甲\r\n乙")));
}

TEST(TextFile, BytesThatAreNotBig5AreFlaggedAndBig5NeverReplacesACharacter) {
    const document::DecodedText d = document::decodeText(QByteArray("ok\xFF\x80 end"));
    EXPECT_TRUE(d.undecodable);
    EXPECT_TRUE(d.text.startsWith(QStringLiteral("ok")));
    EXPECT_TRUE(d.text.endsWith(QStringLiteral(" end")));

    QByteArray out = "untouched";
    EXPECT_FALSE(document::encodeText(QStringLiteral("中文 😀 ü"), {Encoding::Big5, true}, &out));
    EXPECT_EQ(out, QByteArray("untouched"));
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
