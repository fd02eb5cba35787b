#include "document/text_file.h"

#include "text/byte_text.h"
#include "text/charset.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace sayvell::document {

namespace {

bool beyondAscii(QByteArrayView bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Qt's decoder refuses overlongs, surrogates and anything above U+10FFFF; stateless, so a
// sequence cut off at the end is an error too. The caller drops a byte-order mark: a second one
// is text, kept so that it is written back.
QString fromUtf8(QByteArrayView bytes, bool* valid) {
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    *valid = !decoder.hasError();
    return text;
}

// Most files that are not UTF-8 show it in their first bytes: no need to decode 20 MB to see.
bool utf8FromTheStart(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);  // keeps a sequence cut at the end for later
    decoder.decode(bytes.first(std::min<qsizetype>(bytes.size(), 64 * 1024)));
    return !decoder.hasError();
}

QString fromUtf16(QByteArrayView bytes, bool bigEndian, bool* valid) {
    QStringDecoder decoder(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    *valid = !decoder.hasError() && bytes.size() % 2 == 0;
    if (bytes.size() % 2 != 0) text.append(QChar(QChar::ReplacementCharacter));
    return text;
}

const char* iconvName(Encoding encoding) {
    switch (encoding) {
    case Encoding::Big5Hkscs: return "BIG5-HKSCS";
    case Encoding::Gb18030: return "GB18030";
    default: return "CP950";
    }
}

// Control characters no text file holds: a code page that yields them was the wrong one.
bool strayControl(char16_t u) {
    return u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r' && u != u'\f' && u != u'\v' && u != 0x1A;
}

bool hasStrayControls(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return strayControl(c.unicode()); });
}

qsizetype nonAsciiCount(QStringView text) {
    return std::count_if(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x80; });
}

// UTF-16 without a mark: nearly every unit is ASCII, Chinese or punctuation. The same bytes
// read as UTF-16 of the other order, or any code page read as UTF-16, are far from it.
bool plausibleUtf16(QStringView text) {
    if (text.size() < 2) return false;
    const qsizetype good = std::count_if(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x20 && u < 0x7F) || u == u'\t' || u == u'\n' || u == u'\r' || (u >= 0x2000 && u < 0x2070) ||
               (u >= 0x3000 && u < 0x3040) || (u >= 0x4E00 && u < 0xA000) || (u >= 0xFF00 && u < 0xFFF0);
    });
    return good * 10 >= text.size() * 9;
}

DecodedText decoded(QString text, Encoding encoding, bool undecodable) {
    DecodedText out;
    bool crlf = true;
    if (encoding == Encoding::Utf8)
        crlf = text.contains(QStringLiteral("\r\n"));
    else if (encoding != Encoding::Big5)
        crlf = text.contains(QStringLiteral("\r\n")) || !text.contains(u'\n');
    out.format = {encoding, crlf};
    out.text = std::move(text);
    out.undecodable = undecodable;
    return out;
}

struct Attempt {
    QString text;
    qsizetype bad = -1;  // -1: not tried
    // No bad byte, no control code, no character of the user-defined areas (real text has next
    // to none, a wrong code page many). `cut`: the text is the start of a file; a character cut
    // off at its end does not count.
    bool clean(bool cut = false) const {
        const qsizetype allowed = cut && text.endsWith(QChar(QChar::ReplacementCharacter)) ? 1 : 0;
        if (bad < 0 || bad > allowed) return false;
        // One pass over what may be ten million characters.
        return std::none_of(text.begin(), text.end(), [](QChar c) {
            const char16_t u = c.unicode();
            return (u < 0x20 && strayControl(u)) || (u >= 0xE000 && u < 0xF900);
        });
    }
};

Attempt attempt(Encoding encoding, QByteArrayView bytes) {
    Attempt a;
    a.text = text::decodeCharset(iconvName(encoding), bytes, &a.bad);
    return a;
}

// When the detector is unsure: of the code pages that read the start of the file cleanly, the
// one that reads as the most common Chinese; Big5, then GB18030 on a tie (GBK files are far more
// common than Big5-HKSCS ones).
std::optional<Encoding> bestCodePage(const QByteArray& bytes, double* bestShare) {
    const QByteArrayView head = QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), 64 * 1024));
    std::optional<Encoding> best;
    *bestShare = -1;
    for (const Encoding e : {Encoding::Big5, Encoding::Gb18030, Encoding::Big5Hkscs}) {
        const Attempt a = attempt(e, head);
        if (!a.clean(head.size() < bytes.size())) continue;
        if (const double share = commonChineseShare(a.text); share > *bestShare) {
            best = e;
            *bestShare = share;
        }
    }
    return best;
}

bool hasAccentedLatin(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return u >= 0xC0 && u < 0x250 && u != 0xD7 && u != 0xF7;
    });
}

bool hasChinese(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3400 && c.unicode() < 0xA000; });
}

}  // namespace

bool isValidUtf8(const QByteArray& bytes, bool* hasNonAscii) {
    const bool nonAscii = beyondAscii(bytes);
    if (nonAscii) {
        bool valid = false;
        fromUtf8(bytes, &valid);
        if (!valid) return false;
    }
    if (hasNonAscii) *hasNonAscii = nonAscii;
    return true;
}

