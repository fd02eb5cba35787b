#include "document/text_file.h"

#include "text/big5.h"
#include "text/byte_text.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace sayvell::document {

bool isValidUtf8(const QByteArray& bytes, bool* hasNonAscii) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    bool beyondAscii = false;
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        beyondAscii = true;
        int n;
        unsigned min;
        unsigned cp;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1, min = 0x80, cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2, min = 0x800, cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= n) return false;
        for (int i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        p += n + 1;
    }
    if (hasNonAscii) *hasNonAscii = beyondAscii;
    return true;
}

DecodedText decodeText(const QByteArray& bytes) {
    DecodedText out;
    const bool hasLf = bytes.contains('\n');
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        out.format = {Encoding::Utf8Bom, bytes.contains("\r\n") || !hasLf};
        out.text = QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
        out.undecodable = !isValidUtf8(bytes.mid(3));
        return out;
    }
    bool nonAscii = false;
    if (isValidUtf8(bytes, &nonAscii) && nonAscii) {
        out.format = {Encoding::Utf8, bytes.contains("\r\n")};
        out.text = QString::fromUtf8(bytes);
        return out;
    }
    out.format = {Encoding::Big5, true};
    out.text = text::fromBig5(bytes);
    // Big5 maps nothing to U+FFFD: every one stands for a byte that is not Big5.
    out.undecodable = out.text.contains(QChar(QChar::ReplacementCharacter));
    return out;
}

bool encodeText(const QString& text, const TextFormat& format, QByteArray* out) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(text::kParagraphSeparator, u'\n');
    if (format.crlf) s.replace(u'\n', QStringLiteral("\r\n"));
    if (format.encoding == Encoding::Big5) {
        bool lossless = true;
        QByteArray bytes = text::toBig5(s, &lossless);
        if (!lossless) return false;
        *out = std::move(bytes);
        return true;
    }
    *out = s.toUtf8();
    if (format.encoding == Encoding::Utf8Bom) out->prepend("\xEF\xBB\xBF");
    return true;
}

bool readTextFile(const QString& path, DecodedText* out, QString* error) {
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
    *out = decodeText(bytes);
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
