// The desktop tests run on a private X server of their own (when Xvfb is installed), so key
// grabs and the tray never touch a real desktop; without one they run offscreen and the
// tests that need a display skip.
#include "platform/private_servers.h"

#include <QApplication>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i) listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    // No real session bus: a tray host or portal found there would not be the tests' own.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    auto x = std::make_unique<sayvell::testing::PrivateXServer>();
    if (!listing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && x->start()) {
        qputenv("DISPLAY", x->display().toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int code = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        code = RUN_ALL_TESTS();
    }
    x->stop();
    return code;
}
