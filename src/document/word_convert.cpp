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

#include <zlib.h>

namespace sayvell::document {
namespace {

quint16 u16(const QByteArray& d, qint64 at) {
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData() + at);
    return quint16(p[0] | (p[1] << 8));
}

quint32 u32(const QByteArray& d, qint64 at) {
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData() + at);
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

constexpr quint32 kEndOfDirectory = 0x06054b50;
constexpr quint32 kDirectoryEntry = 0x02014b50;
constexpr quint32 kLocalHeader = 0x04034b50;

const QString kDamaged = QStringLiteral("文件已損壞");

}  // namespace

ZipArchive::ZipArchive(QByteArray data) : data_(std::move(data)) {
    const qint64 n = data_.size();
    if (n < 22) return;
    qint64 eocd = -1;
    for (qint64 i = n - 22; i >= std::max<qint64>(0, n - 22 - 65535); --i) {
        if (u32(data_, i) == kEndOfDirectory) {
            eocd = i;
            break;
        }
    }
    if (eocd < 0) return;
    const quint16 count = u16(data_, eocd + 10);
    const quint32 dirSize = u32(data_, eocd + 12);
    const quint32 dirOffset = u32(data_, eocd + 16);
    if (qint64(dirOffset) + dirSize > eocd) return;  // also refuses ZIP64's 0xFFFFFFFF
    qint64 at = dirOffset;
    for (int i = 0; i < count; ++i) {
        if (at + 46 > eocd || u32(data_, at) != kDirectoryEntry) return;
        Entry e;
        e.flags = u16(data_, at + 8);
        e.method = u16(data_, at + 10);
        e.crc = u32(data_, at + 16);
        e.compressedSize = u32(data_, at + 20);
        e.size = u32(data_, at + 24);
        const int nameLength = u16(data_, at + 28);
        const int extraLength = u16(data_, at + 30);
        const int commentLength = u16(data_, at + 32);
        e.localOffset = u32(data_, at + 42);
        if (at + 46 + nameLength > eocd) return;
        const QByteArray rawName = data_.mid(at + 46, nameLength);
        e.name = (e.flags & 0x800) ? QString::fromUtf8(rawName) : QString::fromLatin1(rawName);
        entries_.push_back(std::move(e));
        at += 46 + nameLength + extraLength + commentLength;
    }
    valid_ = true;
}

QStringList ZipArchive::names() const {
    QStringList out;
    for (const Entry& e : entries_) out << e.name;
    return out;
}

const ZipArchive::Entry* ZipArchive::find(const QString& name) const {
    for (const Entry& e : entries_)
        if (e.name == name) return &e;
    return nullptr;
}

bool ZipArchive::read(const QString& name, QByteArray* out, QString* error, qint64 maxBytes) const {
    const auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const Entry* e = find(name);
    if (!e) return fail(QStringLiteral("缺少 %1").arg(name));
    if (e->flags & 1) return fail(QStringLiteral("文件已加密"));
    if (qint64(e->size) > maxBytes) return fail(QStringLiteral("%1 太大").arg(name));
    const qint64 local = e->localOffset;
    if (local + 30 > data_.size() || u32(data_, local) != kLocalHeader) return fail(kDamaged);
    const qint64 start = local + 30 + u16(data_, local + 26) + u16(data_, local + 28);
    if (start + qint64(e->compressedSize) > data_.size()) return fail(kDamaged);

    QByteArray result;
    if (e->method == 0) {
        if (e->compressedSize != e->size) return fail(kDamaged);
        result = data_.mid(start, e->size);
    } else if (e->method == 8) {
        // One byte to spare: a stream that would write more than it declared is damaged.
        result.resize(qsizetype(e->size) + 1);
        z_stream zs{};
        if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return fail(kDamaged);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data_.constData() + start));
        zs.avail_in = e->compressedSize;
        zs.next_out = reinterpret_cast<Bytef*>(result.data());
        zs.avail_out = static_cast<uInt>(result.size());
        const int rc = inflate(&zs, Z_FINISH);
        const uLong produced = zs.total_out;
        inflateEnd(&zs);
        if (rc != Z_STREAM_END || produced != e->size) return fail(kDamaged);
        result.resize(e->size);
    } else {
        return fail(QStringLiteral("不支持的壓縮方式 %1").arg(e->method));
    }
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(result.constData()),
                            static_cast<uInt>(result.size()));
    if (crc != e->crc) return fail(kDamaged);
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
                if (name == u"tab") out += u'\t';
                else if (name == u"br" || name == u"cr") out += u'\n';
                else if (name == u"noBreakHyphen") out += u'-';
            }
            runs.push_back(ours && name == u"r");
            break;
        }
        case QXmlStreamReader::EndElement:
            if (r.namespaceUri() == w) {
                if (r.name() == u"t") inText = false;
                else if (r.name() == u"p") out += u'\n';
            }
            if (!runs.empty()) runs.pop_back();
            break;
        case QXmlStreamReader::Characters:
            if (inText) out += r.text();
            break;
        default:
            break;
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
                if (name == u"body") inBody = true;
                else if (name == u"annotation") r.skipCurrentElement();
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
        default:
            break;
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
    const QStringList args{QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--nolockcheck"),
                           QStringLiteral("-env:UserInstallation=") +
                               QUrl::fromLocalFile(tmp.filePath(QStringLiteral("profile"))).toString(),
                           QStringLiteral("--convert-to"), QStringLiteral("txt:Text (encoded):UTF8"),
                           QStringLiteral("--outdir"), outDir, QFileInfo(path).absoluteFilePath()};
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
