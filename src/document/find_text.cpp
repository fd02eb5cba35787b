#include "document/find_text.h"

#include <algorithm>
#include <cstdint>

namespace sayvell::document {
namespace {

// A window is compared as cells, one per byte of the byte model. An ASCII character is its
// own code; a line break is CR, LF; any other character is a lead cell (its first UTF-16
// unit) and a trail cell (the low surrogate of a pair, else kTrail). A character cut by a
// window edge leaves only one of its cells, which can never take part in a match because
// every search text consists of whole characters.
using Cell = std::uint32_t;
constexpr Cell kTrail = 0x10000;
constexpr Cell kFiller = 0x10001;

struct CharSpan {
    int units;
    int bytes;
};

using text::isLineBreak;

// The character starting at pos, by the text model's rules; CR LF is one 2-byte character.
CharSpan charAt(QStringView s, qsizetype pos) {
    const int bytes = text::charBytesAt(s, pos);
    if (bytes == 0) return {2, 2};  // the CR of CR LF
    return {text::charUnitsAt(s, pos), bytes};
}

// The character ending at pos.
CharSpan charBefore(QStringView s, qsizetype pos) {
    if (pos >= 2 &&
        ((s[pos - 1] == u'\n' && s[pos - 2] == u'\r') || (s[pos - 1].isLowSurrogate() && s[pos - 2].isHighSurrogate())))
        return {2, 2};
    const QChar c = s[pos - 1];
    return {1, (isLineBreak(c) || c.unicode() >= 0x80) ? 2 : 1};
}

Cell fold(Cell c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

enum Part { Whole, LeadOnly, TrailOnly };

void appendCells(QStringView s, qsizetype pos, CharSpan ch, bool folding, Part part, std::vector<Cell>& out) {
    const QChar c = s[pos];
    if (ch.bytes == 1) {
        out.push_back(folding ? fold(c.unicode()) : c.unicode());
        return;
    }
    Cell lead, trail;
    if (isLineBreak(c) || c == u'\r') {
        lead = '\r';
        trail = '\n';
    } else {
        lead = c.unicode();
        trail = ch.units == 2 ? Cell(s[pos + 1].unicode()) : kTrail;
    }
    if (part != TrailOnly) out.push_back(lead);
    if (part != LeadOnly) out.push_back(trail);
}

std::vector<Cell> patternCells(const QString& f, bool folding) {
    std::vector<Cell> out;
    const QStringView s(f);
    for (qsizetype i = 0; i < s.size();) {
        const CharSpan ch = charAt(s, i);
        appendCells(s, i, ch, folding, Whole, out);
        i += ch.units;
    }
    return out;
}

// Walks the text by bytes, keeping (pos, byte) on a character start.
class Walker {
public:
    Walker(const text::ByteText& t, int byte) : s_(t.text()) {
        byte = std::max(0, byte);
        pos_ = t.posOfByte(byte);
        byte_ = t.byteOfPos(pos_);
        if (byte_ > byte && pos_ > 0) back();
    }

    // Moves to the character that holds byte b (or the end of the text).
    void seek(int b) {
        while (byte_ > b && pos_ > 0) back();
        while (pos_ < s_.size()) {
            const CharSpan ch = charAt(s_, pos_);
            if (byte_ + ch.bytes > b) break;
            byte_ += ch.bytes;
            pos_ += ch.units;
        }
    }

    // Cells of bytes [from, from + n), after seek(from), between two filler cells each side.
    void window(int from, int n, bool folding, std::vector<Cell>& out) const {
        out.clear();
        out.push_back(kFiller);
        out.push_back(kFiller);
        qsizetype p = pos_;
        int b = byte_;
        const int end = from + n;
        if (n > 0 && p < s_.size() && b < from) {
            const CharSpan ch = charAt(s_, p);
            appendCells(s_, p, ch, folding, TrailOnly, out);
            b += ch.bytes;
            p += ch.units;
        }
        while (n > 0 && p < s_.size() && b < end) {
            const CharSpan ch = charAt(s_, p);
            appendCells(s_, p, ch, folding, b + ch.bytes <= end ? Whole : LeadOnly, out);
            b += ch.bytes;
            p += ch.units;
        }
        out.push_back(kFiller);
        out.push_back(kFiller);
    }

private:
    void back() {
        const CharSpan ch = charBefore(s_, pos_);
        pos_ -= ch.units;
        byte_ -= ch.bytes;
    }

    QStringView s_;
    qsizetype pos_ = 0;
    int byte_ = 0;
};

bool bounded(const std::vector<Cell>& w, size_t i, size_t len) {
    if (i == 0 || i + len >= w.size()) return false;
    const Cell before = w[i - 1];
    const Cell after = w[i + len];
    return (before == ' ' || before == '\n' || before == kFiller) &&
           (after == ' ' || after == '\r' || after == kFiller);
}

bool matchesAt(const std::vector<Cell>& w, size_t i, const std::vector<Cell>& f, bool whole) {
    return std::equal(f.begin(), f.end(), w.begin() + static_cast<std::ptrdiff_t>(i)) &&
           (!whole || bounded(w, i, f.size()));
}

// Leftmost occurrence in the window (cell index), -1 if none.
int firstIn(const std::vector<Cell>& w, const std::vector<Cell>& f, bool whole) {
    if (w.size() < f.size()) return -1;
    for (size_t i = 0; i + f.size() <= w.size(); ++i)
        if (w[i] == f[0] && matchesAt(w, i, f, whole)) return static_cast<int>(i);
    return -1;
}

// The occurrence nearest the window's end, -1 if none.
int lastIn(const std::vector<Cell>& w, const std::vector<Cell>& f, bool whole) {
    if (w.size() < f.size()) return -1;
    for (size_t i = w.size() - f.size() + 1; i-- > 0;)
        if (w[i] == f[0] && matchesAt(w, i, f, whole)) return static_cast<int>(i);
    return -1;
}

bool selectionIs(const text::ByteText& t, int start, int length, const QString& find) {
    const std::vector<Cell> f = patternCells(find, true);
    if (length != static_cast<int>(f.size()) || length == 0) return false;
    Walker w(t, start);
    std::vector<Cell> cells;
    w.window(start, length, true, cells);
    return std::equal(f.begin(), f.end(), cells.begin() + 2);
}

QString notFound(const QString& shown, bool upward) {
    return u'"' + shown + (upward ? QStringLiteral("\"沒有找到。") : QStringLiteral("\" 沒有找到。"));
}

}  // namespace

QString foldCase(const QString& s) {
    QString out = s;
    for (QChar& c : out)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + ('a' - 'A'));
    return out;
}

int findDownward(const text::ByteText& text, int from, const QString& find, bool matchCase, bool wholeEntry) {
    const std::vector<Cell> f = patternCells(find, !matchCase);
    if (f.empty()) return -1;
    from = std::max(0, from);
    const qint64 len = text.byteLength();
    Walker walker(text, from);
    std::vector<Cell> w;
    w.reserve(kWindowBytes + 4);
    for (qint64 j = 0;; ++j) {
        const qint64 p = from + 1 + j * kWindowStep;  // 1-based, as the window rule counts
        if (len + 223 < p) return -1;
        const int start = static_cast<int>(p - 1);
        walker.seek(start);
        walker.window(start, kWindowBytes, !matchCase, w);
        if (const int i = firstIn(w, f, wholeEntry); i >= 0) return start + i - 2;
    }
}

int findUpward(const text::ByteText& text, int from, const QString& find, bool matchCase, bool wholeEntry) {
    const std::vector<Cell> f = patternCells(find, !matchCase);
    if (f.empty()) return -1;
    from = std::clamp(from, 0, text.byteLength());
    Walker walker(text, from);
    std::vector<Cell> w;
    w.reserve(kWindowBytes + 4);
    for (qint64 j = 0;; ++j) {
        const qint64 p = from + 1 - j * kWindowStep;
        if (p < -250) return -1;
        const qint64 c = p >= kWindowBytes ? kWindowBytes : p - 1;
        // From here on the windows hold nothing but filler, which no search text matches.
        if (c <= 0) return -1;
        const int end = static_cast<int>(p - 1);
        const int start = static_cast<int>(std::max<qint64>(0, end - c));
        walker.seek(start);
        walker.window(start, end - start, !matchCase, w);
        if (const int i = lastIn(w, f, wholeEntry); i >= 0) return start + i - 2;
    }
}

namespace {

struct Selection {
    int start = 0;
    int length = 0;
};

Selection clampSelection(const text::ByteText& text, int start, int length) {
    const int len = text.byteLength();
    start = std::clamp(start, 0, len);
    return {start, std::clamp(length, 0, len - start)};
}

// One step on the original text: what it replaces and where it leaves the selection.
struct StepOutcome {
    bool replaced = false;
    bool found = false;
    Selection next;  // found: the occurrence; else the selection the step leaves (original text)
};

StepOutcome stepOnOriginal(const text::ByteText& text, Selection sel, const QString& find, bool replacing,
                           FindOptions o) {
    StepOutcome out;
    const bool isOccurrence = selectionIs(text, sel.start, sel.length, find);
    out.replaced = replacing && isOccurrence;
    const int findBytes = text::byteLength(find);
    int found = -1;
    if (!o.upward) {
        const int origin = isOccurrence ? sel.start + sel.length : sel.start;
        found = findDownward(text, origin, find, o.matchCase, o.wholeEntry);
        if (found < 0 && !out.replaced && isOccurrence) sel = {sel.start + findBytes, 0};
    } else {
        found = findUpward(text, sel.start, find, o.matchCase, o.wholeEntry);
    }
    out.found = found >= 0;
    out.next = out.found ? Selection{found, findBytes} : sel;
    return out;
}

int shift(const std::vector<Edit>& edits, int byte) {
    int delta = 0;
    for (const Edit& e : edits)
        if (e.start + e.length <= byte) delta += text::byteLength(e.text) - e.length;
    return byte + delta;
}

FindResult run(const text::ByteText& text, int selStart, int selLength, const QString& find, const QString& replacement,
               FindOptions options, bool following) {
    FindResult r;
    Selection sel = clampSelection(text, selStart, selLength);
    if (find.isEmpty()) {
        r.selStart = sel.start;
        r.selLength = sel.length;
        return r;
    }
    if (options.fromTop) sel = {0, 0};
    const QString inserted = options.matchCase ? replacement : foldCase(replacement);
    const int insertedBytes = text::byteLength(inserted);
    for (;;) {
        const StepOutcome step = stepOnOriginal(text, sel, find, !replacement.isEmpty(), options);
        if (step.replaced) r.edits.push_back({sel.start, sel.length, inserted});
        if (!step.found) {
            const int lastStart = sel.start;
            if (options.upward) std::reverse(r.edits.begin(), r.edits.end());
            if (step.replaced) {
                r.selStart = shift(r.edits, lastStart) + insertedBytes;
                r.selLength = 0;
            } else {
                r.selStart = shift(r.edits, step.next.start);
                r.selLength = step.next.length;
            }
            r.notFoundMessage = notFound(options.matchCase ? find : foldCase(find), options.upward);
            return r;
        }
        if (!following) {
            if (options.upward) std::reverse(r.edits.begin(), r.edits.end());
            r.found = true;
            r.selStart = shift(r.edits, step.next.start);
            r.selLength = step.next.length;
            return r;
        }
        sel = step.next;
    }
}

}  // namespace

FindResult findStep(const text::ByteText& text, int selStart, int selLength, const QString& find,
                    const QString& replacement, FindOptions options) {
    return run(text, selStart, selLength, find, replacement, options, false);
}

FindResult replaceFollowing(const text::ByteText& text, int selStart, int selLength, const QString& find,
                            const QString& replacement, FindOptions options) {
    return run(text, selStart, selLength, find, replacement, options, true);
}

}  // namespace sayvell::document
