#pragma once
// "關机提醒": the warning shown every second during the last five minutes before a power-off.
#include <QDialog>

class QLabel;
class QPushButton;

namespace sayvell::ui {

class Tf_shutprompt : public QDialog {
    Q_OBJECT
public:
    explicit Tf_shutprompt(QWidget* parent = nullptr);

    // Shows the window, or brings it to the front again, for a power-off at `time`.
    void showFor(const QString& time);

    QLabel* Label2 = nullptr;
    QPushButton* Button1 = nullptr;  // "确 定"
};

}  // namespace sayvell::ui
