// Global keys through the desktop portal, against a fake portal on a private session bus.
#include "platform/fake_services.h"
#include "platform/portal_hotkeys.h"
#include "platform/private_servers.h"
#include "support/fakes.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

class Portal : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus_.start()) GTEST_SKIP() << "dbus-daemon is not available";
        client_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus_.address(), QStringLiteral("portal-client")));
        ASSERT_TRUE(client_->isConnected());
    }
    void TearDown() override {
        service_.reset();
        client_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("portal-client"));
        bus_.stop();
    }
    FakePortal* servePortal(uint bindAnswer = 0) {
        service_ = std::make_unique<ServiceThread>(bus_.address(), QStringLiteral("org.freedesktop.portal.Desktop"),
                                                   QStringLiteral("/org/freedesktop/portal/desktop"),
                                                   [this, bindAnswer](QDBusConnection bus) {
                                                       portal_ = new FakePortal(bus);
                                                       portal_->bindAnswer = bindAnswer;
                                                       return portal_;
                                                   });
        EXPECT_TRUE(service_->startServing());
        return portal_;
    }

    PrivateBus bus_;
    std::unique_ptr<QDBusConnection> client_;
    std::unique_ptr<ServiceThread> service_;
    FakePortal* portal_ = nullptr;
};

TEST_F(Portal, EnabledKeysAreBoundInOneGoAndOnlyTheirActivationsArrive) {
    EXPECT_FALSE(platform::portalOffersGlobalShortcuts(*client_));
    FakePortal* portal = servePortal();
    ASSERT_TRUE(platform::portalOffersGlobalShortcuts(*client_));
    EXPECT_EQ(platform::chooseHotkeyBackend(QStringLiteral("wayland"), true), platform::HotkeyBackend::Portal);

    auto keys = platform::makePortalHotkeys(*client_);
    QSignalSpy activated(keys.get(), &platform::GlobalHotkeys::activated);
    QSignalSpy failed(keys.get(), &platform::GlobalHotkeys::failed);
    EXPECT_TRUE(keys->registerHotkey(0));  // F7
    EXPECT_TRUE(keys->registerHotkey(2));  // F11; F9 is switched off
    ASSERT_TRUE(waitFor([&] { return keys->isRegistered(0) && keys->isRegistered(2); }));
    EXPECT_FALSE(keys->isRegistered(1));

    const auto bindings = portal->bindings();
    ASSERT_EQ(bindings.size(), 1u);
    EXPECT_EQ(bindings[0].session, portal->session());
    EXPECT_EQ(bindings[0].triggers, (QStringList{QStringLiteral("F7"), QStringLiteral("F11")}));

    // F9 was never asked for, another session is not ours: neither reaches the program.
    portal->activate(portal->session(), platform::portalShortcutId(1));
    portal->activate(QStringLiteral("/org/freedesktop/portal/desktop/session/other/x"), platform::portalShortcutId(2));
    portal->activate(portal->session(), platform::portalShortcutId(2));
    ASSERT_TRUE(waitFor([&] { return activated.size() >= 1; }));
    portal->activate(portal->session(), platform::portalShortcutId(0));
    ASSERT_TRUE(waitFor([&] { return activated.size() >= 2; }));
    EXPECT_EQ(activated.at(0).at(0).toInt(), 2);
    EXPECT_EQ(activated.at(1).at(0).toInt(), 0);
    EXPECT_EQ(failed.size(), 0);
}

TEST_F(Portal, DeclinedInTheDesktopsDialogIsToldOnceAndNothingIsBound) {
    FakePortal* portal = servePortal(1);
    auto keys = platform::makePortalHotkeys(*client_);
    QSignalSpy failed(keys.get(), &platform::GlobalHotkeys::failed);
    QSignalSpy activated(keys.get(), &platform::GlobalHotkeys::activated);
    keys->registerHotkey(0);
    keys->registerHotkey(1);
    keys->registerHotkey(2);
    ASSERT_TRUE(waitFor([&] { return failed.size() == 1; }));
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(QStringLiteral("使用者取消")))
        << failed.at(0).at(0).toString().toStdString();
    EXPECT_EQ(portal->bindings().size(), 1u);
    EXPECT_FALSE(keys->isRegistered(0) || keys->isRegistered(1) || keys->isRegistered(2));
    EXPECT_FALSE(keys->registerHotkey(0));
    portal->activate(portal->session(), platform::portalShortcutId(0));
    EXPECT_FALSE(waitFor([&] { return activated.size() > 0; }, 300));
    EXPECT_EQ(failed.size(), 1);
}

TEST(NoHotkeys, NoDisplayNoPortalMeansNoneWithAReason) {
    EXPECT_EQ(platform::chooseHotkeyBackend(QStringLiteral("xcb"), true), platform::HotkeyBackend::X11);
    EXPECT_EQ(platform::chooseHotkeyBackend(QStringLiteral("wayland"), false), platform::HotkeyBackend::None);
    EXPECT_EQ(platform::chooseHotkeyBackend(QStringLiteral("offscreen"), false), platform::HotkeyBackend::None);
    auto keys = platform::makeNoHotkeys({});
    EXPECT_FALSE(keys->registerHotkey(0));
    EXPECT_FALSE(keys->isRegistered(0));
    EXPECT_FALSE(keys->unavailableReason().isEmpty());
    // A disconnected bus gives the none version, not a portal that never answers.
    EXPECT_FALSE(platform::makePortalHotkeys(QDBusConnection(QStringLiteral("no-such-connection")))
                     ->unavailableReason()
                     .isEmpty());
}

}  // namespace
}  // namespace sayvell::testing
