#include "reading/piece_steps.h"

#include "reading/piece_cutter.h"
#include "reading/spoken_text.h"
#include "text/byte_text.h"

#include <algorithm>

namespace sayvell::reading {

namespace {

// How far back Previous looks for a piece boundary in a paragraph without line breaks.
constexpr int kLookBackBytes = 4 * kReadWindowBytes;

// The start (as a position) of the paragraph holding position pos, or `floor` when that comes
// first.
qsizetype paragraphStartPos(const QString& s, qsizetype pos, qsizetype floor = 0) {
    while (pos > floor && !text::isLineBreak(s[pos - 1])) --pos;
    return pos;
}

}  // namespace

int pieceEnd(const text::ByteText& text, int offset, const DelimiterTable& table, SpeechLanguage language) {
    const int length = text.byteLength();
    if (offset >= length) return length;
    const Piece piece = cutSpokenPiece(text.window(offset, kReadWindowBytes), table, language);
    // A piece is never empty, so a step always moves forward.
    return std::min(length, offset + std::max(1, text::byteLength(piece.text)));
}

int previousPieceStart(const text::ByteText& text, int offset, const DelimiterTable& table, SpeechLanguage language) {
    offset = std::clamp(offset, 0, text.byteLength());
    while (offset > 0) {
        // The paragraph of the character before offset: a piece at a paragraph's start steps
        // back into the paragraph before it.
        const qsizetype before = text.posOfByte(offset) - 1;
        const qsizetype floor = std::min(before, text.posOfByte(std::max(0, offset - kLookBackBytes)));
        const int from = text.byteOfPos(paragraphStartPos(text.text(), before, floor));
        int start = from;
        for (int at = from; at < offset;) {
            start = at;
            at = pieceEnd(text, at, table, language);
        }
        // Only the line break before the piece: that is the same piece again, not the one before.
        if (hasText(text.window(start, offset - start))) return start;
        offset = start;
    }
    return 0;
}

int nextParagraphStart(const text::ByteText& text, int offset) {
    const QString& s = text.text();
    const qsizetype from = text.posOfByte(std::max(0, offset));
    // Searched, not walked: this runs at every caret move, also in a novel of one paragraph.
    const qsizetype newline = s.indexOf(u'\n', from);
    const qsizetype separator = s.indexOf(text::kParagraphSeparator, from);
    const qsizetype end = newline < 0 ? separator : separator < 0 ? newline : std::min(newline, separator);
    return end < 0 ? -1 : text.byteOfPos(end + 1);
}

int previousParagraphStart(const text::ByteText& text, int offset) {
    offset = std::clamp(offset, 0, text.byteLength());
    const QString& s = text.text();
    const qsizetype pos = text.posOfByte(offset);
    qsizetype start = paragraphStartPos(s, pos);
    if (start == pos && start > 0) start = paragraphStartPos(s, start - 1);
    return text.byteOfPos(start);
}

}  // namespace sayvell::reading
