#pragma once
// Message boxes and file dialogs, behind one interface so that tests record what the user
// would be shown instead of blocking on a modal box.
#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

class QWidget;

namespace sayvell::ui {

// What the font dialog shows and returns: face, size in points, the four style flags, colour.
struct FontChoice {
    QFont font;
    QColor color;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void warning(const QString& text) = 0;  // warning icon, OK
    virtual bool confirm(const QString& text) = 0;  // question icon, Yes (true) / No
    // The same box, where Escape and the frame's close box mean "not now" (empty).
    virtual std::optional<bool> ask(const QString& text) { return confirm(text); }
    virtual void information(const QString& text) = 0;  // information icon, OK
    virtual void error(const QString& text) = 0;        // error icon, OK
    // Empty when cancelled.
    virtual QString openFileName(const QString& caption, const QString& filter) = 0;
    virtual QString saveFileName(const QString& caption, const QString& filter) = 0;

    // Documents and editor. Defaults keep simple stand-ins working: a plain box falls back to
    // the information box, the font and colour dialogs count as cancelled.
    // The plain message box: the text and OK, no icon.
    virtual void message(const QString& text) { information(text); }
    // The open dialog starting in `folder`.
    virtual QString openDocumentName(const QString& caption, const QString& filter, const QString& folder) {
        (void)folder;
        return openFileName(caption, filter);
    }
    // The save dialog without an overwrite question of its own (the caller asks).
    virtual QString saveDocumentName(const QString& caption, const QString& filter) {
        return saveFileName(caption, filter);
    }
    // Shown loaded with *choice; true with *choice updated when confirmed.
    virtual bool chooseFont(FontChoice* choice) {
        (void)choice;
        return false;
    }
    // Shown loaded with *color; true with *color updated when confirmed.
    virtual bool chooseColor(QColor* color) {
        (void)color;
        return false;
    }
};

class WidgetDialogs final : public Dialogs {
public:
    explicit WidgetDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void warning(const QString& text) override;
    bool confirm(const QString& text) override;
    std::optional<bool> ask(const QString& text) override;
    void information(const QString& text) override;
    void error(const QString& text) override;
    QString openFileName(const QString& caption, const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& filter) override;
    void message(const QString& text) override;
    QString openDocumentName(const QString& caption, const QString& filter, const QString& folder) override;
    QString saveDocumentName(const QString& caption, const QString& filter) override;
    bool chooseFont(FontChoice* choice) override;
    bool chooseColor(QColor* color) override;

private:
    QWidget* parent_;
};

// The second start's message, with its own caption and the error icon.
void showAlreadyRunning();

}  // namespace sayvell::ui
