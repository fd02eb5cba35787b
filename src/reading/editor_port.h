#pragma once
// The editor as the reading worker sees it. Offsets and lengths are CP950 bytes
// (text/byte_text.h); lines are the editor's displayed lines, numbered from 0.
// The window implements this by carrying each call to the UI thread: a call that returns
// something waits for it, showPiece and moveCaret do not. A call may throw EditorGone when the
// window is closing; the run then ends.
#include <QString>
#include <stdexcept>

namespace sayvell::reading {

struct EditorGone : std::runtime_error {
    EditorGone() : std::runtime_error("editor closed") {}
};

// What the worker reads of the editor before a piece, in one call.
struct EditorLook {
    int selStart = 0;
    QString window;  // up to maxBytes from selStart
    int lineCount = 0;
    int previousLine = 0;  // the line of the offset asked about (where the last piece started)
    int stepOffset = 0;    // where the caret lands when moved maxBytes on from selStart
    int stepLine = 0;      // its line
};

class EditorPort {
public:
    virtual ~EditorPort() = default;
    virtual int selStart() = 0;
    // Moves the caret; removes the selection. Held to the text's length.
    virtual void setSelStart(int offset) = 0;
    // Selects `length` bytes from the caret and scrolls the selection's end into view.
    virtual void setSelLength(int length) = 0;
    virtual QString selText() = 0;
    // Up to maxBytes bytes of whole characters from offset; line breaks as '\n'.
    virtual QString textWindow(int offset, int maxBytes) = 0;
    virtual int lineCount() = 0;
    virtual int lineOfOffset(int offset) = 0;
    virtual void scrollOneLine() = 0;
    // End of a single run: re-enable the controls.
    virtual void runFinished() = 0;

    // The worker's calls per piece. An editor whose calls are cheap may keep these, built on
    // the calls above; the window answers each in one trip to its thread.
    // Moves the caret to moveTo first unless it is negative.
    virtual EditorLook look(int moveTo, int previousStart, int maxBytes) {
        if (moveTo >= 0) setSelStart(moveTo);
        EditorLook l;
        l.selStart = selStart();
        l.window = textWindow(l.selStart, maxBytes);
        l.lineCount = lineCount();
        l.previousLine = lineOfOffset(previousStart);
        setSelStart(l.selStart + maxBytes);
        l.stepOffset = selStart();
        l.stepLine = lineOfOffset(l.stepOffset);
        setSelStart(l.selStart);
        return l;
    }
    // Selects the piece and scrolls its end into view, and the editor one line further when asked.
    virtual void showPiece(int start, int length, bool scrollOneMore) {
        setSelStart(start);
        setSelLength(length);
        if (scrollOneMore) scrollOneLine();
    }
    virtual void moveCaret(int offset) { setSelStart(offset); }
};

}  // namespace sayvell::reading
