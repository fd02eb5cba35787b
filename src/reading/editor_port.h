#pragma once
// The editor as the reading worker sees it. Offsets and lengths are CP950 bytes
// (text/byte_text.h); lines are the editor's displayed lines, numbered from 0.
// The window implements this by carrying each call to the UI thread and waiting for it.
// A call may throw EditorGone when the window is closing; the run then ends.
#include <QString>
#include <stdexcept>

namespace sayvell::reading {

struct EditorGone : std::runtime_error {
    EditorGone() : std::runtime_error("editor closed") {}
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
};

}  // namespace sayvell::reading
