// Word-processor files to text: .docx and .odt read by the program, others through a
// converter found on the machine (faked here by small scripts on a private search path).
#include "document/word_convert.h"
#include "unit/zip_writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace sayvell;
using sayvell::testing::makeDocx;
using sayvell::testing::makeOdt;
using sayvell::testing::makeZip;

namespace {

QString docxText(const QString& body) {
    QString text, error;
    EXPECT_TRUE(document::docxToText(makeDocx(body), &text, &error)) << error.toStdString();
    return text;
}

QString odtText(const QString& body) {
    QString text, error;
    EXPECT_TRUE(document::odtToText(makeOdt(body), &text, &error)) << error.toStdString();
    return text;
}

void writeFile(const QString& path, const QByteArray& bytes, bool executable = false) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    if (executable) f.setPermissions(f.permissions() | QFile::ExeOwner);
}

}  // namespace

TEST(WordConvert, DocxParagraphsBecomeLinesWithTabsAndBreaks) {
    EXPECT_EQ(docxText(QStringLiteral(
                  "<w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/></w:tabs></w:pPr>"
                  "<w:r><w:t>第一段</w:t></w:r><w:r><w:tab/><w:t xml:space=\"preserve\">有 Tab </w:t></w:r></w:p>"
                  "<w:p/>"
                  "<w:p><w:r><w:t>換</w:t><w:br/><w:t>行</w:t></w:r>"
                  "<w:r><w:instrText>PAGE</w:instrText></w:r><w:del><w:r><w:delText>刪</w:delText></w:r></w:del></w:p>"
                  "<w:p><w:r><mc:AlternateContent><mc:Choice><w:t>框</w:t></mc:Choice>"
                  "<mc:Fallback><w:t>框</w:t></mc:Fallback></mc:AlternateContent></w:r></w:p>")),
              QStringLiteral("第一段\t有 Tab \n\n換\n行\n框"));
}

TEST(WordConvert, OdtParagraphsSpacesAndNotesOfTheBodyOnly) {
    EXPECT_EQ(odtText(QStringLiteral("<text:h>標題</text:h>"
                                     "<text:p>a<text:s text:c=\"3\"/>b<text:tab/>c<text:line-break/>d</text:p>"
                                     "<text:p>  collapsed \n  blanks  <text:span>span</text:span></text:p>"
                                     "<text:list><text:list-item><text:p>項目</text:p></text:list-item></text:list>"
                                     "<text:p>注<text:note><text:note-citation>1</text:note-citation>"
                                     "<text:note-body><text:p>腳注</text:p></text:note-body></text:note>。</text:p>")),
              QStringLiteral("標題\na   b\tc\nd\ncollapsed blanks span\n項目\n注。"));
}

TEST(WordConvert, DamagedArchivesAreRefusedWithAReason) {
    QString text, error;
    const QByteArray good = makeDocx(QStringLiteral("<w:p><w:r><w:t>好</w:t></w:r></w:p>"));
    ASSERT_TRUE(document::docxToText(good, &text, &error));

    const QString notAnArchive = QStringLiteral("不是有效的文書處理文件");
    const QString damaged = QStringLiteral("文件已損壞");
    EXPECT_FALSE(document::docxToText("not a zip at all", &text, &error));
    EXPECT_EQ(error, notAnArchive);
    // Truncated, then one byte of the compressed XML changed (the CRC no longer holds).
    EXPECT_FALSE(document::docxToText(good.left(good.size() / 2), &text, &error));
    EXPECT_EQ(error, notAnArchive);
    QByteArray flipped = good;
    const qsizetype at = flipped.indexOf("word/document.xml") + 20;
    flipped[at] = char(flipped[at] ^ 0x55);
    EXPECT_FALSE(document::docxToText(flipped, &text, &error));
    EXPECT_EQ(error, damaged);
    // A stored entry is checked against its CRC as well.
    QByteArray storedFlipped = good;
    const qsizetype types = storedFlipped.indexOf("<Types/>") + 1;
    storedFlipped[types] = 'X';
    QByteArray out;
    EXPECT_FALSE(document::ZipArchive(storedFlipped).read("[Content_Types].xml", &out, &error));
    EXPECT_EQ(error, damaged);
    // A zip without the document, and broken XML.
    EXPECT_FALSE(document::docxToText(makeZip({{"other.xml", "<a/>", false}}), &text, &error));
    EXPECT_TRUE(error.contains("word/document.xml"));
    EXPECT_FALSE(
        document::odtToText(makeZip({{"content.xml", "<office:document-content><unclosed>", true}}), &text, &error));
    EXPECT_EQ(text, QStringLiteral("好"));  // untouched by the failures
}

