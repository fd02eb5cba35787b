#include "document/text_file.h"

#include "text/big5.h"
#include "text/byte_text.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

namespace sayvell::document {

namespace {

bool beyondAscii(QByteArrayView bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Qt's decoder refuses overlongs, surrogates and anything above U+10FFFF; stateless, so a
// sequence cut off at the end is an error too. A BOM at the start is dropped.
QString fromUtf8(QByteArrayView bytes, bool* valid) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    *valid = !decoder.hasError();
    return text;
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

DecodedText decodeText(const QByteArray& bytes) {
    DecodedText out;
    const bool hasLf = bytes.contains('\n');
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        out.format = {Encoding::Utf8Bom, bytes.contains("\r\n") || !hasLf};
        bool valid = false;
        out.text = fromUtf8(QByteArrayView(bytes).sliced(3), &valid);
        out.undecodable = !valid;
        return out;
    }
    if (beyondAscii(bytes)) {
        bool valid = false;
        QString text = fromUtf8(bytes, &valid);
        if (valid) {
            out.format = {Encoding::Utf8, bytes.contains("\r\n")};
            out.text = std::move(text);
            return out;
        }
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
