#include "store/app_paths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace sayvell::store {
namespace {

QMutex overrideMutex;
bool hasOverride = false;  // guarded by overrideMutex
QString overrideDir;      // guarded by overrideMutex

QString withoutTrailingSlash(QString dir) {
    while (dir.endsWith(u'/')) dir.chop(1);
    return dir;
}

}  // namespace

QString appDir() {
    {
        QMutexLocker lock(&overrideMutex);
        if (hasOverride) return overrideDir;
    }
    // Without an application object (unit tests, early start) ask the kernel directly.
    if (QCoreApplication::instance()) return withoutTrailingSlash(QCoreApplication::applicationDirPath());
    return withoutTrailingSlash(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath());
}

QString settingsPath() { return appDir() + QStringLiteral("/setinfo.ini"); }

QString databasePath() { return appDir() + QStringLiteral("/draft.dat"); }

void setAppDirForTesting(const QString& dir) {
    QMutexLocker lock(&overrideMutex);
    hasOverride = !dir.isEmpty();
    overrideDir = withoutTrailingSlash(dir);
}

}  // namespace sayvell::store
