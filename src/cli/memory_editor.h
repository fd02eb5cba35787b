#pragma once
// The editor of a reading without a window: a text held in memory, with the caret and the
// selection the reading worker moves. Offsets are CP950 bytes like the window's editor; line
// breaks are normalised to '\n' as the editor does when it loads a file.
#include "reading/editor_port.h"
#include "text/byte_text.h"

#include <functional>
#include <mutex>
#include <vector>

namespace sayvell::app::cli {

// CR LF and a lone CR as '\n'.
QString normaliseLineBreaks(QString text);

class MemoryEditor final : public reading::EditorPort {
public:
    explicit MemoryEditor(const QString& text);

    // Called on the worker's thread when a single run ends.
    void setOnRunFinished(std::function<void()> f) { onRunFinished_ = std::move(f); }

    int byteLength() const { return length_; }
    int selLength();

    int selStart() override;
    void setSelStart(int offset) override;
    void setSelLength(int length) override;
    QString selText() override;
    QString textWindow(int offset, int maxBytes) override;
    int lineCount() override;
    int lineOfOffset(int offset) override;
    void scrollOneLine() override {}
    void runFinished() override;

    // The same without the lock, for a single-threaded walk over the text.
    const text::ByteText& text() const { return text_; }
    int lineOf(int offset) const;

private:
    const text::ByteText text_;
    int length_ = 0;
    std::vector<int> lineStarts_;  // byte offset of each line's first character
    std::mutex mutex_;
    int selStart_ = 0;
    int selLength_ = 0;
    std::function<void()> onRunFinished_;
};

}  // namespace sayvell::app::cli
