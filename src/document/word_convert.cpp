#include "document/word_convert.h"

#include "document/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>

#include <zip.h>

namespace sayvell::document {
namespace {

const QString kDamaged = QStringLiteral("文件已損壞");

}  // namespace

ZipArchive::ZipArchive(QByteArray data) : data_(std::move(data)) {
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* src = zip_source_buffer_create(data_.constData(), zip_uint64_t(data_.size()), 0, &err);
    if (src) {
        zip_ = zip_open_from_source(src, ZIP_RDONLY, &err);
        if (!zip_) zip_source_free(src);  // still ours when the open failed
    }
    zip_error_fini(&err);
}

ZipArchive::~ZipArchive() {
    if (zip_) zip_discard(zip_);
}

QStringList ZipArchive::names() const {
    QStringList out;
    if (!zip_) return out;
    const zip_int64_t count = zip_get_num_entries(zip_, 0);
    for (zip_int64_t i = 0; i < count; ++i)
        if (const char* name = zip_get_name(zip_, zip_uint64_t(i), 0)) out << QString::fromUtf8(name);
    return out;
}

bool ZipArchive::read(const QString& name, QByteArray* out, QString* error, qint64 maxBytes) const {
    const auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (!zip_) return fail(kDamaged);
    const QByteArray utf8 = name.toUtf8();
    const zip_int64_t index = zip_name_locate(zip_, utf8.constData(), 0);
    if (index < 0) return fail(QStringLiteral("缺少 %1").arg(name));
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip_, zip_uint64_t(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) return fail(kDamaged);
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        return fail(QStringLiteral("文件已加密"));
    if (st.size > zip_uint64_t(maxBytes)) return fail(QStringLiteral("%1 太大").arg(name));
    if ((st.valid & ZIP_STAT_COMP_METHOD) && !zip_compression_method_supported(st.comp_method, 0))
        return fail(QStringLiteral("不支持的壓縮方式 %1").arg(st.comp_method));

    zip_file_t* file = zip_fopen_index(zip_, zip_uint64_t(index), 0);
    if (!file) return fail(kDamaged);
    // One byte to spare: an entry that gives more than it declared is damaged. libzip checks
    // the CRC when the entry has been read to its end.
    QByteArray result(qsizetype(st.size) + 1, Qt::Uninitialized);
    zip_uint64_t got = 0;
    bool ok = true;
    while (got < zip_uint64_t(result.size())) {
        const zip_int64_t n = zip_fread(file, result.data() + got, zip_uint64_t(result.size()) - got);
        if (n < 0) ok = false;
        if (n <= 0) break;
        got += zip_uint64_t(n);
    }
    zip_fclose(file);
    if (!ok || got != st.size) return fail(kDamaged);
    result.resize(qsizetype(st.size));
    *out = std::move(result);
    return true;
}

namespace {

bool readXmlEntry(const QByteArray& fileBytes, const QString& entry, QByteArray* xml, QString* error) {
    ZipArchive zip(fileBytes);
    if (!zip.isValid()) {
        if (error) *error = QStringLiteral("不是有效的文書處理文件");
        return false;
    }
    return zip.read(entry, xml, error);
}

bool finishXml(const QXmlStreamReader& r, QString* out, QString* text, QString* error) {
    if (r.hasError()) {
        if (error) *error = QStringLiteral("%1 (%2)").arg(kDamaged, r.errorString());
        return false;
    }
    if (out->endsWith(u'\n')) out->chop(1);
    *text = std::move(*out);
    return true;
}

}  // namespace

bool docxToText(const QByteArray& fileBytes, QString* text, QString* error) {
    QByteArray xml;
    if (!readXmlEntry(fileBytes, QStringLiteral("word/document.xml"), &xml, error)) return false;
    const QString w = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
    const QString mc = QStringLiteral("http://schemas.openxmlformats.org/markup-compatibility/2006");
    QXmlStreamReader r(xml);
    QString out;
    // Whether each open element is a run (w:r): tabs and breaks count only inside runs, the
    // w:tab of a paragraph's tab stops does not.
    std::vector<bool> runs;
    bool inText = false;
    while (!r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::StartElement: {
            const bool ours = r.namespaceUri() == w;
            const QStringView name = r.name();
            if (r.namespaceUri() == mc && name == u"Fallback") {
                // The same content again, for older readers.
                r.skipCurrentElement();
                break;
            }
            const bool inRun = !runs.empty() && runs.back();
            if (ours && name == u"t") inText = true;
            if (ours && inRun) {
                if (name == u"tab")
                    out += u'\t';
                else if (name == u"br" || name == u"cr")
                    out += u'\n';
                else if (name == u"noBreakHyphen")
                    out += u'-';
            }
            runs.push_back(ours && name == u"r");
            break;
        }
        case QXmlStreamReader::EndElement:
            if (r.namespaceUri() == w) {
                if (r.name() == u"t")
                    inText = false;
                else if (r.name() == u"p")
                    out += u'\n';
            }
            if (!runs.empty()) runs.pop_back();
            break;
        case QXmlStreamReader::Characters:
            if (inText) out += r.text();
            break;
        default: break;
        }
    }
    return finishXml(r, &out, text, error);
}

