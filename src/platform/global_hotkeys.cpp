#include "platform/global_hotkeys.h"

#include "platform/portal_hotkeys.h"
#include "platform/x11_hotkeys.h"

#include <QDBusConnection>
#include <QGuiApplication>

namespace sayvell::platform {

namespace {

const QString kNoGlobalKeys = QStringLiteral("此桌面不提供全域快捷鍵：在其他程式中按 F7、F9、F11 不起作用。");

class NoHotkeys : public GlobalHotkeys {
public:
    explicit NoHotkeys(QString reason) : reason_(std::move(reason)) {}
    bool registerHotkey(int) override { return false; }
    void unregisterHotkey(int) override {}
    bool isRegistered(int) const override { return false; }
    QString unavailableReason() const override { return reason_; }

private:
    QString reason_;
};

}  // namespace

QString hotkeyName(int index) {
    static const char* const names[kHotkeyCount] = {"F7", "F9", "F11"};
    return index >= 0 && index < kHotkeyCount ? QString::fromLatin1(names[index]) : QString();
}

HotkeyBackend chooseHotkeyBackend(const QString& platformName, bool portalOffered) {
    if (platformName == QLatin1String("xcb")) return HotkeyBackend::X11;
    if (portalOffered) return HotkeyBackend::Portal;
    return HotkeyBackend::None;
}

std::unique_ptr<GlobalHotkeys> makeNoHotkeys(const QString& reason) {
    return std::make_unique<NoHotkeys>(reason.isEmpty() ? kNoGlobalKeys : reason);
}

std::unique_ptr<GlobalHotkeys> makeGlobalHotkeys() {
    const QString platform = QGuiApplication::platformName();
    // Asking the session bus costs a round trip; an X session never needs it.
    const bool portal = platform != QLatin1String("xcb") && platform != QLatin1String("offscreen") &&
                        portalOffersGlobalShortcuts(QDBusConnection::sessionBus());
    switch (chooseHotkeyBackend(platform, portal)) {
    case HotkeyBackend::X11: return makeX11Hotkeys();
    case HotkeyBackend::Portal: return makePortalHotkeys(QDBusConnection::sessionBus());
    case HotkeyBackend::None: break;
    }
    return makeNoHotkeys({});
}

}  // namespace sayvell::platform
