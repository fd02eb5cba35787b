#pragma once
// "使用幫助": the help text, beside the main window without blocking it.
#include <QWidget>

class QPlainTextEdit;

namespace sayvell::ui {

class TFuhelp : public QWidget {
    Q_OBJECT
public:
    explicit TFuhelp(QWidget* parent = nullptr);
    QPlainTextEdit* fuhelp = nullptr;
};

// The help text delivered with the program.
QString helpText();

}  // namespace sayvell::ui
