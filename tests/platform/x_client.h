#pragma once
// Another X client on the test's display: a focused window that records the keys it is given,
// and that can hold a key grab of its own.
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <X11/keysym.h>
#include <chrono>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>

namespace sayvell::testing {

class OtherXClient {
public:
    OtherXClient() {
        conn_ = xcb_connect(qgetenv("DISPLAY").constData(), nullptr);
        if (xcb_connection_has_error(conn_)) return;
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
        window_ = xcb_generate_id(conn_);
        const uint32_t events = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window_, screen_->root, 0, 0, 200, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_EVENT_MASK, &events);
        xcb_map_window(conn_, window_);
        xcb_flush(conn_);
        // Wait for the map, then take the focus (there is no window manager to give it).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!mapped_ && std::chrono::steady_clock::now() < deadline) pump(20);
        xcb_set_input_focus(conn_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
        xcb_aux_sync();
        ok_ = mapped_;
    }
    ~OtherXClient() {
        if (conn_) xcb_disconnect(conn_);
    }
    bool ok() const { return ok_; }

    xcb_keycode_t keycode(xcb_keysym_t sym) {
        const xcb_setup_t* setup = xcb_get_setup(conn_);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto* reply = xcb_get_keyboard_mapping_reply(
            conn_, xcb_get_keyboard_mapping(conn_, setup->min_keycode, static_cast<uint8_t>(count)), nullptr);
        xcb_keycode_t found = 0;
        if (reply) {
            const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
            for (int i = 0; i < count * reply->keysyms_per_keycode && !found; ++i)
                if (syms[i] == sym)
                    found = static_cast<xcb_keycode_t>(setup->min_keycode + i / reply->keysyms_per_keycode);
            free(reply);
        }
        return found;
    }
    // A grab of the bare key on the root window, as another program's hotkey would be.
    bool grab(xcb_keysym_t sym) {
        xcb_generic_error_t* e = xcb_request_check(
            conn_,
            xcb_grab_key_checked(conn_, 1, screen_->root, 0, keycode(sym), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        free(e);
        return e == nullptr;
    }
    // Waits until this client has been given the key; every key it got is kept in `got`.
    bool waitKey(xcb_keysym_t sym, int timeoutMs = 5000) {
        const xcb_keycode_t code = keycode(sym);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            for (xcb_keycode_t k : got)
                if (k == code) return true;
            pump(10);
        }
        return false;
    }
    bool gotKey(xcb_keysym_t sym) {
        const xcb_keycode_t code = keycode(sym);
        for (xcb_keycode_t k : got)
            if (k == code) return true;
        return false;
    }
    std::vector<xcb_keycode_t> got;

private:
    void xcb_aux_sync() { free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr)); }
    void pump(int ms) {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(conn_)) {
            const uint8_t type = ev->response_type & 0x7f;
            if (type == XCB_MAP_NOTIFY) mapped_ = true;
            if (type == XCB_KEY_PRESS) got.push_back(reinterpret_cast<xcb_key_press_event_t*>(ev)->detail);
            free(ev);
        }
        // Let the program under test run its own events meanwhile.
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
        else
            usleep(static_cast<useconds_t>(ms) * 1000);
    }

    xcb_connection_t* conn_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    xcb_window_t window_ = 0;
    bool mapped_ = false;
    bool ok_ = false;
};

// A real key press through the X server, as a user's.
inline bool pressKey(const QString& key) {
    return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), key}) == 0;
}

inline bool haveXTools() {
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
}

}  // namespace sayvell::testing
