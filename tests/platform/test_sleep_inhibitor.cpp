// The plan's idle-sleep inhibitor, only ever against a fake logind on a private bus.
#include "platform/fake_logind_bus.h"
#include "platform/sleep_inhibitor.h"

#include <QTest>
#include <gtest/gtest.h>

namespace sayvell::testing {
namespace {

class SleepInhibitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus_.start()) GTEST_SKIP() << "dbus-daemon is not available";
        logind_ = bus_.serveLogind();
        ASSERT_TRUE(logind_);
    }
    FakeLogindBus bus_;
    FakeLogind* logind_ = nullptr;
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
