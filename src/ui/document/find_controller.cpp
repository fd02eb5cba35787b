#include "ui/document/find_controller.h"

#include "document/find_text.h"
#include "text/byte_text.h"
#include "ui/common/dialogs.h"
#include "ui/common/memo_port.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QToolButton>

namespace sayvell::ui {

FindController::FindController(FindWidgets w, MemoPort& port, Dialogs& dialogs, QObject* parent)
    : QObject(parent), w_(w), port_(port), dialogs_(dialogs) {
    connect(w_.SpeedButton2, &QToolButton::clicked, this, &FindController::SpeedButton2Click);
    connect(w_.SpeedButton3, &QToolButton::clicked, this, &FindController::SpeedButton3Click);
    connect(w_.SpeedButton4, &QToolButton::clicked, this, &FindController::SpeedButton4Click);
}

void FindController::Find(const QString& replacement) {
    const QString find = w_.Fedit->text();
    if (find.isEmpty()) return;
    document::FindOptions options;
    options.matchCase = w_.CheckBox2->isChecked();
    options.wholeEntry = w_.CheckBox1->isChecked();
    options.fromTop = w_.CheckBox4->isChecked();
    options.upward = w_.CheckBox3->isChecked();
    if (options.fromTop) w_.CheckBox4->setChecked(false);
    const text::ByteText& bytes = port_.bytes();
    const QTextCursor c = w_.Memo1->textCursor();
    const int selStart = bytes.byteOfPos(c.selectionStart());
    const int selLength = bytes.byteOfPos(c.selectionEnd()) - selStart;
    const document::FindResult result =
        replaceFollowing ? document::replaceFollowing(bytes, selStart, selLength, find, replacement, options)
                         : document::findStep(bytes, selStart, selLength, find, replacement, options);
    applyFindResult(result);
}

void FindController::applyFindResult(const document::FindResult& result) {
    const text::ByteText& bytes = port_.bytes();
    if (!result.edits.empty()) {
        // Positions first, while they still describe the text; then every replacement in one
        // edit block, so that one undo takes the whole run back.
        std::vector<std::pair<int, int>> spans;
        spans.reserve(result.edits.size());
        for (const document::Edit& e : result.edits)
            spans.emplace_back(int(bytes.posOfByte(e.start)), int(bytes.posOfByte(e.start + e.length)));
        QTextCursor edit(w_.Memo1->document());
        edit.beginEditBlock();
        for (size_t i = result.edits.size(); i-- > 0;) {
            edit.setPosition(spans[i].first);
            edit.setPosition(spans[i].second, QTextCursor::KeepAnchor);
            edit.insertText(result.edits[i].text);
        }
        edit.endEditBlock();
    }
    QTextCursor c = w_.Memo1->textCursor();
    c.setPosition(int(bytes.posOfByte(result.selStart)));
    c.setPosition(int(bytes.posOfByte(result.selStart + result.selLength)), QTextCursor::KeepAnchor);
    w_.Memo1->setFocus();
    w_.Memo1->setTextCursor(c);
    w_.Memo1->ensureCursorVisible();
    if (!result.found) {
        dialogs_.message(result.notFoundMessage);
        replaceFollowing = false;
        w_.Memo1->setFocus();
    }
}

void FindController::SpeedButton2Click() {
    if (w_.Fedit->text().isEmpty()) return;
    Find(QString());
}

void FindController::SpeedButton3Click() {
    if (w_.Fedit->text().isEmpty()) return;
    Find(w_.Redit->text());
}

void FindController::SpeedButton4Click() {
    if (w_.Fedit->text().isEmpty()) return;
    replaceFollowing = true;
    // One call runs every step up to the one that finds nothing and clears the flag.
    Find(w_.Redit->text());
}

}  // namespace sayvell::ui
