#include "store/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <pwd.h>
#include <unistd.h>

namespace sayvell::store {
namespace {

QMutex overrideMutex;
bool hasOverride = false;  // guarded by overrideMutex
QString overrideDir;       // guarded by overrideMutex

const QString kDatabase = QStringLiteral("draft.dat");
const QString kSettings = QStringLiteral("setinfo.ini");
const QString kProgram = QStringLiteral("sayvell");

QString withoutTrailingSlash(QString dir) {
    while (dir.endsWith(u'/')) dir.chop(1);
    return dir;
}

bool overridden(QString* dir) {
    QMutexLocker lock(&overrideMutex);
    if (hasOverride) *dir = overrideDir;
    return hasOverride;
}

// $HOME, or the account's home when a cron job or a service runs without it.
QString homeDir() {
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty() || !QDir::isAbsolutePath(home)) {
        const passwd* pw = getpwuid(getuid());
        home = pw && pw->pw_dir ? QString::fromLocal8Bit(pw->pw_dir) : QString();
    }
    return home.isEmpty() || !QDir::isAbsolutePath(home) ? QString() : withoutTrailingSlash(home);
}

// An XDG base folder: the variable when it holds an absolute path (the standard ignores a
// relative one), else home + `fallback`; empty without a home.
QString xdgBase(const char* variable, const char* fallback) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return withoutTrailingSlash(value);
    const QString home = homeDir();
    return home.isEmpty() ? QString() : home + QLatin1String(fallback);
}

QString configDir() {
    const QString base = xdgBase("XDG_CONFIG_HOME", "/.config");
    return base.isEmpty() ? QString() : base + u'/' + kProgram;
}

QString dataDir() {
    const QString base = xdgBase("XDG_DATA_HOME", "/.local/share");
    return base.isEmpty() ? QString() : base + u'/' + kProgram;
}

// Without a home folder the files go to a folder of the user's own under /tmp rather than
// into the working directory or the root folder.
QString orTemporary(const QString& dir, const char* leaf) {
    if (!dir.isEmpty()) return dir;
    return QDir::tempPath() + QStringLiteral("/sayvell-%1/").arg(getuid()) + QLatin1String(leaf);
}

bool makeDir(const QString& dir, QString* error) {
    if (QDir().mkpath(dir)) return true;
    if (error) *error = QStringLiteral("無法建立資料夾 %1").arg(dir);
    return false;
}

}  // namespace

QString executableDir() {
    // Without an application object (unit tests, early start) ask the kernel directly.
    if (QCoreApplication::instance()) return withoutTrailingSlash(QCoreApplication::applicationDirPath());
    return withoutTrailingSlash(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath());
}

PathMode pathMode() {
    QString dir;
    if (overridden(&dir)) return PathMode::BesideExecutable;
    return QFileInfo::exists(executableDir() + u'/' + kDatabase) ? PathMode::BesideExecutable : PathMode::Xdg;
}

QString appDir() {
    QString dir;
    if (overridden(&dir)) return dir;
    if (pathMode() == PathMode::BesideExecutable) return executableDir();
    return orTemporary(dataDir(), "data");
}

QString settingsPath() {
    if (pathMode() == PathMode::BesideExecutable) return appDir() + u'/' + kSettings;
    return orTemporary(configDir(), "config") + u'/' + kSettings;
}

QString databasePath() { return appDir() + u'/' + kDatabase; }

QString recordingPath() {
    const QString name = QStringLiteral("Temp.wav");
    if (pathMode() == PathMode::BesideExecutable) return appDir() + u'/' + name;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) return withoutTrailingSlash(music) + u'/' + name;
    const QString home = homeDir();
    return (home.isEmpty() ? appDir() : home) + u'/' + name;
}

QString deliveredFile(const QString& name) {
    if (pathMode() == PathMode::BesideExecutable) {
        const QString beside = appDir() + u'/' + name;
        return QFileInfo::exists(beside) ? beside : QString();
    }
    QStringList shares{QDir::cleanPath(executableDir() + QStringLiteral("/../share"))};
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty()) dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& d : dirs.split(u':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(d)) shares << withoutTrailingSlash(d);
    for (const QString& share : shares) {
        const QString path = share + u'/' + kProgram + u'/' + name;
        if (QFileInfo(path).isFile()) return path;
    }
    return {};
}

bool prepareAppFiles(QString* error) {
    if (pathMode() == PathMode::BesideExecutable) return true;
    if (!makeDir(QFileInfo(settingsPath()).absolutePath(), error) || !makeDir(appDir(), error)) return false;
    const QString target = databasePath();
    if (QFileInfo::exists(target)) return true;
    const QString delivered = deliveredFile(kDatabase);
    if (delivered.isEmpty()) {
        if (error) *error = QStringLiteral("找不到隨程式提供的資料庫 share/sayvell/%1").arg(kDatabase);
        return false;
    }
    // Copied under a temporary name first: a copy cut short must not pass for the database.
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(delivered, part) || !QFile::setPermissions(part, QFile::ReadOwner | QFile::WriteOwner) ||
        !QFile::rename(part, target)) {
        QFile::remove(part);
        if (error) *error = QStringLiteral("無法把資料庫複製到 %1").arg(target);
        return false;
    }
    return true;
}

void setAppDirForTesting(const QString& dir) {
    QMutexLocker lock(&overrideMutex);
    hasOverride = !dir.isEmpty();
    overrideDir = withoutTrailingSlash(dir);
}

}  // namespace sayvell::store
