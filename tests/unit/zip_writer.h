#pragma once
// Builds ZIP archives in memory for word-processor fixtures: stored or deflated entries,
// written by libzip.
#include <QByteArray>
#include <QString>
#include <stdexcept>
#include <utility>
#include <vector>

#include <zip.h>

namespace sayvell::testing {

struct ZipEntry {
    QString name;
    QByteArray data;
    bool deflate = true;
};

inline QByteArray makeZip(const std::vector<ZipEntry>& entries) {
    const auto check = [](bool ok, const char* what) {
        if (!ok) throw std::runtime_error(what);
    };
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &err);
    check(target != nullptr, "zip_source_buffer_create");
    zip_t* za = zip_open_from_source(target, ZIP_CREATE | ZIP_TRUNCATE, &err);
    zip_error_fini(&err);
    check(za != nullptr, "zip_open_from_source");
    zip_source_keep(target);  // zip_close writes into it; we read it afterwards
    for (const ZipEntry& e : entries) {
        // libzip reads the entry's bytes at zip_close; the entries outlive it.
        zip_source_t* s = zip_source_buffer(za, e.data.constData(), zip_uint64_t(e.data.size()), 0);
        check(s != nullptr, "zip_source_buffer");
        const zip_int64_t index = zip_file_add(za, e.name.toUtf8().constData(), s, ZIP_FL_ENC_UTF_8);
        if (index < 0) zip_source_free(s);
        check(index >= 0, "zip_file_add");
        check(zip_set_file_compression(za, zip_uint64_t(index), e.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                       e.deflate ? 9 : 0) == 0,
              "zip_set_file_compression");
    }
    check(zip_close(za) == 0, "zip_close");

    QByteArray out;
    zip_stat_t st;
    zip_stat_init(&st);
    check(zip_source_stat(target, &st) == 0 && zip_source_open(target) == 0, "zip_source_open");
    out.resize(qsizetype(st.size));
    const zip_int64_t n = zip_source_read(target, out.data(), st.size);
    zip_source_close(target);
    zip_source_free(target);
    check(n == zip_int64_t(st.size), "zip_source_read");
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
    const QString xml =
        QStringLiteral(
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
