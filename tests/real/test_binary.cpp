// The real executable, started as a user would: one instance per user and display, and a
// clear message when its database is missing or damaged.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The executable reads its files from its own folder: give each test a private copy.
struct Install {
    QTemporaryDir dir;
    QTemporaryDir runtime;
    QTemporaryDir home;  // without a database beside it, the program would look in the user's
    explicit Install(bool withDatabase = true) {
        QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/sayvell"), exe());
        QFile::setPermissions(exe(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (withDatabase) QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), dir.filePath("draft.dat"));
        QFile::setPermissions(dir.filePath("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
    }
    QString exe() const { return dir.filePath("sayvell"); }
    void start(QProcess& p) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("HOME", home.path());
        env.remove("XDG_CONFIG_HOME");
        env.remove("XDG_DATA_HOME");
        env.insert("DISPLAY", ":sayvell-test");
        p.setProcessEnvironment(env);
        p.start(exe(), {});
    }
};

bool waitForFile(const QString& dir, const QString& suffix, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        for (const QString& f : QDir(dir).entryList(QDir::Files))
            if (f.endsWith(suffix)) return true;
        QThread::msleep(20);
    }
    return false;
}

}  // namespace

TEST(Binary, ASecondStartSaysTheProgramIsRunningAndEnds) {
    Install install;
    QProcess first;
    install.start(first);
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(waitForFile(install.runtime.path(), ".lock", 15000)) << first.readAllStandardError().toStdString();
    // The window is up once the settings file has been written at start-up.
    ASSERT_TRUE(waitForFile(install.dir.path(), "setinfo.ini", 15000)) << first.readAllStandardError().toStdString();

    QProcess second;
    install.start(second);
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(
        QString::fromUtf8(second.readAllStandardError()).contains(QStringLiteral("Sayvell! !: 程序已經在運行中!")));
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished(5000);
}

TEST(Binary, AMissingOrDamagedDatabaseIsReportedAndTheProgramEnds) {
    {
        Install install(false);
        QProcess p;
        install.start(p);
        ASSERT_TRUE(p.waitForFinished(15000));
        EXPECT_NE(p.exitCode(), 0);
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("數据連接失敗!")));
    }
    {
        Install install(false);
        QFile junk(install.dir.filePath("draft.dat"));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, '\x5a'));
        junk.close();
        QProcess p;
        install.start(p);
        ASSERT_TRUE(p.waitForFinished(15000));
        EXPECT_NE(p.exitCode(), 0);
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("數据連接失敗!")));
        junk.open(QIODevice::ReadOnly);
        EXPECT_EQ(junk.readAll(), QByteArray(4096, '\x5a'));  // the user's file is left alone
    }
}
