// Seeds for the fuzzers: small, valid examples of each input, so that the fuzzers start from
// inputs that reach deep into the code instead of being refused at the first byte.
#include "reading/date_format.h"
#include "text/big5.h"
#include "text/charset.h"
#include "unit/zip_writer.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <vector>

using namespace sayvell;

namespace {

QString root;
int written = 0;

void seed(const char* target, const QByteArray& bytes) {
    QDir().mkpath(root + u'/' + QLatin1String(target));
    QFile f(QStringLiteral("%1/%2/seed%3").arg(root, QLatin1String(target)).arg(written++));
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray parts(std::initializer_list<QByteArray> list) {
    QByteArray out;
    for (const QByteArray& p : list) {
        if (!out.isEmpty() || &p != list.begin()) out += '\0';
        out += p;
    }
    return out;
}

QByteArray u8(const char16_t* s) { return QString::fromUtf16(s).toUtf8(); }

QByteArray wavTone() {
    QByteArray pcm;
    for (int i = 0; i < 800; ++i) {
        const qint16 v = qint16((i % 40 < 20) ? 8000 : -8000);
        pcm.append(reinterpret_cast<const char*>(&v), 2);
    }
    auto le32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    auto le16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
    return "RIFF" + le32(quint32(36 + pcm.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(8000) +
           le32(16000) + le16(2) + le16(16) + "data" + le32(quint32(pcm.size())) + pcm;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: fuzz_seeds <folder> [music files...]\n", stderr);
        return 2;
    }
    root = QString::fromLocal8Bit(argv[1]);
    const QString chinese = QStringLiteral("歡迎光臨！今日特價：蘋果每斤二十元，%Date% 開始。\r\n第二行※停頓");

    const QByteArray ini =
        text::toBig5(QStringLiteral("[System]\r\nPrompt_tone=1\r\ndefault_volume=40\r\nYinping=0x18\r\nReadtimes=$"
                                    "10\r\nMp3bj=\"/home/使用者/音樂\"\r\n"
                                    "F7=true\r\n[Memo]\r\nmemocolor=clTeal\r\nfontcolor=$00FF8000\r\nfontname="
                                    "細明體\r\nFontStyle=[fsBold,fsItalic]\r\n"
                                    "[Speaker]\r\nSpeaker=-1\r\nRate= 40 \r\n[Position]\r\nLastposi=12\r\nLine=3\r\n"));
    seed("fuzz_settings_file", "\x01" + parts({"System", "Readtimes", "0x10", ini}));
    seed("fuzz_settings_file",
         "\x01" + parts({"Memo", "fontsize", "-12", "\xEF\xBB\xBF" + u8(u"[Memo]\nfontname=新細明體\n")}));
    seed("fuzz_settings_file", QByteArray(1, 0) + parts({"Speaker", "Rate", "", "[Speaker\nRate=\nrate=5\n[]\n=x\n"}));

    seed("fuzz_big5_text", QByteArray("\x01\x02", 2) + text::toBig5(chinese));
    seed("fuzz_big5_text",
         QByteArray("\x00\x10", 2) + "ab\xA4\r\n\xFF\xA4\x40\x81\x30\x00z" + text::toBig5(chinese).left(9));

    seed("fuzz_find",
         parts({"\x10", u8(u"蘋果"), u8(u"香蕉"), chinese.toUtf8() + u8(u"\n蘋果 蘋果") + "\x01\x00\x00\x05"}));
    seed("fuzz_find", parts({"\x0B", "ab", "", "xx ab AB\nab\tab  ab"}));
    seed("fuzz_find", parts({"\x14", " ", "  ", u8(u"一 二  三\n 四 ")}));

    for (int type = 1; type <= reading::kDateFormatTypes; ++type)
        seed("fuzz_date_format", QByteArray(1, 0) + char(type + 2) + QByteArray(12, '\x05') +
                                     parts({reading::dateFormatPattern(type).toUtf8(), u8(u"現在是%Date%，%DATE%")}));
    seed("fuzz_date_format", QByteArray(14, '\x01') + parts({"'yy' \"m\" h:m:s hh:mm dddd mmmm tt z t", "%Date%"}));

    const QByteArray docxBody =
        u8(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document xmlns:w=\"http://schemas.openxmlformats.org/"
           u"wordprocessingml/2006/main\"><w:body><w:p><w:r><w:t>第一段</w:t><w:tab/><w:t xml:space=\"preserve\"> 文字 "
           u"</w:t><w:br/><w:t>&amp;&lt;</w:t></w:r></w:p><w:p><w:r><w:t>二</w:t></w:r></w:p></w:body></w:document>");
    seed("fuzz_word_reader", testing::makeZip({{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", docxBody}}));
    const QByteArray odtBody =
        u8(u"<?xml version=\"1.0\"?><office:document-content "
           u"xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           u"xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:text><text:p>第一段"
           u"<text:tab/>字<text:s text:c=\"3\"/>尾<text:line-break/>換行</text:p><text:h>標題</text:h></office:text>"
           u"</office:body></office:document-content>");
    seed("fuzz_word_reader",
         testing::makeZip({{"mimetype", "application/vnd.oasis.opendocument.text", false}, {"content.xml", odtBody}}));

    seed("fuzz_text_decoder", text::toBig5(chinese));
    seed("fuzz_text_decoder", "\xEF\xBB\xBF" + chinese.toUtf8());
    seed("fuzz_text_decoder", chinese.toUtf8().replace("\r\n", "\n"));
    seed("fuzz_text_decoder", QByteArray("a\0b\r\rc\xA4\x40\0", 9));
    seed("fuzz_text_decoder", text::encodeCharset("GB18030", QStringLiteral("各位顾客您好，欢迎光临。\r\n谢谢")));
    seed("fuzz_text_decoder", text::encodeCharset("BIG5-HKSCS", QStringLiteral("香港銅鑼灣嘅茶餐廳，啲嘢食好正。")));
    seed("fuzz_text_decoder", "\xFF\xFE" + text::encodeCharset("UTF-16LE", chinese));
    seed("fuzz_text_decoder", text::encodeCharset("UTF-16BE", chinese));
    seed("fuzz_text_decoder", "\xEF\xBB\xBF\xEF\xBB\xBF" + chinese.toUtf8());

    seed("fuzz_music_decoder", wavTone());
    for (int i = 2; i < argc; ++i) {
        QFile music(QString::fromLocal8Bit(argv[i]));
        if (music.open(QIODevice::ReadOnly)) seed("fuzz_music_decoder", music.read(256 * 1024));
    }

    for (const char16_t* piece : {u"2026-12-09 15:30，30%的折扣", u"電話 0912-345-678，1,299元", u"打8折，攝氏-5.5度",
                                  u"第2位，2位客人，共102人，3.14", u"21:30~22:00 12/25 1/2"})
        seed("fuzz_spoken_text", QByteArray(1, '\x00') + u8(piece));
    seed("fuzz_spoken_text", QByteArray(1, '\x02') + u8(u"銀行 100 號"));
    seed("fuzz_spoken_text",
         QByteArray(1, '\x01') + u8(u"\uFEFF詞語,讀音,語言\r\n銀行,yin2 hang2,cmn\r\n\"引號\"\"內\",\"a\nb\",yue\r\n"));
    std::printf("%d seeds in %s\n", written, argv[1]);
    return 0;
}
