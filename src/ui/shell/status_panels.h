#pragma once
// The main window's status bar: fixed panels side by side and, after them, a panel of its own
// for the program's messages, so a message never hides what the panels show and a screen
// reader hears each panel apart.
#include <QStatusBar>

class QLabel;

namespace sayvell::ui {

class PanelStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit PanelStatusBar(QWidget* parent = nullptr);

    // A sunken panel of the given width, after those added before; `role` is what a screen
    // reader says it holds.
    QLabel* addPanel(const char* objectName, const QString& role, int width);
    // Where showMessage() puts its text until the message times out.
    QLabel* messagePanel() const { return message_; }

protected:
    // The message is in its own panel: nothing is drawn over the others.
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* message_ = nullptr;
};

}  // namespace sayvell::ui
