#include "platform/x11_hotkeys.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QGuiApplication>
#include <array>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace sayvell::platform {

namespace {

// A grab matches the modifier state exactly, so the key is grabbed once for every state of
// the lock keys (Num Lock is Mod2 on every common keymap), and only for those.
constexpr std::array<uint16_t, 4> kLockStates = {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK,
                                                 XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};
constexpr uint16_t kLockMask = XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK;

class X11Hotkeys : public GlobalHotkeys, private QAbstractNativeEventFilter {
public:
    X11Hotkeys() {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (x11) {
            conn_ = x11->connection();
            display_ = x11->display();
        }
        if (conn_ && display_) {
            root_ = static_cast<xcb_window_t>(DefaultRootWindow(display_));
            static const KeySym syms[kHotkeyCount] = {XK_F7, XK_F9, XK_F11};
            for (int i = 0; i < kHotkeyCount; ++i) keycodes_[i] = XKeysymToKeycode(display_, syms[i]);
            qGuiApp->installNativeEventFilter(this);
        }
    }

    ~X11Hotkeys() override {
        if (!conn_) return;
        qGuiApp->removeNativeEventFilter(this);
        for (int i = 0; i < kHotkeyCount; ++i) unregisterHotkey(i);
        xcb_flush(conn_);
    }

    bool registerHotkey(int index) override {
        if (!valid(index) || keycodes_[index] == 0) return false;
        if (grabbed_[index]) return true;
        const xcb_keycode_t key = keycodes_[index];
        std::array<xcb_void_cookie_t, kLockStates.size()> cookies{};
        for (size_t i = 0; i < kLockStates.size(); ++i)
            cookies[i] =
                xcb_grab_key_checked(conn_, 1, root_, kLockStates[i], key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        bool refused = false;
        for (auto cookie : cookies) {
            if (xcb_generic_error_t* error = xcb_request_check(conn_, cookie)) {
                refused = true;
                free(error);
            }
        }
        if (refused) {
            // Another client holds the key (in some lock state): leave it all to that client.
            ungrab(key);
            xcb_flush(conn_);
            return false;
        }
        grabbed_[index] = true;
        return true;
    }

    void unregisterHotkey(int index) override {
        if (!valid(index) || !grabbed_[index]) return;
        ungrab(keycodes_[index]);
        xcb_flush(conn_);
        grabbed_[index] = false;
    }

    bool isRegistered(int index) const override { return valid(index) && grabbed_[index]; }

    QString unavailableReason() const override {
        return conn_ ? QString() : QStringLiteral("無法連接 X 顯示器，F7、F9、F11 無法使用。");
    }

private:
    static bool valid(int index) { return index >= 0 && index < kHotkeyCount; }

    void ungrab(xcb_keycode_t key) {
        for (uint16_t state : kLockStates) xcb_ungrab_key(conn_, key, root_, state);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS) return false;
        auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
        if (press->root != root_ || (press->state & ~kLockMask & 0xff) != 0) return false;
        for (int i = 0; i < kHotkeyCount; ++i) {
            if (grabbed_[i] && press->detail == keycodes_[i]) {
                emit activated(i);
                return true;
            }
        }
        return false;
    }

    xcb_connection_t* conn_ = nullptr;
    Display* display_ = nullptr;
    xcb_window_t root_ = 0;
    std::array<xcb_keycode_t, kHotkeyCount> keycodes_{};
    std::array<bool, kHotkeyCount> grabbed_{};
};

}  // namespace

std::unique_ptr<GlobalHotkeys> makeX11Hotkeys() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return makeNoHotkeys(QStringLiteral("沒有 X 視窗系統，F7、F9、F11 無法使用。"));
    return std::make_unique<X11Hotkeys>();
}

}  // namespace sayvell::platform
