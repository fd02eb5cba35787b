#pragma once
// The editor's look and the clipboard: font and text colour, background colour, alignment
// with one check mark, and copy, paste, cut, undo and select all, always on the editor
// whichever control has the focus. The font and colour commands store the editor's look after
// their dialog closes, confirmed or cancelled.
#include <QObject>

class QAction;
class QPlainTextEdit;

namespace sayvell::store {
class SettingsFile;
}

namespace sayvell::ui {

class Dialogs;

struct AppearanceWidgets {
    QAction* N23;  // font
    QAction* N25;  // background colour
    QAction* N27;  // left
    QAction* N28;  // centre
    QAction* N29;  // right
    QAction* CCtrlC2;
    QAction* HCtrlH1;
    QAction* VCtrlV3;
    QAction* VCtrlV1;
    QAction* XCtrlX1;
    QAction* ZCtrlZ1;
    QAction* A1;
    QAction* N10;
    QPlainTextEdit* Memo1;
};

class AppearanceController : public QObject {
    Q_OBJECT
public:
    AppearanceController(AppearanceWidgets w, Dialogs& dialogs, QObject* parent = nullptr);

    // Start-up: the stored colours, size, face and style; writes the background colour back so
    // the file holds it from the first start on.
    void applySettings(store::SettingsFile& ini);

    void N23Click();
    void N25Click();
    void N27Click();
    void N28Click();
    void N29Click();
    void CCtrlC2Click();
    void VCtrlV3Click();
    void XCtrlX1Click();
    void ZCtrlZ1Click();
    void A1Click();

private:
    void alignText(Qt::Alignment alignment, QAction* item);

    AppearanceWidgets w_;
    Dialogs& dialogs_;
};

}  // namespace sayvell::ui
