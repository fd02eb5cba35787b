#include "reading/piece_walk.h"

#include "text/byte_text.h"

#include <algorithm>

namespace sayvell::reading {
namespace {

// In UTF-16 units: at most 2 bytes each, so always inside a reading window. Most pieces end
// well inside it, and a view costs nothing.
constexpr qsizetype kPeekUnits = 128;
static_assert(2 * kPeekUnits < kReadWindowBytes);

constexpr qsizetype kMaxSpokenCopies = 4096;

// The text holds no CR (MemoryText makes it so): every character is 1 or 2 bytes.
int unitsAt(QStringView s, qsizetype i) {
    return s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate() ? 2 : 1;
}

int bytesAt(QStringView s, qsizetype i) {
    const char16_t c = s[i].unicode();
    return c < 0x80 && c != u'\n' ? 1 : 2;
}

QString withoutCarriageReturns(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

}  // namespace

MemoryText::MemoryText(const QString& text) : text_(withoutCarriageReturns(text)) {
    const QStringView s(text_);
    lineStarts_.push_back(0);
    // One pass for the length, the lines and the checkpoints: a novel-sized text is walked
    // here once per run. A checkpoint inside a surrogate pair holds the bytes before the pair.
    int bytes = 0;
    qsizetype nextCheckpoint = 0;
    for (qsizetype i = 0; i < s.size();) {
        const int units = unitsAt(s, i);
        for (; nextCheckpoint < i + units; nextCheckpoint += kStep) checkpoints_.push_back(bytes);
        const QChar c = s[i];
        bytes += bytesAt(s, i);
        if (text::isLineBreak(c)) {
            lineStarts_.push_back(bytes);
            separators_ = separators_ || c == text::kParagraphSeparator;
        }
        i += units;
    }
    if (checkpoints_.empty()) checkpoints_.push_back(0);
    length_ = bytes;
}

int MemoryText::lineOf(int offset) const {
    const auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    return std::max(0, static_cast<int>(it - lineStarts_.begin()) - 1);
}

qsizetype MemoryText::posOf(int offset) {
    offset = std::clamp(offset, 0, length_);
    if (offset < cursorByte_ || offset - cursorByte_ > 4 * kStep) {
        // Last checkpoint at or before the offset; one inside a surrogate pair steps back to
        // the pair's start.
        const auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), offset) - 1;
        cursorPos_ = static_cast<qsizetype>(it - checkpoints_.begin()) * kStep;
        cursorByte_ = *it;
        if (cursorPos_ > 0 && cursorPos_ < text_.size() && text_[cursorPos_].isLowSurrogate()) --cursorPos_;
    }
    // A byte inside a character rounds up to the next character, as the editor places a caret.
    const QStringView s(text_);
    while (cursorPos_ < s.size() && cursorByte_ < offset) {
        cursorByte_ += bytesAt(s, cursorPos_);
        cursorPos_ += unitsAt(s, cursorPos_);
    }
    return cursorPos_;
}

QStringView MemoryText::windowFrom(qsizetype pos, int maxBytes, QString* scratch) const {
    const QStringView s(text_);
    int bytes = 0;
    qsizetype i = pos;
    while (i < s.size()) {
        const int n = bytesAt(s, i);
        if (bytes + n > maxBytes) break;
        bytes += n;
        i += unitsAt(s, i);
    }
    const QStringView window = s.mid(pos, i - pos);
    if (!separators_) return window;
    *scratch = window.toString();
    scratch->replace(text::kParagraphSeparator, u'\n');
    return *scratch;
}

void MemoryText::took(int offset, qsizetype units) {
    // Windows are the text's own units (U+2029 becomes '\n' one for one).
    cursorPos_ = std::min(text_.size(), shownPos_ + units);
    cursorByte_ = std::min(offset, length_);
}

TextView MemoryText::viewAt(int offset) {
    const qsizetype pos = shownPos_ = posOf(offset);
    TextView view;
    view.offset = cursorByte_;
    view.window = windowFrom(pos, kReadWindowBytes, &scratch_);
    int bytes = 0;
    for (qsizetype i = 0; i < view.window.size(); i += unitsAt(view.window, i)) bytes += bytesAt(view.window, i);
    const qsizetype end = pos + view.window.size();
    // A step ending inside a character lands after it.
    view.stepOffset = view.offset + bytes;
    if (bytes < kReadWindowBytes && end < text_.size()) view.stepOffset += bytesAt(text_, end);
    view.stepEnds = lineOf(view.stepOffset) >= lineCount() - 1;
    return view;
}

