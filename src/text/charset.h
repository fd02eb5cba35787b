#pragma once
// Conversion between the editor's text and the bytes of a multi-byte code page, through
// iconv (glibc's names: "CP950", "BIG5-HKSCS", "GB18030").
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace sayvell::text {

// Bytes that are not valid in `charset` become U+FFFD, one per bad byte, so any file still
// opens as text; *bad counts them.
QString decodeCharset(const char* charset, QByteArrayView bytes, qsizetype* bad = nullptr);

// Characters `charset` cannot hold become '?' and *lossless is set false.
QByteArray encodeCharset(const char* charset, const QString& text, bool* lossless = nullptr);

}  // namespace sayvell::text
