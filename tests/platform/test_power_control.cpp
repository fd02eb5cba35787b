// The power-off request, only ever against a fake logind on a private bus.
#include "platform/fake_services.h"
#include "platform/power_control.h"
#include "platform/private_servers.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <QTimer>

namespace sayvell::testing {
namespace {

class PowerOff : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (!bus_.start()) GTEST_SKIP() << "dbus-daemon is not available";
        // Every call below goes to this bus; the real system bus is never reached.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus_.address().toUtf8());
    }
    void TearDown() override {
        service_.reset();
        bus_.stop();
        if (saved_.isNull())
            qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        else
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", saved_);
    }
    FakeLogind* serveLogind(const QString& refusal = {}) {
        service_ = std::make_unique<ServiceThread>(bus_.address(), QStringLiteral("org.freedesktop.login1"),
                                                   QStringLiteral("/org/freedesktop/login1"),
                                                   [this, refusal](QDBusConnection) {
                                                       logind_ = new FakeLogind;
                                                       logind_->refusal = refusal;
                                                       return logind_;
                                                   });
        EXPECT_TRUE(service_->startServing());
        return logind_;
    }

    PrivateBus bus_;
    std::unique_ptr<ServiceThread> service_;
    FakeLogind* logind_ = nullptr;
    QByteArray saved_;
};

TEST_F(PowerOff, AsksLogindOnceLettingPolkitAskAndNotForcing) {
    FakeLogind* logind = serveLogind();
    auto power = platform::makeLogindPowerControl();
    QString error = QStringLiteral("untouched");
    EXPECT_TRUE(power->powerOff(&error));
    EXPECT_EQ(logind->calls(), QStringList{QStringLiteral("PowerOff(1)")});
    EXPECT_EQ(error, QStringLiteral("untouched"));
}

TEST_F(PowerOff, TheWindowKeepsAnsweringWhileTheSystemDecides) {
    FakeLogind* logind = serveLogind();
    logind->answerAfterMs = 400;
    auto power = platform::makeLogindPowerControl();
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(20);
    QString error;
    EXPECT_TRUE(power->powerOff(&error)) << error.toStdString();
    EXPECT_GT(ticks, 0);
}

TEST_F(PowerOff, RefusalAndMissingServiceAreFailuresWithReasons) {
    {
        // No logind on the bus at all.
        auto power = platform::makeLogindPowerControl();
        QString error;
        EXPECT_FALSE(power->powerOff(&error));
        EXPECT_TRUE(error.contains(QStringLiteral("systemd-logind"))) << error.toStdString();
    }
    FakeLogind* logind = serveLogind(QStringLiteral("Interactive authentication required."));
    auto power = platform::makeLogindPowerControl();
    QString error;
    EXPECT_FALSE(power->powerOff(&error));
    EXPECT_EQ(logind->calls().size(), 1);
    EXPECT_TRUE(error.startsWith(QStringLiteral("沒有關機的權限"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("Interactive authentication required.")));
}

TEST(PowerOffWithoutBus, SaysWhyAndDoesNothing) {
    const QByteArray saved = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    QTemporaryDir dir;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.filePath(QStringLiteral("none"))).toUtf8());
    auto power = platform::makeLogindPowerControl();
    QString error;
    EXPECT_FALSE(power->powerOff(&error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("找不到系統匯流排"))) << error.toStdString();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", saved);
    if (saved.isNull()) qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

}  // namespace
}  // namespace sayvell::testing
