#pragma once
#include <QPlainTextEdit>
#include <QTextCursor>

namespace sayvell::ui {

// Inserts at the start of the selection as one undoable edit, keeping the view, with the caret
// after the inserted text.
inline void insertAtCaret(QPlainTextEdit* memo, const QString& text) {
    QTextCursor c = memo->textCursor();
    c.setPosition(c.selectionStart());
    c.insertText(text);
    memo->setTextCursor(c);
}

}  // namespace sayvell::ui