std::optional<TextView> MemoryText::peekAt(int offset) {
    const qsizetype pos = shownPos_ = posOf(offset);
    qsizetype end = std::min(text_.size(), pos + kPeekUnits);
    if (end < text_.size() && text_[end - 1].isHighSurrogate() && text_[end].isLowSurrogate()) --end;
    TextView view;
    view.offset = cursorByte_;
    view.window = QStringView(text_).mid(pos, end - pos);
    if (separators_) {
        peekScratch_ = view.window.toString();
        peekScratch_.replace(text::kParagraphSeparator, u'\n');
        view.window = peekScratch_;
    }
    return view;
}

PieceWalk::PieceWalk(TextSource& source, int start, WalkMode mode, RunSettings settings)
    : source_(source), mode_(mode), settings_(std::move(settings)), position_(std::max(0, start)) {}

void PieceWalk::setSettings(RunSettings settings) {
    settings_ = std::move(settings);
    spokenCopies_.clear();
}

std::optional<WalkPiece> PieceWalk::next() {
    if (ended_) return std::nullopt;
    const auto cut = [this](QStringView window) {
        return cutSpokenPiece(window, settings_.delimiters, settings_.language);
    };
    if (mode_ == WalkMode::Range) {
        const TextView view = source_.viewAt(position_);
        if (view.window.isEmpty()) {
            ended_ = true;
            return std::nullopt;
        }
        return make(cut(view.window), view.offset, true);
    }
    for (;;) {
        // A piece depends only on the text up to its delimiter and the character after it.
        if (const std::optional<TextView> peek = source_.peekAt(position_); peek && hasText(peek->window)) {
            const Piece piece = cut(peek->window);
            if (piece.text.size() < peek->window.size()) return make(piece, peek->offset, hasText(piece.text));
        }
        const TextView view = source_.viewAt(position_);
        if (hasText(view.window)) {
            const Piece piece = cut(view.window);
            return make(piece, view.offset, hasText(piece.text));
        }
        source_.stepped(view);
        position_ = view.stepOffset;
        if (view.stepEnds) {
            ended_ = true;
            return std::nullopt;
        }
    }
}

WalkPiece PieceWalk::make(const Piece& piece, int start, bool speaks) {
    WalkPiece w;
    w.start = start;
    // A window holds no CR: every character is 1 or 2 bytes.
    const QStringView s(piece.text);
    for (qsizetype i = 0; i < s.size(); i += unitsAt(s, i)) w.length += bytesAt(s, i);
    w.written = piece.text;
    w.speaks = speaks;
    position_ = start + w.length;
    source_.took(position_, s.size());
    if (!speaks) return w;
    w.pauseAfterMs = piece.delayMs;

    const bool fixedTime = settings_.now.isValid();
    if (fixedTime) {
        const auto known = spokenCopies_.constFind(piece.text);
        if (known != spokenCopies_.constEnd()) {
            w.spoken = known->spoken;
            w.heard = known->heard;
            if (known->waits) w.pauseBeforeMs = settings_.symbolDelayMs;
            return w;
        }
    }
    const bool waits = piece.text.contains(QChar(kDelaySymbol));
    if (waits) w.pauseBeforeMs = settings_.symbolDelayMs;
    SpokenSettings spoken;
    spoken.language = settings_.language;
    spoken.dateFormatType = settings_.dateFormatType;
    spoken.now = fixedTime ? settings_.now : QDateTime::currentDateTime();
    spoken.date = settings_.date ? &settings_.date : nullptr;
    spoken.lexicon = settings_.lexicon.get();
    w.spoken = spokenCopy(piece.text, spoken);
    // Only a piece holding '%' can hold the date token.
    QString heard = spoken.date && piece.text.contains(u'%')
                        ? settings_.date(piece.text, spoken.dateFormatType, spoken.now)
                        : piece.text;
    if (waits) heard.remove(QChar(kDelaySymbol));
    w.heard = heard.trimmed();
    if (fixedTime) {
        if (spokenCopies_.size() >= kMaxSpokenCopies) spokenCopies_.clear();  // a text that hardly repeats
        spokenCopies_.insert(piece.text, {w.spoken, w.heard, waits});
    }
    return w;
}

}  // namespace sayvell::reading
