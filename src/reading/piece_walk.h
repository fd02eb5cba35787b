#pragma once
// The walk from a text to what is spoken, piece by piece. Everything that speaks a text or
// shows what would be spoken (the reading worker, export as read, the preview, the piece list
// of the command line) takes its pieces from here, so that they cannot disagree.
//
// A piece ends at the first delimiter of a window of up to kReadWindowBytes from the reading
// position; offsets and lengths are bytes of the byte model (text/byte_text.h).
#include "reading/piece_cutter.h"
#include "reading/spoken_lexicon.h"
#include "reading/spoken_text.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace sayvell::reading {

enum class WalkMode {
    // From a position to the end of a text the user may be editing (a single reading): a
    // window of white space is stepped over whole, and the walk ends once such a step lands on
    // the last line; a piece of white space only is passed over without being spoken.
    FromCaret,
    // A captured range (one pass of a loop): every piece, white space too, until the range is
    // used up.
    Range,
};

// What a run's pieces are made with besides the text.
struct RunSettings {
    DelimiterTable delimiters;
    int symbolDelayMs = 800;  // the wait before a piece holding the delay symbol
    int dateFormatType = 1;
    QDateTime now;                                        // invalid: the clock's time when the piece is made
    DateSubstitution date;                                // empty: the date token stays as written
    SpeechLanguage language = SpeechLanguage::Other;      // languageOfVoice() of the run's voice
    std::shared_ptr<const PronunciationLexicon> lexicon;  // none: no word is replaced
};

struct WalkPiece {
    int start = 0;          // byte offset in the source (a range: in the range)
    int length = 0;         // bytes as written; the next piece starts after them
    QString written;        // as in the text, delimiter included
    QString spoken;         // what the engine is given: date token, no "※", numbers and the table
    QString heard;          // as a listener hears it, in writing (subtitles): date token replaced, no "※", trimmed
    int pauseBeforeMs = 0;  // the delay symbol's wait; 0 without one
    int pauseAfterMs = 0;   // the delimiter's pause; 0 without one
    bool speaks = true;     // false: white space the reading selects and passes over silently
};

// What a source shows at a reading position.
struct TextView {
    int offset = 0;         // where the window starts: the editor's caret may have moved it
    QStringView window;     // up to kReadWindowBytes of whole characters, line breaks as '\n'
    int stepOffset = 0;     // where a blank window is stepped over to (offset + kReadWindowBytes, held to the text)
    bool stepEnds = false;  // that step lands on the last line: the walk ends there
};

// Where a walk reads its text. The window a view shows stays valid until the next call.
class TextSource {
public:
    virtual ~TextSource() = default;
    // The text at `offset`, where the walk expects to go on.
    virtual TextView viewAt(int offset) = 0;
    // A cheap look at the start of the window at `offset` (whole characters, fewer than
    // kReadWindowBytes; no step fields); none when the source has none to offer. A piece
    // ending inside it with a character after its delimiter is the piece the whole window gives.
    virtual std::optional<TextView> peekAt(int offset) {
        (void)offset;
        return std::nullopt;
    }
    // The walk stepped over the blank window of `view`.
    virtual void stepped(const TextView& view) { (void)view; }
    // The walk took the first `units` UTF-16 units of the window it was shown last; the next
    // piece starts at byte `offset`.
    virtual void took(int offset, qsizetype units) {
        (void)offset;
        (void)units;
    }
};

// A text held in memory (a file read in, a captured range, a text from standard input).
// Line breaks CR LF and CR count as '\n', as the editor has them.
class MemoryText final : public TextSource {
public:
    explicit MemoryText(const QString& text);

    int byteLength() const { return length_; }
    int lineCount() const { return static_cast<int>(lineStarts_.size()); }
    int lineOf(int offset) const;
    const QString& text() const { return text_; }

    TextView viewAt(int offset) override;
    std::optional<TextView> peekAt(int offset) override;
    void took(int offset, qsizetype units) override;

private:
    static constexpr qsizetype kStep = 1024;
    qsizetype posOf(int offset);
    QStringView windowFrom(qsizetype pos, int maxBytes, QString* scratch) const;

    QString text_;
    int length_ = 0;
    bool separators_ = false;       // holds U+2029: windows are copies with it as '\n'
    std::vector<int> lineStarts_;   // byte offset of each line's first character
    std::vector<int> checkpoints_;  // byte offset of every kStep-th position
    int cursorByte_ = 0;            // a known byte offset and its position, where the walk is
    qsizetype cursorPos_ = 0;
    qsizetype shownPos_ = 0;  // where the last window shown starts
    QString scratch_;
    QString peekScratch_;
};

class PieceWalk {
public:
    PieceWalk(TextSource& source, int start, WalkMode mode, RunSettings settings);

    // The next piece, or none once the walk has ended.
    std::optional<WalkPiece> next();
    // Where the walk goes on: the end of the last piece, or where a step landed.
    int position() const { return position_; }

    // What the following pieces are made with; a reading changes it between pieces (the
    // clock, a table edited meanwhile).
    const RunSettings& settings() const { return settings_; }
    void setSettings(RunSettings settings);

private:
    WalkPiece make(const Piece& piece, int start, bool speaks);

    TextSource& source_;
    WalkMode mode_;
    RunSettings settings_;
    int position_ = 0;
    bool ended_ = false;
    struct Copies {
        QString spoken;
        QString heard;
        bool waits;  // for the delay symbol
    };
    QHash<QString, Copies> spokenCopies_;  // an announcement says the same pieces again and again
};

}  // namespace sayvell::reading
