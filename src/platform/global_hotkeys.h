#pragma once
// System-wide bare function keys F7, F9 and F11, addressed by index 0, 1, 2 (the order of the
// switches in the settings). One implementation is chosen at start-up: X11 key grabs, the
// desktop portal's global shortcuts (Wayland), or none.
#include <QObject>
#include <QString>
#include <memory>

class QDBusConnection;

namespace sayvell::platform {

constexpr int kHotkeyCount = 3;
// "F7", "F9", "F11"; empty for an index out of range.
QString hotkeyName(int index);

class GlobalHotkeys : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~GlobalHotkeys() override = default;

    // False when the key cannot be had (held by another program, no service); the program
    // goes on without it. A portal answers later: true there means "asked for".
    virtual bool registerHotkey(int index) = 0;
    virtual void unregisterHotkey(int index) = 0;
    virtual bool isRegistered(int index) const = 0;
    // Why this desktop offers no global keys at all; empty when it does.
    virtual QString unavailableReason() const { return {}; }

signals:
    void activated(int index);
    // The desktop turned the keys down after they were asked for (portal); tell the user once.
    void failed(const QString& reason);
};

enum class HotkeyBackend { X11, Portal, None };
// X11 grabs on an xcb session; the portal where it offers global shortcuts; else none.
HotkeyBackend chooseHotkeyBackend(const QString& platformName, bool portalOffered);

// Chooses once from QGuiApplication::platformName() and the session bus.
std::unique_ptr<GlobalHotkeys> makeGlobalHotkeys();
std::unique_ptr<GlobalHotkeys> makeNoHotkeys(const QString& reason);

}  // namespace sayvell::platform
