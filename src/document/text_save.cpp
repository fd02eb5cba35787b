#include "document/text_save.h"

#include "text/big5.h"

#include <QSaveFile>

namespace sayvell::document {

bool saveBig5Text(const QString& path, const QString& text, bool* usedUtf8, QString* error) {
    QString crlf = text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    crlf.replace(QChar(0x2029), u'\n');
    crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    bool lossless = true;
    QByteArray bytes = text::toBig5(crlf, &lossless);
    // Never replace what Big5 cannot hold: such a text is kept as UTF-8 with a byte-order mark.
    if (!lossless) bytes = QByteArray("\xEF\xBB\xBF") + crlf.toUtf8();
    if (usedUtf8) *usedUtf8 = !lossless;
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

}  // namespace sayvell::document
