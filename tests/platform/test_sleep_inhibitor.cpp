// The plan's idle-sleep inhibitor, only ever against a fake logind on a private bus.
#include "platform/fake_services.h"
#include "platform/private_servers.h"
#include "platform/sleep_inhibitor.h"

#include <QTest>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

class SleepInhibitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (!bus_.start()) GTEST_SKIP() << "dbus-daemon is not available";
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus_.address().toUtf8());
        service_ = std::make_unique<ServiceThread>(bus_.address(), QStringLiteral("org.freedesktop.login1"),
                                                   QStringLiteral("/org/freedesktop/login1"), [this](QDBusConnection) {
                                                       logind_ = new FakeLogind;
                                                       return logind_;
                                                   });
        ASSERT_TRUE(service_->startServing());
    }
    void TearDown() override {
        service_.reset();
        bus_.stop();
        if (saved_.isNull())
            qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        else
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", saved_);
    }
    PrivateBus bus_;
    std::unique_ptr<ServiceThread> service_;
    FakeLogind* logind_ = nullptr;
    QByteArray saved_;
};

}  // namespace

TEST_F(SleepInhibitorTest, HoldsIdleSleepOnlyOnceAndLetsGoOfIt) {
    QString notice;
    auto inhibitor = platform::makeLogindSleepInhibitor(&notice);
    EXPECT_TRUE(notice.isEmpty());
    inhibitor->setHeld(true);
    inhibitor->setHeld(true);
    EXPECT_EQ(logind_->calls(), QStringList{QStringLiteral("Inhibit(idle:sleep,block,Sayvell)")});
    EXPECT_FALSE(logind_->inhibitorsReleased());
    inhibitor->setHeld(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return logind_->inhibitorsReleased(); }, 2000));
    // The program's end lets go of a lock still held.
    inhibitor->setHeld(true);
    EXPECT_EQ(logind_->inhibitCount(), 2);
    inhibitor.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return logind_->inhibitorsReleased(); }, 2000));
}

TEST(SleepInhibitorWithoutBus, SaysWhyOnceAndDoesNothing) {
    const QByteArray saved = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/sayvell-bus");
    QString notice;
    auto inhibitor = platform::makeLogindSleepInhibitor(&notice);
    EXPECT_TRUE(notice.contains(QStringLiteral("D-Bus"))) << notice.toStdString();
    inhibitor->setHeld(true);
    inhibitor->setHeld(false);
    if (saved.isNull())
        qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    else
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", saved);
}

}  // namespace sayvell::testing
