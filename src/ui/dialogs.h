#pragma once
// Message boxes and file dialogs, behind one interface so that tests record what the user
// would be shown instead of blocking on a modal box.
#include <QString>

class QWidget;

namespace sayvell::ui {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void warning(const QString& text) = 0;      // warning icon, OK
    virtual bool confirm(const QString& text) = 0;      // question icon, Yes (true) / No
    virtual void information(const QString& text) = 0;  // information icon, OK
    virtual void error(const QString& text) = 0;        // error icon, OK
    // Empty when cancelled.
    virtual QString openFileName(const QString& caption, const QString& filter) = 0;
    virtual QString saveFileName(const QString& caption, const QString& filter) = 0;
};

class WidgetDialogs final : public Dialogs {
public:
    explicit WidgetDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void warning(const QString& text) override;
    bool confirm(const QString& text) override;
    void information(const QString& text) override;
    void error(const QString& text) override;
    QString openFileName(const QString& caption, const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& filter) override;

private:
    QWidget* parent_;
};

// The second start's message, with its own caption and the error icon.
void showAlreadyRunning();

}  // namespace sayvell::ui
