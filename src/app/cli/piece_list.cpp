#include "app/cli/piece_list.h"

#include "reading/piece_cutter.h"
#include "text/byte_text.h"

#include <QHash>

#include <charconv>

namespace sayvell::app::cli {
namespace {

// In UTF-16 units: at most 2 bytes each, so always inside the worker's window. A view costs
// nothing and the cut stops at the first delimiter: only a longer piece pays for the walk.
constexpr qsizetype kShortWindowUnits = 128;
static_assert(2 * kShortWindowUnits <= reading::kReadWindowBytes);

// text::charUnitsAt and charBytesAt where the compiler can inline them: the walk asks them of
// every character. The text holds no CR (MemoryEditor); one would still count as ByteText says.
int unitsAt(QStringView s, qsizetype i) {
    return s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate() ? 2 : 1;
}

int bytesAt(QStringView s, qsizetype i) {
    const char16_t c = s[i].unicode();
    if (c == u'\r') return text::charBytesAt(s, i);
    return c < 0x80 && c != u'\n' ? 1 : 2;
}

int byteLengthOf(QStringView s) {
    int n = 0;
    for (qsizetype i = 0; i < s.size(); i += unitsAt(s, i)) n += bytesAt(s, i);
    return n;
}

// A view of the text; only a text holding U+2029 needs a copy, in *scratch, with it as '\n'.
QStringView asWindow(QStringView window, bool separators, QString* scratch) {
    if (!separators) return window;
    *scratch = window.toString();
    scratch->replace(text::kParagraphSeparator, u'\n');
    return *scratch;
}

// ByteText::window from a known position: the walk keeps the position of its caret, so that no
// window has to find its place from a checkpoint.
QStringView windowAt(QStringView s, qsizetype pos, int maxBytes, bool separators, QString* scratch) {
    int bytes = 0;
    qsizetype i = pos;
    while (i < s.size()) {
        const int n = bytesAt(s, i);
        if (bytes + n > maxBytes) break;
        bytes += n;
        i += unitsAt(s, i);
    }
    return asWindow(s.mid(pos, i - pos), separators, scratch);
}

// The start of the worker's window at pos, whole characters only; needs no walk.
QStringView shortWindowAt(QStringView s, qsizetype pos, bool separators, QString* scratch) {
    qsizetype end = std::min(s.size(), pos + kShortWindowUnits);
    if (end < s.size() && s[end - 1].isHighSurrogate() && s[end].isLowSurrogate()) --end;
    return asWindow(s.mid(pos, end - pos), separators, scratch);
}

// The spoken copy depends on the piece alone while the settings stay (date, lexicon and all),
// and an announcement says the same pieces again and again: each is made once.
class SpokenCopies {
public:
    explicit SpokenCopies(const reading::SpokenSettings& settings) : settings_(settings) {}
    QString of(const QString& piece) {
        const auto known = copies_.constFind(piece);
        if (known != copies_.constEnd()) return known.value();
        if (copies_.size() >= kMaxCopies) copies_.clear();  // a text that hardly repeats
        return *copies_.insert(piece, reading::spokenCopy(piece, settings_));
    }

private:
    static constexpr qsizetype kMaxCopies = 4096;
    const reading::SpokenSettings& settings_;
    QHash<QString, QString> copies_;
};

// Reports the piece when the worker would speak it; returns where the next one starts.
int emitPiece(const reading::Piece& piece, int caret, int length, SpokenCopies& spoken,
              const std::function<void(const ListedPiece&)>& out) {
    ListedPiece listed;
    listed.start = caret;
    listed.length = byteLengthOf(piece.text);
    if (reading::hasText(piece.text)) {
        listed.pauseMs = piece.delayMs;
        listed.written = piece.text;
        listed.spoken = spoken.of(piece.text);
        out(listed);
    }
    return std::min(caret + listed.length, length);
}

void appendNumber(int value, QString* out) {
    char digits[16];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
    out->append(QLatin1String(digits, r.ptr - digits));
}

// Runs without an escape go in whole.
void appendEscaped(QStringView s, QString* out) {
    qsizetype from = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        const char* escape = nullptr;
        if (c == u'\\')
            escape = "\\\\";
        else if (c == u'\t')
            escape = "\\t";
        else if (c == u'\n' || c == text::kParagraphSeparator)
            escape = "\\n";
        else if (c == u'\r')
            escape = "\\r";
        if (!escape) continue;
        out->append(s.mid(from, i - from));
        out->append(QLatin1String(escape));
        from = i + 1;
    }
    out->append(s.mid(from));
}

}  // namespace

void listPieces(const MemoryEditor& editor, const reading::DelimiterTable& table,
                const reading::SpokenSettings& settings, const std::function<void(const ListedPiece&)>& out) {
    const int length = editor.byteLength();
    const int lastLine = editor.lineOf(length);
    const QStringView all(editor.text().text());
    const bool separators = all.contains(text::kParagraphSeparator);
    QString shortScratch;
    QString scratch;
    SpokenCopies spoken(settings);
    int caret = 0;
    qsizetype pos = 0;  // of the caret, in UTF-16 units
    for (;;) {
        // Most pieces end well inside a short window, and a piece depends only on the text up
        // to its delimiter and the character after it: try that first, the worker's whole
        // window only when the piece could reach past it.
        const QStringView shortWindow = shortWindowAt(all, pos, separators, &shortScratch);
        if (reading::hasText(shortWindow)) {
            const reading::Piece piece = reading::cutSpokenPiece(shortWindow, table, settings.language);
            if (piece.text.size() < shortWindow.size()) {
                caret = emitPiece(piece, caret, length, spoken, out);
                pos += piece.text.size();
                continue;
            }
        }
        const QStringView window = windowAt(all, pos, reading::kReadWindowBytes, separators, &scratch);
        if (!reading::hasText(window)) {
            // The worker steps over a blank window and ends once that reaches the last line.
            // The step may end inside a character: find the place as the editor does.
            caret = std::min(caret + reading::kReadWindowBytes, length);
            if (editor.lineOf(caret) >= lastLine) return;
            pos = editor.text().posOfByte(caret);
            continue;
        }
        const reading::Piece piece = reading::cutSpokenPiece(window, table, settings.language);
        caret = emitPiece(piece, caret, length, spoken, out);
        pos += piece.text.size();
    }
}

void printPieces(const MemoryEditor& editor, const reading::DelimiterTable& table,
                 const reading::SpokenSettings& settings, std::FILE* out) {
    // Lines gather as UTF-16 and go out converted a block at a time: one conversion and one
    // write per block, not per piece. A block ends after a line break, never inside a character.
    constexpr qsizetype kBlockUnits = 1 << 19;
    QString lines;
    lines.reserve(kBlockUnits + 4096);
    const auto flush = [&] {
        const QByteArray bytes = lines.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
        lines.resize(0);  // keeps its room
    };
    listPieces(editor, table, settings, [&](const ListedPiece& piece) {
        appendNumber(piece.start, &lines);
        lines.append(u'\t');
        appendNumber(piece.length, &lines);
        lines.append(u'\t');
        appendNumber(piece.pauseMs, &lines);
        lines.append(u'\t');
        appendEscaped(piece.written, &lines);
        lines.append(u'\t');
        appendEscaped(piece.spoken, &lines);
        lines.append(u'\n');
        if (lines.size() >= kBlockUnits) flush();
    });
    flush();
}

}  // namespace sayvell::app::cli
