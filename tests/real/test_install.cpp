// The build installed into a temporary prefix, as a distribution or `cmake --install` would,
// and started by a user with a fresh home folder.
#include "support/sound_capture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const QString kBuildDir = QStringLiteral(SAYVELL_BIN_DIR "/..");

struct Result {
    int code = -1;
    QString out;
};

Result exec(const QString& program, const QStringList& args,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(), const QByteArray& input = {},
            int timeoutMs = 120000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(5000)) return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

// A user who never ran the program: only a home folder, the sound server and a path.
QProcessEnvironment freshUser(const QString& home) {
    QProcessEnvironment env;
    env.insert("HOME", home);
    env.insert("PATH", "/usr/bin:/bin");
    const QProcessEnvironment sys = QProcessEnvironment::systemEnvironment();
    if (sys.contains("PULSE_SERVER")) env.insert("PULSE_SERVER", sys.value("PULSE_SERVER"));
    return env;
}

bool waitForFile(const QString& path, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(path) && t.elapsed() < timeoutMs) QThread::msleep(20);
    return QFile::exists(path);
}

struct Installed {
    QTemporaryDir prefix;
    QString error;
    Installed() {
        const QString cmake = QStandardPaths::findExecutable("cmake");
        const Result r = exec(cmake, {"--install", kBuildDir, "--prefix", prefix.path()});
        if (cmake.isEmpty() || r.code != 0) error = r.out;
    }
    QString path(const QString& rel) const { return prefix.filePath(rel); }
};

}  // namespace

TEST(Install, FilesLandInTheirPlacesAndPassTheDesktopValidators) {
    Installed in;
    ASSERT_TRUE(in.error.isEmpty()) << in.error.toStdString();
    for (const char* rel : {"bin/sayvell", "share/sayvell/draft.dat", "share/sayvell/readings-cmn.tsv",
                            "share/sayvell/readings-cmn.copyright", "share/applications/org.sayvell.Sayvell.desktop",
                            "share/metainfo/org.sayvell.Sayvell.metainfo.xml", "share/man/man1/sayvell.1.gz",
                            "share/icons/hicolor/scalable/apps/org.sayvell.Sayvell.svg",
                            "share/icons/hicolor/48x48/apps/org.sayvell.Sayvell.png",
                            "share/icons/hicolor/256x256/apps/org.sayvell.Sayvell.png"})
        EXPECT_TRUE(QFile::exists(in.path(rel))) << rel;
    QFile copyright(in.path("share/doc/sayvell/copyright"));
    ASSERT_TRUE(copyright.open(QIODevice::ReadOnly));
    EXPECT_EQ(copyright.readLine(), "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n");
    // Nothing that would make the installed program keep its files beside itself.
    EXPECT_FALSE(QFile::exists(in.path("bin/draft.dat")));

    QFile png(in.path("share/icons/hicolor/48x48/apps/org.sayvell.Sayvell.png"));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    EXPECT_EQ(png.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));

    const QString dfv = QStandardPaths::findExecutable("desktop-file-validate");
    ASSERT_FALSE(dfv.isEmpty()) << "desktop-file-validate (desktop-file-utils) is needed";
    const Result desktop = exec(dfv, {in.path("share/applications/org.sayvell.Sayvell.desktop")});
    EXPECT_EQ(desktop.code, 0) << desktop.out.toStdString();
    EXPECT_FALSE(desktop.out.contains("error")) << desktop.out.toStdString();

    const QString as = QStandardPaths::findExecutable("appstreamcli");
    ASSERT_FALSE(as.isEmpty()) << "appstreamcli (appstream) is needed";
    const Result meta = exec(as, {"validate", "--no-net", in.path("share/metainfo/org.sayvell.Sayvell.metainfo.xml")});
    EXPECT_EQ(meta.code, 0) << meta.out.toStdString();
}