DecodedText decodeTextAs(const QByteArray& bytes, Encoding encoding) {
    QByteArrayView view(bytes);
    bool valid = true;
    switch (encoding) {
    case Encoding::Utf8:
    case Encoding::Utf8Bom: {
        const bool bom = view.startsWith("\xEF\xBB\xBF");
        QString text = fromUtf8(bom ? view.sliced(3) : view, &valid);
        return decoded(std::move(text), bom ? Encoding::Utf8Bom : Encoding::Utf8, !valid);
    }
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
        const bool big = encoding == Encoding::Utf16Be;
        if (view.startsWith(big ? "\xFE\xFF" : "\xFF\xFE")) view = view.sliced(2);
        QString text = fromUtf16(view, big, &valid);
        return decoded(std::move(text), encoding, !valid);
    }
    default: {
        Attempt a = attempt(encoding, view);
        return decoded(std::move(a.text), encoding, a.bad > 0);
    }
    }
}

DecodedText decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) return decodeTextAs(bytes, Encoding::Utf8Bom);
    if (bytes.startsWith("\xFF\xFE")) return decodeTextAs(bytes, Encoding::Utf16Le);
    if (bytes.startsWith("\xFE\xFF")) return decodeTextAs(bytes, Encoding::Utf16Be);
    const bool nonAscii = beyondAscii(bytes);
    if (!nonAscii && !bytes.contains('\0')) return decodeTextAs(bytes, Encoding::Big5);
    QString utf8;
    if (nonAscii && utf8FromTheStart(bytes)) {
        bool valid = false;
        utf8 = fromUtf8(bytes, &valid);
        // A few GBK characters can form valid UTF-8 (谢谢 is two Cyrillic letters): UTF-8
        // with neither a Chinese character nor an accented Latin letter ("café") gives way to a
        // code page that reads as common Chinese.
        if (valid && (hasChinese(utf8) || hasAccentedLatin(utf8)))
            return decoded(std::move(utf8), Encoding::Utf8, false);
        if (valid) {
            double share = 0;
            const std::optional<Encoding> page = bestCodePage(bytes, &share);
            if (!page || share < 0.95) return decoded(std::move(utf8), Encoding::Utf8, false);
        }
    }
    // The detector first: GBK text mostly reads as Big5 too, as nonsense.
    const std::optional<Encoding> guess = guessEncoding(bytes);
    if (guess == Encoding::Gb18030 || guess == Encoding::Big5) {
        if (Attempt a = attempt(*guess, bytes); a.clean()) return decoded(std::move(a.text), *guess, false);
    }
    double share = 0;
    const std::optional<Encoding> best = bestCodePage(bytes, &share);
    Attempt chosen;
    if (best) {
        chosen = attempt(*best, bytes);
        if (chosen.clean()) return decoded(std::move(chosen.text), *best, false);
    }
    // Mostly UTF-8 with a few bytes that are not (a damaged file, a piece pasted from another
    // encoding): read as UTF-8 with those flagged rather than all of it as nonsense. Text in a
    // code page read as UTF-8 fails at nearly every character instead.
    if (nonAscii) {
        bool valid = false;
        if (utf8.isNull()) utf8 = fromUtf8(bytes, &valid);
        const qsizetype bad = utf8.count(QChar(QChar::ReplacementCharacter));
        if (nonAsciiCount(utf8) - bad >= 2 * bad) return decoded(std::move(utf8), Encoding::Utf8, true);
    }
    Attempt big5 = best == Encoding::Big5 ? std::move(chosen) : attempt(Encoding::Big5, bytes);
    // Text in UTF-16 holds bytes no code page's text does (NUL, control codes): without them
    // a few pairs of Latin letters would pass for Chinese.
    for (const bool big : {false, true}) {
        if (!hasStrayControls(big5.text)) break;
        bool valid = false;
        QString text = fromUtf16(bytes, big, &valid);
        if (valid && plausibleUtf16(text))
            return decoded(std::move(text), big ? Encoding::Utf16Be : Encoding::Utf16Le, false);
    }
    // Damaged further on: the encoding the start showed, its bad bytes flagged.
    if (best && best != Encoding::Big5) return decoded(std::move(chosen.text), *best, chosen.bad > 0);
    return decoded(std::move(big5.text), Encoding::Big5, big5.bad > 0);
}

bool encodeText(const QString& text, const TextFormat& format, QByteArray* out) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(text::kParagraphSeparator, u'\n');
    if (format.crlf) s.replace(u'\n', QStringLiteral("\r\n"));
    switch (format.encoding) {
    case Encoding::Utf8: *out = s.toUtf8(); return true;
    case Encoding::Utf8Bom: *out = "\xEF\xBB\xBF" + s.toUtf8(); return true;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
        const bool big = format.encoding == Encoding::Utf16Be;
        QStringEncoder encoder(big ? QStringEncoder::Utf16BE : QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        *out = encoder.encode(s);
        return true;
    }
    default: {
        bool lossless = true;
        QByteArray bytes = text::encodeCharset(iconvName(format.encoding), s, &lossless);
        if (!lossless) return false;
        *out = std::move(bytes);
        return true;
    }
    }
}

bool readTextFile(const QString& path, DecodedText* out, QString* error, std::optional<Encoding> encoding) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    if (file.size() > kMaxTextFileBytes) {
        if (error) *error = QStringLiteral("文件超過 %1 MB").arg(kMaxTextFileBytes / 1000 / 1000);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error) *error = file.errorString();
        return false;
    }
    *out = encoding ? decodeTextAs(bytes, *encoding) : decodeText(bytes);
    return true;
}

bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool hasTxtExtension(const QString& path) { return path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive); }

QString withTxtExtension(const QString& path) { return hasTxtExtension(path) ? path : path + QStringLiteral(".txt"); }

bool isWordProcessorFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"doc" || suffix == u"docx" || suffix == u"odt" || suffix == u"rtf";
}

}  // namespace sayvell::document
