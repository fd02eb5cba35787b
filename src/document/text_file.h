#pragma once
// Plain-text documents: reading with the encoding found in the file, writing safely.
//
// A .txt file is Big5 (CP950) unless it starts with a UTF-8 byte-order mark or is valid
// UTF-8 holding something beyond ASCII; a document remembers how it was read and is written
// back the same way. Big5 is always written with CR LF line breaks; UTF-8 keeps the line
// breaks the file had (CR LF when it had any, else LF). A lone CR in a file reads as a line
// break and is written as the document's line break.
#include <QByteArray>
#include <QString>

namespace sayvell::document {

enum class Encoding { Big5, Utf8, Utf8Bom };

struct TextFormat {
    Encoding encoding = Encoding::Big5;
    bool crlf = true;
    friend bool operator==(const TextFormat&, const TextFormat&) = default;
};

// Offsets of the editor's byte model are 32-bit: larger files are refused.
inline constexpr qint64 kMaxTextFileBytes = 1000LL * 1000 * 1000;

struct DecodedText {
    QString text;  // line breaks as in the file
    TextFormat format;
    // Bytes that are not Big5 were shown as U+FFFD: writing the text back cannot restore them.
    bool undecodable = false;
};

// True for bytes that are valid UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(const QByteArray& bytes, bool* hasNonAscii = nullptr);
DecodedText decodeText(const QByteArray& bytes);

// The editor's text (line breaks '\n' or U+2029) as the bytes of a file in `format`. False
// when the format is Big5 and the text holds a character Big5 cannot (nothing is replaced).
bool encodeText(const QString& text, const TextFormat& format, QByteArray* out);

// False with *error (the system's reason) when the file cannot be read or is too large.
bool readTextFile(const QString& path, DecodedText* out, QString* error);
// A temporary file beside the target, renamed over it when complete: a failure (read-only
// folder or file, full disk) leaves the old file as it was. False with *error.
bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* error);

// ".txt", any letter case.
bool hasTxtExtension(const QString& path);
// The name with ".txt" added unless it already ends in it (any letter case).
QString withTxtExtension(const QString& path);
// .doc, .docx, .odt, .rtf: files that must never be overwritten with plain text.
bool isWordProcessorFile(const QString& path);

}  // namespace sayvell::document
