#pragma once
// Word-processor files turned into plain text. .docx and .odt are read here (a ZIP archive
// holding XML); .doc, .rtf and anything else go to a converter found on the machine
// (LibreOffice headless, antiword, catdoc, unrtf), run without a shell and with a time
// limit, writing only into a private temporary folder. The user's file is only read.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

struct zip;  // libzip's archive

namespace sayvell::document {

// Entries of a ZIP archive held in memory, read through libzip. Not for use from two threads
// at once.
class ZipArchive {
public:
    explicit ZipArchive(QByteArray data);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool isValid() const { return zip_ != nullptr; }
    QStringList names() const;
    // The uncompressed entry, checked against its CRC. False with *error when it is missing,
    // damaged or larger than maxBytes.
    bool read(const QString& name, QByteArray* out, QString* error, qint64 maxBytes = 512LL * 1024 * 1024) const;

private:
    QByteArray data_;  // the archive reads straight from these bytes
    ::zip* zip_ = nullptr;
};

// Paragraphs become lines joined by '\n'; tabs stay tabs, manual line breaks become '\n'.
bool docxToText(const QByteArray& fileBytes, QString* text, QString* error);
bool odtToText(const QByteArray& fileBytes, QString* text, QString* error);

class DocumentConverter {
public:
    virtual ~DocumentConverter() = default;
    // The document's text; false with *error (for a log or a test) when it cannot be read.
    virtual bool convert(const QString& path, QString* text, QString* error) = 0;
};

class SystemConverter final : public DocumentConverter {
public:
    // Converters are looked up in `searchPath` (the PATH folders when empty).
    explicit SystemConverter(QStringList searchPath = {}, int timeLimitMs = 120000);
    bool convert(const QString& path, QString* text, QString* error) override;

private:
    QString findTool(const QString& name) const;
    bool runTool(const QString& program, const QStringList& args, QByteArray* out, QString* error) const;
    bool viaLibreOffice(const QString& path, QString* text, QString* error) const;
    bool viaTextTool(const QString& path, QString* text, QString* error) const;

    QStringList searchPath_;
    int timeLimitMs_;
};

}  // namespace sayvell::document
