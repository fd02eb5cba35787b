#include "cli/memory_editor.h"

#include <algorithm>

namespace sayvell::app::cli {

QString normaliseLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

MemoryEditor::MemoryEditor(const QString& text) : text_(normaliseLineBreaks(text)) {
    // One walk for the length and the lines, with ByteText's count written out for a text
    // without CR: a novel-sized text is walked here once per run.
    lineStarts_.push_back(0);
    const QString& s = text_.text();
    const qsizetype n = s.size();
    int bytes = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s[i];
        if (c == u'\n') {
            bytes += 2;
            lineStarts_.push_back(bytes);
        } else {
            bytes += c.unicode() < 0x80 ? 1 : 2;
            if (c.isHighSurrogate() && i + 1 < n && s[i + 1].isLowSurrogate()) ++i;
        }
    }
    length_ = bytes;
}

int MemoryEditor::selStart() {
    std::lock_guard lock(mutex_);
    return selStart_;
}

void MemoryEditor::setSelStart(int offset) {
    std::lock_guard lock(mutex_);
    selStart_ = std::clamp(offset, 0, length_);
    selLength_ = 0;
}

int MemoryEditor::selLength() {
    std::lock_guard lock(mutex_);
    return selLength_;
}

void MemoryEditor::setSelLength(int length) {
    std::lock_guard lock(mutex_);
    selLength_ = std::clamp(length, 0, length_ - selStart_);
}

QString MemoryEditor::selText() {
    std::lock_guard lock(mutex_);
    return text_.window(selStart_, selLength_);
}

QString MemoryEditor::textWindow(int offset, int maxBytes) { return text_.window(offset, maxBytes); }

int MemoryEditor::lineCount() { return static_cast<int>(lineStarts_.size()); }

int MemoryEditor::lineOfOffset(int offset) { return lineOf(offset); }

int MemoryEditor::lineOf(int offset) const {
    const auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    return std::max(0, static_cast<int>(it - lineStarts_.begin()) - 1);
}

void MemoryEditor::runFinished() {
    if (onRunFinished_) onRunFinished_();
}

}  // namespace sayvell::app::cli
