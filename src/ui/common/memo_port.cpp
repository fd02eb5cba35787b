#include "ui/common/memo_port.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>
#include <future>
#include <memory>

namespace sayvell::ui {

MemoPort::MemoPort(QPlainTextEdit* memo, QObject* parent) : QObject(parent), memo_(memo) {
    resync();
    connect(memo_->document(), &QTextDocument::contentsChange, this, &MemoPort::mirrorChange);
}

template <typename F>
auto MemoPort::onUi(F&& f) -> decltype(f()) {
    if (QThread::currentThread() == thread()) return f();
    if (closing_) throw reading::EditorGone();
    // A queued call with a promise rather than a blocking connection: if the window goes away
    // first, Qt drops the call, the promise breaks and the worker ends its run.
    using R = decltype(f());
    auto promise = std::make_shared<std::promise<R>>();
    std::future<R> result = promise->get_future();
    QMetaObject::invokeMethod(
        this,
        [promise, f = std::forward<F>(f)]() mutable {
            try {
                if constexpr (std::is_void_v<R>) {
                    f();
                    promise->set_value();
                } else {
                    promise->set_value(f());
                }
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        },
        Qt::QueuedConnection);
    promise.reset();
    try {
        return result.get();
    } catch (const std::future_error&) {
        throw reading::EditorGone();
    }
}

template <typename F>
void MemoPort::postToUi(F&& f) {
    if (QThread::currentThread() == thread()) return f();
    if (closing_) throw reading::EditorGone();
    QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::QueuedConnection);
}

void MemoPort::mirrorChange(int position, int removed, int added) {
    QTextDocument* doc = memo_->document();
    QTextCursor c(doc);
    const int docChars = doc->characterCount() - 1;  // without the document's final separator
    if (position + added > docChars || position + removed > mirror_.size()) {
        resync();
        return;
    }
    c.setPosition(position);
    c.setPosition(position + added, QTextCursor::KeepAnchor);
    mirror_.replace(position, removed, c.selectedText());
    if (mirror_.size() != docChars) resync();
}

void MemoPort::resync() { mirror_.setText(memo_->document()->toRawText()); }

int MemoPort::caretLineOf(int offset) const {
    const qsizetype pos = mirror_.posOfByte(offset);
    const QTextBlock block = memo_->document()->findBlock(static_cast<int>(pos));
    if (!block.isValid()) return std::max(0, visualLineCount() - 1);
    int line = block.firstLineNumber();
    if (const QTextLayout* layout = block.layout(); layout && layout->lineCount() > 0) {
        const QTextLine tl = layout->lineForTextPosition(static_cast<int>(pos) - block.position());
        if (tl.isValid()) line += tl.lineNumber();
    }
    return line;
}

int MemoPort::lineStartOffset(int line) const {
    QTextDocument* doc = memo_->document();
    const QTextBlock block = doc->findBlockByLineNumber(line);
    if (!block.isValid()) return mirror_.byteLength();
    int pos = block.position();
    if (const QTextLayout* layout = block.layout(); layout && layout->lineCount() > 0) {
        const QTextLine tl = layout->lineAt(line - block.firstLineNumber());
        if (tl.isValid()) pos += tl.textStart();
    }
    return mirror_.byteOfPos(pos);
}

int MemoPort::visualLineCount() const { return std::max(1, memo_->document()->lineCount()); }

int MemoPort::selStart() {
    return onUi([this] { return mirror_.byteOfPos(memo_->textCursor().selectionStart()); });
}

void MemoPort::setSelStart(int offset) {
    onUi([this, offset] {
        QTextCursor c = memo_->textCursor();
        c.setPosition(static_cast<int>(mirror_.posOfByte(std::max(0, offset))));
        memo_->setTextCursor(c);
    });
}

void MemoPort::setSelLength(int length) {
    onUi([this, length] { select(mirror_.byteOfPos(memo_->textCursor().selectionStart()), length); });
}

void MemoPort::select(int start, int length) {
    QTextCursor c = memo_->textCursor();
    const qsizetype from = mirror_.posOfByte(std::max(0, start));
    c.setPosition(static_cast<int>(from));
    c.setPosition(static_cast<int>(mirror_.posOfByte(mirror_.byteOfPos(from) + std::max(0, length))),
                  QTextCursor::KeepAnchor);
    memo_->setTextCursor(c);
    memo_->ensureCursorVisible();
}

reading::EditorLook MemoPort::look(int moveTo, int previousStart, int maxBytes) {
    return onUi([this, moveTo, previousStart, maxBytes] {
        QTextCursor c = memo_->textCursor();
        if (moveTo >= 0) {
            c.setPosition(static_cast<int>(mirror_.posOfByte(moveTo)));
            memo_->setTextCursor(c);
        }
        reading::EditorLook l;
        l.selStart = mirror_.byteOfPos(c.selectionStart());
        l.window = mirror_.window(l.selStart, maxBytes);
        l.lineCount = visualLineCount();
        l.previousLine = caretLineOf(previousStart);
        // Where the caret would land: a byte inside a character rounds up to the next one.
        l.stepOffset = mirror_.byteOfPos(mirror_.posOfByte(l.selStart + maxBytes));
        l.stepLine = caretLineOf(l.stepOffset);
        return l;
    });
}

void MemoPort::showPiece(int start, int length, bool scrollOneMore) {
    postToUi([this, start, length, scrollOneMore] {
        select(start, length);
        if (scrollOneMore) memo_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    });
}

void MemoPort::moveCaret(int offset) {
    postToUi([this, offset] {
        QTextCursor c = memo_->textCursor();
        c.setPosition(static_cast<int>(mirror_.posOfByte(std::max(0, offset))));
        memo_->setTextCursor(c);
    });
}

QString MemoPort::selText() {
    return onUi([this] {
        const QTextCursor c = memo_->textCursor();
        const int from = mirror_.byteOfPos(c.selectionStart());
        return mirror_.window(from, mirror_.byteOfPos(c.selectionEnd()) - from);
    });
}

QString MemoPort::textWindow(int offset, int maxBytes) {
    return onUi([this, offset, maxBytes] { return mirror_.window(offset, maxBytes); });
}

int MemoPort::lineCount() {
    return onUi([this] { return visualLineCount(); });
}

int MemoPort::lineOfOffset(int offset) {
    return onUi([this, offset] { return caretLineOf(offset); });
}

void MemoPort::scrollOneLine() {
    onUi([this] { memo_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); });
}

void MemoPort::runFinished() {
    onUi([this] {
        if (onRunFinished_) onRunFinished_();
    });
}

}  // namespace sayvell::ui
