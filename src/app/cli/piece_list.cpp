#include "app/cli/piece_list.h"

#include "reading/piece_cutter.h"
#include "text/byte_text.h"

namespace sayvell::app::cli {
namespace {

QString escaped(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\n' || c == text::kParagraphSeparator)
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

constexpr int kShortWindowBytes = 96;

// ByteText::window from a known position: the walk keeps the position of its caret, so that no
// window has to find its place from a checkpoint. The text holds no CR (MemoryEditor).
QString windowAt(QStringView s, qsizetype pos, int maxBytes) {
    QString out;
    int bytes = 0;
    qsizetype i = pos;
    while (i < s.size()) {
        const int n = text::charBytesAt(s, i);
        if (bytes + n > maxBytes) break;
        bytes += n;
        i += text::charUnitsAt(s, i);
    }
    out = s.mid(pos, i - pos).toString();
    out.replace(text::kParagraphSeparator, u'\n');
    return out;
}

// Reports the piece when the worker would speak it; returns where the next one starts.
int emitPiece(const reading::Piece& piece, int caret, int length, const reading::SpokenSettings& settings,
              const std::function<void(const ListedPiece&)>& out) {
    ListedPiece listed;
    listed.start = caret;
    listed.length = text::byteLength(piece.text);
    if (reading::hasText(piece.text)) {
        listed.pauseMs = piece.delayMs;
        listed.written = piece.text;
        listed.spoken = reading::spokenCopy(piece.text, settings);
        out(listed);
    }
    return std::min(caret + listed.length, length);
}

}  // namespace

void listPieces(const MemoryEditor& editor, const reading::DelimiterTable& table,
                const reading::SpokenSettings& settings, const std::function<void(const ListedPiece&)>& out) {
    const int length = editor.byteLength();
    const int lastLine = editor.lineOf(length);
    const QStringView all(editor.text().text());
    int caret = 0;
    qsizetype pos = 0;  // of the caret, in UTF-16 units
    for (;;) {
        // Most pieces end well inside a short window, and a piece depends only on the text up
        // to its delimiter and the character after it: try that first, the worker's whole
        // window only when the piece could reach past it.
        const QString shortWindow = windowAt(all, pos, kShortWindowBytes);
        if (reading::hasText(shortWindow)) {
            const reading::Piece piece = reading::cutSpokenPiece(shortWindow, table, settings.language);
            if (piece.text.size() < shortWindow.size()) {
                caret = emitPiece(piece, caret, length, settings, out);
                pos += piece.text.size();
                continue;
            }
        }
        const QString window = windowAt(all, pos, reading::kReadWindowBytes);
        if (!reading::hasText(window)) {
            // The worker steps over a blank window and ends once that reaches the last line.
            // The step may end inside a character: find the place as the editor does.
            caret = std::min(caret + reading::kReadWindowBytes, length);
            if (editor.lineOf(caret) >= lastLine) return;
            pos = editor.text().posOfByte(caret);
            continue;
        }
        const reading::Piece piece = reading::cutSpokenPiece(window, table, settings.language);
        caret = emitPiece(piece, caret, length, settings, out);
        pos += piece.text.size();
    }
}

QString pieceLine(const ListedPiece& piece) {
    return QString::number(piece.start) + u'\t' + QString::number(piece.length) + u'\t' +
           QString::number(piece.pauseMs) + u'\t' + escaped(piece.written) + u'\t' + escaped(piece.spoken);
}

}  // namespace sayvell::app::cli
