#pragma once
// The editor Memo1 as the reading worker sees it (reading/editor_port.h). Keeps a mirror of
// the document in the byte model so that offsets cost the same anywhere in a long text, and
// carries every call from the worker to the UI thread, waiting for the result.
#include "reading/editor_port.h"
#include "text/byte_text.h"

#include <QObject>
#include <atomic>
#include <functional>

class QPlainTextEdit;

namespace sayvell::ui {

class MemoPort : public QObject, public reading::EditorPort {
    Q_OBJECT
public:
    explicit MemoPort(QPlainTextEdit* memo, QObject* parent = nullptr);

    // From now on worker calls fail with EditorGone instead of waiting for the UI thread.
    void close() { closing_ = true; }
    void setRunFinishedHandler(std::function<void()> handler) { onRunFinished_ = std::move(handler); }

    // UI-thread helpers (also used by the window's own commands).
    const text::ByteText& bytes() const { return mirror_; }
    int caretLineOf(int offset) const;
    int lineStartOffset(int line) const;
    int visualLineCount() const;

    int selStart() override;
    void setSelStart(int offset) override;
    void setSelLength(int length) override;
    QString selText() override;
    QString textWindow(int offset, int maxBytes) override;
    int lineCount() override;
    int lineOfOffset(int offset) override;
    void scrollOneLine() override;
    void runFinished() override;
    reading::EditorLook look(int moveTo, int previousStart, int maxBytes) override;
    void showPiece(int start, int length, bool scrollOneMore) override;
    void moveCaret(int offset) override;

private:
    template <typename F>
    auto onUi(F&& f) -> decltype(f());
    // Runs f on the UI thread without waiting for it.
    template <typename F>
    void postToUi(F&& f);
    void select(int start, int length);
    void mirrorChange(int position, int removed, int added);
    void resync();

    QPlainTextEdit* memo_;
    text::ByteText mirror_;
    std::atomic<bool> closing_{false};
    std::function<void()> onRunFinished_;
};

}  // namespace sayvell::ui
