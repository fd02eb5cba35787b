#pragma once
// Text files in other encodings, written by the system's iconv program rather than by the code
// under test, so that a fault in our conversion cannot hide in both sides of a comparison.
#include <QByteArray>
#include <QString>

namespace sayvell::testing {

// `text` in `charset` (iconv's name: "GBK", "BIG5", "BIG5-HKSCS", "UTF-16LE", ...); empty and a
// test failure when iconv refuses it.
QByteArray iconvBytes(const QString& text, const char* charset);

}  // namespace sayvell::testing