TEST(Install, AFreshUserGetsTheFilesInTheXdgPlacesAndHearsTheReading) {
    Installed in;
    ASSERT_TRUE(in.error.isEmpty()) << in.error.toStdString();
    QTemporaryDir home;
    const QProcessEnvironment env = freshUser(home.path());
    const QString exe = in.path("bin/sayvell");
    const QString config = home.filePath(".config/sayvell/setinfo.ini");
    const QString data = home.filePath(".local/share/sayvell/draft.dat");

    const Result paths = exec(exe, {"--paths"}, env);
    ASSERT_EQ(paths.code, 0) << paths.out.toStdString();
    EXPECT_TRUE(paths.out.contains(config)) << paths.out.toStdString();
    EXPECT_TRUE(paths.out.contains(data)) << paths.out.toStdString();

    // An absolute XDG_CONFIG_HOME counts; a relative XDG_DATA_HOME is ignored, as the XDG rules say.
    QProcessEnvironment custom = env;
    custom.insert("XDG_CONFIG_HOME", home.filePath("cfg"));
    custom.insert("XDG_DATA_HOME", "relative/data");
    const Result moved = exec(exe, {"--paths"}, custom);
    EXPECT_TRUE(moved.out.contains(home.filePath("cfg/sayvell/setinfo.ini"))) << moved.out.toStdString();
    EXPECT_TRUE(moved.out.contains(data)) << moved.out.toStdString();

    // The first start copies the delivered database: the pause table is in force at once.
    const Result pieces = exec(exe, {"pieces", "-"}, env, QStringLiteral("一。").toUtf8());
    ASSERT_EQ(pieces.code, 0) << pieces.out.toStdString();
    EXPECT_EQ(pieces.out.section(u'\t', 2, 2), QStringLiteral("600"));
    EXPECT_TRUE(QFile::exists(data));

    // The window, too, writes its settings in the XDG place.
    QProcessEnvironment windowEnv = env;
    QTemporaryDir runtime;
    windowEnv.insert("XDG_RUNTIME_DIR", runtime.path());
    windowEnv.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess window;
    window.setProcessEnvironment(windowEnv);
    window.start(exe, {});
    ASSERT_TRUE(window.waitForStarted(5000));
    EXPECT_TRUE(waitForFile(config, 20000)) << window.readAllStandardError().toStdString();
    window.kill();
    window.waitForFinished(5000);
    EXPECT_FALSE(QFile::exists(in.path("bin/setinfo.ini")));

    if (!sayvell::testing::pulseAvailable()) GTEST_SKIP() << "the reading needs with_pulse.sh";
    sayvell::testing::MonitorRecorder rec;
    std::string error;
    ASSERT_TRUE(rec.start(&error)) << error;
    const Result speak = exec(exe, {"speak", "-"}, env, QStringLiteral("你好。").toUtf8());
    EXPECT_EQ(speak.code, 0) << speak.out.toStdString();
    ASSERT_TRUE(rec.recordUntil(sayvell::testing::burstsHeard(1)));
    EXPECT_EQ(sayvell::testing::findBursts(rec.stop(), sayvell::testing::MonitorRecorder::kRate).size(), 1u);
}

TEST(Install, TheDebianPackageListsItsDependencies) {
    QTemporaryDir out;
    const QString cpack = QStandardPaths::findExecutable("cpack");
    ASSERT_FALSE(cpack.isEmpty());
    const Result r = exec(cpack, {"-G", "DEB", "--config", kBuildDir + "/CPackConfig.cmake", "-B", out.path()},
                          QProcessEnvironment::systemEnvironment(), {}, 280000);
    ASSERT_EQ(r.code, 0) << r.out.toStdString();
    const QStringList debs = QDir(out.path()).entryList({"sayvell_*.deb"}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << r.out.toStdString();
    const Result info = exec(QStringLiteral("dpkg-deb"), {"--info", out.filePath(debs[0])});
    ASSERT_EQ(info.code, 0) << info.out.toStdString();
    for (const char* dep :
         {"Depends:", "libespeak-ng1", "espeak-ng-data", "libpulse0", "libqt6widgets6", "libsqlite3-0", "libuchardet0"})
        EXPECT_TRUE(info.out.contains(QLatin1String(dep))) << dep << "\n" << info.out.toStdString();
    const Result contents = exec(QStringLiteral("dpkg-deb"), {"--contents", out.filePath(debs[0])});
    EXPECT_TRUE(contents.out.contains("./usr/bin/sayvell"));
    EXPECT_TRUE(contents.out.contains("./usr/share/sayvell/draft.dat"));
    EXPECT_TRUE(contents.out.contains("./usr/share/sayvell/readings-cmn.tsv"));
    EXPECT_TRUE(contents.out.contains("./usr/share/sayvell/readings-cmn.copyright"));
    EXPECT_TRUE(contents.out.contains("./usr/share/doc/sayvell/copyright"));
    EXPECT_TRUE(contents.out.contains("./usr/share/doc/sayvell/changelog.gz"));
    const QString lintian = QStandardPaths::findExecutable("lintian");
    ASSERT_FALSE(lintian.isEmpty()) << "lintian is needed";
    const Result check = exec(lintian, {"--suppress-tags", "running-as-root", out.filePath(debs[0])},
                              QProcessEnvironment::systemEnvironment(), {}, 280000);
    for (const QString& line : check.out.split(u'\n'))
        EXPECT_FALSE(line.startsWith("E:") || line.startsWith("W:")) << line.toStdString();
}
