#include "reading/piece_cutter.h"

#include "text/byte_text.h"

namespace sayvell::reading {

Piece cutPiece(QStringView window, const DelimiterTable& table) {
    for (qsizetype i = 0; i < window.size();) {
        const int units = text::charUnitsAt(window, i);
        const int delay = table.delayOf(window.mid(i, units));
        if (delay >= 0) return {window.left(i + units).toString(), delay};
        i += units;
    }
    return {window.toString(), 0};
}

bool hasText(QStringView s) {
    for (QChar c : s)
        if (!c.isSpace()) return true;
    return false;
}

}  // namespace sayvell::reading
