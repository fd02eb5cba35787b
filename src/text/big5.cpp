#include "text/big5.h"

#include "text/charset.h"

namespace sayvell::text {

QString fromBig5(const QByteArray& bytes) { return decodeCharset("CP950", bytes); }

QByteArray toBig5(const QString& text, bool* lossless) { return encodeCharset("CP950", text, lossless); }

bool fitsBig5(const QString& text) {
    bool lossless = true;
    toBig5(text, &lossless);
    return lossless;
}

}  // namespace sayvell::text
