#include "document/text_encoding.h"

#include "text/charset.h"

#include <uchardet.h>

#include <bitset>
#include <memory>

namespace sayvell::document {

namespace {

struct Named {
    Encoding encoding;
    const char* shown;
    std::initializer_list<const char*> names;
};

const Named kNamed[] = {
    {Encoding::Big5, "Big5", {"big5", "cp950"}},
    {Encoding::Big5Hkscs, "Big5-HKSCS", {"big5-hkscs", "big5hkscs"}},
    {Encoding::Gb18030, "GB18030", {"gb18030", "gbk", "gb2312", "cp936"}},
    {Encoding::Utf8, "UTF-8", {"utf-8", "utf8"}},
    {Encoding::Utf8Bom, "UTF-8 BOM", {"utf-8-bom", "utf8-bom", "utf8bom"}},
    {Encoding::Utf16Le, "UTF-16LE", {"utf-16le", "utf16le"}},
    {Encoding::Utf16Be, "UTF-16BE", {"utf-16be", "utf16be"}},
};

// Enough for the detector to make up its mind; unsure, it would spend 0.2 s on a megabyte.
constexpr qsizetype kGuessBytes = 64 * 1024;

}  // namespace

QString encodingName(Encoding encoding) {
    for (const Named& n : kNamed)
        if (n.encoding == encoding) return QString::fromLatin1(n.shown);
    return {};
}

std::optional<Encoding> encodingFromName(const QString& name) {
    const QString wanted = name.trimmed().toLower();
    for (const Named& n : kNamed)
        for (const char* candidate : n.names)
            if (wanted == QLatin1String(candidate)) return n.encoding;
    return std::nullopt;
}

QString encodingKey(Encoding encoding) {
    for (const Named& n : kNamed)
        if (n.encoding == encoding) return QString::fromLatin1(*n.names.begin());
    return {};
}

QString knownEncodingNames() {
    QStringList names;
    for (const Named& n : kNamed) names << QString::fromLatin1(*n.names.begin());
    return names.join(QStringLiteral(", "));
}

QList<Encoding> choosableEncodings() {
    return {Encoding::Big5, Encoding::Big5Hkscs, Encoding::Gb18030,
            Encoding::Utf8, Encoding::Utf16Le,   Encoding::Utf16Be};
}

namespace {

// Every character of the first level of Big5 (A440..C67E) and of GB2312 (B0A1..D7F9).
std::bitset<0x10000> makeCommonChinese() {
    std::bitset<0x10000> common;
    auto mark = [&common](const char* charset, int leadFrom, int leadTo, bool lowTrails) {
        QByteArray codes;
        for (int lead = leadFrom; lead <= leadTo; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if ((trail > 0x7E && trail < 0xA1) || (!lowTrails && trail < 0xA1)) continue;
                codes.append(char(lead)).append(char(trail));
            }
        }
        for (const QChar c : text::decodeCharset(charset, codes))
            if (c.unicode() >= 0x3400 && c != QChar(QChar::ReplacementCharacter)) common.set(c.unicode());
    };
    mark("CP950", 0xA4, 0xC6, true);
    mark("GB18030", 0xB0, 0xD7, false);
    return common;
}

bool isChinese(char16_t u) { return (u >= 0x3400 && u < 0xA000) || (u >= 0xF900 && u < 0xFB00); }

}  // namespace

double commonChineseShare(QStringView text) {
    static const std::bitset<0x10000> common = makeCommonChinese();
    qsizetype counted = 0, frequent = 0, chinese = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // ASCII and punctuation say nothing; kana, Cyrillic, box drawing count against.
        if (u < 0x80 || (u >= 0x2000 && u < 0x2070) || (u >= 0x3000 && u < 0x3040) || (u >= 0xFF00 && u < 0xFFF0))
            continue;
        ++counted;
        chinese += isChinese(u);
        frequent += common.test(u);
        if (counted == 4096) break;
    }
    return chinese ? double(frequent) / double(counted) : 0.0;
}

std::optional<Encoding> guessEncoding(const QByteArray& bytes) {
    std::unique_ptr<uchardet, decltype(&uchardet_delete)> detector(uchardet_new(), &uchardet_delete);
    if (!detector) return std::nullopt;
    const qsizetype n = std::min(bytes.size(), kGuessBytes);
    if (uchardet_handle_data(detector.get(), bytes.constData(), static_cast<size_t>(n)) != 0) return std::nullopt;
    uchardet_data_end(detector.get());
    const QByteArray charset = QByteArray(uchardet_get_charset(detector.get())).toUpper();
    if (charset == "GB18030" || charset == "GB2312" || charset == "GBK" || charset == "HZ-GB-2312")
        return Encoding::Gb18030;
    if (charset == "BIG5") return Encoding::Big5;
    if (charset == "BIG5-HKSCS") return Encoding::Big5Hkscs;
    if (charset == "UTF-8") return Encoding::Utf8;
    if (charset == "UTF-16LE") return Encoding::Utf16Le;
    if (charset == "UTF-16BE") return Encoding::Utf16Be;
    return std::nullopt;
}

}  // namespace sayvell::document
