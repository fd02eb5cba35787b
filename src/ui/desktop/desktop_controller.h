#pragma once
// The main window's place on the desktop: the tray icon with its menu, closing by the frame,
// and the global keys F7, F9 and F11.
//
// Decisions a user can notice:
//  - Without a tray (none at start, or its host has gone) closing by the frame minimises, so
//    the window can always be brought back; the missing tray is said once at start-up.
//  - A desktop without global keys is said once at start-up when a key is switched on.
//  - A key held by another program is left to it, silently.
#include "platform/global_hotkeys.h"

#include <QObject>
#include <QSystemTrayIcon>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QWidget;

namespace sayvell::ui {

// What the tray and the keys run, each exactly as a click on its control would.
struct DesktopCommands {
    std::function<void()> stop;           // SB_stopClick
    std::function<void()> readFromTop;    // SB_jexuClick
    std::function<void()> loopWholeText;  // "全文循環朗讀  (&T)"
    std::function<void()> exit;           // SB_closeClick
    // Shows the notices so far, each said once (no tray, no global keys), joined in one line.
    std::function<void(const QString&)> tell;
};

class DesktopController : public QObject {
    Q_OBJECT
public:
    // switches: F7, F9, F11 as read from setinfo.ini at start-up; they do not change later.
    DesktopController(QWidget& window, DesktopCommands commands, std::unique_ptr<platform::GlobalHotkeys> hotkeys,
                      std::array<bool, 3> switches, QObject* parent = nullptr);

    // The switches F7, F9, F11 of setinfo.ini.
    static std::array<bool, 3> storedSwitches();
    // Grabs the keys whose switch is on, F7 then F9 then F11.
    void registerHotkeys();
    // The exit command's step after the question about unsaved text.
    void removeTrayIcon();
    // Closing by the frame: true when the window went to the tray (the hide item's action);
    // false leaves it to the caller to minimise.
    bool frameClose();

    QSystemTrayIcon* trayIcon() const { return tray_; }
    QMenu* trayMenu() const { return menu_; }
    QAction* trayShow = nullptr;  // "顯示Sayvell (&S)"
    QAction* trayHide = nullptr;  // "隱藏Sayvell (&H)"
    QAction* trayExit = nullptr;  // "退出  (&C)"
    platform::GlobalHotkeys& hotkeys() const { return *hotkeys_; }
    // True when closing by the frame hides to the tray (a tray shows the icon).
    bool trayUsable() const;

public slots:
    void trayShowClick();
    void trayHideClick();
    void trayExitClick();
    void iconclick(QSystemTrayIcon::ActivationReason reason);
    void hotkeyPressed(int index);

private:
    void tellOnce(const QString& text);

    QWidget& window_;
    DesktopCommands commands_;
    std::unique_ptr<platform::GlobalHotkeys> hotkeys_;
    std::array<bool, 3> switches_;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* menu_ = nullptr;
    bool iconRemoved_ = false;
    QStringList told_;
};

}  // namespace sayvell::ui
