#pragma once
// Plain-text documents: reading with the encoding found in the file (text_encoding.h),
// writing safely.
//
// A document remembers how it was read and is written back the same way. Big5 is always
// written with CR LF line breaks; plain UTF-8 keeps the line breaks the file had (CR LF when it
// had any, else LF); the others keep LF when the file had line breaks and none of them CR LF.
// A lone CR in a file reads as a line break and is written as the document's line break.
// UTF-16 is always written with its byte-order mark, so that other programs can read it too.
#include "document/text_encoding.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace sayvell::document {

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
    // Bytes that are not of the encoding were shown as U+FFFD: writing the text back cannot
    // restore them.
    bool undecodable = false;
};

// True for bytes that are valid UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(const QByteArray& bytes, bool* hasNonAscii = nullptr);
// The encoding found in the file.
DecodedText decodeText(const QByteArray& bytes);
// As the user chose. A byte-order mark of that encoding is dropped and remembered.
DecodedText decodeTextAs(const QByteArray& bytes, Encoding encoding);

// The editor's text (line breaks '\n' or U+2029) as the bytes of a file in `format`. False
// when the text holds a character the encoding cannot (nothing is replaced).
bool encodeText(const QString& text, const TextFormat& format, QByteArray* out);

// False with *error (the system's reason) when the file cannot be read or is too large.
// `encoding`: as the user chose; none: the one found in the file.
bool readTextFile(const QString& path, DecodedText* out, QString* error,
                  std::optional<Encoding> encoding = std::nullopt);
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