bool odtToText(const QByteArray& fileBytes, QString* text, QString* error) {
    QByteArray xml;
    if (!readXmlEntry(fileBytes, QStringLiteral("content.xml"), &xml, error)) return false;
    const QString t = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
    const QString office = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
    QXmlStreamReader r(xml);
    QString out;
    bool inBody = false;
    int paragraphs = 0;  // open text:p / text:h
    // Blanks in the XML collapse to one, and none opens a paragraph; text:s gives real ones.
    bool blankPending = false;
    bool paragraphStart = true;
    const auto put = [&](QStringView s) {
        if (blankPending && !paragraphStart) out += u' ';
        blankPending = false;
        paragraphStart = false;
        out += s;
    };
    while (!r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QStringView name = r.name();
            if (r.namespaceUri() == office) {
                if (name == u"body")
                    inBody = true;
                else if (name == u"annotation")
                    r.skipCurrentElement();
                break;
            }
            if (!inBody || r.namespaceUri() != t) break;
            if (name == u"note" || name == u"tracked-changes") {
                r.skipCurrentElement();
            } else if (name == u"p" || name == u"h") {
                ++paragraphs;
                paragraphStart = true;
                blankPending = false;
            } else if (name == u"s") {
                bool ok = false;
                const int count = r.attributes().value(t, QStringLiteral("c")).toInt(&ok);
                put(QString(ok && count > 0 ? std::min(count, 10000) : 1, u' '));
            } else if (name == u"tab") {
                put(u"\t");
            } else if (name == u"line-break") {
                put(u"\n");
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (r.namespaceUri() == office && r.name() == u"body") inBody = false;
            if (inBody && r.namespaceUri() == t && (r.name() == u"p" || r.name() == u"h")) {
                --paragraphs;
                out += u'\n';
                paragraphStart = true;
                blankPending = false;
            }
            break;
        case QXmlStreamReader::Characters:
            if (inBody && paragraphs > 0) {
                const QStringView s = r.text();
                qsizetype i = 0;
                while (i < s.size()) {
                    qsizetype j = i;
                    while (j < s.size() && s[j] != u' ' && s[j] != u'\t' && s[j] != u'\r' && s[j] != u'\n') ++j;
                    if (j > i) put(s.mid(i, j - i));
                    if (j < s.size()) blankPending = true;
                    while (j < s.size() && (s[j] == u' ' || s[j] == u'\t' || s[j] == u'\r' || s[j] == u'\n')) ++j;
                    i = j;
                }
            }
            break;
        default: break;
        }
    }
    return finishXml(r, &out, text, error);
}

SystemConverter::SystemConverter(QStringList searchPath, int timeLimitMs)
    : searchPath_(std::move(searchPath)), timeLimitMs_(timeLimitMs) {}

QString SystemConverter::findTool(const QString& name) const {
    return QStandardPaths::findExecutable(name, searchPath_);
}

