#pragma once
// Builds ZIP archives in memory for word-processor fixtures: stored or deflated entries.
#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

#include <zlib.h>

namespace sayvell::testing {

struct ZipEntry {
    QString name;
    QByteArray data;
    bool deflate = true;
};

inline QByteArray rawDeflate(const QByteArray& data) {
    z_stream zs{};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(static_cast<qsizetype>(deflateBound(&zs, static_cast<uLong>(data.size()))), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(static_cast<qsizetype>(zs.total_out));
    deflateEnd(&zs);
    return out;
}

inline QByteArray makeZip(const std::vector<ZipEntry>& entries) {
    const auto le16 = [](QByteArray& b, unsigned v) {
        b.append(char(v & 0xFF));
        b.append(char((v >> 8) & 0xFF));
    };
    const auto le32 = [&](QByteArray& b, unsigned long v) {
        le16(b, unsigned(v & 0xFFFF));
        le16(b, unsigned((v >> 16) & 0xFFFF));
    };
    QByteArray out, dir;
    for (const ZipEntry& e : entries) {
        const QByteArray name = e.name.toUtf8();
        const QByteArray body = e.deflate ? rawDeflate(e.data) : e.data;
        const unsigned long crc =
            crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(e.data.constData()), uInt(e.data.size()));
        const unsigned long offset = static_cast<unsigned long>(out.size());
        const unsigned method = e.deflate ? 8 : 0;
        le32(out, 0x04034b50);
        le16(out, 20), le16(out, 0x800), le16(out, method), le16(out, 0), le16(out, 0x21);
        le32(out, crc), le32(out, static_cast<unsigned long>(body.size())),
            le32(out, static_cast<unsigned long>(e.data.size()));
        le16(out, unsigned(name.size())), le16(out, 0);
        out += name + body;
        le32(dir, 0x02014b50);
        le16(dir, 20), le16(dir, 20), le16(dir, 0x800), le16(dir, method), le16(dir, 0), le16(dir, 0x21);
        le32(dir, crc), le32(dir, static_cast<unsigned long>(body.size())),
            le32(dir, static_cast<unsigned long>(e.data.size()));
        le16(dir, unsigned(name.size())), le16(dir, 0), le16(dir, 0), le16(dir, 0), le16(dir, 0);
        le32(dir, 0), le32(dir, offset);
        dir += name;
    }
    const unsigned long dirOffset = static_cast<unsigned long>(out.size());
    out += dir;
    le32(out, 0x06054b50);
    le16(out, 0), le16(out, 0), le16(out, unsigned(entries.size())), le16(out, unsigned(entries.size()));
    le32(out, static_cast<unsigned long>(dir.size())), le32(out, dirOffset), le16(out, 0);
    return out;
}

// A .docx whose body holds the given paragraph XML (w:p elements).
inline QByteArray makeDocx(const QString& bodyXml) {
    const QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
        "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"><w:body>") +
        bodyXml + QStringLiteral("<w:sectPr/></w:body></w:document>");
    return makeZip({{QStringLiteral("[Content_Types].xml"), QByteArray("<Types/>"), false},
                    {QStringLiteral("word/document.xml"), xml.toUtf8(), true}});
}

// An .odt whose office:text holds the given XML.
inline QByteArray makeOdt(const QString& textXml) {
    const QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
        "<office:automatic-styles><text:p>not body</text:p></office:automatic-styles>"
        "<office:body><office:text>") +
        textXml + QStringLiteral("</office:text></office:body></office:document-content>");
    return makeZip({{QStringLiteral("mimetype"), QByteArray("application/vnd.oasis.opendocument.text"), false},
                    {QStringLiteral("content.xml"), xml.toUtf8(), true}});
}

}  // namespace sayvell::testing
