#include "text/byte_text.h"

#include <algorithm>

namespace sayvell::text {

int charUnitsAt(QStringView s, qsizetype i) {
    if (i + 1 < s.size() && s[i].isHighSurrogate() && s[i + 1].isLowSurrogate()) return 2;
    return 1;
}

int charBytesAt(QStringView s, qsizetype i) {
    const QChar c = s[i];
    if (c == u'\r') return (i + 1 < s.size() && s[i + 1] == u'\n') ? 0 : 1;
    if (isLineBreak(c)) return 2;
    return c.unicode() < 0x80 ? 1 : 2;
}

int byteLength(QStringView s) {
    int n = 0;
    for (qsizetype i = 0; i < s.size(); i += charUnitsAt(s, i)) n += charBytesAt(s, i);
    return n;
}

void ByteText::setText(QString text) {
    text_ = std::move(text);
    checkpoints_.clear();
    valid_ = 0;
}

void ByteText::replace(qsizetype pos, qsizetype removed, QStringView added) {
    pos = std::clamp<qsizetype>(pos, 0, text_.size());
    removed = std::clamp<qsizetype>(removed, 0, text_.size() - pos);
    text_.replace(pos, removed, added.toString());
    // A checkpoint at or after the edit may have moved; those before it still hold.
    // The character before pos may have joined the edit (CR LF, surrogates): step back one.
    const qsizetype keep = std::max<qsizetype>(0, (pos - 1) / kStep + 1);
    valid_ = std::min(valid_, keep);
}

void ByteText::ensureCheckpoints(qsizetype upToPos) const {
    const qsizetype need = upToPos / kStep + 1;
    if (valid_ >= need) return;
    if (static_cast<qsizetype>(checkpoints_.size()) < need) checkpoints_.resize(static_cast<size_t>(need));
    if (valid_ == 0) {
        checkpoints_[0] = 0;
        valid_ = 1;
    }
    const QStringView s(text_);
    qsizetype k = valid_ - 1;
    qsizetype i = k * kStep;
    int bytes = checkpoints_[static_cast<size_t>(k)];
    if (i > 0 && i < s.size() && s[i].isLowSurrogate() && s[i - 1].isHighSurrogate()) --i;
    // A checkpoint may fall on the low half of a surrogate pair; its byte count is then the
    // count before the pair, and scans starting there step back to the pair's start.
    while (valid_ < need) {
        const qsizetype end = valid_ * kStep;
        while (i < end && i < s.size()) {
            bytes += charBytesAt(s, i);
            i += charUnitsAt(s, i);
        }
        checkpoints_[static_cast<size_t>(valid_)] = bytes - (i > end ? charBytesAt(s, end - 1) : 0);
        ++valid_;
    }
}

int ByteText::byteLength() const { return byteOfPos(text_.size()); }

int ByteText::byteOfPos(qsizetype pos) const {
    pos = std::clamp<qsizetype>(pos, 0, text_.size());
    ensureCheckpoints(pos);
    const QStringView s(text_);
    qsizetype i = (pos / kStep) * kStep;
    int bytes = checkpoints_[static_cast<size_t>(pos / kStep)];
    if (i > 0 && i < s.size() && s[i].isLowSurrogate() && s[i - 1].isHighSurrogate()) --i;
    while (i < pos) {
        bytes += charBytesAt(s, i);
        i += charUnitsAt(s, i);
    }
    return bytes;
}

qsizetype ByteText::posOfByte(int b) const {
    if (b <= 0) return 0;
    ensureCheckpoints(text_.size());
    const auto first = checkpoints_.begin();
    const auto last = first + valid_;
    // Last checkpoint whose byte offset is <= b.
    const auto it = std::upper_bound(first, last, b) - 1;
    const QStringView s(text_);
    qsizetype i = (it - first) * kStep;
    int bytes = *it;
    if (i > 0 && i < s.size() && s[i].isLowSurrogate() && s[i - 1].isHighSurrogate()) --i;
    while (i < s.size() && bytes < b) {
        bytes += charBytesAt(s, i);
        i += charUnitsAt(s, i);
    }
    return i;
}

QString ByteText::window(int b, int maxBytes) const {
    const QStringView s(text_);
    qsizetype i = posOfByte(b);
    QString out;
    out.reserve(maxBytes);
    int bytes = 0;
    while (i < s.size()) {
        const int n = charBytesAt(s, i);
        const int units = charUnitsAt(s, i);
        // CR LF travels as one 2-byte character.
        const int cost = (n == 0) ? 2 : n;
        if (bytes + cost > maxBytes) break;
        if (n == 0) {
            out.append(u'\n');
            i += 2;
        } else {
            const QChar c = s[i];
            if (c == kParagraphSeparator)
                out.append(u'\n');
            else
                out.append(s.mid(i, units));
            i += units;
        }
        bytes += cost;
    }
    return out;
}

}  // namespace sayvell::text