TEST(WordConvert, ZipEntriesStoredOrDeflatedReadBack) {
    const QByteArray big(300000, 'z');
    document::ZipArchive zip(makeZip({{"a.txt", "stored", false}, {"dir/b.bin", big, true}}));
    ASSERT_TRUE(zip.isValid());
    EXPECT_EQ(zip.names(), (QStringList{"a.txt", "dir/b.bin"}));
    QByteArray out;
    QString error;
    ASSERT_TRUE(zip.read("a.txt", &out, &error));
    EXPECT_EQ(out, QByteArray("stored"));
    ASSERT_TRUE(zip.read("dir/b.bin", &out, &error));
    EXPECT_EQ(out, big);
    EXPECT_FALSE(zip.read("dir/b.bin", &out, &error, 1000));  // over the size limit
}

TEST(WordConvert, OtherFilesGoThroughAToolFoundOnTheSearchPath) {
    QTemporaryDir tools, docs;
    const QString doc = docs.filePath("old.doc");
    writeFile(doc, "\xD0\xCF\x11\xE0 not really");
    const QByteArray before = [&] {
        QFile f(doc);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    QString text, error;

    // No tool at all: fails with a reason.
    document::SystemConverter none({tools.path()});
    EXPECT_FALSE(none.convert(doc, &text, &error));
    EXPECT_FALSE(error.isEmpty());

    // A fake antiword: its UTF-8 output is the text; the file is passed as an argument.
    writeFile(tools.filePath("antiword"), "#!/bin/sh\nprintf '第一行\\r\\n%s\\n' \"$(basename \"$3\")\"\n", true);
    document::SystemConverter withTool({tools.path()});
    ASSERT_TRUE(withTool.convert(doc, &text, &error)) << error.toStdString();
    EXPECT_EQ(text, QStringLiteral("第一行\nold.doc\n"));

    // A .docx read by the program needs no tool; a damaged one falls back to the tools (none
    // for .docx here) and fails.
    writeFile(docs.filePath("new.docx"), makeDocx(QStringLiteral("<w:p><w:r><w:t>docx</w:t></w:r></w:p>")));
    ASSERT_TRUE(none.convert(docs.filePath("new.docx"), &text, &error));
    EXPECT_EQ(text, QStringLiteral("docx"));
    writeFile(docs.filePath("bad.docx"), "PK\x03\x04 damaged");
    EXPECT_FALSE(none.convert(docs.filePath("bad.docx"), &text, &error));

    // A tool that fails or hangs past the time limit is a failed conversion.
    writeFile(tools.filePath("antiword"), "#!/bin/sh\necho broken >&2\nexit 3\n", true);
    EXPECT_FALSE(withTool.convert(doc, &text, &error));
    writeFile(tools.filePath("antiword"), "#!/bin/sh\nexec sleep 30\n", true);
    document::SystemConverter hurried({tools.path()}, 300);
    EXPECT_FALSE(hurried.convert(doc, &text, &error));
    EXPECT_TRUE(error.contains("antiword"));

    // The user's file is only read.
    QFile f(doc);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QDir(docs.path()).entryList(QDir::Files), (QStringList{"bad.docx", "new.docx", "old.doc"}));
}
