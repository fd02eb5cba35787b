#pragma once
// The find panel: find, find and replace, replace following, with its four options, on the
// editor's byte model. The result is shown as the editor's selection; every replacement of one
// command is a single undo step.
#include <QObject>
#include <QString>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace sayvell::document {
struct FindResult;
}

namespace sayvell::ui {

class Dialogs;
class MemoPort;

struct FindWidgets {
    QLineEdit* Fedit;
    QLineEdit* Redit;
    QToolButton* SpeedButton2;  // find
    QToolButton* SpeedButton3;  // find and replace
    QToolButton* SpeedButton4;  // replace following
    QCheckBox* CheckBox2;       // match case
    QCheckBox* CheckBox1;       // whole entry
    QCheckBox* CheckBox4;       // from the top
    QCheckBox* CheckBox3;       // upward
    QPlainTextEdit* Memo1;
};

class FindController : public QObject {
    Q_OBJECT
public:
    FindController(FindWidgets w, MemoPort& port, Dialogs& dialogs, QObject* parent = nullptr);

    void Find(const QString& replacement);
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    bool replaceFollowing = false;

private:
    void applyFindResult(const document::FindResult& result);

    FindWidgets w_;
    MemoPort& port_;
    Dialogs& dialogs_;
};

}  // namespace sayvell::ui
