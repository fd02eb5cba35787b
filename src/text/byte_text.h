#pragma once
// The byte model of the editor's text. The reading code counts offsets in CP950 bytes:
// an ASCII character is 1 byte, every other character 2 (also one that Big5 cannot hold),
// and a line break (CR LF) 2. The editor holds Unicode; this is the one place that converts.
#include <QString>
#include <QStringView>
#include <vector>

namespace sayvell::text {

constexpr QChar kParagraphSeparator(0x2029);

inline bool isLineBreak(QChar c) { return c == u'\n' || c == kParagraphSeparator; }

// Bytes of the character starting at s[i]; a surrogate pair is one 2-byte character,
// a line break 2; a "\r" right before "\n" counts 0 so that CR LF counts 2 together.
int charBytesAt(QStringView s, qsizetype i);
// Length in UTF-16 units of the character starting at s[i] (2 for a surrogate pair).
int charUnitsAt(QStringView s, qsizetype i);
int byteLength(QStringView s);

// Index over one text (line breaks as '\n' or U+2029) giving byte <-> position in
// O(checkpoint) time, so that offsets cost the same at the start and the end of a novel.
class ByteText {
public:
    ByteText() = default;
    explicit ByteText(QString text) { setText(std::move(text)); }

    void setText(QString text);
    // Mirrors an edit: `removed` units at `pos` replaced by `added`.
    void replace(qsizetype pos, qsizetype removed, QStringView added);

    const QString& text() const { return text_; }
    qsizetype size() const { return text_.size(); }
    int byteLength() const;

    // Byte offset of the character at UTF-16 position pos (pos may equal size()).
    int byteOfPos(qsizetype pos) const;
    // Position of the character holding byte b; a byte inside a character rounds up to the
    // next character so that advancing by a piece's bytes always moves forward.
    qsizetype posOfByte(int b) const;

    // Up to maxBytes bytes of whole characters from byte offset b; line breaks as '\n'.
    QString window(int b, int maxBytes) const;

private:
    static constexpr qsizetype kStep = 1024;
    void ensureCheckpoints(qsizetype upToPos) const;

    QString text_;
    // checkpoints_[k] = byte offset of position k*kStep; valid for k < valid_.
    mutable std::vector<int> checkpoints_;
    mutable qsizetype valid_ = 0;
};

}  // namespace sayvell::text