bool SystemConverter::runTool(const QString& program, const QStringList& args, QByteArray* out, QString* error) const {
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start();
    if (!p.waitForStarted(10000)) {
        if (error) *error = p.errorString();
        return false;
    }
    if (!p.waitForFinished(timeLimitMs_)) {
        p.kill();
        p.waitForFinished(5000);
        if (error) *error = QStringLiteral("%1 超時").arg(QFileInfo(program).fileName());
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QFileInfo(program).fileName(),
                                                  QString::fromLocal8Bit(p.readAllStandardError()).trimmed());
        return false;
    }
    *out = p.readAllStandardOutput();
    return true;
}

bool SystemConverter::viaLibreOffice(const QString& path, QString* text, QString* error) const {
    QString office = findTool(QStringLiteral("soffice"));
    if (office.isEmpty()) office = findTool(QStringLiteral("libreoffice"));
    if (office.isEmpty()) return false;
    QTemporaryDir tmp;
    if (!tmp.isValid()) {
        if (error) *error = tmp.errorString();
        return false;
    }
    const QString outDir = tmp.filePath(QStringLiteral("out"));
    // A profile of its own, so that a LibreOffice the user has open neither takes the job
    // nor is disturbed by it.
    const QStringList args{QStringLiteral("--headless"),
                           QStringLiteral("--norestore"),
                           QStringLiteral("--nolockcheck"),
                           QStringLiteral("-env:UserInstallation=") +
                               QUrl::fromLocalFile(tmp.filePath(QStringLiteral("profile"))).toString(),
                           QStringLiteral("--convert-to"),
                           QStringLiteral("txt:Text (encoded):UTF8"),
                           QStringLiteral("--outdir"),
                           outDir,
                           QFileInfo(path).absoluteFilePath()};
    QByteArray ignored;
    if (!runTool(office, args, &ignored, error)) return false;
    QFile result(QDir(outDir).filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".txt")));
    if (!result.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("LibreOffice: %1").arg(result.errorString());
        return false;
    }
    *text = decodeText(result.readAll()).text;
    return true;
}

bool SystemConverter::viaTextTool(const QString& path, QString* text, QString* error) const {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QString file = QFileInfo(path).absoluteFilePath();
    struct Tool {
        const char* name;
        QStringList args;
    };
    std::vector<Tool> tools;
    if (suffix == u"doc") {
        tools.push_back({"antiword", {QStringLiteral("-m"), QStringLiteral("UTF-8.txt"), file}});
        tools.push_back({"catdoc", {QStringLiteral("-d"), QStringLiteral("utf-8"), file}});
    } else if (suffix == u"rtf") {
        tools.push_back({"unrtf", {QStringLiteral("--text"), file}});
    }
    for (const Tool& tool : tools) {
        const QString program = findTool(QString::fromLatin1(tool.name));
        if (program.isEmpty()) continue;
        QByteArray out;
        if (!runTool(program, tool.args, &out, error)) continue;
        QString result = decodeText(out).text;
        // unrtf heads its text with "###" comment lines and a rule of dashes.
        if (result.startsWith(QStringLiteral("###"))) {
            const qsizetype rule = result.indexOf(QStringLiteral("\n-----------------"));
            if (rule >= 0) {
                const qsizetype next = result.indexOf(u'\n', rule + 1);
                result = next >= 0 ? result.mid(next + 1) : QString();
            }
        }
        result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        *text = result;
        return true;
    }
    return false;
}

bool SystemConverter::convert(const QString& path, QString* text, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    QString why;
    if (suffix == u"docx" || suffix == u"odt") {
        if (file.size() > kMaxTextFileBytes) {
            why = QStringLiteral("文件太大");
        } else {
            const QByteArray bytes = file.readAll();
            if (suffix == u"docx" ? docxToText(bytes, text, &why) : odtToText(bytes, text, &why)) return true;
        }
    }
    file.close();
    QString toolError;
    if (viaLibreOffice(path, text, &toolError)) return true;
    if (viaTextTool(path, text, &toolError)) return true;
    if (error) {
        if (!why.isEmpty())
            *error = why;
        else if (!toolError.isEmpty())
            *error = toolError;
        else
            *error = QStringLiteral("找不到可轉換此文件的程式 (LibreOffice, antiword, catdoc, unrtf)");
    }
    return false;
}

}  // namespace sayvell::document
