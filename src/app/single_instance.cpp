#include "app/single_instance.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <unistd.h>

namespace sayvell::app {
namespace {

QString displayId() {
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) display = QStringLiteral("none");
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    return display;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name) {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir(dir).exists()) dir = QDir::tempPath();
    path_ = QStringLiteral("%1/%2-%3-%4.lock").arg(dir, name).arg(getuid()).arg(displayId());
}

bool SingleInstance::tryAcquire() {
    lock_ = std::make_unique<QLockFile>(path_);
    lock_->setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
    return lock_->tryLock(0);
}

}  // namespace sayvell::app
