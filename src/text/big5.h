#pragma once
// Big5 (code page 950) conversion, the encoding of the settings file and of .txt documents.
#include <QByteArray>
#include <QString>

namespace sayvell::text {

// Decodes CP950 bytes. Bytes that are not valid Big5 become U+FFFD, one per bad byte,
// so a binary file still opens as text.
QString fromBig5(const QByteArray& bytes);

// Encodes to CP950. Characters Big5 cannot hold become '?' and *lossless is set false.
QByteArray toBig5(const QString& text, bool* lossless = nullptr);

// True when every character of text can be written in Big5.
bool fitsBig5(const QString& text);

}  // namespace sayvell::text
